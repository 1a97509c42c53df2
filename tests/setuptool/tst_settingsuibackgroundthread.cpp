#include "recordingtransport.h"
#include "settingsuibackgroundthread.h"
#include "virtualusbtransport.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

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

// The transfer log in short: "set:12" for a command packet with code 0x12,
// "get:24" for a read of report 0x24.
QStringList summary(const QList<VirtualTransfer> &transfers)
{
    QStringList out;
    for (const VirtualTransfer &t : transfers) {
        const bool get = t.requestType & LIBUSB_ENDPOINT_IN;
        const int code = get ? t.value & 0xFF : quint8(t.data.size() > 1 ? t.data[1] : 0);
        out << QStringLiteral("%1:%2")
                   .arg(QLatin1String(get ? "get" : "set"))
                   .arg(code, 2, 16, QLatin1Char('0'));
    }
    return out;
}

QStringList repeated(const char *entry, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QLatin1String(entry);
    return out;
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

} // namespace

class TestSettingsUiBackgroundThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pollListsAndKeepsDevicesOpen();
    void unplugAndPlugAcrossPolls();
    void requestForDeviceNotOpenDoesNothing_data();
    void requestForDeviceNotOpenDoesNothing();
    void readDeliversOnlyWholeRecords_data();
    void readDeliversOnlyWholeRecords();
    void readApplyAndSave_data();
    void readApplyAndSave();
    void waitOnHandleNotHeld();
    void pollDuringBusyWaitEmitsNothing();
    void busyWaitEnds_data();
    void busyWaitEnds();
    void timerPollsOnWorkerThread();

private:
    ConnectedDeviceMap poll();

    std::unique_ptr<VirtualUsbTransport> m_bus;
    std::unique_ptr<SettingsUiBackgroundThread> m_worker;
    VirtualKestroxDevice *m_joystick = nullptr;
};

void TestSettingsUiBackgroundThread::initTestCase()
{
    // Every poll that finds a device announces it; keep failures readable.
    QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false"));
}

void TestSettingsUiBackgroundThread::init()
{
    m_bus = std::make_unique<VirtualUsbTransport>();
    m_bus->addKestroxDevices();
    m_joystick = m_bus->device(JoystickProductId);
    m_bus->init();
    m_worker =
        std::make_unique<SettingsUiBackgroundThread>(kestroxProductIdList(), KestroxVendorId, m_bus.get());
    m_worker->setBusyWaitTiming(FastWait);
}

void TestSettingsUiBackgroundThread::cleanup()
{
    m_worker.reset();
    // The worker gives back every device it opened and never touches a
    // handle that is not open.
    QCOMPARE(m_bus->openHandleCount(), 0);
    QCOMPARE(m_bus->misuseCount(), 0);
    m_bus->exit();
}

ConnectedDeviceMap TestSettingsUiBackgroundThread::poll()
{
    QSignalSpy spy(m_worker.get(), &SettingsUiBackgroundThread::connectedDevices);
    m_worker->checkDeviceConnections();
    return spy.size() == 1 ? spy.at(0).at(0).value<ConnectedDeviceMap>() : ConnectedDeviceMap{{-1, {}}};
}

void TestSettingsUiBackgroundThread::pollListsAndKeepsDevicesOpen()
{
    const ConnectedDeviceMap devices = poll();
    QCOMPARE(devices.keys(), (QList<int>{JoystickProductId, RudderProductId, WheelProductId}));
    for (auto it = devices.cbegin(); it != devices.cend(); ++it)
        QCOMPARE(recordBytes(*it), recordBytes(m_bus->device(quint16(it.key()))->info()));

    // Known devices are not opened again: one information read each, in kind order.
    m_bus->setRecording(true);
    QCOMPARE(poll().size(), 3);
    QCOMPARE(m_bus->openHandleCount(), 3);
    const QList<VirtualTransfer> transfers = m_bus->transfers();
    QCOMPARE(summary(transfers), repeated("get:25", 3));
    QCOMPARE(transfers[0].productId, quint16(JoystickProductId));
    QCOMPARE(transfers[2].productId, quint16(WheelProductId));
}

