#pragma once

#include "forces.h"

#include <QObject>

#include <cstdint>

// Per-axis hook for War Thunder, called after the common composition while
// it supplies the telemetry. Adds nothing yet.
class WarthunderForceCalculator : public QObject
{
public:
    explicit WarthunderForceCalculator(QObject *parent = nullptr);

    void addAxisForces(AxisForces &forces, int axis, std::uint64_t effectTime);
};
