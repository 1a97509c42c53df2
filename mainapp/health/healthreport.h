#pragma once

#include "healthcheck.h"
#include "healthenvironment.h"

namespace HealthReport {

// Every check, in this order: devices, simulators, the program itself.
// Reads only: device nodes are opened and closed at once, no socket is
// bound, no file is written.
QList<HealthCheck> runAll(const HealthEnvironment &env);

} // namespace HealthReport