void TestSettingsUiBackgroundThread::unplugAndPlugAcrossPolls()
{
    VirtualKestroxDevice *rudder = m_bus->device(RudderProductId);
    QVERIFY(poll().contains(RudderProductId));
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
    QCOMPARE(poll(), ConnectedDeviceMap());
}

void TestSettingsUiBackgroundThread::requestForDeviceNotOpenDoesNothing_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("pollFirst");
    QTest::newRow("unknown product") << 0x1234 << true;
    QTest::newRow("generic, not attached") << GenericProductId << true;
    QTest::newRow("joystick before any poll") << JoystickProductId << false;
    QTest::newRow("joystick dropped by a poll") << JoystickProductId << true;
}

void TestSettingsUiBackgroundThread::requestForDeviceNotOpenDoesNothing()
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

    QVERIFY(m_bus->transfers().isEmpty());
    QCOMPARE(effects.size() + hardware.size() + waits.size(), 0);
}

void TestSettingsUiBackgroundThread::readDeliversOnlyWholeRecords_data()
{
    QTest::addColumn<int>("received");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("read failed") << int(LIBUSB_ERROR_NO_DEVICE) << false;
    QTest::newRow("empty answer") << 0 << false;
    QTest::newRow("one byte short") << 383 << false;
    QTest::newRow("whole record") << 384 << true;
    QTest::newRow("whole buffer") << 1024 << true;
}

void TestSettingsUiBackgroundThread::readDeliversOnlyWholeRecords()
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

void TestSettingsUiBackgroundThread::readApplyAndSave_data()
{
    QTest::addColumn<bool>("hardware");
    QTest::addColumn<bool>("save");
    QTest::newRow("apply effects") << false << false;
    QTest::newRow("save effects") << false << true;
    QTest::newRow("apply hardware") << true << false;
    QTest::newRow("save hardware") << true << true;
}

void TestSettingsUiBackgroundThread::readApplyAndSave()
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
    m_bus->setRecording(true);

    if (hardware)
        save ? m_worker->saveHardwareSettings(JoystickProductId, sampleHardware())
             : m_worker->applyHardwareSettings(JoystickProductId, sampleHardware());
    else
        save ? m_worker->saveEffectsSettings(JoystickProductId, sampleEffects())
             : m_worker->applyEffectSettings(JoystickProductId, sampleEffects());

    // Record packets and terminator, a busy wait (busy twice, then ready);
    // a save adds one command packet and a second busy wait.
    QStringList expected =
        repeated(hardware ? "set:11" : "set:12", hardware ? 10 : 8) + repeated("get:24", 3);
    if (save)
        expected += QStringList{QStringLiteral("set:02")} + repeated("get:24", 3);
    QCOMPARE(summary(m_bus->transfers()), expected);
    QCOMPARE(waits.size(), save ? 2 : 1);
    QCOMPARE(waits.at(0).at(0).toInt(), JoystickProductId);
    QCOMPARE(waits.at(0).at(1).value<BusyWaitResult>(), BusyWaitResult::Ready);
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

void TestSettingsUiBackgroundThread::waitOnHandleNotHeld()
{
    poll();
    m_bus->setRecording(true);
    QSignalSpy waits(m_worker.get(), &SettingsUiBackgroundThread::busyWaitEnded);
    // A handle the worker does not hold may be closed already: never used.
    auto *foreign = reinterpret_cast<libusb_device_handle *>(quintptr(0x7770));
    QCOMPARE(m_worker->awaitDeviceNotBusy(foreign), BusyWaitResult::DeviceGone);
    QCOMPARE(m_worker->awaitDeviceNotBusy(nullptr), BusyWaitResult::DeviceGone);
    QVERIFY(m_bus->transfers().isEmpty());
    QCOMPARE(waits.size(), 2);
    QCOMPARE(waits.at(0).at(0).toInt(), -1);
}

