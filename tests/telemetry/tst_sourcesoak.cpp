// Every source through 500 simulator stops and starts: announcements and ends
// strictly alternate, the source keeps no reply or socket behind, and no
// record that reaches the force loop holds a NaN or an infinity.
#include "fakexplane.h"
#include "httptestserver.h"
#include "scriptedsimconnect.h"
#include "telemetrysourcecondor2.h"
#include "telemetrysourcedcs.h"
#include "telemetrysourcemsfs.h"
#include "telemetrysourceshturmovik.h"
#include "telemetrysourcewarthunder.h"
#include "telemetrysourcexplane.h"
#include "udptestsupport.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkReply>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr int Cycles = 500;
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// The fifteen fields of the common record, named one by one.
QList<float> floatsOf(const Telemetry &t)
{
    return {t.verticalSpeed, t.rollFlowAngle, t.aoa,        t.sideslip,     t.rollRate,
            t.gForce,        t.propAirflow,   t.trimmerRoll, t.trimmerPitch, t.trimmerYaw,
            t.gear,          t.airbrake,      t.flaps,       t.airspeed};
}
QList<float> floatsOf(const ShturmovikTelemetry &t)
{
    return floatsOf(static_cast<const Telemetry &>(t)) << t.indicator9A << t.indicator9B;
}
QList<float> floatsOf(const Condor2Telemetry &t)
{
    return floatsOf(static_cast<const Telemetry &>(t)) << t.turbulenceStrength;
}

template<typename Record>
bool allFinite(const Record &r)
{
    const QList<float> values = floatsOf(r);
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}
template<typename Record>
bool allZero(const Record &r)
{
    const QList<float> values = floatsOf(r);
    return !r.onGround && std::all_of(values.begin(), values.end(), [](float v) { return v == 0.0f; });
}

// Everything one source emits over the soak, judged as it arrives.
template<typename Source, typename Record>
struct Tally
{
    int starts = 0;
    int ends = 0;
    int records = 0;
    int recordsThisRun = 0;
    bool active = false;
    QStringList faults; // the first few, for the failure message

    explicit Tally(Source *source)
    {
        QObject::connect(source, &TelemetrySource::telemetrySourceChanged, [this] {
            if (active)
                fault(QStringLiteral("announced twice without an end"));
            active = true;
            ++starts;
            recordsThisRun = 0;
        });
        QObject::connect(source, &TelemetrySource::telemetryEnded, [this] {
            if (!active)
                fault(QStringLiteral("ended without an announcement"));
            if (!endedWithEmpty)
                fault(QStringLiteral("end not preceded by the all-zero record"));
            active = false;
            ++ends;
        });
        QObject::connect(source, &Source::telemetryChanged, [this](const Record &r) {
            ++records;
            ++recordsThisRun;
            endedWithEmpty = allZero(r);
            if (!allFinite(r))
                fault(QStringLiteral("record %1 not finite").arg(records));
        });
        QObject::connect(source, &TelemetrySource::landed, [this](float vs, float as) {
            if (!std::isfinite(vs) || !std::isfinite(as))
                fault(QStringLiteral("landing not finite"));
        });
    }
    void fault(const QString &what)
    {
        if (faults.size() < 5)
            faults << QStringLiteral("after %1 starts: %2").arg(starts).arg(what);
    }

private:
    bool endedWithEmpty = false;
};

// What a source holds of the network, once pending deletions have run.
struct Holdings
{
    qsizetype replies = 0;
    qsizetype udpSockets = 0;
    qsizetype sockets = 0;
    bool operator==(const Holdings &) const = default;
};
Holdings holdingsOf(QObject *source)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return {source->findChildren<QNetworkReply *>().size(), source->findChildren<QUdpSocket *>().size(),
            source->findChildren<QAbstractSocket *>().size()};
}
char *toString(const Holdings &h)
{
    return QTest::toString(QStringLiteral("%1 replies, %2 UDP sockets, %3 sockets")
                               .arg(h.replies)
                               .arg(h.udpSockets)
                               .arg(h.sockets));
}

// A value that walks through ordinary numbers and, now and then, one the
// simulator should never send.
float wild(int cycle, float ordinary)
{
    switch (cycle % 7) {
    case 3: return NaN;
    case 5: return cycle % 2 ? Inf : -Inf;
    default: return ordinary + float(cycle % 11);
    }
}
QByteArray wildText(int cycle, float ordinary)
{
    switch (cycle % 7) {
    case 3: return "nan";
    case 5: return cycle % 2 ? "inf" : "-1e60";
    default: return QByteArray::number(ordinary + float(cycle % 11));
    }
}

