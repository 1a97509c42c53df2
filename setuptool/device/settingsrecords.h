#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QtGlobal>

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

// The records below are laid out exactly as the firmware keeps them. Native
// field types give that layout only on a little-endian host.
static_assert(std::endian::native == std::endian::little, "device records are little-endian");

inline constexpr quint16 KestroxVendorId = 0x045B;

inline constexpr int GenericProductId = 0x55F0;
inline constexpr int JoystickProductId = 0x58F9;
inline constexpr int RudderProductId = 0x5968;
inline constexpr int WheelProductId = 0x59D7;

// Every product id the setup tool looks for; the position is the kind index,
// which fixes the order of the device list and of each poll.
inline constexpr std::array<int, 4> KestroxProductIds{GenericProductId, JoystickProductId, RudderProductId,
                                                      WheelProductId};

inline QList<int> kestroxProductIdList()
{
    return QList<int>(KestroxProductIds.begin(), KestroxProductIds.end());
}

// The name of each kind in the device list, by kind index.
inline constexpr std::array<const char *, 4> KestroxDeviceNames{"Kestrox Generic", "Kestrox Joystick",
                                                                "Kestrox Rudder", "Kestrox Wheel PRO"};

// Kind index of a product id, -1 for one the tool does not know.
inline int kestroxKindIndex(int productId)
{
    for (std::size_t kind = 0; kind < KestroxProductIds.size(); ++kind) {
        if (KestroxProductIds[kind] == productId)
            return int(kind);
    }
    return -1;
}

// What the device says it is (byte 4 of DeviceInfoTypeDef). Never derived
// from the product id.
enum class DeviceType : quint8
{
    Generic = 0,
    Joystick = 1,
    Rudder = 2,
    Wheel = 3,
};

// Feature report numbers, all on interface 0.
enum class SettingsReportId : quint8
{
    CommandReport = 0x20,          // host to device: command, optional record chunk
    HardwareSettingsReport = 0x21, // HardwareSettingsTypeDef
    EffectSettingsReport = 0x22,   // EffectSettingsTypeDef
    DeviceStateReport = 0x24,      // byte 0: 0 ready, anything else busy
    DeviceInfoReport = 0x25,       // DeviceInfoTypeDef
};

enum class DeviceCommand : quint8
{
    RebootController = 0x01,
    SaveSettings = 0x02, // current settings to permanent memory; busy afterwards
    SwitchToDfu = 0x03,
    WriteHardwareSettings = 0x11, // followed by a 512-byte record transfer
    WriteEffectSettings = 0x12,   // followed by a 384-byte record transfer
};

// Every record that crosses the wire is packed: 16-bit fields may start at odd
// offsets. All members start at zero, so a record the tool builds sends every
// unused byte as zero.
#pragma pack(push, 1)

// The 65 bytes of every SET_REPORT. A plain command leaves everything after
// the command code zero.
struct CommandReportTypeDef
{
    static constexpr int ChunkSize = 58;

    quint8 reportId = quint8(SettingsReportId::CommandReport);
    quint8 command = 0;
    quint16 chunkOffset = 0; // where this chunk starts in the record
    quint16 remaining = 0;   // record bytes from chunkOffset to the end; 0xFFFF ends a transfer
    quint8 data[ChunkSize] = {};
    quint8 zero = 0;
};

struct DeviceInfoTypeDef
{
    quint32 firmwareVersion = 0; // shown in decimal
    quint8 deviceType = 0;       // DeviceType; kept raw as the firmware may know more types
    quint8 reserved[59] = {};

    DeviceType type() const { return DeviceType(deviceType); }
};

// One force axis of the effect settings.
struct EffectAxisTypeDef
{
    quint8 totalEffectStrength = 0; // %, 0..100
    quint8 softStopStrength = 0;    // %, 0..100
    quint8 softStopRange = 0;       // degrees, 1..45
    quint16 staticDampening = 0;    // %, 0..999
    quint16 dynamicDampening = 0;   // %, 0..999
    quint16 motionRange = 0;        // degrees, 0..9999
    float maxForce = 0.0f;          // kg, a whole number 0..100
    quint8 reserved0 = 0;
    quint16 softStopDampening = 0; // %, 0..999
    quint8 reserved1[112] = {};
};

