#include "settingsrecords.h"

#include <QTest>

#include <cstring>
#include <new>

namespace {

// A record built the way the tool builds one (default-initialised), on
// memory that held other bytes before.
template<typename Record>
QByteArray freshRecordBytes()
{
    alignas(Record) unsigned char storage[sizeof(Record)];
    std::memset(storage, 0xAA, sizeof storage);
    return recordBytes(*new (storage) Record);
}

} // namespace

// Sizes and offsets are checked at compile time where the records are
// declared; these check what those checks cannot see.
class TestSettingsRecords : public QObject
{
    Q_OBJECT

private slots:
    void newRecordsAreZero()
    {
        // Unused bytes go to the device as they are.
        QCOMPARE(freshRecordBytes<EffectSettingsTypeDef>(), QByteArray(384, '\0'));
        QCOMPARE(freshRecordBytes<HardwareSettingsTypeDef>(), QByteArray(512, '\0'));
        QCOMPARE(freshRecordBytes<DeviceInfoTypeDef>(), QByteArray(64, '\0'));
        QCOMPARE(freshRecordBytes<CommandReportTypeDef>(), QByteArray(1, 0x20) + QByteArray(64, '\0'));
    }

    void fieldEncoding()
    {
        // Signed bytes, little-endian 16-bit fields and IEEE floats, at the
        // documented offsets; expected images are written from those, not from the structs.
        EffectSettingsTypeDef effects;
        effects.invertConstantForce = -1;
        effects.axes[0].maxForce = 37.0f;
        effects.axes[1].softStopDampening = 0x03E7;
        QByteArray expected(384, '\0');
        expected[0] = char(0xFF);
        expected.replace(137, 4, QByteArray::fromHex("00001442"));
        expected.replace(270, 2, QByteArray::fromHex("e703"));
        QCOMPARE(recordBytes(effects).toHex(), expected.toHex());

        HardwareSettingsTypeDef hardware;
        hardware.analogLowerDeadZone[2] = 0x7F01;
        hardware.axes[1].encoderDirection = -1;
        hardware.axes[1].encoderCpr = 0xFFFE;
        hardware.axes[1].pGain = 1.5f;
        expected = QByteArray(512, '\0');
        expected.replace(71, 2, QByteArray::fromHex("017f"));
        expected[384] = char(0xFF);
        expected.replace(387, 2, QByteArray::fromHex("feff"));
        expected.replace(391, 4, QByteArray::fromHex("0000c03f"));
        QCOMPARE(recordBytes(hardware).toHex(), expected.toHex());

        QByteArray info(64, '\0');
        info.replace(0, 5, QByteArray::fromHex("e3ab030003"));
        const auto record = recordFromBytes<DeviceInfoTypeDef>(info.constData());
        QCOMPARE(quint32(record.firmwareVersion), 240611u);
        QCOMPARE(record.type(), DeviceType::Wheel);
    }
};

QTEST_GUILESS_MAIN(TestSettingsRecords)
#include "tst_settingsrecords.moc"
