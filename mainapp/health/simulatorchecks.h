#pragma once

#include "healthcheck.h"
#include "healthenvironment.h"

#include <QList>

namespace SimulatorChecks {

// simulator.<name> for DCS, IL-2, Condor 2 and MSFS (found, set up, with the
// files looked at), msfs.port (the listener against the port dialled) and
// port.<name> for each simulator's UDP port (held by another program?).
QList<HealthCheck> run(const HealthEnvironment &env);

// The port kestrox-vantrell dials for MSFS: env.msfsDialledPort, else the
// one in its SimConnect.cfg, else 5111.
quint16 dialledMsfsPort(const HealthEnvironment &env);

} // namespace SimulatorChecks