void TestSettingsUiBackgroundThread::pollDuringBusyWaitEmitsNothing()
{
    m_worker.reset();
    ThreadedWorker threaded(m_bus.get(), BusyWaitTiming{1, 60000});
    SettingsUiBackgroundThread *worker = threaded.worker;
    QList<ConnectedDeviceMap> lists;
    QList<BusyWaitResult> ended;
    connect(worker, &SettingsUiBackgroundThread::connectedDevices, this,
            [&lists](const ConnectedDeviceMap &devices) { lists << devices; });
    connect(worker, &SettingsUiBackgroundThread::busyWaitEnded, this,
            [&ended](int, BusyWaitResult result) { ended << result; });
    threaded.post([](SettingsUiBackgroundThread *w) { w->checkDeviceConnections(); });
    QTRY_COMPARE(lists.size(), 1);

    m_joystick->setStuckBusy(true);
    threaded.post(
        [](SettingsUiBackgroundThread *w) { w->saveEffectsSettings(JoystickProductId, sampleEffects()); });
    // The request runs on the worker's thread: this one stays free and shows
    // the wait cursor meanwhile.
    QTRY_VERIFY(worker->isBusy());
    QTRY_VERIFY(QGuiApplication::overrideCursor() != nullptr);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    QSignalSpy direct(worker, &SettingsUiBackgroundThread::connectedDevices);
    worker->checkDeviceConnections();
    QCOMPARE(direct.size(), 0);

    m_joystick->setStuckBusy(false);
    QTRY_COMPARE(ended, (QList<BusyWaitResult>{BusyWaitResult::Ready, BusyWaitResult::Ready}));
    QTRY_VERIFY(QGuiApplication::overrideCursor() == nullptr);
    QCOMPARE(lists.size(), 1);
    QCOMPARE(recordBytes(m_joystick->savedEffectSettings()), recordBytes(sampleEffects()));
}

void TestSettingsUiBackgroundThread::busyWaitEnds_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<BusyWaitResult>("result");
    QTest::newRow("device unplugged") << true << 60000 << BusyWaitResult::DeviceGone;
    QTest::newRow("device stays busy") << false << 150 << BusyWaitResult::TimedOut;
}

void TestSettingsUiBackgroundThread::busyWaitEnds()
{
    QFETCH(bool, unplug);
    QFETCH(int, limitMs);
    QFETCH(BusyWaitResult, result);
    m_worker.reset();
    ThreadedWorker threaded(m_bus.get(), BusyWaitTiming{1, limitMs});
    QList<QPair<int, BusyWaitResult>> ended;
    connect(threaded.worker, &SettingsUiBackgroundThread::busyWaitEnded, this,
            [&ended](int pid, BusyWaitResult r) {
                ended.append({pid, r});
            });
    threaded.post([](SettingsUiBackgroundThread *w) { w->checkDeviceConnections(); });

    m_joystick->setStuckBusy(true);
    threaded.post(
        [](SettingsUiBackgroundThread *w) { w->saveEffectsSettings(JoystickProductId, sampleEffects()); });
    QTRY_VERIFY(threaded.worker->isBusy());
    if (unplug)
        m_joystick->unplug();

    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended[0], qMakePair(int(JoystickProductId), result));
    // No save is sent to a device that never became ready.
    QTest::qWait(20);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(m_joystick->saves(), 0);
    QTRY_VERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void TestSettingsUiBackgroundThread::timerPollsOnWorkerThread()
{
    m_worker.reset();
    ThreadedWorker threaded(m_bus.get());
    QMutex mutex;
    QList<QThread *> emittedOn;
    auto polls = [&] {
        QMutexLocker lock(&mutex);
        return emittedOn;
    };
    connect(
        threaded.worker, &SettingsUiBackgroundThread::connectedDevices, this,
        [&](const ConnectedDeviceMap &) {
            QMutexLocker lock(&mutex);
            emittedOn << QThread::currentThread();
        },
        Qt::DirectConnection);
    threaded.post([](SettingsUiBackgroundThread *w) { w->start(); });
    // The first poll comes one interval after start, then one per interval.
    QTest::qWait(SettingsUiBackgroundThread::PollIntervalMs / 2);
    QVERIFY(polls().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(polls().size() >= 2, 4 * SettingsUiBackgroundThread::PollIntervalMs);
    QCOMPARE(polls().at(0), &threaded.thread);
}

QTEST_MAIN(TestSettingsUiBackgroundThread)
#include "tst_settingsuibackgroundthread.moc"
