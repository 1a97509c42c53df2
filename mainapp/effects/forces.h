#pragma once

#include <QMetaType>

#include <array>
#include <cmath>

// What the effects of one axis ask of its motor, in the unit of the spring
// curves (labelled kilograms in the editor).
struct AxisForces
{
    float force = 0.0f;    // signed steady force: springs and weight
    float periodic = 0.0f; // signed sum of the shaker square waves
    float spring = 0.0f;   // magnitude left by the last spring evaluated

    bool operator==(const AxisForces &) const = default;
};

// The forces of the three axes: 0 ailerons, 1 elevator, 2 rudder.
struct Forces
{
    static constexpr int AxisCount = 3;

    std::array<AxisForces, AxisCount> axes{};

    AxisForces &operator[](int axis) { return axes[static_cast<std::size_t>(axis)]; }
    const AxisForces &operator[](int axis) const { return axes[static_cast<std::size_t>(axis)]; }

    bool operator==(const Forces &) const = default;
};

// True when no field is NaN or infinite.
inline bool isFinite(const AxisForces &forces)
{
    return std::isfinite(forces.force) && std::isfinite(forces.periodic) && std::isfinite(forces.spring);
}

// Takes the result of one effect only when it is finite: a motor must never
// receive NaN or infinity, so an effect that overflows contributes nothing.
inline void commitIfFinite(AxisForces &forces, const AxisForces &result)
{
    if (isFinite(result))
        forces = result;
}

Q_DECLARE_METATYPE(AxisForces)
Q_DECLARE_METATYPE(Forces)
