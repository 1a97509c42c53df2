#include "recordingtransport.h"
#include "settingsuibackgroundthread.h"
#include "virtualusbtransport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace {

constexpr BusyWaitTiming FastWait{1, 2000};

EffectSettingsTypeDef sampleEffects()
{
    EffectSettingsTypeDef record;
    record.invertConstantForce = -1;
    record.axes[0].staticDampening = 999;
    record.axes[1].maxForce = 37.0f;
    return record;
}

HardwareSettingsTypeDef sampleHardware()
{
    HardwareSettingsTypeDef record;
    record.buttonModes[31] = 2;
    record.analogLowerDeadZone[0] = 1234;
    record.axes[1].iGain = 0.125f;
    return record;
}

// A worker on its own thread, as the tool runs it: requests are posted as
// queued calls, and the worker is deleted on its thread when the thread ends.
struct ThreadedWorker
{
    explicit ThreadedWorker(UsbTransport *usb, BusyWaitTiming timing = FastWait)
        : worker(new SettingsUiBackgroundThread(kestroxProductIdList(), KestroxVendorId, usb))
    {
        worker->setBusyWaitTiming(timing);
        worker->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        thread.start();
    }
    ~ThreadedWorker()
    {
        thread.quit();
        thread.wait();
    }
    void post(std::function<void(SettingsUiBackgroundThread *)> request)
    {
        QMetaObject::invokeMethod(worker, [w = worker, request] { request(w); });
    }

    QThread thread;
    SettingsUiBackgroundThread *worker;
};

// Time that moves on only by the busy wait's own pauses, so that a wait of
// the full bound costs no real time. A hook sees every pause.
class SteppingClock final : public BusyWaitClock
{
public:
    qint64 nowMs() override { return m_now; }
    void pauseMs(int ms) override
    {
        m_now += ms;
        ++m_pauses;
        if (onPause)
            onPause(m_pauses);
    }
    std::function<void(int pauses)> onPause;

private:
    qint64 m_now = 7'000'000;
    int m_pauses = 0;
};

} // namespace

class TestSettingsUiBackgroundThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Every poll that finds a device announces it; keep failures readable.
        QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false"));
    }

    void init()
    {
        m_bus = std::make_unique<VirtualUsbTransport>();
        m_bus->addKestroxDevices();
        m_joystick = m_bus->device(JoystickProductId);
        m_bus->init();
        m_worker = std::make_unique<SettingsUiBackgroundThread>(kestroxProductIdList(), KestroxVendorId,
                                                                m_bus.get());
        m_worker->setBusyWaitTiming(FastWait);
    }

    void cleanup()
    {
        m_worker.reset();
        // The worker gives back every device it opened and never touches a
        // handle that is not open.
        QCOMPARE(m_bus->openHandleCount(), 0);
        QCOMPARE(m_bus->misuseCount(), 0);
        m_bus->exit();
    }

    void pollsAcrossUnplugAndPlug()
    {
        const ConnectedDeviceMap devices = poll();
        QCOMPARE(devices.keys(), (QList<int>{JoystickProductId, RudderProductId, WheelProductId}));
        for (auto it = devices.cbegin(); it != devices.cend(); ++it)
            QCOMPARE(recordBytes(*it), recordBytes(m_bus->device(quint16(it.key()))->info()));

        // Known devices are not opened again: one information read each, in kind order.
        m_bus->setRecording(true);
        QCOMPARE(poll().size(), 3);
        QCOMPARE(m_bus->openHandleCount(), 3);
        QList<int> reads;
        for (const VirtualTransfer &t : m_bus->transfers())
            reads << (t.value == 0x0325 ? t.productId : -1);
        QCOMPARE(reads, (QList<int>{JoystickProductId, RudderProductId, WheelProductId}));

        VirtualKestroxDevice *rudder = m_bus->device(RudderProductId);
        rudder->unplug();
        QCOMPARE(poll().keys(), (QList<int>{JoystickProductId, WheelProductId}));
        QCOMPARE(m_bus->openHandleCount(), 2);
        rudder->plug();
        QVERIFY(poll().contains(RudderProductId));

        // Out and in again between two polls: the old handle is dead, so the
        // device misses one poll and is opened afresh at the next.
        rudder->unplug();
        rudder->plug();
        QVERIFY(!poll().contains(RudderProductId));
        QVERIFY(poll().contains(RudderProductId));

        // With nothing attached every poll still reports, with an empty list.
        for (const int pid : KestroxProductIds) {
            if (VirtualKestroxDevice *device = m_bus->device(quint16(pid)))
                device->unplug();
        }
        QCOMPARE(poll(), ConnectedDeviceMap());
    }

    void requestForDeviceNotOpenDoesNothing_data()
    {
        QTest::addColumn<int>("pid");
        QTest::addColumn<bool>("pollFirst");
        QTest::newRow("unknown product") << 0x1234 << true;
        QTest::newRow("generic, not attached") << GenericProductId << true;
        QTest::newRow("joystick before any poll") << JoystickProductId << false;
        QTest::newRow("joystick dropped by a poll") << JoystickProductId << true;
    }

    void requestForDeviceNotOpenDoesNothing()
    {
        QFETCH(int, pid);
        QFETCH(bool, pollFirst);
        if (pollFirst) {
            m_joystick->unplug();
            poll();
            m_joystick->plug();
        }
        m_bus->setRecording(true);
        QSignalSpy effects(m_worker.get(), &SettingsUiBackgroundThread::effectSettingsObtained);
        QSignalSpy hardware(m_worker.get(), &SettingsUiBackgroundThread::hardwareSettingsObtained);
        QSignalSpy waits(m_worker.get(), &SettingsUiBackgroundThread::busyWaitEnded);

        m_worker->rebootControllerRequest(pid);
        m_worker->switchtoDfuRequest(pid);
        m_worker->readEffectSettings(pid);
        m_worker->applyEffectSettings(pid, sampleEffects());
        m_worker->saveEffectsSettings(pid, sampleEffects());
        m_worker->readHardwareSettings(pid);
        m_worker->applyHardwareSettings(pid, sampleHardware());
        m_worker->saveHardwareSettings(pid, sampleHardware());
        m_worker->saveSettingsRequest(pid);
        QCOMPARE(effects.size() + hardware.size() + waits.size(), 0);

        // Nor is a handle the worker does not hold used for a busy wait: it may
        // be closed already.
        auto *foreign = reinterpret_cast<DeviceHandle *>(quintptr(0x7770));
        QCOMPARE(m_worker->awaitDeviceNotBusy(foreign), BusyWaitResult::DeviceGone);
        QCOMPARE(m_worker->awaitDeviceNotBusy(nullptr), BusyWaitResult::DeviceGone);
        QCOMPARE(waits.size(), 2);
        QCOMPARE(waits.at(0).at(0).toInt(), -1);
        QVERIFY(m_bus->transfers().isEmpty());
    }

    void readDeliversOnlyWholeRecords_data()
    {
        QTest::addColumn<int>("received");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("read failed") << int(LIBUSB_ERROR_NO_DEVICE) << false;
        QTest::newRow("one byte short") << 383 << false;
        QTest::newRow("whole record") << 384 << true;
    }

    void readDeliversOnlyWholeRecords()
    {
        QFETCH(int, received);
        QFETCH(bool, delivered);
        RecordingTransport usb;
        usb.respond = [received](const RecordingTransport::Transfer &t, unsigned char *data) {
            if ((t.value & 0xFF) == quint8(SettingsReportId::DeviceInfoReport))
                return 64;
            if (received > 0)
                std::fill_n(data, received, 0x5A);
            return received;
        };
        SettingsUiBackgroundThread worker({JoystickProductId}, KestroxVendorId, &usb);
        worker.checkDeviceConnections();
        QSignalSpy effects(&worker, &SettingsUiBackgroundThread::effectSettingsObtained);
        worker.readEffectSettings(JoystickProductId);
        // Less than a whole record would show settings the device does not
        // have; the page keeps what it shows instead.
        QCOMPARE(effects.size(), delivered ? 1 : 0);
        if (delivered)
            QCOMPARE(recordBytes(effects.at(0).at(0).value<EffectSettingsTypeDef>()), QByteArray(384, 0x5A));
    }

    void readApplyAndSave_data()
    {
        QTest::addColumn<bool>("hardware");
        QTest::addColumn<bool>("save");
        QTest::newRow("apply effects") << false << false;
        QTest::newRow("save effects") << false << true;
        QTest::newRow("apply hardware") << true << false;
        QTest::newRow("save hardware") << true << true;
    }

    void readApplyAndSave()
    {
        QFETCH(bool, hardware);
        QFETCH(bool, save);
        poll();
        m_joystick->setBusyReads(2);
        auto current = [this, hardware] {
            return hardware ? recordBytes(m_joystick->hardwareSettings())
                            : recordBytes(m_joystick->effectSettings());
        };
        const QByteArray factory = current();
        const QByteArray sent = hardware ? recordBytes(sampleHardware()) : recordBytes(sampleEffects());
        QSignalSpy waits(m_worker.get(), &SettingsUiBackgroundThread::busyWaitEnded);

        if (hardware)
            save ? m_worker->saveHardwareSettings(JoystickProductId, sampleHardware())
                 : m_worker->applyHardwareSettings(JoystickProductId, sampleHardware());
        else
            save ? m_worker->saveEffectsSettings(JoystickProductId, sampleEffects())
                 : m_worker->applyEffectSettings(JoystickProductId, sampleEffects());

        // A busy wait after the record; a save adds the command and a second wait.
        QCOMPARE(waits.size(), save ? 2 : 1);
        QCOMPARE(waits.at(0).at(0).toInt(), JoystickProductId);
        QCOMPARE(waits.at(0).at(1).value<BusyWaitResult>(), BusyWaitResult::Ready);
        QCOMPARE(m_joystick->saves(), save ? 1 : 0);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        // The device took over exactly the record sent, and reads it back; only a
        // save survives a reboot.
        QCOMPARE(current(), sent);
        QSignalSpy effects(m_worker.get(), &SettingsUiBackgroundThread::effectSettingsObtained);
        QSignalSpy hardwareRead(m_worker.get(), &SettingsUiBackgroundThread::hardwareSettingsObtained);
        hardware ? m_worker->readHardwareSettings(JoystickProductId)
                 : m_worker->readEffectSettings(JoystickProductId);
        QCOMPARE(hardware ? recordBytes(hardwareRead.value(0).value(0).value<HardwareSettingsTypeDef>())
                          : recordBytes(effects.value(0).value(0).value<EffectSettingsTypeDef>()),
                 sent);
        m_joystick->reboot();
        QCOMPARE(current(), save ? sent : factory);
    }

    void busyWait_data()
    {
        QTest::addColumn<BusyWaitResult>("result");
        QTest::addColumn<int>("limitMs");
        QTest::newRow("device becomes ready") << BusyWaitResult::Ready << 60000;
        QTest::newRow("device unplugged") << BusyWaitResult::DeviceGone << 60000;
        QTest::newRow("device stays busy") << BusyWaitResult::TimedOut << 150;
    }

    void busyWait()
    {
        QFETCH(BusyWaitResult, result);
        QFETCH(int, limitMs);
        m_worker.reset();
        ThreadedWorker threaded(m_bus.get(), BusyWaitTiming{1, limitMs});
        SettingsUiBackgroundThread *worker = threaded.worker;
        int lists = 0;
        QList<QPair<int, BusyWaitResult>> ended;
        connect(worker, &SettingsUiBackgroundThread::connectedDevices, this, [&lists] { ++lists; });
        connect(worker, &SettingsUiBackgroundThread::busyWaitEnded, this,
                [&ended](int pid, BusyWaitResult r) {
                    ended.append({pid, r});
                });
        threaded.post([](SettingsUiBackgroundThread *w) { w->checkDeviceConnections(); });
        QTRY_COMPARE(lists, 1);

        m_joystick->setStuckBusy(true);
        threaded.post([](SettingsUiBackgroundThread *w) {
            w->saveEffectsSettings(JoystickProductId, sampleEffects());
        });
        QList<QPair<int, BusyWaitResult>> expected{{JoystickProductId, result}};
        if (result != BusyWaitResult::TimedOut) {
            // The request runs on the worker's thread: this one stays free and
            // shows the wait cursor until the test ends the wait.
            QTRY_VERIFY(worker->isBusy());
            QTRY_VERIFY(QGuiApplication::overrideCursor() != nullptr);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        if (result == BusyWaitResult::Ready) {
            // A poll while the worker waits reports nothing.
            QSignalSpy direct(worker, &SettingsUiBackgroundThread::connectedDevices);
            worker->checkDeviceConnections();
            QCOMPARE(direct.size(), 0);
            m_joystick->setStuckBusy(false);
            // Ready after the record, so the save follows with a second wait.
            expected << expected[0];
        } else if (result == BusyWaitResult::DeviceGone) {
            m_joystick->unplug();
        }
        QTRY_COMPARE(ended, expected);
        QTest::qWait(20);
        QCOMPARE(ended, expected);
        QTRY_VERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(lists, 1);
        // No save is sent to a device that never became ready.
        QCOMPARE(m_joystick->saves(), result == BusyWaitResult::Ready ? 1 : 0);
        if (result == BusyWaitResult::Ready)
            QCOMPARE(recordBytes(m_joystick->savedEffectSettings()), recordBytes(sampleEffects()));
    }

    // The production bound (100 ms pauses, 30 s) seen through a clock that
    // only the pauses move: 30000 / 100 = 300 state reads at most.
    void writeOutcomeAtTheBusyBound_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("busyReads");   // busy answers after each write
        QTest::addColumn<int>("unplugPause"); // pause after which it is pulled out; 0 never
        QTest::addColumn<BusyWaitResult>("result");
        QTest::addColumn<int>("stateReads");
        QTest::addColumn<int>("saves");
        QTest::newRow("apply, ready at 29.9 s") << false << 299 << 0 << BusyWaitResult::Ready << 300 << 0;
        QTest::newRow("apply, busy for 30 s") << false << 300 << 0 << BusyWaitResult::TimedOut << 300 << 0;
        // Ready after the record (300 reads), then the save's own wait.
        QTest::newRow("save, ready at 29.9 s twice") << true << 299 << 0 << BusyWaitResult::Ready << 600 << 1;
        // Never ready for the record: the save command is not sent at all.
        QTest::newRow("save, busy for 30 s") << true << 300 << 0 << BusyWaitResult::TimedOut << 300 << 0;
        QTest::newRow("save, pulled out while busy")
            << true << 300 << 150 << BusyWaitResult::DeviceGone << 151 << 0;
        QTest::newRow("apply, pulled out while busy")
            << false << 300 << 1 << BusyWaitResult::DeviceGone << 2 << 0;
    }

    void writeOutcomeAtTheBusyBound()
    {
        QFETCH(bool, save);
        QFETCH(int, busyReads);
        QFETCH(int, unplugPause);
        QFETCH(BusyWaitResult, result);
        QFETCH(int, stateReads);
        QFETCH(int, saves);
        SteppingClock clock;
        clock.onPause = [this, unplugPause](int pauses) {
            if (pauses == unplugPause)
                m_joystick->unplug();
        };
        BusyWaitTiming timing;
        timing.clock = &clock;
        m_worker->setBusyWaitTiming(timing);
        QVERIFY(poll().contains(JoystickProductId));
        m_joystick->setBusyReads(busyReads);
        m_bus->setRecording(true);
        QSignalSpy ended(m_worker.get(), &SettingsUiBackgroundThread::settingsWriteEnded);
        QElapsedTimer real;
        real.start();
        if (result == BusyWaitResult::TimedOut)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("still busy after 30000 ms")));
        save ? m_worker->saveHardwareSettings(JoystickProductId, sampleHardware())
             : m_worker->applyHardwareSettings(JoystickProductId, sampleHardware());
        QVERIFY(real.elapsed() < 5000);

        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0).at(0).toInt(), JoystickProductId);
        QCOMPARE(ended.at(0).at(1).value<SettingsWrite>(), save ? SettingsWrite::Save : SettingsWrite::Apply);
        QCOMPARE(ended.at(0).at(2).value<BusyWaitResult>(), result);
        int reads = 0;
        for (const VirtualTransfer &t : m_bus->transfers())
            reads += t.requestType == 0xA1 && t.value == 0x0324 ? 1 : 0;
        QCOMPARE(reads, stateReads);
        QCOMPARE(m_joystick->saves(), saves);
        QVERIFY(!m_worker->isBusy());
    }

    // A failed record packet makes the device drop the record: the write is
    // reported as such, and nothing is saved.
    void failedRecordPacketIsNotSaved_data()
    {
        QTest::addColumn<int>("failedPacket"); // 0-based among the SET_REPORTs; the 8th is the terminator
        QTest::addColumn<BusyWaitResult>("result");
        QTest::newRow("all packets taken") << -1 << BusyWaitResult::Ready;
        QTest::newRow("first packet") << 0 << BusyWaitResult::RecordFailed;
        QTest::newRow("terminator") << 7 << BusyWaitResult::RecordFailed;
    }

    void failedRecordPacketIsNotSaved()
    {
        QFETCH(int, failedPacket);
        QFETCH(BusyWaitResult, result);
        RecordingTransport usb;
        int packets = 0;
        usb.respond = [&packets, failedPacket](const RecordingTransport::Transfer &t, unsigned char *data) {
            if (t.requestType == 0xA1) {
                data[0] = 0; // information, and a ready device
                return t.value == 0x0325 ? 64 : 1;
            }
            return packets++ == failedPacket ? int(LIBUSB_ERROR_PIPE) : int(t.length);
        };
        SettingsUiBackgroundThread worker({JoystickProductId}, KestroxVendorId, &usb);
        worker.setBusyWaitTiming(FastWait);
        worker.checkDeviceConnections();
        QSignalSpy ended(&worker, &SettingsUiBackgroundThread::settingsWriteEnded);
        worker.saveEffectsSettings(JoystickProductId, sampleEffects());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0).at(2).value<BusyWaitResult>(), result);
        int saveCommands = 0;
        for (const RecordingTransport::Transfer &t : std::as_const(usb.transfers))
            saveCommands += t.sent.size() == 65 && t.sent[1] == 0x02 ? 1 : 0;
        QCOMPARE(saveCommands, result == BusyWaitResult::Ready ? 1 : 0);
    }

    void writeToDeviceNotOpenIsReportedAsGone()
    {
        QSignalSpy ended(m_worker.get(), &SettingsUiBackgroundThread::settingsWriteEnded);
        m_worker->saveEffectsSettings(JoystickProductId, sampleEffects());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0).at(2).value<BusyWaitResult>(), BusyWaitResult::DeviceGone);
        QCOMPARE(m_joystick->transfersAnswered(), 0);
    }

    void timerPollsOnWorkerThread()
    {
        m_worker.reset();
        ThreadedWorker threaded(m_bus.get());
        std::atomic<int> polls = 0;
        std::atomic<QThread *> pollThread = nullptr;
        connect(
            threaded.worker, &SettingsUiBackgroundThread::connectedDevices, this,
            [&] {
                pollThread = QThread::currentThread();
                ++polls;
            },
            Qt::DirectConnection);
        threaded.post([](SettingsUiBackgroundThread *w) { w->start(); });
        // The first poll comes one interval after start, then one per interval.
        QTest::qWait(SettingsUiBackgroundThread::PollIntervalMs / 2);
        QCOMPARE(polls.load(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(polls.load() >= 2, 4 * SettingsUiBackgroundThread::PollIntervalMs);
        QCOMPARE(pollThread.load(), &threaded.thread);
    }

private:
    ConnectedDeviceMap poll()
    {
        QSignalSpy spy(m_worker.get(), &SettingsUiBackgroundThread::connectedDevices);
        m_worker->checkDeviceConnections();
        return spy.size() == 1 ? spy.at(0).at(0).value<ConnectedDeviceMap>() : ConnectedDeviceMap{{-1, {}}};
    }

    std::unique_ptr<VirtualUsbTransport> m_bus;
    std::unique_ptr<SettingsUiBackgroundThread> m_worker;
    VirtualKestroxDevice *m_joystick = nullptr;
};

QTEST_MAIN(TestSettingsUiBackgroundThread)
#include "tst_settingsuibackgroundthread.moc"
