#pragma once

#include "commontelemetryforcecalculator.h"

// Per-axis hook for Microsoft Flight Simulator, called after the common composition while
// it supplies the telemetry. Adds nothing yet; the inherited shaker
// state is not used.
class MSFSTelemetryForceCalculator : public CommonTelemetryForceCalculator
{
    Q_OBJECT

public:
    explicit MSFSTelemetryForceCalculator(QObject *parent = nullptr);
    ~MSFSTelemetryForceCalculator() override;

    void addAxisForces(AxisForces &forces, int axis, std::uint64_t effectTime);
};