QByteArray dcsDatagram(int cycle)
{
    // aircraft;ias;vs;aoa;g;gear;airbrake;flaps;thrust;onground
    return "TestJet;" + wildText(cycle, 400) + ";" + wildText(cycle + 1, -2) + ";4;" +
           wildText(cycle + 2, 1) + ";1;0.5;0.25;" + wildText(cycle + 4, 80) + ";" +
           QByteArray::number(cycle % 2);
}
QByteArray condorDatagram(int cycle)
{
    return "airspeed=" + wildText(cycle, 25) + "\ngforce=" + wildText(cycle + 1, 1) +
           "\nturbulencestrength=" + wildText(cycle + 2, 0) + "\n";
}
QByteArray il2Datagram(int cycle)
{
    return Il2Datagram()
        .entry(0, {wild(cycle, 2000), 2000})
        .entry(1, {wild(cycle + 1, 100000), 100000})
        .entry(4, {1, 1, wild(cycle + 2, 0)})
        .entry(5, {0.02f, wild(cycle + 3, 0)})
        .entry(6, {wild(cycle + 4, 50)})
        .entry(7, {wild(cycle + 5, 0.1f)})
        .entry(9, {wild(cycle, 1), wild(cycle + 1, 2)})
        .entry(10, {wild(cycle + 6, 1000)})
        .entry(11, {wild(cycle, 0.5f)})
        .entry(12, {wild(cycle + 1, 0)})
        .bytes();
}

} // namespace

class TestSourceSoak : public QObject
{
    Q_OBJECT

    QElapsedTimer m_wall;

    template<typename Source, typename Record>
    void verifyTally(const Tally<Source, Record> &tally)
    {
        QVERIFY2(tally.faults.isEmpty(), qPrintable(tally.faults.join(QStringLiteral("; "))));
        QCOMPARE(tally.starts, Cycles);
        QCOMPARE(tally.ends, Cycles);
    }

    // One simulator process per run: a new sending socket each start; the
    // stop is silence past the one-second limit on the source's clock.
    template<typename Source, typename Record>
    void soakUdp(QByteArray (*datagram)(int cycle))
    {
        ManualClock clock;
        Source source(nullptr, 0);
        source.setClock(clock.function());
        Tally<Source, Record> tally(&source);
        const quint16 port = source.localPort();
        QVERIFY(port != 0);
        Holdings baseline;

        for (int cycle = 0; cycle < Cycles; ++cycle) {
            UdpSender simulator(port);
            simulator.send(datagram(cycle));
            QVERIFY(pollUntil([&] { source.poll(); }, [&] { return tally.starts == cycle + 1; }));
            // Some runs send a burst between two polls: only the newest counts.
            const int burst = cycle % 5 == 0 ? 3 : 1;
            for (int i = 0; i < burst; ++i)
                simulator.send(datagram(cycle + i + 1));
            QVERIFY(pollUntil([&] { source.poll(); }, [&] { return tally.recordsThisRun >= 1; }));
            clock.now += 400;
            source.poll(); // a pause within the limit is no stop
            QCOMPARE(tally.ends, cycle);
            clock.now += 601;
            source.poll();
            QCOMPARE(tally.ends, cycle + 1);
            QVERIFY(!source.isActive());
            QCOMPARE(tally.recordsThisRun, 2); // one converted sample, then the empty record

            const Holdings now = holdingsOf(&source);
            if (cycle == 0)
                baseline = now;
            QCOMPARE(now, baseline);
        }
        QCOMPARE(baseline.udpSockets, 1);
        verifyTally(tally);
    }

private slots:
    void initTestCase()
    {
        registerTelemetryMetaTypes();
        m_wall.start();
    }
    void cleanupTestCase() { qInfo("soak of all sources: %lld ms", m_wall.elapsed()); }

    void dcs() { soakUdp<TelemetrySourceDCS, DCSTelemetry>(dcsDatagram); }
    void il2() { soakUdp<TelemetrySourceShturmovik, ShturmovikTelemetry>(il2Datagram); }
    void condor2() { soakUdp<TelemetrySourceCondor2, Condor2Telemetry>(condorDatagram); }

    // The service stops in turn by refusing connections, by closing them
    // unanswered, by an error status and, now and then, by not answering in time.
    void warThunder()
    {
        HttpTestServer server;
        TelemetrySourceWarthunder source(nullptr, server.url());
        Tally<TelemetrySourceWarthunder, WarthunderTelemetry> tally(&source);
        // One request and its outcome; the source reports every outcome as raw
        // input, so the wait ends on that rather than on a 10 ms polling step.
        QEventLoop loop;
        QObject::connect(&source, &TelemetrySource::rawInputReceived, &loop, &QEventLoop::quit);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        const auto exchange = [&] {
            source.poll();
            limit.start(5000);
            if (source.isRequestInFlight())
                loop.exec();
            limit.stop();
            return !source.isRequestInFlight();
        };
        Holdings baseline;

        for (int cycle = 0; cycle < Cycles; ++cycle) {
            QVERIFY(server.reopen());
            server.status = 200;
            server.drop = false;
            server.stall = false;
            server.body = R"({"IAS, km/h": )" + wildText(cycle, 450).replace("nan", "1e400") +
                          R"(, "Ny": )" + (cycle % 7 == 3 ? QByteArray("1e300") : QByteArray("2.5")) +
                          R"(, "AoA, deg": 4})";
            QVERIFY(exchange());
            QCOMPARE(tally.starts, cycle + 1);
            QVERIFY(exchange());
            QCOMPARE(tally.recordsThisRun, 1);

            if (cycle % 100 == 99)
                server.stall = true;
            else if (cycle % 3 == 0)
                server.close();
            else if (cycle % 3 == 1)
                server.drop = true;
            else
                server.status = 503;
            QVERIFY(exchange());
            QCOMPARE(tally.ends, cycle + 1);
            QVERIFY(!source.isActive());
            if (server.stall)
                server.close(); // forget the unanswered connection

            const Holdings now = holdingsOf(&source);
            if (cycle == 0)
                baseline = now;
            QCOMPARE(now, baseline);
        }
        QCOMPARE(baseline.replies, 0);
        verifyTally(tally);
    }

