#include "settingsrecords.h"

#include <QTest>

#include <cstring>

namespace {

// Expected wire images, written from the documented offsets, not from the structs.
struct Image
{
    explicit Image(int size) : bytes(size, '\0') {}
    void u8(int at, int v) { bytes[at] = char(v); }
    void u16(int at, int v) { u8(at, v & 0xFF), u8(at + 1, (v >> 8) & 0xFF); }
    void f32(int at, float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        u16(at, int(bits & 0xFFFF)), u16(at + 2, int(bits >> 16));
    }
    QByteArray bytes;
};

} // namespace

class TestSettingsRecords : public QObject
{
    Q_OBJECT

private slots:
    void newRecordsAreZero();
    void commandAndInfoLayout();
    void effectSettingsLayout();
    void hardwareSettingsLayout();
};

void TestSettingsRecords::newRecordsAreZero()
{
    // Unused bytes go to the device as they are: a new record must be all zero.
    QCOMPARE(recordBytes(EffectSettingsTypeDef{}), QByteArray(384, '\0'));
    QCOMPARE(recordBytes(HardwareSettingsTypeDef{}), QByteArray(512, '\0'));
    QCOMPARE(recordBytes(DeviceInfoTypeDef{}), QByteArray(64, '\0'));
    QCOMPARE(recordBytes(CommandReportTypeDef{}), QByteArray(1, 0x20) + QByteArray(64, '\0'));
}

void TestSettingsRecords::commandAndInfoLayout()
{
    CommandReportTypeDef packet;
    packet.command = quint8(DeviceCommand::WriteEffectSettings);
    packet.chunkOffset = 0x0123;
    packet.remaining = 0xFFFF;
    Image command(65);
    command.u8(0, 0x20);
    command.u8(1, 0x12);
    command.u16(2, 0x0123);
    command.u16(4, 0xFFFF);
    for (int i = 0; i < 58; ++i) {
        packet.data[i] = quint8(0xA0 + i);
        command.u8(6 + i, 0xA0 + i);
    }
    QCOMPARE(recordBytes(packet), command.bytes);

    Image info(64);
    info.u16(0, 0xABE3); // 240611
    info.u16(2, 0x0003);
    info.u8(4, 3);
    info.u8(63, 0x5A);
    const auto record = recordFromBytes<DeviceInfoTypeDef>(info.bytes.constData());
    QCOMPARE(quint32(record.firmwareVersion), 240611u);
    QCOMPARE(record.type(), DeviceType::Wheel);
    QCOMPARE(recordBytes(record), info.bytes);
}

void TestSettingsRecords::effectSettingsLayout()
{
    EffectSettingsTypeDef record;
    record.invertConstantForce = -1;
    record.directXSpringStrength = 11;
    record.directXConstantStrength = 12;
    record.directXPeriodicStrength = 13;
    Image expected(384);
    expected.bytes.replace(0, 4, QByteArrayView("\xFF\x0B\x0C\x0D", 4));
    for (int a = 0; a < 2; ++a) {
        EffectAxisTypeDef &axis = record.axes[a];
        axis.totalEffectStrength = quint8(20 + a);
        axis.softStopStrength = quint8(30 + a);
        axis.softStopRange = quint8(40 + a);
        axis.staticDampening = quint16(0x0301 + a);
        axis.dynamicDampening = quint16(0x0302 + a);
        axis.motionRange = quint16(0x2705 + a);
        axis.maxForce = 37.0f + float(a);
        axis.softStopDampening = quint16(0x03E7 - a);

        const int base = 128 + 128 * a;
        expected.u8(base + 0, 20 + a);
        expected.u8(base + 1, 30 + a);
        expected.u8(base + 2, 40 + a);
        expected.u16(base + 3, 0x0301 + a);
        expected.u16(base + 5, 0x0302 + a);
        expected.u16(base + 7, 0x2705 + a);
        expected.f32(base + 9, 37.0f + float(a));
        expected.u16(base + 14, 0x03E7 - a);
    }
    QCOMPARE(recordBytes(record), expected.bytes);
}

void TestSettingsRecords::hardwareSettingsLayout()
{
    HardwareSettingsTypeDef record;
    Image expected(512);
    record.forceEnabled = 1;
    record.debugForces = 2;
    record.calibrationMode = 3;
    record.currentSenseGain = 4;
    record.spiExtensionMode = 5;
    expected.bytes.replace(0, 6, QByteArrayView("\x01\x02\x00\x03\x04\x05", 6));
    for (int i = 0; i < 10; ++i)
        record.gpioModes[i] = quint8(0x60 + i), expected.u8(6 + i, 0x60 + i);
    for (int i = 0; i < 32; ++i)
        record.buttonModes[i] = quint8(0x80 + i), expected.u8(16 + i, 0x80 + i);
    record.powerLimit = 48;
    record.brakingResistorLimit = 49;
    record.calibrationMagnitude = 50;
    record.calibrationSpeed = 51;
    record.calibrationStopCurrent = 52;
    for (int i = 48; i <= 52; ++i)
        expected.u8(i, i);
    record.positionSmoothing = 65;
    record.speedSampleBufferSize = 32;
    expected.u8(65, 65);
    expected.u8(66, 32);
    for (int i = 0; i < 3; ++i) {
        record.analogButtonLow[i] = quint8(0x10 + i);
        record.analogButtonHigh[i] = quint8(0x20 + i);
        record.analogLowerDeadZone[i] = quint16(0x1101 + i);
        record.analogUpperDeadZone[i] = quint16(0x7F01 + i);
        record.analogSmoothing[i] = quint8(0x30 + i);
        record.analogInvert[i] = quint8(i & 1);
        expected.u8(59 + i, 0x10 + i);
        expected.u8(62 + i, 0x20 + i);
        expected.u16(67 + 2 * i, 0x1101 + i);
        expected.u16(73 + 2 * i, 0x7F01 + i);
        expected.u8(79 + i, 0x30 + i);
        expected.u8(82 + i, i & 1);
    }
    for (int a = 0; a < 2; ++a) {
        HardwareAxisTypeDef &axis = record.axes[a];
        axis.encoderDirection = a ? 1 : -1;
        axis.forceDirection = a ? -1 : 1;
        axis.motorPolePairs = quint8(7 + a);
        axis.encoderCpr = quint16(0xFFFF - a);
        axis.pGain = 1.5f + float(a);
        axis.iGain = -0.25f;

        const int base = 256 + 128 * a;
        expected.u8(base + 0, a ? 0x01 : 0xFF);
        expected.u8(base + 1, a ? 0xFF : 0x01);
        expected.u8(base + 2, 7 + a);
        expected.u16(base + 3, 0xFFFF - a);
        expected.f32(base + 7, 1.5f + float(a));
        expected.f32(base + 11, -0.25f);
    }
    QCOMPARE(recordBytes(record), expected.bytes);
}

QTEST_GUILESS_MAIN(TestSettingsRecords)
#include "tst_settingsrecords.moc"
