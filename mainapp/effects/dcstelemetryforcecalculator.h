#pragma once

#include "forces.h"

#include <QObject>

#include <cstdint>

// Per-axis hook for DCS World, called after the common composition while
// it supplies the telemetry. Adds nothing yet.
class DCSTelemetryForceCalculator : public QObject
{
public:
    explicit DCSTelemetryForceCalculator(QObject *parent = nullptr);

    void addAxisForces(AxisForces &forces, int axis, std::uint64_t effectTime);
};
