#include "recordingtransport.h"
#include "settingsprotocol.h"

#include <QTest>

using Transfer = RecordingTransport::Transfer;

namespace {

QByteArray le16(int value)
{
    return QByteArray(1, char(value & 0xFF)) + char((value >> 8) & 0xFF);
}

// A feature report request on interface 0, with the 1000 ms timeout.
void verifyRequest(const Transfer &t, quint8 requestType, quint8 request, quint16 value, quint16 length)
{
    QCOMPARE(t.requestType, requestType);
    QCOMPARE(t.request, request);
    QCOMPARE(t.value, value);
    QCOMPARE(t.index, quint16(0));
    QCOMPARE(t.length, length);
    QCOMPARE(t.timeoutMs, 1000u);
}

void verifySetReport(const Transfer &t)
{
    verifyRequest(t, 0x21, 0x09, 0x0320, 65);
}

} // namespace

class TestSettingsProtocol : public QObject
{
    Q_OBJECT

private slots:
    void plainCommandPacket_data()
    {
        QTest::addColumn<DeviceCommand>("command");
        QTest::newRow("reboot") << DeviceCommand::RebootController;
        QTest::newRow("save") << DeviceCommand::SaveSettings;
        QTest::newRow("dfu") << DeviceCommand::SwitchToDfu;
    }

    void plainCommandPacket()
    {
        QFETCH(DeviceCommand, command);
        RecordingTransport usb;
        sendCommandReport(usb, usb.handle(), command);
        QCOMPARE(usb.transfers.size(), 1);
        verifySetReport(usb.transfers[0]);
        QCOMPARE(usb.transfers[0].sent, QByteArray(1, 0x20) + char(command) + QByteArray(63, '\0'));
    }

