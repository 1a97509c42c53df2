#pragma once

#include <QMetaType>
#include <QObject>

#include <array>

// The simulator-independent aircraft state. Plain value record, copied whole
// through queued connections. rollFlowAngle, aoa and sideslip stay adjacent
// and in this order: effects index them by axis (0 roll, 1 pitch, 2 yaw).
struct Telemetry
{
    Q_GADGET

public:
    enum Source
    {
        TELEMETRY_SOURCE_NONE = 0,
        TELEMETRY_SOURCE_MSFS = 1,
        TELEMETRY_SOURCE_DCS = 2,
        TELEMETRY_SOURCE_IL2 = 3,
        TELEMETRY_SOURCE_WARTHUNDER = 4,
        TELEMETRY_SOURCE_CONDOR = 5,
        TELEMETRY_SOURCE_XPLANE = 6,
    };
    Q_ENUM(Source)

    static constexpr int SourceCount = 7;

    float verticalSpeed = 0.0f; // m/s
    float rollFlowAngle = 0.0f; // degrees; never set by any source
    float aoa = 0.0f;           // degrees
    float sideslip = 0.0f;      // degrees
    float rollRate = 0.0f;      // degrees/s
    float gForce = 0.0f;        // g
    float propAirflow = 0.0f;   // thrust, percent (IL-2: fraction 0..1)
    float trimmerRoll = 0.0f;   // percent, -100..100
    float trimmerPitch = 0.0f;  // percent, -100..100
    float trimmerYaw = 0.0f;    // percent, -100..100
    float gear = 0.0f;          // percent, 0..100
    float airbrake = 0.0f;      // percent, 0..100
    float flaps = 0.0f;         // percent, 0..100
    bool onGround = false;
    float airspeed = 0.0f; // km/h, as delivered by the source

    // Indicated airspeed limited to 0..1000 km/h; every consumer reads this.
    // A NaN airspeed reads as 0.
    float clampedAirspeed() const;

    // Flow angle of an axis: 0 roll, 1 pitch, 2 yaw.
    float flowAngle(int axis) const;
};

// When the simulator's input that a record was made from reached the
// program, in ms on the process's monotonic clock (steadyMillisecondClock);
// -1 for a record no input made (the all-zero record at the end).
struct TelemetryStamp
{
    qint64 inputStampMs = -1;
};

// What the simulators that report it say of the autopilot and of the
// cockpit controls it moves, for trim and autopilot following.
struct AutopilotTelemetry
{
    bool autopilotEngaged = false;
    // Positions of the roll, pitch and yaw controls, -1..1 of full deflection.
    std::array<float, 3> controlPosition{};
};

// Raw per-simulator records. Each begins with a complete Telemetry so the
// output loop can take the leading part of any of them as the common record.
struct MSFSTelemetry : Telemetry, TelemetryStamp, AutopilotTelemetry
{};

struct DCSTelemetry : Telemetry, TelemetryStamp
{};

struct WarthunderTelemetry : Telemetry, TelemetryStamp
{};

struct ShturmovikTelemetry : Telemetry, TelemetryStamp
{
    float indicator9A = 0.0f;
    float indicator9B = 0.0f;
};

struct Condor2Telemetry : Telemetry, TelemetryStamp
{
    float turbulenceStrength = 0.0f;
};

struct XPlaneTelemetry : Telemetry, TelemetryStamp, AutopilotTelemetry
{};

Q_DECLARE_METATYPE(Telemetry)
Q_DECLARE_METATYPE(MSFSTelemetry)
Q_DECLARE_METATYPE(DCSTelemetry)
Q_DECLARE_METATYPE(WarthunderTelemetry)
Q_DECLARE_METATYPE(ShturmovikTelemetry)
Q_DECLARE_METATYPE(Condor2Telemetry)
Q_DECLARE_METATYPE(XPlaneTelemetry)

// Registers the telemetry records and Telemetry::Source under their own
// names for queued connections. Safe to call more than once.
void registerTelemetryMetaTypes();

// A parsed number that is not finite would reach the motors: store 0 instead.
inline float finiteOrZero(double value)
{
    const auto f = static_cast<float>(value);
    return (f - f == 0.0f) ? f : 0.0f;
}
