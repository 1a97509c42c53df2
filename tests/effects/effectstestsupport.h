#pragma once

#include "effectssettings.h"
#include "telemetry.h"

// The curve (-100, -10) ... (100, 10) in steps of 20.
inline PointCurve linearCurve()
{
    PointCurve curve;
    PointCurve::Points points;
    for (int i = 0; i < PointCurve::PointCount; ++i)
        points[static_cast<std::size_t>(i)] = {-100.0f + 20.0f * static_cast<float>(i),
                                               -10.0f + 2.0f * static_cast<float>(i)};
    curve.setPoints(points);
    return curve;
}

// Every effect of every axis active at full strength with working ranges.
inline EffectsSettings everyEffectActive()
{
    EffectsSettings settings;
    for (AxisEffectsSettings &axis : settings.axes) {
        axis.reset();
        for (CurveSpringSettings *spring : {&axis.simple_spring, &axis.g_force_spring, &axis.aoa_spring}) {
            spring->active = true;
            spring->total_effect_strength = 50.0f;
            spring->curve = linearCurve();
        }
        axis.airflow_spring.active = true;
        axis.airflow_spring.total_effect_strength = 80.0f;
        axis.airflow_spring.airspeed_force = 60.0f;
        axis.airflow_spring.thrust_force = 40.0f;
        axis.airflow_spring.attenuation_strength = 50.0f;
        axis.airflow_spring.local_aoa_influence_strength = 30.0f;
        axis.elevator_weight = {true, 40.0f};
        for (GenericShakerSettings *shaker :
             {static_cast<GenericShakerSettings *>(&axis.aoa_shaker), &axis.gear_shaker, &axis.flaps_shaker,
              &axis.airbrake_shaker, &axis.on_ground_shaker,
              static_cast<GenericShakerSettings *>(&axis.landing_jolt)}) {
            shaker->active = true;
            shaker->total_effect_strength = 70.0f;
            shaker->speed = {0.0f, 300.0f, 20.0f};
            shaker->frequency = {10.0f, 60.0f, -30.0f};
        }
        axis.aoa_shaker.aoa = {5.0f, 20.0f, 0.0f};
        axis.il2_shaker = {true, 100.0f};
        axis.condor_shaker.active = true;
        axis.direct_x.active = true;
        axis.smart_damper.active = true;
    }
    return settings;
}

inline Telemetry flyingTelemetry()
{
    Telemetry t;
    t.verticalSpeed = -2.0f;
    t.aoa = 9.0f;
    t.sideslip = 3.0f;
    t.gForce = 1.4f;
    t.propAirflow = 70.0f;
    t.gear = 100.0f;
    t.airbrake = 30.0f;
    t.flaps = 50.0f;
    t.onGround = true;
    t.airspeed = 180.0f;
    return t;
}
