#include "condortelemetryforcecalculator.h"

CondorTelemetryForceCalculator::CondorTelemetryForceCalculator(QObject *parent) : QObject(parent)
{}

void CondorTelemetryForceCalculator::addAxisForces(AxisForces &, int, std::uint64_t)
{}