    void recordTransfer_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("remaining");
        QTest::newRow("effect settings") << 384 << QList<int>{384, 326, 268, 210, 152, 94, 36};
        QTest::newRow("hardware settings") << 512 << QList<int>{512, 454, 396, 338, 280, 222, 164, 106, 48};
        QTest::newRow("exact multiple of 58") << 116 << QList<int>{116, 58, 0};
        QTest::newRow("shorter than a chunk") << 20 << QList<int>{20};
    }

    void recordTransfer()
    {
        QFETCH(int, length);
        QFETCH(QList<int>, remaining);
        QByteArray record(length, '\0');
        for (int i = 0; i < length; ++i)
            record[i] = char(i * 13 + 1);
        RecordingTransport usb;
        // A failed packet does not stop the transfer.
        usb.respond = [&usb](const Transfer &, unsigned char *) {
            return usb.transfers.size() == 2 ? int(LIBUSB_ERROR_TIMEOUT) : 65;
        };
        // ...but the device drops a record with a gap, which the caller learns.
        QVERIFY(!sendRecord(usb, usb.handle(), DeviceCommand::WriteHardwareSettings, record.constData(), length));
        RecordingTransport whole;
        whole.respond = [](const Transfer &, unsigned char *) { return 65; };
        QVERIFY(sendRecord(whole, whole.handle(), DeviceCommand::WriteHardwareSettings, record.constData(), length));
        // A packet the device took only in part is no packet.
        RecordingTransport short64;
        short64.respond = [&short64](const Transfer &, unsigned char *) {
            return short64.transfers.size() == 1 ? 64 : 65;
        };
        QVERIFY(!sendRecord(short64, short64.handle(), DeviceCommand::WriteHardwareSettings, record.constData(),
                            length));

        QCOMPARE(usb.transfers.size(), remaining.size() + 1);
        // One packet buffer serves the whole transfer: after a short chunk the
        // data area still holds the previous packet's bytes (zero in the first).
        QByteArray area(58, '\0');
        for (int k = 0; k < remaining.size(); ++k) {
            verifySetReport(usb.transfers[k]);
            const int offset = 58 * k;
            const int copied = std::min(remaining[k], 58);
            area.replace(0, copied, record.mid(offset, copied));
            const QByteArray expected =
                QByteArray("\x20\x11") + le16(offset) + le16(remaining[k]) + area + '\0';
            QCOMPARE(usb.transfers[k].sent.toHex(), expected.toHex());
        }
        // The terminator is the last data packet again, with remaining 0xFFFF.
        verifySetReport(usb.transfers.last());
        QByteArray terminator = usb.transfers[remaining.size() - 1].sent;
        terminator.replace(4, 2, le16(0xFFFF));
        QCOMPARE(usb.transfers.last().sent, terminator);
    }

    void readFeatureReport()
    {
        RecordingTransport usb;
        usb.respond = [](const Transfer &, unsigned char *data) {
            data[0] = 7;
            return 1;
        };
        ReportBuffer buffer;
        buffer.fill(0xEE);
        QCOMPARE(::readFeatureReport(usb, usb.handle(), SettingsReportId::DeviceInfoReport, buffer), 1);
        verifyRequest(usb.transfers.value(0), 0xA1, 0x01, 0x0325, 1024);
        // Byte 0 of the data is byte 0 of the record, and nothing stale survives.
        QCOMPARE(buffer[0], quint8(7));
        QVERIFY(std::all_of(buffer.begin() + 1, buffer.end(), [](unsigned char b) { return b == 0; }));
    }

    void busyWait_data()
    {
        // Answers to successive state reads: a byte value, -1 for a failed read,
        // -2 for an empty answer. Once they run out the device stays busy.
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("cancelAfter"); // pauses before the wait is cancelled; 0 never
        QTest::addColumn<BusyWaitResult>("result");
        QTest::addColumn<int>("reads");
        QTest::newRow("ready at once") << QList<int>{0} << 0 << BusyWaitResult::Ready << 1;
        QTest::newRow("any non-zero is busy") << QList<int>{1, 0xFF, 0} << 0 << BusyWaitResult::Ready << 3;
        QTest::newRow("empty answer is no state") << QList<int>{-2, 0} << 0 << BusyWaitResult::Ready << 2;
        QTest::newRow("unplugged while busy") << QList<int>{1, -1, 0} << 0 << BusyWaitResult::DeviceGone << 2;
        // 100 ms pauses up to 30 s: 300 reads.
        QTest::newRow("stays busy") << QList<int>{} << 0 << BusyWaitResult::TimedOut << 300;
        QTest::newRow("cancelled while busy") << QList<int>{} << 4 << BusyWaitResult::Cancelled << 4;
        QTest::newRow("ready wins over a cancel") << QList<int>{1, 0} << 2 << BusyWaitResult::Ready << 2;
    }

    void busyWait()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, cancelAfter);
        QFETCH(BusyWaitResult, result);
        QFETCH(int, reads);
        RecordingTransport usb;
        usb.respond = [&usb, answers](const Transfer &t, unsigned char *data) {
            const int answer = answers.value(usb.transfers.size() - 1, 1);
            if (t.value != 0x0324 || answer == -1)
                return int(LIBUSB_ERROR_NO_DEVICE);
            if (answer == -2)
                return 0;
            data[0] = quint8(answer);
            return 1;
        };
        // Time moves on by the pauses only; the close comes after some of them.
        struct PauseClock : BusyWaitClock
        {
            qint64 nowMs() override { return now; }
            void pauseMs(int ms) override
            {
                now += ms;
                if (++pauses == cancelAfter)
                    cancelled = true;
            }
            qint64 now = 0;
            int pauses = 0;
            int cancelAfter = 0;
            std::atomic<bool> cancelled = false;
        } clock;
        clock.cancelAfter = cancelAfter;
        if (result == BusyWaitResult::TimedOut)
            QTest::ignoreMessage(QtWarningMsg, "device still busy after 30000 ms");
        QCOMPARE(awaitDeviceNotBusy(usb, usb.handle(), BusyWaitTiming{100, 30000, &clock, &clock.cancelled}),
                 result);
        QCOMPARE(usb.transfers.size(), reads);
        QCOMPARE(clock.pauses, reads - (result == BusyWaitResult::DeviceGone ? 1 : 0));
    }
};

QTEST_GUILESS_MAIN(TestSettingsProtocol)
#include "tst_settingsprotocol.moc"
