#include "effectslogging.h"

Q_LOGGING_CATEGORY(lcEffects, "kestrox.effects", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEffectsCurve, "kestrox.effects.curve", QtInfoMsg)
