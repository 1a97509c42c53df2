#include "effectsmetatypes.h"

#include "effectsprofile.h"
#include "effectssettings.h"
#include "forces.h"

void registerEffectsMetaTypes()
{
    qRegisterMetaType<EffectsSettings>("EffectsSettings");
    qRegisterMetaType<AxisEffectsSettings>("AxisEffectsSettings");
    qRegisterMetaType<PointCurve>("PointCurve");
    qRegisterMetaType<Forces>("Forces");
    qRegisterMetaType<AxisForces>("AxisForces");
    qRegisterMetaType<EffectsProfileMetadata>("EffectsProfileMetadata");
    qRegisterMetaType<EffectsProfile>("EffectsProfile");
    qRegisterMetaType<EffectsProfile::EffectType>("EffectsProfile::EffectType");
}
