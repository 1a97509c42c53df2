#include "telemetrylogging.h"

Q_LOGGING_CATEGORY(lcTelemetry, "kestrox.telemetry", QtInfoMsg)
