#pragma once

#include "effectssettings.h"
#include "forces.h"

#include <QMetaType>

#include <array>
#include <cstddef>
#include <cstdint>

// Control positions, +-1.0 at full deflection; an absent device's axes read 0.
struct PositionInput
{
    float roll = 0.0f;
    float pitch = 0.0f;
    float yaw = 0.0f;

    bool operator==(const PositionInput &) const = default;
};

// Scales for the device's own DirectX force feedback, 0..1. Element 0 is the
// device's first axis (roll, or yaw on the rudder), element 1 its second
// (pitch; always 0 on the rudder).
struct DirectXOverrideTypeDef
{
    float trimmer[2] = {0.0f, 0.0f};
    float force[2] = {0.0f, 0.0f};
    float periodic[2] = {0.0f, 0.0f};
};
static_assert(sizeof(DirectXOverrideTypeDef) == 24);

Q_DECLARE_METATYPE(PositionInput)
Q_DECLARE_METATYPE(DirectXOverrideTypeDef)

// The HID reports exchanged with the joystick and the rudder: 65 bytes with
// the report id in byte 0, floats little-endian at fixed unaligned offsets.
namespace DeviceReports {

constexpr quint16 VendorId = 0x045B;
constexpr quint16 JoystickProductId = 0x58F9;
constexpr quint16 RudderProductId = 0x5968;

constexpr unsigned char PositionReportId = 0x24;
constexpr unsigned char VersionReportId = 0x25;
constexpr unsigned char OutputReportId = 0x02;
constexpr unsigned char DirectControlCommand = 0x20;
constexpr unsigned char DirectXOverrideCommand = 0x21;

constexpr std::size_t ReportSize = 65;
using Report = std::array<unsigned char, ReportSize>;

// Damping coefficients of one axis, from its smart damper settings.
struct AxisDamping
{
    float staticDamping = 0.0f;
    float dynamicDamping = 0.0f;
};

AxisDamping dampingOf(const AxisEffectsSettings &axis);
// The DirectX scales of the device whose first axis is `first` and second
// axis `second` (null for the rudder).
DirectXOverrideTypeDef directXOverrideOf(const AxisEffectsSettings &first, const AxisEffectsSettings *second);

// Direct control for a device's two slots; the rudder passes a zero second
// axis. Values that are not finite are written as 0.
Report directControl(const AxisForces &first, const AxisForces &second, AxisDamping firstDamping,
                     AxisDamping secondDamping);
Report directXOverride(const DirectXOverrideTypeDef &scales);

// A cleared feature-report request for the given report id.
Report featureRequest(unsigned char reportId);
// The version word: bytes 0-3 little-endian, so its low byte is the report id.
quint32 versionFromReport(const Report &report);
// Float at a byte offset of a position report.
float floatAt(const Report &report, std::size_t offset);
void putFloat(unsigned char *at, float value);

} // namespace DeviceReports
