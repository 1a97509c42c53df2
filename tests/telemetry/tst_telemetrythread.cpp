#include "httptestserver.h"
#include "scriptedsimconnect.h"
#include "telemetrysourcewarthunder.h"
#include "telemetrythread.h"
#include "udptestsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

// Free UDP ports, no simulator behind SimConnect, and a War Thunder URL
// on which nothing listens (a port that was free a moment ago).
TelemetryEndpoints freePorts(std::shared_ptr<ScriptedSimConnect> sim = {})
{
    if (!sim) {
        sim = std::make_shared<ScriptedSimConnect>();
        sim->simulatorRunning = false;
    }
    HttpTestServer closed;
    closed.close();
    return TelemetryEndpoints{0, 0, 0, closed.url(), sim, {}};
}

TelemetrySourceUdp *udpSource(TelemetryThread &thread, Telemetry::Source which)
{
    return qobject_cast<TelemetrySourceUdp *>(thread.source(which));
}

void tick(TelemetryThread &thread)
{
    QVERIFY(QMetaObject::invokeMethod(&thread, "onTimeout", Qt::DirectConnection));
}

} // namespace

class TestTelemetryThread : public QObject
{
    Q_OBJECT

private slots:
    void quietWithoutSimulator()
    {
        TelemetryThread thread(nullptr, freePorts());
        QSignalSpy sourceSpy(&thread, &TelemetryThread::telemetrySourceChanged);
        QSignalSpy endSpy(&thread, &TelemetryThread::telemetryEnded);
        for (int i = 0; i < 5; ++i)
            tick(thread);
        QCOMPARE(sourceSpy.count(), 0);
        QCOMPARE(endSpy.count(), 0);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_NONE);
    }

    // A replay ends every source that counts itself active, not only the
    // one the thread follows: each sends its all-zero record first.
    void replayEndsEverySourceThatCountsItselfActive()
    {
        QTemporaryDir dir;
        QFile recording(dir.filePath(QStringLiteral("empty.kxrec")));
        QVERIFY(recording.open(QIODevice::WriteOnly));
        recording.write(QByteArray::fromHex("4b5854454c524543"
                                            "0100"
                                            "0000")); // a version 1 header, no entries
        recording.close();

        TelemetryThread thread(nullptr, freePorts());
        auto *dcs = udpSource(thread, Telemetry::TELEMETRY_SOURCE_DCS);
        auto *il2 = udpSource(thread, Telemetry::TELEMETRY_SOURCE_IL2);
        UdpSender toDcs(dcs->localPort());
        UdpSender toIl2(il2->localPort());
        QSignalSpy dcsSpy(&thread, &TelemetryThread::dcsTelemetryChanged);
        QSignalSpy il2Spy(&thread, &TelemetryThread::shturmovikTelemetryChanged);
        toDcs.send("TestJet;100;0;0;1;0;0;0;0;0");
        toIl2.send(Il2Datagram().bytes());
        QTest::qWait(20);
        tick(thread);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_IL2); // DCS announced too
        toDcs.send("TestJet;250;0;0;1;0;0;0;0;0");
        QVERIFY(pollUntil([&] { dcs->poll(); }, [&] { return dcsSpy.count() == 1; }));

        QVERIFY(thread.startReplay(recording.fileName()));
        QCOMPARE(dcsSpy.count(), 2);
        QCOMPARE(dcsSpy.last().at(0).value<DCSTelemetry>().airspeed, 0.0f);
        QCOMPARE(il2Spy.count(), 1);
        QCOMPARE(il2Spy.last().at(0).value<ShturmovikTelemetry>().airspeed, 0.0f);
    }

    void laterAnnouncementWinsAndBothAreForwarded()
    {
        TelemetryThread thread(nullptr, freePorts());
        ManualClock clock;
        auto *dcs = udpSource(thread, Telemetry::TELEMETRY_SOURCE_DCS);
        auto *il2 = udpSource(thread, Telemetry::TELEMETRY_SOURCE_IL2);
        dcs->setClock(clock.function());
        il2->setClock(clock.function());
        UdpSender toDcs(dcs->localPort());
        UdpSender toIl2(il2->localPort());
        QSignalSpy sourceSpy(&thread, &TelemetryThread::telemetrySourceChanged);
        QSignalSpy dcsSpy(&thread, &TelemetryThread::dcsTelemetryChanged);
        QSignalSpy il2Spy(&thread, &TelemetryThread::shturmovikTelemetryChanged);
        QSignalSpy endSpy(&thread, &TelemetryThread::telemetryEnded);
        QSignalSpy landedSpy(&thread, &TelemetryThread::landed);

        toDcs.send("TestJet;100;0;0;1;0;0;0;0;0");
        toIl2.send(Il2Datagram().bytes());
        QTest::qWait(20);
        tick(thread);
        QCOMPARE(sourceSpy.count(), 2);
        QCOMPARE(sourceSpy.at(0).at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_DCS);
        QCOMPARE(sourceSpy.at(0).at(1).toString(), QStringLiteral("TestJet"));
        QCOMPARE(sourceSpy.at(1).at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_IL2);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_IL2);

        // While following IL-2, DCS waits in its socket.
        toDcs.send("TestJet;200;0;0;1;0;0;0;0;1");
        toIl2.send(Il2Datagram().entry(6, {50.0f}).bytes());
        QVERIFY(pollUntil([&] { tick(thread); }, [&] { return il2Spy.count() == 1; }));
        QCOMPARE(il2Spy.at(0).at(0).value<ShturmovikTelemetry>().airspeed, 180.0f);
        QCOMPARE(dcsSpy.count(), 0);

        // IL-2 goes quiet: its empty record, then the end, then searching again.
        clock.now += 1001;
        tick(thread);
        QCOMPARE(endSpy.count(), 1);
        QCOMPARE(il2Spy.count(), 2);
        QCOMPARE(il2Spy.at(1).at(0).value<ShturmovikTelemetry>().airspeed, 0.0f);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_NONE);

        // DCS still counts itself active: its waiting sample is forwarded without
        // a new announcement, and the thread keeps searching.
        tick(thread);
        QCOMPARE(dcsSpy.count(), 1);
        QCOMPARE(dcsSpy.at(0).at(0).value<DCSTelemetry>().airspeed, 200.0f);
        QCOMPARE(landedSpy.count(), 1);
        QCOMPARE(sourceSpy.count(), 2);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_NONE);
    }

    void followsMsfsAndForwardsItsRecords()
    {
        auto sim = std::make_shared<ScriptedSimConnect>();
        TelemetryThread thread(nullptr, freePorts(sim));
        QSignalSpy sourceSpy(&thread, &TelemetryThread::telemetrySourceChanged);
        QSignalSpy msfsSpy(&thread, &TelemetryThread::msfsTelemetryChanged);
        QSignalSpy endSpy(&thread, &TelemetryThread::telemetryEnded);
        TelemetrySourceMSFS::Sample s = msfsSample("C172");
        sim->queueSample(s);
        tick(thread);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_MSFS);
        QCOMPARE(sourceSpy.at(0).at(1).toString(), QStringLiteral("C172"));
        s.gForce = 2.0;
        sim->queueSample(s);
        sim->queueQuit();
        tick(thread);
        tick(thread);
        QCOMPARE(msfsSpy.count(), 2);
        QCOMPARE(msfsSpy.at(0).at(0).value<MSFSTelemetry>().gForce, 2.0f);
        QCOMPARE(msfsSpy.at(1).at(0).value<MSFSTelemetry>().gForce, 0.0f);
        QCOMPARE(endSpy.count(), 1);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_NONE);
    }

    void followsWarthunder()
    {
        HttpTestServer server;
        server.body = R"({"Ny": 3})";
        TelemetryEndpoints endpoints = freePorts();
        endpoints.warthunderStateUrl = server.url();
        TelemetryThread thread(nullptr, endpoints);
        QSignalSpy sourceSpy(&thread, &TelemetryThread::telemetrySourceChanged);
        QSignalSpy warthunderSpy(&thread, &TelemetryThread::warthunderTelemetryChanged);
        QVERIFY(pollUntil([&] { tick(thread); }, [&] { return warthunderSpy.count() > 0; }));
        QCOMPARE(sourceSpy.count(), 1);
        QCOMPARE(thread.activeSource(), Telemetry::TELEMETRY_SOURCE_WARTHUNDER);
        QCOMPARE(warthunderSpy.at(0).at(0).value<WarthunderTelemetry>().gForce, 3.0f);
    }

    void startsPollingOnItsOwnThread()
    {
        auto *telemetry = new TelemetryThread(nullptr, freePorts());
        auto *condor = udpSource(*telemetry, Telemetry::TELEMETRY_SOURCE_CONDOR);
        UdpSender toCondor(condor->localPort());
        QThread worker;
        telemetry->moveToThread(&worker);
        connect(&worker, &QThread::finished, telemetry, &QObject::deleteLater);
        QSignalSpy sourceSpy(telemetry, &TelemetryThread::telemetrySourceChanged);
        QSignalSpy condorSpy(telemetry, &TelemetryThread::condor2TelemetryChanged);
        worker.start();
        QTimer::singleShot(0, telemetry, &TelemetryThread::start);

        toCondor.send("airspeed=10");
        QTRY_COMPARE(sourceSpy.count(), 1);
        QCOMPARE(sourceSpy.at(0).at(1).toString(), QStringLiteral("Generic glider"));
        toCondor.send("airspeed=20");
        QTRY_COMPARE(condorSpy.count(), 1);
        QCOMPARE(condorSpy.at(0).at(0).value<Condor2Telemetry>().airspeed, 72.0f);

        worker.quit();
        QVERIFY(worker.wait(5000));
    }
};

QTEST_GUILESS_MAIN(TestTelemetryThread)
#include "tst_telemetrythread.moc"
