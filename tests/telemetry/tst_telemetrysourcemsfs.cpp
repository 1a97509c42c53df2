#include "scriptedsimconnect.h"
#include "telemetrysourcemsfs.h"

#include <QSignalSpy>
#include <QRegularExpression>
#include <QTest>

#include <cstring>
#include <limits>

namespace {

struct MsfsRig
{
    std::shared_ptr<ScriptedSimConnect> sim = std::make_shared<ScriptedSimConnect>();
    TelemetrySourceMSFS source{nullptr, sim};
    QSignalSpy announced{&source, &TelemetrySource::telemetrySourceChanged};
    QSignalSpy changed{&source, &TelemetrySourceMSFS::telemetryChanged};
    QSignalSpy ended{&source, &TelemetrySource::telemetryEnded};
    QSignalSpy landed{&source, &TelemetrySource::landed};

    void pollAll()
    {
        while (!sim->messages.isEmpty())
            source.poll();
    }
    MSFSTelemetry last() const { return changed.last().at(0).value<MSFSTelemetry>(); }
};

} // namespace

class TestTelemetrySourceMsfs : public QObject
{
    Q_OBJECT

private slots:
    void connectsAndDefinesTheSample()
    {
        MsfsRig rig;
        rig.sim->simulatorRunning = false;
        rig.source.poll();
        rig.source.poll();
        QCOMPARE(rig.sim->openCalls, 2); // every poll tries again
        QVERIFY(rig.sim->definition.isEmpty());

        rig.sim->simulatorRunning = true;
        rig.source.poll();
        QCOMPARE(rig.sim->openCalls, 3);
        // Definition 0, the sample, then definition 1 for trim and autopilot following.
        QCOMPARE(rig.sim->definition.size(), 19 + 4);
        QCOMPARE(rig.sim->definition.first(), QStringLiteral("0|SIM ON GROUND|Bool|4|0|ffffffff"));
        QCOMPARE(rig.sim->definition.at(13), QStringLiteral("0|PROP MAX RPM PERCENT:1|percent|4|0|ffffffff"));
        QCOMPARE(rig.sim->definition.at(18), QStringLiteral("0|TITLE|-|9|0|ffffffff"));
        QCOMPARE(rig.sim->definition.mid(19),
                 (QStringList{QStringLiteral("1|AUTOPILOT MASTER|Bool|4|0|ffffffff"),
                              QStringLiteral("1|AILERON POSITION|position 16k|4|0|ffffffff"),
                              QStringLiteral("1|ELEVATOR POSITION|position 16k|4|0|ffffffff"),
                              QStringLiteral("1|RUDDER POSITION|position 16k|4|0|ffffffff")}));
        QCOMPARE(rig.sim->subscriptions,
                 (QStringList{QStringLiteral("0:SimStart"), QStringLiteral("1:SimStop")}));
        QCOMPARE(rig.sim->requests, 1);
        rig.source.poll();
        QCOMPARE(rig.sim->openCalls, 3); // connected once
    }

    void firstSampleAnnouncesSecondConverts()
    {
        MsfsRig rig;
        TelemetrySourceMSFS::Sample s = msfsSample("Cessna 172 Skyhawk");
        s.airspeedIndicated = 180.0;
        rig.sim->queueSample(s);
        rig.source.poll();
        QCOMPARE(rig.announced.count(), 1);
        QCOMPARE(rig.announced.at(0).at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_MSFS);
        QCOMPARE(rig.announced.at(0).at(1).toString(), QStringLiteral("Cessna 172 Skyhawk"));
        QCOMPARE(rig.changed.count(), 0);
        QCOMPARE(rig.sim->requests, 2); // one request at a time: the next after each sample

        rig.sim->queueSample(s);
        rig.sim->queueSample(s);
        rig.source.poll(); // at most one message per poll
        QCOMPARE(rig.changed.count(), 1);
        QCOMPARE(rig.last().airspeed, 180.0f);
        QCOMPARE(rig.sim->messages.size(), 1);
    }

