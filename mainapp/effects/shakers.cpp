#include "shakers.h"

#include "effectmath.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kMaximumFrequency = 1000.0f; // Hz: a period of 1 ms
// Keeps the period of a very low frequency within the integer range.
constexpr float kMaximumPeriod = 1.0e12f; // ms

// The period in whole milliseconds, at least 1.
std::uint64_t periodOf(float frequency)
{
    const float period = std::min(1000.0f / frequency, kMaximumPeriod);
    return period >= 1.0f ? static_cast<std::uint64_t>(period) : 1;
}

} // namespace

void stepOscillator(AxisForces &forces, ShakerOscillator &oscillator, std::uint64_t now, float frequency,
                    float amplitude, ShakerRandomSource &random)
{
    if (!(frequency > 0.0f && frequency <= kMaximumFrequency))
        return;
    float effectiveFrequency = frequency * (1.0f + oscillator.frequencyJitter);
    // A jitter of -100 % or below would stop the oscillator for good, since
    // only a finished cycle draws a new one: ignore it for this cycle.
    if (!(effectiveFrequency > 0.0f))
        effectiveFrequency = frequency;
    const float effectiveAmplitude = amplitude * (1.0f + oscillator.amplitudeJitter);

    const std::uint64_t period = periodOf(effectiveFrequency);
    const std::uint64_t elapsed = (now - oscillator.lastTime) % (period + 1);
    const float cycle = oscillator.phase + static_cast<float>(elapsed) / static_cast<float>(period);
    oscillator.phase = cycle < 1.0f ? cycle : cycle - 1.0f;
    oscillator.lastTime = now;

    AxisForces result = forces;
    result.periodic += oscillator.phase <= 0.5f ? effectiveAmplitude : -effectiveAmplitude;
    commitIfFinite(forces, result);

    if (cycle > 1.0f) {
        oscillator.amplitudeJitter = random.normal();
        oscillator.frequencyJitter = random.normal();
    }
}

void applyGenericShaker(AxisForces &forces, const GenericShakerSettings &settings,
                        ShakerOscillator &oscillator, std::uint64_t now, float airspeed, float value,
                        ShakerRandomSource &random)
{
    if (!hasSpan(settings.speed))
        return;
    const float n = normalize(airspeed, settings.speed);
    const float speedShare = exponentCurve(n, settings.speed.exp / 100.0f);
    // The frequency follows the airspeed, not the driving value.
    const float frequency = rangeValue(n, settings.frequency);
    const float amplitude = (value / 100.0f) * speedShare * (settings.total_effect_strength / 100.0f) * 2.0f;
    if (!std::isfinite(amplitude))
        return;
    stepOscillator(forces, oscillator, now, frequency, amplitude, random);
}

void applyAoAShaker(AxisForces &forces, const AoAShakerSettings &settings, ShakerOscillator &oscillator,
                    std::uint64_t now, float airspeed, float angleOfAttack, ShakerRandomSource &random)
{
    if (!hasSpan(settings.speed) || !hasSpan(settings.aoa))
        return;
    const float n = normalize(airspeed, settings.speed);
    const float speedShare = exponentCurve(n, settings.speed.exp / 100.0f);
    const float m = normalize(angleOfAttack, settings.aoa);
    const float aoaShare = exponentCurve(m, settings.aoa.exp / 100.0f);
    const float frequency = rangeValue(n, settings.frequency);
    const float amplitude = settings.total_effect_strength * (speedShare * aoaShare) * 2.0f / 100.0f;
    if (!std::isfinite(amplitude))
        return;
    stepOscillator(forces, oscillator, now, frequency, amplitude, random);
}

void applyLandingJolt(AxisForces &forces, const LandingJoltSettings &settings, LandingJoltState &state,
                      std::uint64_t now, float airspeed, ShakerRandomSource &random)
{
    const std::uint64_t sinceTouchdown = now - state.touchdownTime;
    if (settings.effect_time <= sinceTouchdown || !hasSpan(settings.speed))
        return;
    // Unsigned wrap-around cancels out: this is effect_time - sinceTouchdown.
    const std::uint64_t remaining = state.touchdownTime + settings.effect_time - now;
    const float share =
        sinceTouchdown == 0 ? 0.0f : static_cast<float>(remaining) / static_cast<float>(settings.effect_time);

    const float n = normalize(airspeed, settings.speed);
    const float frequency = rangeValue(n, settings.frequency);
    // A strong touchdown holds full amplitude for most of the jolt.
    const float strength = std::clamp(share * state.touchdownAmplitude, 0.0f, 1.0f);
    const float amplitude = strength * settings.total_effect_strength / 100.0f * 2.0f;
    if (!std::isfinite(amplitude))
        return;
    stepOscillator(forces, state.oscillator, now, frequency, amplitude, random);
}

void registerTouchdown(LandingJoltState &state, const LandingJoltSettings &settings, std::uint64_t now,
                       float airspeed, float verticalSpeed)
{
    if (!hasSpan(settings.speed))
        return;
    const float n = normalize(airspeed, settings.speed);
    const float speedShare = exponentCurve(n, settings.speed.exp / 100.0f);
    const float sinkRate = verticalSpeed > 0.0f ? verticalSpeed : 0.0f; // NaN counts as 0 too
    const float candidate = sinkRate > 10.0f ? 10.0f * speedShare : sinkRate * speedShare;

    float rest = 0.0f;
    if (settings.effect_time > 0) {
        const float elapsed =
            static_cast<float>(now - state.touchdownTime) / static_cast<float>(settings.effect_time);
        rest = elapsed > 1.0f ? 0.0f : 1.0f - elapsed;
    }
    if (candidate > rest * state.touchdownAmplitude) {
        state.touchdownAmplitude = candidate;
        state.touchdownTime = now;
    }
}
