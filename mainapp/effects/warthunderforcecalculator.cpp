#include "warthunderforcecalculator.h"

WarthunderForceCalculator::WarthunderForceCalculator(QObject *parent) : QObject(parent)
{}

void WarthunderForceCalculator::addAxisForces(AxisForces &, int, std::uint64_t)
{}
