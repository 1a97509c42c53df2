#include "healthlogging.h"

Q_LOGGING_CATEGORY(lcHealth, "kestrox.health", QtInfoMsg)
