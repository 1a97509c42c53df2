#include "profilelogging.h"

Q_LOGGING_CATEGORY(lcProfiles, "kestrox.profiles", QtInfoMsg)
