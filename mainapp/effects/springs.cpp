#include "springs.h"

#include "effectmath.h"
#include "effectslogging.h"

#include <algorithm>
#include <cmath>

void applyCurveSpring(AxisForces &forces, const CurveSpringSettings &settings, float input)
{
    const float value = sample(settings.curve, input);
    qCDebug(lcEffectsCurve) << "input" << input << "sample" << value;

    const float contribution = narrowToFloat(double(value) * double(settings.total_effect_strength) * 0.01);
    AxisForces result = forces;
    result.force -= contribution;
    result.spring = std::abs(contribution);
    commitIfFinite(forces, result);
}

void applyElevatorWeight(AxisForces &forces, const SimpleEffectSettings &settings, float gForce)
{
    AxisForces result = forces;
    result.force -= gForce * settings.total_effect_strength * 10.0f / 100.0f;
    commitIfFinite(forces, result);
}

void applyAirflowSpring(AxisForces &forces, const AirflowSpringSettings &settings, float position,
                        float airspeed, float thrust, float flowAngle)
{
    const float start = settings.attenuation_start_airspeed;
    const float end = settings.attenuation_end_airspeed;
    if (start == 0.0f || end == 0.0f || start == end)
        return;
    const double strength = settings.total_effect_strength;

    // Control-surface angle: full deflection is 30 degrees.
    float deflection = 30.0f * position;
    if (position > 1.0f)
        deflection = 30.0f;
    else if (position < -1.0f)
        deflection = -30.0f;

    const float absAngle = std::abs(flowAngle);
    const float localAngle =
        absAngle <= 90.0f ? flowAngle * (1.0f - 0.5f * tableCosine(2.0f * absAngle)) : flowAngle;
    const float flow =
        narrowToFloat(double(deflection) - double(localAngle) * settings.local_aoa_influence_strength * 0.01);

    // The propeller wash weakens with airspeed and turns negative beyond the
    // end airspeed; it is deliberately not limited.
    const float propeller = narrowToFloat(double(settings.thrust_force) * 0.5 * (double(end) - airspeed) /
                                          double(end) * thrust / 100.0);
    const float propellerForce = tableSine(deflection) * propeller / tableSine(30.0f);

    const float ratio = airspeed / start;
    float speedTerm = 0.5f * settings.airspeed_force * ratio * ratio;
    if (airspeed > start) {
        // A curve never computed (a record set up field by field) is derived
        // here rather than attenuating along a flat line.
        const PointCurve &curve = settings.attenuation_curve.defined
                                      ? settings.attenuation_curve
                                      : AirflowSpringSettings::attenuationCurveFor(start, end);
        const float span = end - start;
        const float x = std::min(airspeed - start, span) / span;
        const float attenuation = attenuationLookup(curve, x);
        const float share = settings.attenuation_strength * 0.01f;
        const float half = 0.5f * settings.airspeed_force;
        speedTerm = speedTerm * (1.0f - share) + (half * attenuation + half) * share;
    }
    const float limitedSpeedTerm = std::clamp(speedTerm, 0.0f, 500.0f);

    AxisForces result = forces;
    result.force -= narrowToFloat(
        (double(limitedSpeedTerm) * tableSine(flow) / tableSine(30.0f) + propellerForce) * strength * 0.01);
    result.spring = narrowToFloat((double(speedTerm) + propeller) * strength * 0.01);
    commitIfFinite(forces, result);
}
