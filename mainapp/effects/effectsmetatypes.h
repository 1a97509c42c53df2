#pragma once

// Registers the effect records that cross threads (EffectsSettings,
// AxisEffectsSettings, PointCurve, Forces, AxisForces, the profile records)
// and EffectsProfile::EffectType under their own names. Safe to call more
// than once.
void registerEffectsMetaTypes();
