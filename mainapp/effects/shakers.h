#pragma once

#include "effectssettings.h"
#include "forces.h"
#include "shakerrandomsource.h"

#include <cstdint>

// Shakers add square waves to forces.periodic. Times are effect-clock
// milliseconds, airspeeds clamped km/h. The caller checks the active flag.
// An effect whose settings would divide by zero (a speed or angle-of-attack
// range with min equal to max) or ask for a frequency outside (0, 1000] Hz
// contributes nothing and its oscillator holds still.

// State of one square-wave oscillator; all zero at start.
struct ShakerOscillator
{
    std::uint64_t lastTime = 0;   // effect time of the previous step
    float phase = 0.0f;           // 0 <= phase < 1 after each step
    float frequencyJitter = 0.0f; // relative deviation in the current cycle
    float amplitudeJitter = 0.0f;

    bool operator==(const ShakerOscillator &) const = default;
};

// The touchdown jolt of one axis; all zero at start.
struct LandingJoltState
{
    ShakerOscillator oscillator;
    std::uint64_t touchdownTime = 0;
    float touchdownAmplitude = 0.0f; // 0..10

    bool operator==(const LandingJoltState &) const = default;
};

// Advances the oscillator to now at the target frequency (Hz) and adds
// +amplitude in the first half of the cycle, -amplitude in the second, both
// varied by the cycle's jitter. A new cycle draws new jitters from random.
void stepOscillator(AxisForces &forces, ShakerOscillator &oscillator, std::uint64_t now, float frequency,
                    float amplitude, ShakerRandomSource &random);

// Gear, flaps, airbrake or ground-roll rumble: value is the driving extent
// in percent; amplitude and frequency follow the airspeed.
void applyGenericShaker(AxisForces &forces, const GenericShakerSettings &settings,
                        ShakerOscillator &oscillator, std::uint64_t now, float airspeed, float value,
                        ShakerRandomSource &random);

// Stall buffet: amplitude follows airspeed and angle of attack (degrees).
void applyAoAShaker(AxisForces &forces, const AoAShakerSettings &settings, ShakerOscillator &oscillator,
                    std::uint64_t now, float airspeed, float angleOfAttack, ShakerRandomSource &random);

// The jolt armed by registerTouchdown, fading out over effect_time.
void applyLandingJolt(AxisForces &forces, const LandingJoltSettings &settings, LandingJoltState &state,
                      std::uint64_t now, float airspeed, ShakerRandomSource &random);

// Arms a jolt for a touchdown at now, unless the running jolt is still
// stronger. verticalSpeed is the sink rate's magnitude in m/s; above 10 it
// counts as 10.
void registerTouchdown(LandingJoltState &state, const LandingJoltSettings &settings, std::uint64_t now,
                       float airspeed, float verticalSpeed);
