#include "fakexplane.h"
#include "telemetrysourcexplane.h"
#include "udptestsupport.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// The datarefs X-Plane is asked for, as its dataref list names them.
const QStringList expectedDatarefs = {
    QStringLiteral("sim/flightmodel/position/indicated_airspeed"),
    QStringLiteral("sim/flightmodel/position/vh_ind"),
    QStringLiteral("sim/flightmodel/position/alpha"),
    QStringLiteral("sim/flightmodel/position/beta"),
    QStringLiteral("sim/flightmodel/position/P"),
    QStringLiteral("sim/flightmodel/forces/g_nrml"),
    QStringLiteral("sim/cockpit2/engine/actuators/throttle_ratio_all"),
    QStringLiteral("sim/flightmodel/controls/ail_trim"),
    QStringLiteral("sim/flightmodel/controls/elv_trim"),
    QStringLiteral("sim/flightmodel/controls/rud_trim"),
    QStringLiteral("sim/flightmodel2/gear/deploy_ratio[0]"),
    QStringLiteral("sim/flightmodel/controls/sbrkrat"),
    QStringLiteral("sim/flightmodel/controls/flaprat"),
    QStringLiteral("sim/flightmodel/failures/onground_any"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[0]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[1]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[2]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[3]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[4]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[5]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[6]"),
    QStringLiteral("sim/aircraft/view/acf_ICAO[7]"),
    // For trim and autopilot following.
    QStringLiteral("sim/cockpit2/autopilot/servos_on"),
    QStringLiteral("sim/cockpit2/controls/yoke_roll_ratio"),
    QStringLiteral("sim/cockpit2/controls/yoke_pitch_ratio"),
    QStringLiteral("sim/cockpit2/controls/yoke_heading_ratio"),
};

struct Rig
{
    ManualClock clock;
    FakeXPlane xplane;
    std::unique_ptr<TelemetrySourceXPlane> source =
        std::make_unique<TelemetrySourceXPlane>(nullptr, QHostAddress::LocalHost, xplane.port());
    QSignalSpy changes{source.get(), &TelemetrySource::telemetrySourceChanged};
    QSignalSpy records{source.get(), &TelemetrySourceXPlane::telemetryChanged};
    QSignalSpy ends{source.get(), &TelemetrySource::telemetryEnded};
    QSignalSpy landings{source.get(), &TelemetrySource::landed};

    Rig() { source->setClock(clock.function()); }

    void subscribe()
    {
        source->poll();
        QCOMPARE(xplane.waitForRequests(26).size(), 26);
    }
    // Sends an answer and polls until the source has reacted.
    void deliver(const QByteArray &datagram)
    {
        const auto before = changes.count() + records.count();
        xplane.send(datagram);
        QVERIFY(pollUntil([this] { source->poll(); },
                          [&] { return changes.count() + records.count() > before; }));
    }
    void activate(const char *aircraft = "C172")
    {
        subscribe();
        deliver(xplane.answer(xplane.icao(aircraft)));
        QCOMPARE(changes.count(), 1);
    }
    XPlaneTelemetry last() const { return records.last().at(0).value<XPlaneTelemetry>(); }
};

} // namespace

class TestTelemetrySourceXPlane : public QObject
{
    Q_OBJECT

private slots:
    void subscriptionRequests()
    {
        Rig rig;
        rig.source->poll();
        const QList<FakeXPlane::Request> requests = rig.xplane.waitForRequests(26);
        QStringList datarefs;
        QSet<qint32> indices;
        for (const FakeXPlane::Request &request : requests) {
            QCOMPARE(request.frequency, 50);
            datarefs << request.dataref;
            indices << request.index;
        }
        QCOMPARE(QSet<QString>(datarefs.begin(), datarefs.end()),
                 QSet<QString>(expectedDatarefs.begin(), expectedDatarefs.end()));
        QCOMPARE(indices.size(), 26); // one index per dataref

        // Searching: the subscription again about once a second, not every poll.
        rig.clock.now += 500;
        rig.source->poll();
        QCOMPARE(rig.xplane.waitForRequests(1, 200).size(), 0);
        rig.clock.now += 500;
        rig.source->poll();
        QCOMPARE(rig.xplane.waitForRequests(26).size(), 26);
    }