    // Flights start and stop on one connection; the last stop is the
    // simulator quitting, after which the source asks for nothing more.
    void msfs()
    {
        auto sim = std::make_shared<ScriptedSimConnect>();
        {
            TelemetrySourceMSFS source(nullptr, sim);
            Tally<TelemetrySourceMSFS, MSFSTelemetry> tally(&source);
            const auto drain = [&] {
                while (!sim->messages.isEmpty())
                    source.poll();
            };
            for (int cycle = 0; cycle < Cycles; ++cycle) {
                sim->queueEvent(0); // SimStart
                TelemetrySourceMSFS::Sample sample = msfsSample(cycle % 2 ? "Cessna 172" : "TBM 930");
                sim->queueSample(sample); // announces
                sample.simOnGround = cycle % 2;
                sample.airspeedIndicated = wild(cycle, 200);
                sample.verticalSpeed = wild(cycle + 1, -1);
                sample.gForce = wild(cycle + 2, 1);
                sample.numberOfEngines = cycle % 7 == 3 ? double(NaN) : 2;
                sample.propMaxRpmPercent[0] = wild(cycle + 3, 80);
                sample.propMaxRpmPercent[1] = std::numeric_limits<double>::max();
                sample.gearLeft = wild(cycle + 4, 1);
                sample.aileronTrim = wild(cycle + 5, 0.25);
                sim->queueSample(sample);
                if (cycle == Cycles - 1)
                    sim->queueQuit();
                else
                    sim->queueEvent(1); // SimStop
                drain();
                QCOMPARE(tally.starts, cycle + 1);
                QCOMPARE(tally.ends, cycle + 1);
                QCOMPARE(tally.recordsThisRun, 2);
                QCOMPARE(holdingsOf(&source), Holdings{});
            }
            verifyTally(tally);
            // Initial request, then one per SimStart and one per handled sample.
            QCOMPARE(sim->requests, 1 + 3 * Cycles);
            QCOMPARE(sim->openCalls, 1);
            for (int i = 0; i < 10; ++i)
                source.poll();
            QCOMPARE(sim->openCalls, 1); // a quit simulator is not looked for again
            QCOMPARE(tally.starts, Cycles);
            QCOMPARE(sim->closes, 0);
        }
        QCOMPARE(sim->closes, 1); // the one connection is closed once, at the end
    }

    // X-Plane goes quiet and comes back, with another aircraft every other
    // run; each end renews the subscription exactly once.
    void xplane()
    {
        ManualClock clock;
        FakeXPlane xplane;
        TelemetrySourceXPlane source(nullptr, QHostAddress::LocalHost, xplane.port());
        source.setClock(clock.function());
        Tally<TelemetrySourceXPlane, XPlaneTelemetry> tally(&source);
        source.poll();
        QCOMPARE(xplane.waitForRequests(26).size(), 26);
        Holdings baseline;

        for (int cycle = 0; cycle < Cycles; ++cycle) {
            xplane.send(xplane.answer(xplane.icao(cycle % 2 ? "C172" : "B738")));
            QVERIFY(pollUntil([&] { source.poll(); }, [&] { return tally.starts == cycle + 1; }));
            xplane.send(xplane.answer({
                {QStringLiteral("sim/flightmodel/position/indicated_airspeed"), wild(cycle, 100)},
                {QStringLiteral("sim/flightmodel/position/vh_ind"), wild(cycle + 1, -2)},
                {QStringLiteral("sim/flightmodel/forces/g_nrml"), wild(cycle + 2, 1)},
                {QStringLiteral("sim/cockpit2/engine/actuators/throttle_ratio_all"), wild(cycle + 3, 0.5f)},
                {QStringLiteral("sim/flightmodel/controls/flaprat"), 3e38f},
                {QStringLiteral("sim/flightmodel/failures/onground_any"), float(cycle % 2)},
            }));
            QVERIFY(pollUntil([&] { source.poll(); }, [&] { return tally.recordsThisRun >= 1; }));
            clock.now += 1001;
            source.poll();
            QCOMPARE(tally.ends, cycle + 1);
            QCOMPARE(tally.recordsThisRun, 2);
            QCOMPARE(xplane.waitForRequests(26).size(), 26);

            const Holdings now = holdingsOf(&source);
            if (cycle == 0)
                baseline = now;
            QCOMPARE(now, baseline);
        }
        QCOMPARE(baseline.udpSockets, 1);
        verifyTally(tally);
    }
};

QTEST_GUILESS_MAIN(TestSourceSoak)
#include "tst_sourcesoak.moc"