struct EffectSettingsTypeDef
{
    qint8 invertConstantForce = 0;      // +1 inverted, -1 not; read back as inverted when > 0
    quint8 directXSpringStrength = 0;   // %, 0..100
    quint8 directXConstantStrength = 0; // %, 0..100
    quint8 directXPeriodicStrength = 0; // %, 0..100
    quint8 reserved[124] = {};
    EffectAxisTypeDef axes[2];
};

// One motor axis of the hardware settings.
struct HardwareAxisTypeDef
{
    qint8 encoderDirection = 0; // +1 inverted, -1 not; only exactly 1 reads back as inverted
    qint8 forceDirection = 0;   // same encoding
    quint8 motorPolePairs = 0;  // 0..99
    quint16 encoderCpr = 0;     // encoder counts per revolution
    quint8 reserved0[2] = {};
    float pGain = 0.0f;
    float iGain = 0.0f;
    quint8 reserved1[113] = {};
};

struct HardwareSettingsTypeDef
{
    quint8 forceEnabled = 0; // 1 on, 0 off; any non-zero value reads back as on
    quint8 debugForces = 0;  // same encoding
    quint8 reserved0 = 0;
    quint8 calibrationMode = 0;  // position in the calibration mode list
    quint8 currentSenseGain = 0; // position in the current sense gain list
    quint8 spiExtensionMode = 0; // position in the extension mode list
    quint8 gpioModes[10] = {};   // Pin 1 .. Pin 8, Encoder Z0, Encoder Z1
    quint8 buttonModes[32] = {};
    quint8 powerLimit = 0;             // %, 0..100
    quint8 brakingResistorLimit = 0;   // %, 0..100
    quint8 calibrationMagnitude = 0;   // %, 0..100
    quint8 calibrationSpeed = 0;       // %, 0..100
    quint8 calibrationStopCurrent = 0; // %, 0..100
    quint8 reserved1[6] = {};
    // The analog axis arrays are indexed Rx, Ry, Rz.
    quint8 analogButtonLow[3] = {};      // %, 0..100
    quint8 analogButtonHigh[3] = {};     // %, 0..100
    quint8 positionSmoothing = 0;        // %, 0..100
    quint8 speedSampleBufferSize = 0;    // samples, 2..32
    quint16 analogLowerDeadZone[3] = {}; // 0..32767
    quint16 analogUpperDeadZone[3] = {}; // 0..32767
    quint8 analogSmoothing[3] = {};      // %, 0..100
    quint8 analogInvert[3] = {};         // 1 on, 0 off; non-zero reads back as on
    quint8 reserved2[171] = {};
    HardwareAxisTypeDef axes[2];
};

#pragma pack(pop)

static_assert(sizeof(CommandReportTypeDef) == 65);
static_assert(offsetof(CommandReportTypeDef, command) == 1);
static_assert(offsetof(CommandReportTypeDef, chunkOffset) == 2);
static_assert(offsetof(CommandReportTypeDef, remaining) == 4);
static_assert(offsetof(CommandReportTypeDef, data) == 6);
static_assert(offsetof(CommandReportTypeDef, zero) == 64);

static_assert(sizeof(DeviceInfoTypeDef) == 64);
static_assert(offsetof(DeviceInfoTypeDef, deviceType) == 4);
static_assert(offsetof(DeviceInfoTypeDef, reserved) == 5);

static_assert(sizeof(EffectAxisTypeDef) == 128);
static_assert(offsetof(EffectAxisTypeDef, softStopStrength) == 1);
static_assert(offsetof(EffectAxisTypeDef, softStopRange) == 2);
static_assert(offsetof(EffectAxisTypeDef, staticDampening) == 3);
static_assert(offsetof(EffectAxisTypeDef, dynamicDampening) == 5);
static_assert(offsetof(EffectAxisTypeDef, motionRange) == 7);
static_assert(offsetof(EffectAxisTypeDef, maxForce) == 9);
static_assert(offsetof(EffectAxisTypeDef, reserved0) == 13);
static_assert(offsetof(EffectAxisTypeDef, softStopDampening) == 14);
static_assert(offsetof(EffectAxisTypeDef, reserved1) == 16);

static_assert(sizeof(EffectSettingsTypeDef) == 384);
static_assert(offsetof(EffectSettingsTypeDef, directXSpringStrength) == 1);
static_assert(offsetof(EffectSettingsTypeDef, directXConstantStrength) == 2);
static_assert(offsetof(EffectSettingsTypeDef, directXPeriodicStrength) == 3);
static_assert(offsetof(EffectSettingsTypeDef, reserved) == 4);
static_assert(offsetof(EffectSettingsTypeDef, axes) == 128);