    void activationAndEveryField()
    {
        Rig rig;
        rig.activate("B738");
        QCOMPARE(rig.changes.first().at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_XPLANE);
        QCOMPARE(rig.changes.first().at(1).toString(), QStringLiteral("B738"));

        const FakeXPlane &x = rig.xplane;
        rig.deliver(x.answer({{QStringLiteral("sim/flightmodel/position/indicated_airspeed"), 100.0f},
                              {QStringLiteral("sim/flightmodel/position/vh_ind"), -2.5f},
                              {QStringLiteral("sim/flightmodel/position/alpha"), 4.25f},
                              {QStringLiteral("sim/flightmodel/position/beta"), -1.5f},
                              {QStringLiteral("sim/flightmodel/position/P"), 12.0f},
                              {QStringLiteral("sim/flightmodel/forces/g_nrml"), 1.75f},
                              {QStringLiteral("sim/cockpit2/engine/actuators/throttle_ratio_all"), 0.8f},
                              {QStringLiteral("sim/flightmodel/controls/ail_trim"), -0.25f},
                              {QStringLiteral("sim/flightmodel/controls/elv_trim"), 0.5f},
                              {QStringLiteral("sim/flightmodel/controls/rud_trim"), 0.125f},
                              {QStringLiteral("sim/flightmodel2/gear/deploy_ratio[0]"), 1.0f},
                              {QStringLiteral("sim/flightmodel/controls/sbrkrat"), 0.5f},
                              {QStringLiteral("sim/flightmodel/controls/flaprat"), 0.25f}}));
        const XPlaneTelemetry t = rig.last();
        QCOMPARE(t.airspeed, 185.2f); // knots to km/h
        QCOMPARE(t.verticalSpeed, -2.5f);
        QCOMPARE(t.aoa, 4.25f);
        QCOMPARE(t.sideslip, -1.5f);
        QCOMPARE(t.rollRate, 12.0f);
        QCOMPARE(t.gForce, 1.75f);
        QCOMPARE(t.propAirflow, 80.0f);
        QCOMPARE(t.trimmerRoll, -25.0f);
        QCOMPARE(t.trimmerPitch, 50.0f);
        QCOMPARE(t.trimmerYaw, 12.5f);
        QCOMPARE(t.gear, 100.0f);
        QCOMPARE(t.airbrake, 50.0f);
        QCOMPARE(t.flaps, 25.0f);
        QCOMPARE(t.onGround, false);

        // A subset keeps the other fields.
        rig.deliver(x.answer({{QStringLiteral("sim/flightmodel/forces/g_nrml"), 2.0f}}));
        QCOMPARE(rig.last().gForce, 2.0f);
        QCOMPARE(rig.last().aoa, 4.25f);
        QCOMPARE(rig.changes.count(), 1);
    }

    // Trim and autopilot following: the autopilot's servos and the cockpit
    // controls' positions, within -1..1.
    void autopilotAndControls()
    {
        Rig rig;
        rig.activate();
        rig.deliver(rig.xplane.answer({{QStringLiteral("sim/cockpit2/autopilot/servos_on"), 1.0f},
                                       {QStringLiteral("sim/cockpit2/controls/yoke_roll_ratio"), 0.125f},
                                       {QStringLiteral("sim/cockpit2/controls/yoke_pitch_ratio"), -0.5f},
                                       {QStringLiteral("sim/cockpit2/controls/yoke_heading_ratio"), 3.0f}}));
        XPlaneTelemetry t = rig.last();
        QVERIFY(t.autopilotEngaged);
        QCOMPARE(t.controlPosition, (std::array<float, 3>{0.125f, -0.5f, 1.0f}));
        rig.deliver(rig.xplane.answer({{QStringLiteral("sim/cockpit2/autopilot/servos_on"), 0.0f},
                                       {QStringLiteral("sim/cockpit2/controls/yoke_pitch_ratio"),
                                        std::numeric_limits<float>::quiet_NaN()}}));
        t = rig.last();
        QVERIFY(!t.autopilotEngaged);
        QCOMPARE(t.controlPosition, (std::array<float, 3>{0.125f, 0.0f, 1.0f}));
        rig.deliver(rig.xplane.answer({{QStringLiteral("sim/cockpit2/autopilot/servos_on"),
                                        std::numeric_limits<float>::quiet_NaN()}}));
        QVERIFY(!rig.last().autopilotEngaged);
    }

    void touchdownAndAircraftChange()
    {
        Rig rig;
        rig.activate();
        const QString onGround = QStringLiteral("sim/flightmodel/failures/onground_any");
        rig.deliver(rig.xplane.answer({{QStringLiteral("sim/flightmodel/position/indicated_airspeed"), 60.0f},
                                       {QStringLiteral("sim/flightmodel/position/vh_ind"), -1.5f},
                                       {onGround, 0.0f}}));
        QCOMPARE(rig.landings.count(), 0);
        rig.deliver(rig.xplane.answer({{onGround, 1.0f}}));
        QCOMPARE(rig.landings.count(), 1);
        QCOMPARE(rig.landings.first().at(0).toFloat(), -1.5f);
        QCOMPARE(rig.landings.first().at(1).toFloat(), 111.12f);
        QCOMPARE(rig.last().onGround, true);
        rig.deliver(rig.xplane.answer({{onGround, 1.0f}}));
        QCOMPARE(rig.landings.count(), 1);

        rig.deliver(rig.xplane.answer(rig.xplane.icao("A320")));
        QCOMPARE(rig.changes.count(), 2);
        QCOMPARE(rig.changes.last().at(1).toString(), QStringLiteral("A320"));
    }

