#include "../allocationcounter.h"
#include "mainbackgroundthread.h"
#include "virtualhidtransport.h"

#include <QSignalSpy>
#include <QTest>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace DeviceReports;

namespace {

// A worker on virtual devices with a hand-driven clock, ticked by the test.
struct Rig
{
    qint64 now = 50000;
    std::shared_ptr<VirtualHidTransport> bus = VirtualHidTransport::withJoystickAndRudder();
    std::shared_ptr<VirtualKestroxDevice> joystick = bus->device(JoystickProductId);
    std::shared_ptr<VirtualKestroxDevice> rudder = bus->device(RudderProductId);
    std::unique_ptr<MainBackgroundThread> worker;

    Rig()
    {
        MainBackgroundThreadOptions options;
        options.hid = bus;
        options.telemetryEndpoints = {.dcsPort = 0, .il2Port = 0, .condor2Port = 0, .warthunderStateUrl = QUrl(QStringLiteral("http://127.0.0.1:9/state")), .simConnect = {}, .msfsAddress = {}};
        options.clock = [this] { return now; };
        options.runTelemetryThread = false;
        worker = std::make_unique<MainBackgroundThread>(nullptr, options);
        worker->start();
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            QVERIFY(QMetaObject::invokeMethod(worker.get(), "onTimout", Qt::DirectConnection));
    }
    // Direct-control reports only (DirectX overrides are left out).
    static QList<Report> directControls(const VirtualKestroxDevice &device)
    {
        QList<Report> reports;
        const auto written = device.writtenReports();
        for (const QByteArray &bytes : written) {
            if (bytes.size() == 65 && bytes[1] == char(DirectControlCommand)) {
                Report r;
                std::copy(bytes.begin(), bytes.end(), r.begin());
                reports << r;
            }
        }
        return reports;
    }
    static QList<Report> directXOverrides(const VirtualKestroxDevice &device)
    {
        QList<Report> reports;
        const auto written = device.writtenReports();
        for (const QByteArray &bytes : written) {
            if (bytes.size() == 65 && bytes[1] == char(DirectXOverrideCommand)) {
                Report r;
                std::copy(bytes.begin(), bytes.end(), r.begin());
                reports << r;
            }
        }
        return reports;
    }
    // force, periodic and spring of the first slot of the last direct-control report.
    static AxisForces lastFirstSlot(const VirtualKestroxDevice &device)
    {
        const Report r = directControls(device).last();
        return {floatAt(r, 10), floatAt(r, 18), floatAt(r, 2)};
    }
    // The live view's batch of the ticks since the last one.
    LiveBatch liveBatch()
    {
        QSignalSpy batches(worker.get(), &MainBackgroundThread::liveBatchReady);
        QMetaObject::invokeMethod(worker.get(), "emitLiveBatch", Qt::DirectConnection);
        return batches.value(0).value(0).value<LiveBatch>();
    }
    // The centres of the three axes at the last tick (there must be one since the last batch).
    std::array<float, 3> centres()
    {
        const LiveBatch batch = liveBatch();
        return batch.samples.value(batch.count - 1).centre;
    }
};

// True when a report carries nothing after its id and command.
bool carriesNothing(const Report &r)
{
    return std::all_of(r.begin() + 2, r.end(), [](unsigned char b) { return b == 0; });
}

// A deflection spring whose output is `slope` kg per percent of deflection.
EffectsSettings springSettings(float slope, float strength = 100.0f)
{
    EffectsSettings settings;
    for (AxisEffectsSettings &axis : settings.axes) {
        axis.simple_spring.active = true;
        axis.simple_spring.total_effect_strength = strength;
        PointCurve::Points points;
        for (int i = 0; i < PointCurve::PointCount; ++i)
            points[i] = {-100.0f + 20.0f * i, (-100.0f + 20.0f * i) * slope};
        axis.simple_spring.curve.setPoints(points);
    }
    return settings;
}

} // namespace

class TestMainBackgroundThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { AllocationCounter::install(); }

    void connectsThenReadsPositions()
    {
        Rig rig;
        QSignalSpy joystickSpy(rig.worker.get(), &MainBackgroundThread::joystickConnected);
        QSignalSpy rudderSpy(rig.worker.get(), &MainBackgroundThread::rudderConnected);
        QSignalSpy positionSpy(rig.worker.get(), &MainBackgroundThread::positionChanged);
        rig.joystick->setPosition(0, 0.30f);
        rig.joystick->setOffset(0, 0.05f);
        rig.joystick->setPosition(1, -0.5f);
        rig.rudder->setPosition(0, 0.75f);

        rig.tick();
        QCOMPARE(joystickSpy.count(), 1);
        QCOMPARE(joystickSpy.at(0).at(0).value<uint32_t>(), uint32_t(0x20125));
        QCOMPARE(rudderSpy.count(), 1);
        // Opened this tick: no position read yet.
        QCOMPARE(positionSpy.last().at(0).value<PositionInput>(), PositionInput{});

        rig.tick();
        const auto position = positionSpy.last().at(0).value<PositionInput>();
        QCOMPARE(position.roll, 0.30f - 0.05f);
        QCOMPARE(position.pitch, -0.5f);
        QCOMPARE(position.yaw, 0.75f);
        QCOMPARE(joystickSpy.count(), 1);
        QCOMPARE(Rig::directControls(*rig.joystick).size(), 2); // a report every tick
    }

    void onlyTheRudder()
    {
        Rig rig;
        rig.joystick->setPlugged(false);
        rig.joystick->setPosition(0, 0.5f);
        rig.rudder->setPosition(0, -0.25f);
        QSignalSpy positionSpy(rig.worker.get(), &MainBackgroundThread::positionChanged);
        rig.tick(5);
        const auto position = positionSpy.last().at(0).value<PositionInput>();
        QCOMPARE(position.roll, 0.0f);
        QCOMPARE(position.yaw, -0.25f);
        QVERIFY(rig.joystick->writtenReports().isEmpty());
        QCOMPARE(Rig::directControls(*rig.rudder).size(), 5);
        QCOMPARE(positionSpy.count(), 5);
    }

    void reconnectsEvery101Ticks()
    {
        Rig rig;
        QSignalSpy dropSpy(rig.worker.get(), &MainBackgroundThread::joystickDisconnected);
        QSignalSpy connectSpy(rig.worker.get(), &MainBackgroundThread::joystickConnected);
        rig.tick(3);
        rig.joystick->setPlugged(false);
        const int opensBefore = rig.bus->openCalls();
        rig.tick(); // the failed read drops it at once
        QCOMPARE(dropSpy.count(), 1);
        rig.tick(100);
        QCOMPARE(rig.bus->openCalls(), opensBefore);
        rig.tick();
        QCOMPARE(rig.bus->openCalls(), opensBefore + 1); // joystick only; the rudder stayed
        rig.joystick->setPlugged(true);
        rig.tick(100);
        QCOMPARE(connectSpy.count(), 1);
        rig.tick();
        QCOMPARE(connectSpy.count(), 2);

        rig.joystick->setFailReads(true);
        rig.tick();
        QCOMPARE(dropSpy.count(), 2);
    }

    void rampAndLimit()
    {
        Rig rig;
        rig.joystick->setPosition(0, 0.5f); // 50 % deflection
        rig.rudder->setPosition(0, -0.5f);
        rig.tick();
        // Curve out = -0.8 x: at 50 % the spring pushes with +40 kg.
        rig.worker->changeSettingsModerately(springSettings(-0.8f));
        rig.now += 500;
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 10.0f); // a quarter at 500 ms
        rig.now += 1500;
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 40.0f);
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).spring, 40.0f);
        QCOMPARE(Rig::lastFirstSlot(*rig.rudder).force, -40.0f);

        rig.worker->changeSettingsModerately(springSettings(-2.8f)); // 140
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 100.0f);
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).spring, 140.0f); // the spring is not limited
        rig.worker->changeSettingsModerately(springSettings(5.0f)); // -250
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, -100.0f);

        // A sudden change starts the ramp again from zero.
        rig.worker->changeSettingsSuddenly(springSettings(-0.8f));
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 0.0f);
        rig.now += 1000;
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 20.0f);
        rig.now += 1000;
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 40.0f);
    }

    // Devices pulled out (or falling silent) and put back 1000 times while the
    // loop runs with a spring at 50 % deflection (+40 kg joystick roll, -40 kg
    // rudder): each one is back within the reconnect period of 101 ticks,
    // its forces ramp in from zero again while the other device keeps full
    // force, nothing is sent through a closed handle and every value sent is finite.
    void unplugAndReplugSoak()
    {
        Rig rig;
        QSignalSpy joystickDrops(rig.worker.get(), &MainBackgroundThread::joystickDisconnected);
        QSignalSpy rudderDrops(rig.worker.get(), &MainBackgroundThread::rudderDisconnected);
        QSignalSpy joystickReturns(rig.worker.get(), &MainBackgroundThread::joystickConnected);
        QSignalSpy rudderReturns(rig.worker.get(), &MainBackgroundThread::rudderConnected);
        rig.joystick->setPosition(0, 0.5f);
        rig.rudder->setPosition(0, -0.5f);
        rig.worker->changeSettingsModerately(springSettings(-0.8f));
        rig.tick();
        rig.now += 2500; // past the ramp of the start
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 40.0f);
        QCOMPARE(Rig::lastFirstSlot(*rig.rudder).force, -40.0f);

        constexpr int Cycles = 1000;
        int longestReturn = 0;
        for (int cycle = 0; cycle < Cycles; ++cycle) {
            const bool joystickOut = cycle % 3 != 1;
            const bool rudderOut = cycle % 3 != 0;
            const bool silent = cycle % 2 == 1; // stops answering instead of leaving the bus
            QList<VirtualKestroxDevice *> out;
            if (joystickOut)
                out << rig.joystick.get();
            if (rudderOut)
                out << rig.rudder.get();
            for (VirtualKestroxDevice *device : std::as_const(out))
                silent ? device->setFailReads(true) : device->setPlugged(false);
            const qsizetype joystickDropsBefore = joystickDrops.size();
            const qsizetype rudderDropsBefore = rudderDrops.size();
            rig.now += 10;
            rig.tick(); // the failed read drops it at once
            QCOMPARE(joystickDrops.size(), joystickDropsBefore + (joystickOut ? 1 : 0));
            QCOMPARE(rudderDrops.size(), rudderDropsBefore + (rudderOut ? 1 : 0));

            // Out for 0 to 149 ticks, then back.
            for (int t = 0; t < cycle % 150; ++t) {
                rig.now += 10;
                rig.tick();
            }
            for (VirtualKestroxDevice *device : std::as_const(out))
                silent ? device->setFailReads(false) : device->setPlugged(true);
            // A silent device stays on the bus, so it may have been opened
            // (and dropped again) meanwhile; back means open now.
            const auto allBack = [&out] {
                return std::all_of(out.cbegin(), out.cend(), [](VirtualKestroxDevice *d) { return d->isOpen(); });
            };
            int ticks = 0;
            while (!allBack() && ticks <= 101) {
                rig.now += 10;
                rig.tick();
                ++ticks;
            }
            QVERIFY2(ticks <= 101, qPrintable(QStringLiteral("cycle %1: back after %2 ticks").arg(cycle).arg(ticks)));
            longestReturn = std::max(longestReturn, ticks);

            // A quarter of the force 500 ms after the return, full after 2 s;
            // a device that stayed keeps its full force.
            rig.now += 500;
            rig.tick();
            QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, joystickOut ? 10.0f : 40.0f);
            QCOMPARE(Rig::lastFirstSlot(*rig.rudder).force, rudderOut ? -10.0f : -40.0f);
            rig.now += 1500;
            rig.tick();
            QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 40.0f);
            QCOMPARE(Rig::lastFirstSlot(*rig.rudder).force, -40.0f);

            for (VirtualKestroxDevice *device : {rig.joystick.get(), rig.rudder.get()}) {
                const QList<Report> sent = Rig::directControls(*device);
                for (const Report &report : sent) {
                    for (int offset = 2; offset + 4 <= 65; offset += 4)
                        QVERIFY(std::isfinite(floatAt(report, offset)));
                }
                device->clearWrittenReports();
            }
        }
        QCOMPARE(rig.joystick->closedHandleUses(), 0);
        QCOMPARE(rig.rudder->closedHandleUses(), 0);
        QVERIFY(joystickDrops.size() >= 2 * Cycles / 3 + 1); // cycles 0, 2, 3, 5, ... 999
        QVERIFY(joystickReturns.size() > 2 * Cycles / 3 && rudderReturns.size() > 2 * Cycles / 3);
        QVERIFY(longestReturn <= 101);
        qInfo("%d cycles; longest return %d ticks", Cycles, longestReturn);
    }

    void periodicIsNotLimited()
    {
        Rig rig;
        rig.tick(); // connects; a connection ramps in like the start
        rig.now += 3000;
        EffectsSettings settings;
        settings[0].on_ground_shaker.active = true;
        settings[0].on_ground_shaker.total_effect_strength = 175; // amplitude 3.5
        rig.worker->changeSettingsModerately(settings);
        rig.worker->enableTelemetryOverride();
        Telemetry rolling;
        rolling.onGround = true;
        rolling.airspeed = 1000;
        rig.worker->overrideTelemetry(rolling);
        rig.tick(2);
        QCOMPARE(qAbs(Rig::lastFirstSlot(*rig.joystick).periodic), 3.5f);
    }

    void telemetryOverride()
    {
        Rig rig;
        rig.tick(); // connects; a connection ramps in like the start
        rig.now += 3000;
        QSignalSpy telemetrySpy(rig.worker.get(), &MainBackgroundThread::telemetryChanged);
        MSFSTelemetry live;
        live.gForce = 2.0f;
        rig.worker->setMsfsTelemetry(live);
        QCOMPARE(telemetrySpy.count(), 1);
        QCOMPARE(rig.worker->source(), Telemetry::TELEMETRY_SOURCE_MSFS);

        rig.worker->enableTelemetryOverride();
        rig.worker->setDcsTelemetry(DCSTelemetry{});
        QCOMPARE(telemetrySpy.count(), 1); // dropped
        QCOMPARE(rig.worker->source(), Telemetry::TELEMETRY_SOURCE_MSFS);

        Telemetry handMade;
        handMade.gForce = 3.0f;
        rig.worker->overrideTelemetry(handMade);
        QCOMPARE(rig.worker->source(), Telemetry::TELEMETRY_SOURCE_NONE);
        QCOMPARE(telemetrySpy.count(), 1);

        // The hand-made record drives the forces: elevator weight = -G x strength / 10.
        EffectsSettings settings;
        settings[1].elevator_weight.active = true;
        settings[1].elevator_weight.total_effect_strength = 100;
        rig.worker->changeSettingsModerately(settings);
        rig.tick(2);
        auto pitchForce = [&] { return floatAt(Rig::directControls(*rig.joystick).last(), 14); };
        QCOMPARE(pitchForce(), -30.0f);

        // Disabling keeps the hand-made record until the next live one.
        rig.worker->disableTelemetryOverride();
        rig.tick();
        QCOMPARE(pitchForce(), -30.0f);
        rig.worker->setMsfsTelemetry(live);
        rig.tick();
        QCOMPARE(pitchForce(), -20.0f);
        QCOMPARE(telemetrySpy.count(), 2);
        QCOMPARE(telemetrySpy.last().at(0).value<Telemetry>().gForce, 2.0f);
    }

    void landedUnderOverride()
    {
        Rig rig;
        rig.now += 3000;
        EffectsSettings settings;
        for (AxisEffectsSettings &axis : settings.axes) {
            axis.landing_jolt.active = true;
            axis.landing_jolt.total_effect_strength = 100;
            axis.landing_jolt.effect_time = 1000;
            axis.landing_jolt.frequency = {20.0f, 20.0f, 0.0f}; // shakes even at standstill
        }
        rig.worker->changeSettingsModerately(settings);
        rig.worker->enableTelemetryOverride();
        rig.tick(2);
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).periodic, 0.0f);
        rig.worker->setLanded(-3.0f, 200.0f);
        rig.now += 10;
        rig.tick();
        QVERIFY(Rig::lastFirstSlot(*rig.joystick).periodic != 0.0f);
    }

    void directXOverrideOnSettingsChange()
    {
        Rig rig;
        rig.tick();
        EffectsSettings settings;
        settings[2].direct_x.active = true;
        settings[2].direct_x.total_effect_strength = 100;
        settings[2].direct_x.trimmer = 50;
        rig.worker->changeSettingsModerately(settings);
        QCOMPARE(Rig::directXOverrides(*rig.joystick).size(), 1);
        const auto rudderOverrides = Rig::directXOverrides(*rig.rudder);
        QCOMPARE(rudderOverrides.size(), 1);
        QCOMPARE(floatAt(rudderOverrides.first(), 2), 0.5f);
        QCOMPARE(floatAt(rudderOverrides.first(), 6), 0.0f);
    }

    void shutdownLeavesTheMotorsAtRest()
    {
        Rig rig;
        rig.joystick->setPosition(0, 0.5f);
        rig.tick(2);
        EffectsSettings settings = springSettings(-0.8f);
        settings[0].smart_damper.active = true;
        settings[0].smart_damper.total_effect_strength = 100;
        settings[0].smart_damper.static_dampening = 100;
        rig.worker->changeSettingsModerately(settings);
        rig.now += 3000;
        rig.tick();
        QVERIFY(Rig::lastFirstSlot(*rig.joystick).force != 0.0f);

        rig.worker->shutdown();
        for (const auto &device : {rig.joystick, rig.rudder}) {
            const Report last = Rig::directControls(*device).last();
            QCOMPARE(last[0], 0x02);
            QCOMPARE(last[1], 0x20);
            QVERIFY(std::all_of(last.begin() + 2, last.end(), [](unsigned char b) { return b == 0; }));
            QVERIFY(!device->isOpen());
        }
    }

    // A device keeps only its newest reports, oldest first, however many come.
    void historyIsBounded()
    {
        VirtualHidTransport bus;
        auto device = std::make_shared<VirtualKestroxDevice>(0x58F9, 0x20125, 100);
        bus.addDevice(device);
        HidDevice *handle = bus.open(0x045B, 0x58F9);
        QVERIFY(handle);
        for (int i = 0; i < 250; ++i) {
            unsigned char report[65] = {};
            report[1] = 0x55;
            report[2] = static_cast<unsigned char>(i);
            QCOMPARE(bus.write(handle, report, sizeof report), 65);
        }
        const QList<QByteArray> kept = device->writtenReports();
        QCOMPARE(kept.size(), 100);
        QCOMPARE(device->writtenCount(), quint64(250));
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(kept[i].size(), 65);
            QCOMPARE(quint8(kept[i][2]), quint8(150 + i));
        }
        device->clearWrittenReports();
        QVERIFY(device->writtenReports().isEmpty());
    }

    // An hour-long session in miniature: the history stops growing, and the
    // newest report is still the one the tick just wrote.
    void longRunKeepsTheNewestReports()
    {
        Rig rig;
        rig.joystick->setPosition(0, 0.5f);
        rig.worker->changeSettingsModerately(springSettings(-0.8f));
        rig.tick(6000);
        const qsizetype kept = rig.joystick->writtenReports().size();
        QVERIFY(kept < 6000);
        rig.tick(6000);
        QVERIFY(rig.joystick->writtenCount() >= 12000);
        QCOMPARE(rig.joystick->writtenReports().size(), kept);
        rig.now += 2500; // past the ramp
        rig.tick();
        QCOMPARE(Rig::lastFirstSlot(*rig.joystick).force, 40.0f);
    }

    // The whole tick, devices and every effect included, allocates nothing
    // but the queued positionChanged to the window on another thread, as in
    // the program; a batch for the live view hands its samples over uncopied.
    void tickAllocatesNothing()
    {
#if !defined(KESTROX_COUNTS_ALLOCATIONS)
        QSKIP("Allocations are counted through the AddressSanitizer runtime");
#endif
        Rig rig;
        EffectsSettings settings = springSettings(-0.8f);
        for (AxisEffectsSettings &axis : settings.axes) {
            for (SimpleEffectSettings *effect :
                 {static_cast<SimpleEffectSettings *>(&axis.g_force_spring),
                  static_cast<SimpleEffectSettings *>(&axis.aoa_shaker),
                  static_cast<SimpleEffectSettings *>(&axis.gear_shaker),
                  static_cast<SimpleEffectSettings *>(&axis.on_ground_shaker),
                  static_cast<SimpleEffectSettings *>(&axis.smart_damper)}) {
                effect->active = true;
                effect->total_effect_strength = 50;
            }
        }
        rig.worker->changeSettingsModerately(settings);
        rig.worker->enableTelemetryOverride();
        Telemetry flight;
        flight.airspeed = 300;
        flight.gForce = 1.5f;
        flight.aoa = 12;
        flight.gear = 100;
        rig.worker->overrideTelemetry(flight);
        for (QTimer *timer : rig.worker->findChildren<QTimer *>())
            timer->stop(); // ticks and batches come from the test alone

        // The window: every signal it listens to, received on another thread.
        QThread windowThread;
        QObject window;
        window.moveToThread(&windowThread);
        const auto stopWindowThread = qScopeGuard([&] {
            windowThread.quit();
            windowThread.wait();
        });
        windowThread.start();
        std::atomic<int> positions{0};
        std::atomic<int> batches{0};
        MainBackgroundThread *worker = rig.worker.get();
        QObject::connect(worker, &MainBackgroundThread::positionChanged, &window, [&](PositionInput) { ++positions; });
        QObject::connect(worker, &MainBackgroundThread::liveBatchReady, &window, [&](const LiveBatch &) { ++batches; });
        QObject::connect(worker, &MainBackgroundThread::telemetryChanged, &window, [](Telemetry) {});
        QObject::connect(worker, &MainBackgroundThread::joystickConnected, &window, [](uint32_t) {});
        QObject::connect(worker, &MainBackgroundThread::rudderConnected, &window, [](uint32_t) {});

        const QMetaObject *meta = worker->metaObject();
        const QMetaMethod tick = meta->method(meta->indexOfSlot("onTimout()"));
        const QMetaMethod emitBatch = meta->method(meta->indexOfSlot("emitLiveBatch()"));
        QVERIFY(tick.isValid() && emitBatch.isValid());
        // Warm up: the devices open, the window thread's event queue grows to its size.
        for (int i = 1; i <= 300; ++i) {
            tick.invoke(worker, Qt::DirectConnection);
            if (i % 100 == 0)
                emitBatch.invoke(worker, Qt::DirectConnection);
        }
        QTRY_VERIFY(positions.load() == 300 && batches.load() == 3);

        // With positionChanged: its event and its argument per tick, small
        // ones; the window keeps up, as it does in the program. Without it, nothing.
        AllocationCounter::start();
        for (int i = 1; i <= 1000; ++i) {
            rig.now += 10;
            tick.invoke(worker, Qt::DirectConnection);
            while (positions.load() < 300 + i)
                std::this_thread::yield();
        }
        QCOMPARE(AllocationCounter::stop(), 2 * 1000);
        QVERIFY2(AllocationCounter::largestBlock() <= 128, qPrintable(QString::number(AllocationCounter::largestBlock())));
        QObject::disconnect(worker, &MainBackgroundThread::positionChanged, &window, nullptr);
        AllocationCounter::start();
        for (int i = 0; i < 1000; ++i) {
            rig.now += 10;
            tick.invoke(worker, Qt::DirectConnection);
        }
        QCOMPARE(AllocationCounter::stop(), 0);

        // A batch for the live view, about 30 a second: its queued event, no copy of its 64 samples.
        AllocationCounter::start();
        for (int i = 1; i <= 30; ++i) {
            tick.invoke(worker, Qt::DirectConnection);
            emitBatch.invoke(worker, Qt::DirectConnection);
            while (batches.load() < 3 + i) // the window took it and let it go
                std::this_thread::yield();
        }
        AllocationCounter::stop();
        QVERIFY2(AllocationCounter::largestBlock() < LiveBatch::Capacity * sizeof(LiveSample),
                 qPrintable(QString::number(AllocationCounter::largestBlock())));
    }

    // What the live view gets: the values as written, the latency from a
    // record's arrival to the first tick that used it, and the failures.
    void liveBatches()
    {
        Rig rig;
        QSignalSpy batches(rig.worker.get(), &MainBackgroundThread::liveBatchReady);
        rig.joystick->setPosition(1, 0.5f);
        rig.worker->changeSettingsModerately(springSettings(-0.8f));
        rig.tick();
        rig.now += 3000; // past the ramp
        DCSTelemetry record;
        record.airspeed = 250;
        rig.worker->setDcsTelemetry(record);
        rig.now += 7;
        rig.tick();
        rig.now += 10;
        rig.tick();
        rig.rudder->setFailWrites(true);
        rig.now += 10;
        rig.tick();
        rig.rudder->setFailWrites(false);
        QVERIFY(QMetaObject::invokeMethod(rig.worker.get(), "emitLiveBatch", Qt::DirectConnection));
        QCOMPARE(batches.count(), 1);
        const LiveBatch batch = batches.first().at(0).value<LiveBatch>();
        QCOMPARE(batch.count, 4);
        QCOMPARE(batch.source, Telemetry::TELEMETRY_SOURCE_DCS);
        const LiveSample &used = batch.samples[1];
        QCOMPARE(used.latencyMs, 7);
        QCOMPARE(used.records, quint16(1));
        QCOMPARE(used.tickIntervalMs, 3007);
        QCOMPARE(batch.samples[2].latencyMs, -1); // used once
        // Elevator at 50 % on the curve out = -0.8 x: the spring pushes back
        // with +40 kg, fully ramped.
        QCOMPARE(used.force[1], 40.0f);
        QCOMPARE(used.spring[1], 40.0f);
        QCOMPARE(used.position[1], 0.5f);
        QVERIFY(used.joystick && used.rudder);
        QCOMPARE(batch.failedWrites, quint64(1));
        QCOMPARE(batch.boundedValues, quint64(0));
        // A record stamped when its input reached the program: the latency runs from there.
        DCSTelemetry stamped;
        stamped.inputStampMs = rig.now - 15;
        rig.worker->setDcsTelemetry(stamped);
        rig.now += 5;
        rig.tick();
        QCOMPARE(rig.liveBatch().samples[0].latencyMs, 20);
        // The next batch holds only what came after.
        rig.rudder->setPlugged(false);
        rig.now += 10;
        rig.tick();
        QVERIFY(QMetaObject::invokeMethod(rig.worker.get(), "emitLiveBatch", Qt::DirectConnection));
        const LiveBatch next = batches.last().at(0).value<LiveBatch>();
        QCOMPARE(next.count, 1);
        QVERIFY(next.samples[0].joystick);
        QVERIFY(!next.samples[0].rudder);
    }

    // Hostile or broken values reach the motor bounded, each bounded value
    // counted: a thrust of 1e30 through the airflow spring (spring 550), a
    // gear of 1e30 through its shaker (periodic 24); a profile no editor
    // makes: damping coefficients 0..5, the device's own DirectX scales 0..1.
    void springAndPeriodicAreBounded()
    {
        Rig rig;
        EffectsSettings settings;
        settings[1].airflow_spring = {{true, 100.0f}, 0.0f, 100.0f, 100.0f, 0.0f, {}, 500.0f, 1000.0f}; // thrust 100 %
        settings[1].airflow_spring.setAttenuation(500, 1000);
        settings[1].gear_shaker.active = true;
        settings[1].gear_shaker.total_effect_strength = 100;
        rig.worker->changeSettingsModerately(settings);
        rig.worker->enableTelemetryOverride();
        Telemetry hostile;
        hostile.airspeed = 100;
        hostile.propAirflow = 1e30f;
        hostile.gear = 1e30f;
        rig.worker->overrideTelemetry(hostile);
        rig.tick(); // the devices open
        rig.now += 2500;
        for (int i = 0; i < 10; ++i) {
            rig.now += 10;
            rig.tick();
            const Report r = Rig::directControls(*rig.joystick).last();
            QCOMPARE(floatAt(r, 6), 550.0f);             // spring of the elevator
            QCOMPARE(std::fabs(floatAt(r, 22)), 24.0f); // its periodic
            QVERIFY(std::isfinite(floatAt(r, 14)) && std::fabs(floatAt(r, 14)) <= 100.0f); // its steady force
        }
        const LiveBatch batch = rig.liveBatch();
        QCOMPARE(batch.boundedValues, quint64(22)); // two values of one axis on each of the 11 ticks
        QCOMPARE(batch.samples[10].bounded, quint16(2));

        EffectsSettings broken;
        broken[0].smart_damper = {{true, 100.0f}, 1e6f, -50.0f}; // static 10000 -> 5, dynamic -0.5 -> 0
        broken[1].smart_damper = {{true, 100.0f}, 300.0f, 0.0f}; // static 3, as it is
        broken[0].direct_x = {{true, 100.0f}, -80.0f, 1e6f, 40.0f}; // trimmer -0.8 -> 0, force 10000 -> 1, periodic 0.4
        rig.worker->changeSettingsModerately(broken);
        const Report dx = Rig::directXOverrides(*rig.joystick).last();
        QCOMPARE(floatAt(dx, 2), 0.0f);
        QCOMPARE(floatAt(dx, 10), 1.0f);
        QCOMPARE(floatAt(dx, 18), 0.4f);
        rig.now += 10;
        rig.tick();
        const Report r = Rig::directControls(*rig.joystick).last();
        QCOMPARE(floatAt(r, 26), 5.0f); // static damping, axis 0
        QCOMPARE(floatAt(r, 30), 3.0f); // axis 1
        QCOMPARE(floatAt(r, 34), 0.0f); // dynamic damping, axis 0
    }

    // The forces switch: off, every report carries zero force, spring,
    // periodic and damping from the next tick, and the device's own DirectX
    // forces are scaled to zero, also on a device plugged in while off; on,
    // the forces ramp in from zero over 2 s. Positions keep being read.
    void forcesSwitch()
    {
        Rig rig;
        EffectsSettings settings = springSettings(-0.8f);
        for (AxisEffectsSettings &axis : settings.axes) {
            axis.smart_damper = {{true, 100.0f}, 50.0f, 0.0f};
            axis.direct_x = {{true, 100.0f}, 0.0f, 80.0f, 0.0f};
        }
        rig.joystick->setPosition(1, 0.5f);
        rig.worker->changeSettingsModerately(settings);
        rig.tick();
        rig.now += 2500;
        rig.tick();
        const Report full = Rig::directControls(*rig.joystick).last();
        QCOMPARE(floatAt(full, 14), 40.0f); // elevator at 50 % on out = -0.8 x: +40 kg
        QVERIFY(floatAt(full, 30) > 0);     // its static damping

        QSignalSpy switched(rig.worker.get(), &MainBackgroundThread::forcesEnabledChanged);
        QSignalSpy positions(rig.worker.get(), &MainBackgroundThread::positionChanged);
        rig.worker->setForcesEnabled(false);
        QCOMPARE(switched.count(), 1);
        QCOMPARE(switched.last().at(0).toBool(), false);
        QVERIFY(carriesNothing(Rig::directXOverrides(*rig.joystick).last())); // DirectX scaled to zero
        for (int i = 0; i < 5; ++i) {
            rig.now += 10;
            rig.tick();
            QVERIFY(carriesNothing(Rig::directControls(*rig.joystick).last()));
            QVERIFY(carriesNothing(Rig::directControls(*rig.rudder).last()));
        }
        QCOMPARE(positions.last().at(0).value<PositionInput>().pitch, 0.5f);

        // Plugged in again while off: it gets the all-zero override too, or
        // its own DirectX scaling comes back.
        rig.joystick->setPlugged(false);
        rig.now += 10;
        rig.tick();
        rig.joystick->setPlugged(true);
        rig.joystick->clearWrittenReports();
        while (!rig.joystick->isOpen() && rig.now < 200000) {
            rig.now += 10;
            rig.tick();
        }
        QVERIFY(rig.joystick->isOpen());
        const QList<Report> replugged = Rig::directXOverrides(*rig.joystick);
        QCOMPARE(replugged.size(), 1);
        QVERIFY(carriesNothing(replugged.first()));

        // Back on at t0: 40 kg ramps in (a quarter at 500 ms); the DirectX scales come back (0.8).
        rig.worker->setForcesEnabled(true);
        QCOMPARE(floatAt(Rig::directXOverrides(*rig.joystick).last(), 10), 0.8f);
        const qint64 t0 = rig.now;
        for (const auto &[after, expected] : {std::pair{0, 0.0f}, std::pair{500, 10.0f}, std::pair{1000, 20.0f},
                                              std::pair{2000, 40.0f}, std::pair{2500, 40.0f}}) {
            rig.now = t0 + after;
            rig.tick();
            QCOMPARE(floatAt(Rig::directControls(*rig.joystick).last(), 14), expected);
        }
        rig.worker->setForcesEnabled(true); // already on: nothing changes
        QCOMPARE(switched.count(), 2);
    }

    // Trim following worked by hand: a spring of out = -0.8 x at 100 %, trim
    // 50 %, strength 40 %: the centre's target is 50 x 40 / 100 / 100 = 0.2,
    // reached at 0.01 a tick; the stick at 0.2 then feels no force. "Reverse"
    // mirrors it; off, it comes back at the same pace.
    void trimFollowing()
    {
        Rig rig;
        EffectsSettings settings = springSettings(-0.8f);
        settings[1].trim_following = {{true, 40.0f}, false, false};
        rig.joystick->setPosition(1, 0.2f);
        rig.worker->changeSettingsModerately(settings);
        rig.worker->enableTelemetryOverride();
        Telemetry trimmed;
        trimmed.trimmerPitch = 50;
        rig.worker->overrideTelemetry(trimmed);
        const auto elevatorForce = [&] { return floatAt(Rig::directControls(*rig.joystick).last(), 14); };
        rig.tick(); // the devices open; the centre makes its first step
        rig.now += 3000; // past the ramp
        QCOMPARE(rig.centres()[1], 0.01f);
        rig.tick(9);
        QCOMPARE(rig.centres()[1], 0.1f);
        QCOMPARE(elevatorForce(), 0.8f * 10.0f); // 10 % beyond the centre: pushed back with 8 kg
        rig.tick(10);
        QCOMPARE(rig.centres()[1], 0.2f);
        QVERIFY(std::fabs(elevatorForce()) < 1e-3f);
        rig.tick(30);
        const std::array<float, 3> stays = rig.centres();
        QCOMPARE(stays[1], 0.2f);
        QCOMPARE(stays[0], 0.0f); // the ailerons have no trim following

        settings[1].trim_following.reverse = true;
        rig.worker->changeSettingsModerately(settings);
        rig.tick(20);
        QCOMPARE(rig.centres()[1], 0.0f);
        rig.tick(20);
        QCOMPARE(rig.centres()[1], -0.2f);
        QCOMPARE(elevatorForce(), 0.8f * 40.0f); // 40 % beyond the centre: 32 kg

        settings[1].trim_following.active = false;
        rig.worker->changeSettingsModerately(settings);
        rig.tick(10);
        QCOMPARE(rig.centres()[1], -0.1f);
        rig.tick(10);
        QCOMPARE(rig.centres()[1], 0.0f);
        QCOMPARE(elevatorForce(), 0.8f * 20.0f); // the plain spring again
    }

    // The autopilot: while it is engaged (and "autopilot" is set) the centre
    // follows the control's position the simulator reports, past the travel
    // its end, not finite none; then the trim again, a trim not finite
    // counting as 0; another simulator takes the centre back to 0.
    void trimFollowingTheAutopilot()
    {
        Rig rig;
        EffectsSettings settings = springSettings(-0.8f);
        for (AxisEffectsSettings &axis : settings.axes)
            axis.trim_following = {{true, 100.0f}, true, false};
        rig.worker->changeSettingsModerately(settings);
        rig.tick();
        MSFSTelemetry msfs;
        msfs.trimmerRoll = 10;
        msfs.trimmerPitch = -30;
        msfs.trimmerYaw = std::numeric_limits<float>::quiet_NaN();
        msfs.controlPosition = {0.5f, 0.25f, -0.5f};
        for (const bool engaged : {false, true, false}) {
            msfs.autopilotEngaged = engaged;
            rig.worker->setMsfsTelemetry(msfs);
            rig.tick(60);
            QCOMPARE(rig.centres(), engaged ? (std::array<float, 3>{0.5f, 0.25f, -0.5f})
                                            : (std::array<float, 3>{0.1f, -0.3f, 0.0f}));
        }

        XPlaneTelemetry xplane;
        xplane.trimmerPitch = 20;
        xplane.autopilotEngaged = true;
        xplane.controlPosition = {0.0f, -0.4f, 0.0f};
        rig.worker->setXPlaneTelemetry(xplane);
        rig.tick(100);
        QCOMPARE(rig.centres()[1], -0.4f);

        // DCS takes over: its own force feedback follows its trim; back to 0.
        DCSTelemetry dcs;
        dcs.trimmerPitch = 80;
        rig.worker->setDcsTelemetry(dcs);
        rig.tick(39);
        QVERIFY(std::fabs(rig.centres()[1] - -0.01f) < 1e-5f);
        rig.tick();
        QCOMPARE(rig.centres()[1], 0.0f);

        xplane.controlPosition = {5.0f, -std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN()};
        rig.worker->setXPlaneTelemetry(xplane);
        rig.tick(150);
        QCOMPARE(rig.centres(), (std::array<float, 3>{1.0f, 0.0f, 0.0f}));
    }

    // A profile without trim following, and one with it inactive, write the
    // very same reports for the same telemetry.
    void inactiveTrimFollowingChangesNothing()
    {
        QList<QList<Report>> runs;
        for (const bool present : {false, true}) {
            Rig rig;
            EffectsSettings settings = springSettings(-0.8f);
            for (AxisEffectsSettings &axis : settings.axes) {
                axis.airflow_spring = {{true, 80.0f}, 60.0f, 40.0f, 50.0f, 30.0f, {}, 500.0f, 1000.0f};
                axis.airflow_spring.setAttenuation(500.0f, 1000.0f);
                if (present)
                    axis.trim_following = {{false, 80.0f}, true, true};
            }
            rig.joystick->setPosition(0, -0.3f);
            rig.joystick->setPosition(1, 0.6f);
            rig.worker->changeSettingsModerately(settings);
            rig.tick();
            MSFSTelemetry msfs;
            msfs.airspeed = 320;
            msfs.propAirflow = 70;
            msfs.trimmerPitch = 40;
            msfs.trimmerRoll = -20;
            msfs.autopilotEngaged = true;
            msfs.controlPosition = {0.3f, 0.3f, 0.3f};
            rig.worker->setMsfsTelemetry(msfs);
            for (int i = 0; i < 300; ++i) {
                rig.now += 10;
                rig.tick();
            }
            runs << Rig::directControls(*rig.joystick);
        }
        QCOMPARE(runs[0], runs[1]);
        QVERIFY(floatAt(runs[0].last(), 14) != 0.0f);
    }
};

QTEST_GUILESS_MAIN(TestMainBackgroundThread)
#include "tst_mainbackgroundthread.moc"
