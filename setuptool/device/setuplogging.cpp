#include "setuplogging.h"

Q_LOGGING_CATEGORY(lcSetup, "kestrox.setup", QtInfoMsg)
