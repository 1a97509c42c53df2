#include "healthreport.h"

#include "devicechecks.h"
#include "programchecks.h"
#include "simulatorchecks.h"

namespace HealthReport {

QList<HealthCheck> runAll(const HealthEnvironment &env)
{
    return DeviceChecks::run(env) + SimulatorChecks::run(env) + ProgramChecks::run(env);
}

} // namespace HealthReport
