#include "commontelemetryforcecalculator.h"

#include "effectslogging.h"
#include "springs.h"

#include <cmath>

namespace {

float numberOrZero(float value)
{
    return std::isnan(value) ? 0.0f : value;
}

// A reading that is not a number carries nothing to feel. Infinities stay:
// every effect either limits them or drops its non-finite result.
Telemetry withoutNaN(const Telemetry &telemetry)
{
    Telemetry result = telemetry;
    for (float *field :
         {&result.verticalSpeed, &result.rollFlowAngle, &result.aoa, &result.sideslip, &result.rollRate,
          &result.gForce, &result.propAirflow, &result.trimmerRoll, &result.trimmerPitch, &result.trimmerYaw,
          &result.gear, &result.airbrake, &result.flaps, &result.airspeed})
        *field = numberOrZero(*field);
    return result;
}

bool isAxis(int axis)
{
    return axis >= 0 && axis < Forces::AxisCount;
}

} // namespace

CommonTelemetryForceCalculator::CommonTelemetryForceCalculator(QObject *parent) : QObject(parent)
{}

CommonTelemetryForceCalculator::~CommonTelemetryForceCalculator() = default;

void CommonTelemetryForceCalculator::composeAxis(AxisForces &forces, int axis, std::uint64_t effectTime,
                                                 float position, const Telemetry &telemetry,
                                                 const EffectsSettings &settings, float centre)
{
    if (!isAxis(axis))
        return;
    const AxisEffectsSettings effects = settings[axis];
    const Telemetry t = withoutNaN(telemetry);
    const float p = numberOrZero(position);
    // The deflection springs pull towards the centre the trim sets (0 without trim following).
    const float fromCentre = p - numberOrZero(centre);
    const float airspeed = t.clampedAirspeed();
    AxisState &state = m_axes[static_cast<std::size_t>(axis)];
    auto &oscillators = state.oscillators;

    if (effects.simple_spring.active)
        applyCurveSpring(forces, effects.simple_spring, fromCentre * 100.0f);
    if (effects.g_force_spring.active)
        applyCurveSpring(forces, effects.g_force_spring, t.gForce);
    if (effects.aoa_spring.active)
        applyCurveSpring(forces, effects.aoa_spring, t.aoa);
    if (effects.airflow_spring.active)
        applyAirflowSpring(forces, effects.airflow_spring, fromCentre, airspeed, t.propAirflow, t.flowAngle(axis));
    if (effects.elevator_weight.active)
        applyElevatorWeight(forces, effects.elevator_weight, t.gForce);
    if (effects.landing_jolt.active)
        applyLandingJolt(forces, effects.landing_jolt, state.landingJolt, effectTime, airspeed, m_random);
    if (effects.aoa_shaker.active)
        applyAoAShaker(forces, effects.aoa_shaker, oscillators[AoAShaker], effectTime, airspeed, t.aoa,
                       m_random);
    if (effects.gear_shaker.active)
        applyGenericShaker(forces, effects.gear_shaker, oscillators[GearShaker], effectTime, airspeed, t.gear,
                           m_random);
    if (effects.flaps_shaker.active)
        applyGenericShaker(forces, effects.flaps_shaker, oscillators[FlapsShaker], effectTime, airspeed,
                           t.flaps, m_random);
    if (effects.airbrake_shaker.active)
        applyGenericShaker(forces, effects.airbrake_shaker, oscillators[AirbrakeShaker], effectTime, airspeed,
                           t.airbrake, m_random);
    if (effects.on_ground_shaker.active)
        applyGenericShaker(forces, effects.on_ground_shaker, oscillators[OnGroundShaker], effectTime,
                           airspeed, t.onGround ? 100.0f : 0.0f, m_random);
    // il2_shaker and condor_shaker are stored only; smart_damper and direct_x
    // act in the device.
}

void CommonTelemetryForceCalculator::touchdown(std::uint64_t effectTime, float airspeed, float verticalSpeed,
                                               const EffectsSettings &settings)
{
    for (int axis = 0; axis < Forces::AxisCount; ++axis) {
        const LandingJoltSettings &jolt = settings[axis].landing_jolt;
        if (!jolt.active)
            continue;
        LandingJoltState &state = m_axes[static_cast<std::size_t>(axis)].landingJolt;
        registerTouchdown(state, jolt, effectTime, airspeed, verticalSpeed);
        qCDebug(lcEffects) << "touchdown on axis" << axis << "at" << effectTime << "ms, jolt strength"
                           << state.touchdownAmplitude;
    }
}

const LandingJoltState &CommonTelemetryForceCalculator::landingJoltState(int axis) const
{
    return m_axes.at(static_cast<std::size_t>(axis)).landingJolt;
}

const ShakerOscillator &CommonTelemetryForceCalculator::oscillator(int axis, Shaker shaker) const
{
    return m_axes.at(static_cast<std::size_t>(axis)).oscillators.at(static_cast<std::size_t>(shaker));
}
