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
        for (CurveSpringSettings *spring : {&axis.simple_spring, &axis.g_force_spring, &axis.aoa_spring})
            *spring = {{true, 50.0f}, linearCurve()};
        AirflowSpringSettings &flow = axis.airflow_spring; // attenuation 500 to 1000 km/h
        flow = {{true, 80.0f}, 60.0f, 40.0f, 50.0f, 30.0f, flow.attenuation_curve, 500.0f, 1000.0f};
        axis.elevator_weight = {true, 40.0f};
        for (GenericShakerSettings *shaker :
             {static_cast<GenericShakerSettings *>(&axis.aoa_shaker), &axis.gear_shaker, &axis.flaps_shaker,
              &axis.airbrake_shaker, &axis.on_ground_shaker,
              static_cast<GenericShakerSettings *>(&axis.landing_jolt)})
            *shaker = {{true, 70.0f}, {0.0f, 300.0f, 20.0f}, {10.0f, 60.0f, -30.0f}};
        axis.aoa_shaker.aoa = {5.0f, 20.0f, 0.0f};
        axis.il2_shaker = {true, 100.0f};
        axis.condor_shaker.active = true;
        axis.direct_x.active = true;
        axis.smart_damper.active = true;
        axis.trim_following = {{true, 60.0f}, true, false};
    }
    return settings;
}

// An airflow spring at full strength, attenuated from 500 km/h to `end`.
inline AirflowSpringSettings airflow(float airspeedForce, float thrustForce, float attenuation,
                                     float end = 1000.0f)
{
    AirflowSpringSettings settings;
    settings.reset();
    settings.active = true;
    settings.total_effect_strength = 100.0f;
    settings.airspeed_force = airspeedForce;
    settings.thrust_force = thrustForce;
    settings.attenuation_strength = attenuation;
    settings.setAttenuation(500.0f, end);
    return settings;
}

inline Telemetry flyingTelemetry()
{
    return Telemetry{.verticalSpeed = -2.0f,
                     .aoa = 9.0f,
                     .sideslip = 3.0f,
                     .gForce = 1.4f,
                     .propAirflow = 70.0f,
                     .gear = 100.0f,
                     .airbrake = 30.0f,
                     .flaps = 50.0f,
                     .onGround = true,
                     .airspeed = 180.0f};
}
