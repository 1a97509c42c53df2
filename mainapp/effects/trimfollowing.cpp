#include "trimfollowing.h"

#include <algorithm>
#include <cmath>

namespace TrimFollowing {

namespace {

float finiteOrZero(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

} // namespace

float target(const TrimFollowingSettings &settings, float trimPercent, bool autopilotEngaged, float controlPosition)
{
    if (!settings.active)
        return 0.0f;
    float wanted = settings.autopilot && autopilotEngaged
                       ? finiteOrZero(controlPosition)
                       : finiteOrZero(trimPercent) * finiteOrZero(settings.total_effect_strength) / 100.0f / 100.0f;
    if (settings.reverse)
        wanted = -wanted;
    return std::clamp(finiteOrZero(wanted), -1.0f, 1.0f);
}

float step(float centre, float target)
{
    const float from = std::clamp(finiteOrZero(centre), -1.0f, 1.0f);
    const float to = std::clamp(finiteOrZero(target), -1.0f, 1.0f);
    return std::clamp(to, from - StepPerTick, from + StepPerTick);
}

} // namespace TrimFollowing
