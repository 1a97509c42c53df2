#pragma once

#include "effectssettings.h"

// Where trim and autopilot following want an axis's centre, and how the
// centre gets there. Positions and centres are -1..1 of full deflection.
namespace TrimFollowing {

// The largest move of the centre in one 10 ms tick: full deflection in a second.
constexpr float StepPerTick = 0.01f;

// The centre the effect asks for: the trim (percent) x strength / 100 / 100,
// or while `autopilot` is set and the autopilot is engaged the position of
// the axis's control; negated when `reverse` is set; within +-1; 0 where the
// effect is inactive. Values that are not finite count as 0.
float target(const TrimFollowingSettings &settings, float trimPercent, bool autopilotEngaged,
             float controlPosition);

// The centre moved towards target by at most StepPerTick; finite, within +-1.
float step(float centre, float target);

} // namespace TrimFollowing
