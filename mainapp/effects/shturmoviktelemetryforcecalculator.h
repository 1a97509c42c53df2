#pragma once

#include "commontelemetryforcecalculator.h"

// Per-axis hook for IL-2 Sturmovik, called after the common composition while
// it supplies the telemetry. Adds nothing yet; the inherited shaker
// state is not used.
class ShturmovikTelemetryForceCalculator : public CommonTelemetryForceCalculator
{
    Q_OBJECT

public:
    explicit ShturmovikTelemetryForceCalculator(QObject *parent = nullptr);
    ~ShturmovikTelemetryForceCalculator() override;

    void addAxisForces(AxisForces &forces, int axis, std::uint64_t effectTime);
};
