#include "telemetry.h"

#include <algorithm>
#include <cmath>

float Telemetry::clampedAirspeed() const
{
    if (std::isnan(airspeed))
        return 0.0f;
    return std::clamp(airspeed, 0.0f, 1000.0f);
}

float Telemetry::flowAngle(int axis) const
{
    switch (axis) {
    case 0:
        return rollFlowAngle;
    case 1:
        return aoa;
    case 2:
        return sideslip;
    default:
        return 0.0f;
    }
}

void registerTelemetryMetaTypes()
{
    qRegisterMetaType<Telemetry>("Telemetry");
    qRegisterMetaType<Telemetry::Source>("Telemetry::Source");
    qRegisterMetaType<MSFSTelemetry>("MSFSTelemetry");
    qRegisterMetaType<DCSTelemetry>("DCSTelemetry");
    qRegisterMetaType<WarthunderTelemetry>("WarthunderTelemetry");
    qRegisterMetaType<ShturmovikTelemetry>("ShturmovikTelemetry");
    qRegisterMetaType<Condor2Telemetry>("Condor2Telemetry");
    qRegisterMetaType<XPlaneTelemetry>("XPlaneTelemetry");
}
