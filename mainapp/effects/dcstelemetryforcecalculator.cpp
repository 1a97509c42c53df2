#include "dcstelemetryforcecalculator.h"

DCSTelemetryForceCalculator::DCSTelemetryForceCalculator(QObject *parent) : QObject(parent)
{}

void DCSTelemetryForceCalculator::addAxisForces(AxisForces &, int, std::uint64_t)
{}
