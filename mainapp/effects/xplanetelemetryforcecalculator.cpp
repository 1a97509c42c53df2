#include "xplanetelemetryforcecalculator.h"

XPlaneTelemetryForceCalculator::XPlaneTelemetryForceCalculator(QObject *parent)
    : CommonTelemetryForceCalculator(parent)
{}

XPlaneTelemetryForceCalculator::~XPlaneTelemetryForceCalculator() = default;

void XPlaneTelemetryForceCalculator::addAxisForces(AxisForces &, int, std::uint64_t)
{}
