#pragma once

#include <QLoggingCategory>

// General messages of the effects engine.
Q_DECLARE_LOGGING_CATEGORY(lcEffects)

// One line per curve spring evaluation, up to 300 a second: off unless
// enabled with the rule "kestrox.effects.curve.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcEffectsCurve)
