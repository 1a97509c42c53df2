#include "simsetuplogging.h"

Q_LOGGING_CATEGORY(lcSimSetup, "kestrox.simsetup", QtInfoMsg)
