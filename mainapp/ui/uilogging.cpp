#include "uilogging.h"

Q_LOGGING_CATEGORY(lcUi, "kestrox.ui", QtInfoMsg)
