#pragma once

#include "effectssettings.h"
#include "forces.h"
#include "shakerrandomsource.h"
#include "shakers.h"
#include "telemetry.h"

#include <QObject>

#include <array>
#include <cstdint>

// Composes the forces of an axis from its settings, the selected telemetry
// and the control position, for every simulator alike. Holds the shaker and
// landing jolt states of the three axes, which persist across ticks,
// settings and telemetry sources. Used on the output loop's thread only.
class CommonTelemetryForceCalculator : public QObject
{
    Q_OBJECT

public:
    enum Shaker
    {
        AoAShaker,
        GearShaker,
        FlapsShaker,
        AirbrakeShaker,
        OnGroundShaker,
        ShakerCount
    };

    explicit CommonTelemetryForceCalculator(QObject *parent = nullptr);
    ~CommonTelemetryForceCalculator() override;

    // Applies the active effects of axis (0 ailerons, 1 elevator, 2 rudder)
    // to forces: curve springs over deflection, G and angle of attack, the
    // airflow spring, the elevator weight, the landing jolt and the shakers,
    // in that order. effectTime is the effect clock in ms, which the caller
    // owns; position is +-1 at full deflection. Works on a copy of the axis
    // settings. Finite forces stay finite whatever the settings and the
    // telemetry hold (NaN readings count as 0). Allocates nothing and logs
    // only to the curve category, which is off by default.
    // `centre` (-1..1) is where the deflection springs (simple and airflow
    // spring) pull to: the position minus it is their deflection.
    void composeAxis(AxisForces &forces, int axis, std::uint64_t effectTime, float position,
                     const Telemetry &telemetry, const EffectsSettings &settings, float centre = 0.0f);

    // Registers a touchdown at effectTime on every axis whose landing jolt is
    // active. verticalSpeed is the sink rate's magnitude in m/s.
    void touchdown(std::uint64_t effectTime, float airspeed, float verticalSpeed,
                   const EffectsSettings &settings);

    const LandingJoltState &landingJoltState(int axis) const;
    const ShakerOscillator &oscillator(int axis, Shaker shaker) const;

private:
    struct AxisState
    {
        LandingJoltState landingJolt;
        std::array<ShakerOscillator, ShakerCount> oscillators{};
    };

    std::array<AxisState, Forces::AxisCount> m_axes{};
    ShakerRandomSource m_random;
};