    // Definition 1, asked for after each sample: the autopilot's master
    // switch and the three controls' positions in "position 16k" units
    // (16384 = full deflection), kept for the next record.
    void autopilotAndControls()
    {
        MsfsRig rig;
        rig.sim->queueSample(msfsSample());
        rig.source.poll();
        QCOMPARE(rig.sim->controlsRequests, 1);
        // 40-byte header (size 72, version 4, id 9, request 1, object 1,
        // definition 1, flags 0, entry 0, out of 1, 4 values), then four doubles:
        // 1, 8192, -16384, 40000.
        rig.sim->messages << QByteArray::fromHex("48000000" "04000000" "09000000" "01000000" "01000000"
                                                 "01000000" "00000000" "00000000" "01000000" "04000000"
                                                 "000000000000f03f" "000000000000c040" "000000000000d0c0"
                                                 "000000000088e340");
        rig.source.poll();
        QCOMPARE(rig.changed.count(), 0); // kept, not a record of its own
        rig.sim->queueSample(msfsSample());
        rig.source.poll();
        QCOMPARE(rig.changed.count(), 1);
        QVERIFY(rig.last().autopilotEngaged);
        QCOMPARE(rig.last().controlPosition, (std::array<float, 3>{0.5f, -1.0f, 1.0f})); // beyond full: full
        QCOMPARE(rig.sim->controlsRequests, 2);
        // A message of definition 1 cut short changes nothing.
        rig.sim->messages << QByteArray::fromHex("40000000" "04000000" "09000000" "01000000" "01000000"
                                                 "01000000" "00000000" "00000000" "01000000" "04000000"
                                                 "0000000000000000" "0000000000000000" "0000000000000000");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("controls message too short")));
        rig.source.poll();
        rig.sim->queueSample(msfsSample());
        rig.source.poll();
        QVERIFY(rig.last().autopilotEngaged);
    }

    void conversion_data()
    {
        QTest::addColumn<double>("engines");
        QTest::addColumn<float>("propAirflow");
        QTest::newRow("six engines average four") << 6.0 << 25.0f;
        QTest::newRow("two engines") << 2.0 << 15.0f;
        QTest::newRow("two and a half truncate") << 2.5 << 15.0f;
        QTest::newRow("no engines") << 0.0 << 0.0f;
        QTest::newRow("negative") << -3.0 << 0.0f;
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0.0f;
    }
    void conversion()
    {
        QFETCH(double, engines);
        QFETCH(float, propAirflow);
        MsfsRig rig;
        rig.sim->queueSample(msfsSample());
        TelemetrySourceMSFS::Sample s = msfsSample();
        s.gearLeft = s.gearRight = s.gearCenter = 1.0;
        s.flapsLeft = s.flapsRight = 0.5;
        s.aileronTrim = s.elevatorTrim = s.rudderTrim = 0.25;
        s.numberOfEngines = engines;
        s.propMaxRpmPercent[0] = 10;
        s.propMaxRpmPercent[1] = 20;
        s.propMaxRpmPercent[2] = 30;
        s.propMaxRpmPercent[3] = 40;
        s.gForce = 1.5;
        s.incidenceAlpha = 7.0;
        s.verticalSpeed = -2.0;
        s.airspeedIndicated = 1e300; // too large for a float: stored as 0
        rig.sim->queueSample(s);
        rig.pollAll();
        const MSFSTelemetry t = rig.last();
        QCOMPARE(t.gear, 100.0f);
        QCOMPARE(t.flaps, 50.0f);
        QCOMPARE(t.trimmerRoll, 25.0f);
        QCOMPARE(t.trimmerPitch, 25.0f);
        QCOMPARE(t.trimmerYaw, 25.0f);
        QCOMPARE(t.propAirflow, propAirflow);
        QCOMPARE(t.gForce, 1.5f);
        QCOMPARE(t.aoa, 7.0f);
        QCOMPARE(t.verticalSpeed, -2.0f);
        QCOMPARE(t.airspeed, 0.0f);
        QCOMPARE(t.airbrake, 0.0f);
        QCOMPARE(t.sideslip, 0.0f);
    }

    void standingOnTheRunwayLands()
    {
        MsfsRig rig;
        TelemetrySourceMSFS::Sample s = msfsSample();
        s.simOnGround = 1.0;
        s.airspeedIndicated = 1200.0;
        s.verticalSpeed = -0.5;
        rig.sim->queueSample(s); // announces; on-ground not yet stored
        rig.sim->queueSample(s);
        rig.sim->queueSample(s);
        rig.pollAll();
        QCOMPARE(rig.landed.count(), 1);
        QCOMPARE(rig.landed.at(0).at(0).toFloat(), -0.5f);
        QCOMPARE(rig.landed.at(0).at(1).toFloat(), 1000.0f);
        QVERIFY(rig.last().onGround);
    }

    void simStopAndStart()
    {
        MsfsRig rig;
        rig.sim->queueEvent(1); // SimStop while inactive still ends
        rig.source.poll();
        QCOMPARE(rig.changed.count(), 1);
        QCOMPARE(rig.ended.count(), 1);
        QCOMPARE(rig.last().gForce, 0.0f);

        TelemetrySourceMSFS::Sample s = msfsSample("A320");
        s.gForce = 1.0;
        rig.sim->queueSample(s);
        rig.sim->queueSample(s);
        rig.sim->queueEvent(1);
        rig.pollAll();
        QCOMPARE(rig.announced.count(), 1);
        QCOMPARE(rig.changed.count(), 3);
        QCOMPARE(rig.last().gForce, 0.0f); // the empty record, before the end
        QCOMPARE(rig.ended.count(), 2);
        QVERIFY(!rig.source.isActive());

        const int requests = rig.sim->requests;
        rig.sim->queueEvent(0); // SimStart asks again
        rig.sim->queueEvent(7); // another event: nothing
        rig.pollAll();
        QCOMPARE(rig.sim->requests, requests + 1);
        rig.sim->queueSample(msfsSample("B738"));
        rig.source.poll();
        QCOMPARE(rig.announced.count(), 2);
        QCOMPARE(rig.announced.last().at(1).toString(), QStringLiteral("B738"));
    }

    void otherRequestsAndShortMessagesAreIgnored()
    {
        MsfsRig rig;
        rig.sim->queueSample(msfsSample(), 5);
        rig.source.poll();
        rig.sim->messages << ScriptedSimConnect::header(SimConnect::RecvIdSimObjectDataByType, 60);
        rig.sim->messages << ScriptedSimConnect::header(SimConnect::RecvIdEvent, 14);
        rig.sim->messages << QByteArray(6, '\0');
        rig.pollAll();
        QCOMPARE(rig.announced.count(), 0);
        QCOMPARE(rig.ended.count(), 0);
        QCOMPARE(rig.sim->requests, 1); // only the one made on connecting
    }

    void quitEndsForGood()
    {
        MsfsRig rig;
        rig.sim->queueSample(msfsSample());
        rig.sim->queueQuit();
        rig.pollAll();
        QCOMPARE(rig.ended.count(), 1);
        for (int i = 0; i < 5; ++i)
            rig.source.poll();
        QCOMPARE(rig.sim->openCalls, 1); // neither reopened nor closed
        QCOMPARE(rig.sim->closes, 0);
        QCOMPARE(rig.announced.count(), 1);
    }

    void titleWithoutNul()
    {
        MsfsRig rig;
        TelemetrySourceMSFS::Sample s{};
        std::memset(s.title, 'A', sizeof s.title);
        rig.sim->queueSample(s);
        rig.source.poll();
        QCOMPARE(rig.announced.at(0).at(1).toString(), QString(256, QLatin1Char('A')));
    }

    void closesOnDestruction()
    {
        auto sim = std::make_shared<ScriptedSimConnect>();
        {
            TelemetrySourceMSFS source(nullptr, sim);
            source.poll();
        }
        QCOMPARE(sim->closes, 1);
    }
};

QTEST_GUILESS_MAIN(TestTelemetrySourceMsfs)
#include "tst_telemetrysourcemsfs.moc"