    void silenceEndsAndRenewsTheSubscription()
    {
        Rig rig;
        rig.activate();
        rig.clock.now += 1000;
        rig.source->poll();
        QCOMPARE(rig.ends.count(), 0);
        rig.clock.now += 1;
        rig.source->poll();
        QCOMPARE(rig.ends.count(), 1);
        QCOMPARE(rig.last().airspeed, 0.0f); // the empty record first
        QCOMPARE(rig.last().gear, 0.0f);
        QVERIFY(!rig.source->isActive());
        QCOMPARE(rig.xplane.waitForRequests(26).size(), 26);

        // X-Plane back: a new detection.
        rig.deliver(rig.xplane.answer(rig.xplane.icao("C172")));
        QCOMPARE(rig.changes.count(), 2);
    }

    // Only X-Plane's address counts: an answer from anyone else on the
    // source's port is no sign of life and changes nothing.
    void answersFromOthersAreIgnored()
    {
        Rig rig;
        rig.subscribe();
        QUdpSocket stranger;
        if (!stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
            QSKIP("no second loopback address here");
        const QByteArray answer = rig.xplane.answer(rig.xplane.icao("EVIL"));
        QCOMPARE(stranger.writeDatagram(answer, QHostAddress::LocalHost, rig.xplane.clientPort()), answer.size());
        for (int i = 0; i < 20; ++i) {
            QTest::qWait(5);
            rig.source->poll();
        }
        QCOMPARE(rig.changes.count(), 0);
        rig.deliver(rig.xplane.answer(rig.xplane.icao("C172")));
        QCOMPARE(rig.changes.count(), 1);
        QCOMPARE(rig.changes.first().at(1).toString(), QStringLiteral("C172"));
    }

    // X-Plane reached over IPv6.
    void ipv6()
    {
        FakeXPlane xplane{QHostAddress(QHostAddress::LocalHostIPv6)};
        if (!xplane.isListening())
            QSKIP("no IPv6 loopback here");
        const auto address = NetworkAddress::parse(QStringLiteral("[::1]:%1").arg(xplane.port()));
        QVERIFY(address);
        TelemetrySourceXPlane source(nullptr, *address);
        QSignalSpy changes(&source, &TelemetrySource::telemetrySourceChanged);
        source.poll();
        QCOMPARE(xplane.waitForRequests(26).size(), 26);
        xplane.send(xplane.answer(xplane.icao("A20N")));
        QVERIFY(pollUntil([&] { source.poll(); }, [&] { return changes.count() == 1; }));
        QCOMPARE(changes.first().at(1).toString(), QStringLiteral("A20N"));
    }

    void unsubscribesWhenDestroyed()
    {
        Rig rig;
        rig.activate();
        rig.source.reset();
        const QList<FakeXPlane::Request> requests = rig.xplane.waitForRequests(26);
        QCOMPARE(requests.size(), 26);
        QSet<QString> datarefs;
        for (const FakeXPlane::Request &request : requests) {
            QCOMPARE(request.frequency, 0);
            datarefs << request.dataref;
        }
        QCOMPARE(datarefs.size(), 26);
    }

    void badInput()
    {
        Rig rig;
        rig.subscribe();
        // Not an answer: no activation.
        rig.xplane.send(QByteArray("DATA*") + QByteArray(8, '\0'));
        rig.xplane.send(QByteArray("RRE"));
        QTest::qWait(50);
        rig.source->poll();
        QCOMPARE(rig.changes.count(), 0);

        rig.deliver(rig.xplane.answer(rig.xplane.icao("C172")));
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        QByteArray answer = rig.xplane.answer({{QStringLiteral("sim/flightmodel/position/alpha"), nan},
                                               {QStringLiteral("sim/flightmodel/forces/g_nrml"), inf},
                                               {QStringLiteral("sim/flightmodel/position/beta"), 3.0f}});
        appendInt32(answer, 9999); // someone else's index
        appendFloat(answer, 42.0f);
        const qint32 flaps = rig.xplane.indexOf(QStringLiteral("sim/flightmodel/controls/flaprat"));
        appendInt32(answer, flaps); // a pair cut short: ignored
        answer.append("\x00\x00", 2);
        rig.deliver(answer);
        const XPlaneTelemetry t = rig.last();
        QCOMPARE(t.aoa, 0.0f);
        QCOMPARE(t.gForce, 0.0f);
        QCOMPARE(t.sideslip, 3.0f);
        QCOMPARE(t.flaps, 0.0f);

        // The speedbrake ratio: -0.5 armed, up to 1.5 with the ground spoilers; 0..100 %.
        const QString speedbrake = QStringLiteral("sim/flightmodel/controls/sbrkrat");
        rig.deliver(rig.xplane.answer({{speedbrake, 1.5f}}));
        QCOMPARE(rig.last().airbrake, 100.0f);
        rig.deliver(rig.xplane.answer({{speedbrake, -0.5f}}));
        QCOMPARE(rig.last().airbrake, 0.0f);

        // Huge knots that overflow a float once converted are stored as 0.
        rig.deliver(rig.xplane.answer(
            {{QStringLiteral("sim/flightmodel/position/indicated_airspeed"), std::numeric_limits<float>::max()}}));
        QCOMPARE(rig.last().airspeed, 0.0f);
    }
};

QTEST_GUILESS_MAIN(TestTelemetrySourceXPlane)
#include "tst_telemetrysourcexplane.moc"
