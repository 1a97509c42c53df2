#include "msfstelemetryforcecalculator.h"

MSFSTelemetryForceCalculator::MSFSTelemetryForceCalculator(QObject *parent)
    : CommonTelemetryForceCalculator(parent)
{}

MSFSTelemetryForceCalculator::~MSFSTelemetryForceCalculator() = default;

void MSFSTelemetryForceCalculator::addAxisForces(AxisForces &, int, std::uint64_t)
{}
