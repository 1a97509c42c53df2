#include "recordingtransport.h"
#include "settingsprotocol.h"
#include "virtualkestroxdevice.h"

#include <QTest>

namespace {

EffectSettingsTypeDef sample(quint8 seed)
{
    EffectSettingsTypeDef record;
    record.directXSpringStrength = seed;
    record.axes[1].motionRange = quint16(1000 + seed);
    return record;
}

// The packets sendRecord produces for a record, captured without a device.
QList<QByteArray> packetsFor(const EffectSettingsTypeDef &record)
{
    RecordingTransport capture;
    sendRecord(capture, capture.handle(), DeviceCommand::WriteEffectSettings, &record, sizeof record);
    QList<QByteArray> packets;
    for (const auto &t : std::as_const(capture.transfers))
        packets << t.sent;
    return packets;
}

void deliver(VirtualKestroxDevice &device, QByteArray packet)
{
    QCOMPARE(device.controlTransfer(device.connection(), SetReportRequestType, SetReportRequest, 0x0320, 0,
                                    reinterpret_cast<unsigned char *>(packet.data()), quint16(packet.size())),
             65);
}

} // namespace

// The model must refuse what the firmware refuses, or the worker's tests
// against it would prove nothing.
class TestVirtualKestroxDevice : public QObject
{
    Q_OBJECT

private slots:
    void ignoresBrokenTransfers_data()
    {
        // Packets 0..6 carry the 384-byte record, 7 is the terminator and 8 a
        // plain save command. One byte of one packet may be altered on the way.
        QTest::addColumn<QList<int>>("order");
        QTest::addColumn<int>("alteredPacket");
        QTest::addColumn<int>("alteredByte");
        QTest::addColumn<int>("newValue");
        QTest::addColumn<bool>("taken");
        const QList<int> whole{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("complete") << whole << -1 << 0 << 0 << true;
        QTest::newRow("no terminator") << QList<int>{0, 1, 2, 3, 4, 5, 6} << -1 << 0 << 0 << false;
        QTest::newRow("terminator too early") << QList<int>{0, 1, 2, 3, 4, 5, 7} << -1 << 0 << 0 << false;
        QTest::newRow("packet missing") << QList<int>{0, 1, 3, 4, 5, 6, 7} << -1 << 0 << 0 << false;
        QTest::newRow("packet repeated") << QList<int>{0, 1, 1, 2, 3, 4, 5, 6, 7} << -1 << 0 << 0 << false;
        QTest::newRow("starts mid-record") << QList<int>{1, 2, 3, 4, 5, 6, 7} << -1 << 0 << 0 << false;
        QTest::newRow("wrong remaining") << whole << 2 << 4 << 0x0D << false;
        QTest::newRow("wrong offset") << whole << 3 << 2 << 0xAF << false;
        QTest::newRow("terminator elsewhere") << whole << 7 << 2 << 0x22 << false;
        QTest::newRow("other record mid-transfer") << whole << 3 << 1 << 0x11 << false;
        QTest::newRow("save mid-transfer") << QList<int>{0, 1, 2, 8, 3, 4, 5, 6, 7} << -1 << 0 << 0 << false;
    }

    void ignoresBrokenTransfers()
    {
        QFETCH(QList<int>, order);
        QFETCH(int, alteredPacket);
        QFETCH(int, alteredByte);
        QFETCH(int, newValue);
        QFETCH(bool, taken);

        VirtualKestroxDevice device(RudderProductId, DeviceType::Rudder, 1);
        const EffectSettingsTypeDef before = device.effectSettings();
        QList<QByteArray> packets = packetsFor(sample(77));
        packets << QByteArray("\x20\x02", 2) + QByteArray(63, '\0');
        if (alteredPacket >= 0)
            packets[alteredPacket][alteredByte] = char(newValue);

        for (const int index : std::as_const(order))
            deliver(device, packets[index]);
        QCOMPARE(recordBytes(device.effectSettings()), recordBytes(taken ? sample(77) : before));
        QCOMPARE(device.recordsTaken(), taken ? 1 : 0);

        // Whatever broke off, the next whole transfer is taken over.
        for (const QByteArray &packet : packetsFor(sample(78)))
            deliver(device, packet);
        QCOMPARE(recordBytes(device.effectSettings()), recordBytes(sample(78)));
    }
};

QTEST_GUILESS_MAIN(TestVirtualKestroxDevice)
#include "tst_virtualkestroxdevice.moc"