static_assert(sizeof(HardwareAxisTypeDef) == 128);
static_assert(offsetof(HardwareAxisTypeDef, forceDirection) == 1);
static_assert(offsetof(HardwareAxisTypeDef, motorPolePairs) == 2);
static_assert(offsetof(HardwareAxisTypeDef, encoderCpr) == 3);
static_assert(offsetof(HardwareAxisTypeDef, reserved0) == 5);
static_assert(offsetof(HardwareAxisTypeDef, pGain) == 7);
static_assert(offsetof(HardwareAxisTypeDef, iGain) == 11);
static_assert(offsetof(HardwareAxisTypeDef, reserved1) == 15);

static_assert(sizeof(HardwareSettingsTypeDef) == 512);
static_assert(offsetof(HardwareSettingsTypeDef, debugForces) == 1);
static_assert(offsetof(HardwareSettingsTypeDef, reserved0) == 2);
static_assert(offsetof(HardwareSettingsTypeDef, calibrationMode) == 3);
static_assert(offsetof(HardwareSettingsTypeDef, currentSenseGain) == 4);
static_assert(offsetof(HardwareSettingsTypeDef, spiExtensionMode) == 5);
static_assert(offsetof(HardwareSettingsTypeDef, gpioModes) == 6);
static_assert(offsetof(HardwareSettingsTypeDef, buttonModes) == 16);
static_assert(offsetof(HardwareSettingsTypeDef, powerLimit) == 48);
static_assert(offsetof(HardwareSettingsTypeDef, brakingResistorLimit) == 49);
static_assert(offsetof(HardwareSettingsTypeDef, calibrationMagnitude) == 50);
static_assert(offsetof(HardwareSettingsTypeDef, calibrationSpeed) == 51);
static_assert(offsetof(HardwareSettingsTypeDef, calibrationStopCurrent) == 52);
static_assert(offsetof(HardwareSettingsTypeDef, reserved1) == 53);
static_assert(offsetof(HardwareSettingsTypeDef, analogButtonLow) == 59);
static_assert(offsetof(HardwareSettingsTypeDef, analogButtonHigh) == 62);
static_assert(offsetof(HardwareSettingsTypeDef, positionSmoothing) == 65);
static_assert(offsetof(HardwareSettingsTypeDef, speedSampleBufferSize) == 66);
static_assert(offsetof(HardwareSettingsTypeDef, analogLowerDeadZone) == 67);
static_assert(offsetof(HardwareSettingsTypeDef, analogUpperDeadZone) == 73);
static_assert(offsetof(HardwareSettingsTypeDef, analogSmoothing) == 79);
static_assert(offsetof(HardwareSettingsTypeDef, analogInvert) == 82);
static_assert(offsetof(HardwareSettingsTypeDef, reserved2) == 85);
static_assert(offsetof(HardwareSettingsTypeDef, axes) == 256);

template<typename T>
inline constexpr bool isDeviceRecord =
    std::is_same_v<T, CommandReportTypeDef> || std::is_same_v<T, DeviceInfoTypeDef> ||
    std::is_same_v<T, EffectSettingsTypeDef> || std::is_same_v<T, HardwareSettingsTypeDef>;

// Records compare byte for byte: a float field is equal only when its bits are.
template<typename Record>
requires isDeviceRecord<Record>
bool operator==(const Record &a, const Record &b)
{
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

template<typename Record>
requires isDeviceRecord<Record> QByteArray recordBytes(const Record &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), qsizetype(sizeof(Record)));
}

// Takes the leading sizeof(Record) bytes of data as the record.
template<typename Record>
requires isDeviceRecord<Record> Record recordFromBytes(const void *data)
{
    static_assert(std::is_trivially_copyable_v<Record>);
    Record record;
    std::memcpy(&record, data, sizeof(Record));
    return record;
}

using ConnectedDeviceMap = QMap<int, DeviceInfoTypeDef>;

Q_DECLARE_METATYPE(DeviceInfoTypeDef)
Q_DECLARE_METATYPE(EffectSettingsTypeDef)
Q_DECLARE_METATYPE(HardwareSettingsTypeDef)
