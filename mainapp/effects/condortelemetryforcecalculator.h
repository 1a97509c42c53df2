#pragma once

#include "forces.h"

#include <QObject>

#include <cstdint>

// Per-axis hook for Condor 2, called after the common composition while
// it supplies the telemetry. Adds nothing yet.
class CondorTelemetryForceCalculator : public QObject
{
public:
    explicit CondorTelemetryForceCalculator(QObject *parent = nullptr);

    void addAxisForces(AxisForces &forces, int axis, std::uint64_t effectTime);
};
