#include "shturmoviktelemetryforcecalculator.h"

ShturmovikTelemetryForceCalculator::ShturmovikTelemetryForceCalculator(QObject *parent)
    : CommonTelemetryForceCalculator(parent)
{}

ShturmovikTelemetryForceCalculator::~ShturmovikTelemetryForceCalculator() = default;

void ShturmovikTelemetryForceCalculator::addAxisForces(AxisForces &, int, std::uint64_t)
{}
