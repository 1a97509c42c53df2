#pragma once

#include "commontelemetryforcecalculator.h"

// Per-axis hook for X-Plane, called after the common composition while
// it supplies the telemetry. Adds nothing yet; the inherited shaker
// state is not used.
class XPlaneTelemetryForceCalculator : public CommonTelemetryForceCalculator
{
    Q_OBJECT

public:
    explicit XPlaneTelemetryForceCalculator(QObject *parent = nullptr);
    ~XPlaneTelemetryForceCalculator() override;

    void addAxisForces(AxisForces &forces, int axis, std::uint64_t effectTime);
};
