#include "telemetrysourcecondor2.h"
#include "telemetrysourcedcs.h"
#include "telemetrysourceshturmovik.h"
#include "udptestsupport.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>
#include <limits>

namespace {

// One source on a free loopback port, a sender aimed at it, a hand-driven
// clock, and a log of everything the source emitted in order.
template<typename Source, typename Record>
struct Rig
{
    ManualClock clock;
    Source source{nullptr, 0};
    UdpSender sender{source.localPort()};
    QStringList events;
    QList<Record> records;
    QList<QPair<float, float>> landings;

    Rig()
    {
        source.setClock(clock.function());
        QObject::connect(&source, &Source::telemetryChanged, [this](const Record &r) {
            records.append(r);
            events.append(QStringLiteral("telemetry"));
        });
        QObject::connect(&source, &TelemetrySource::telemetrySourceChanged,
                         [this](Telemetry::Source, const QString &module) {
                             events.append(QStringLiteral("source:") + module);
                         });
        QObject::connect(&source, &TelemetrySource::telemetryEnded,
                         [this] { events.append(QStringLiteral("ended")); });
        QObject::connect(&source, &TelemetrySource::landed, [this](float vs, float as) {
            landings.append({vs, as});
            events.append(QStringLiteral("landed"));
        });
    }

    // Sends one datagram and polls until the source has reacted to it.
    void deliver(const QByteArray &datagram)
    {
        const auto before = events.size();
        sender.send(datagram);
        QVERIFY(pollUntil([this] { source.poll(); }, [&] { return events.size() > before; }));
    }
    // Wakes the source so that the next datagram is converted.
    void activate(const QByteArray &datagram)
    {
        deliver(datagram);
        QVERIFY(source.isActive());
        events.clear();
    }
    Record last() const { return records.isEmpty() ? Record{} : records.last(); }
};

using DcsRig = Rig<TelemetrySourceDCS, DCSTelemetry>;
using CondorRig = Rig<TelemetrySourceCondor2, Condor2Telemetry>;
using Il2Rig = Rig<TelemetrySourceShturmovik, ShturmovikTelemetry>;

const QByteArray dcsLine = "TestJet;500;-3;5;2.5;0.5;1;0.25;80;0";

} // namespace

class TestTelemetrySources : public QObject
{
    Q_OBJECT

private slots:
    void clampedAirspeed_data()
    {
        QTest::addColumn<float>("airspeed");
        QTest::addColumn<float>("clamped");
        QTest::newRow("negative") << -5.0f << 0.0f;
        QTest::newRow("inside") << 432.5f << 432.5f;
        QTest::newRow("too fast") << 1500.0f << 1000.0f;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 0.0f;
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 1000.0f;
    }
    void clampedAirspeed()
    {
        QFETCH(float, airspeed);
        QFETCH(float, clamped);
        Telemetry t;
        t.airspeed = airspeed;
        QCOMPARE(t.clampedAirspeed(), clamped);
    }

    void recordsBeginWithTelemetry()
    {
        // The output loop takes the leading part of any raw record as the common record.
        ShturmovikTelemetry il2;
        il2.gForce = 3.0f;
        il2.indicator9B = 7.0f;
        const Telemetry &common = il2;
        registerTelemetryMetaTypes();
        QCOMPARE(common.gForce, 3.0f);
        QCOMPARE(QMetaType::fromName("ShturmovikTelemetry"), QMetaType::fromType<ShturmovikTelemetry>());
        QCOMPARE(QMetaEnum::fromType<Telemetry::Source>().valueToKey(Telemetry::TELEMETRY_SOURCE_CONDOR),
                 "TELEMETRY_SOURCE_CONDOR");
    }

    void activationThenConversion()
    {
        DcsRig rig;
        rig.deliver(dcsLine);
        QCOMPARE(rig.events, QStringList{QStringLiteral("source:TestJet")});
        QVERIFY(rig.records.isEmpty());

        rig.deliver("TestJet;321;0;0;1;0;0;0;0;0");
        QCOMPARE(rig.events.last(), QStringLiteral("telemetry"));
        QCOMPARE(rig.records.size(), 1);
        QCOMPARE(rig.last().airspeed, 321.0f);
    }

    void newestDatagramWins()
    {
        DcsRig rig;
        rig.activate(dcsLine);
        rig.sender.send("TestJet;100;0;0;1;0;0;0;0;0");
        rig.sender.send("TestJet;200;0;0;1;0;0;0;0;0");
        rig.sender.send("TestJet;300;0;0;1;0;0;0;0;0");
        QTest::qWait(20); // let the loopback deliver all three before the tick
        rig.source.poll();
        QCOMPARE(rig.records.size(), 1);
        QCOMPARE(rig.last().airspeed, 300.0f);
    }

    void endsAfterSilence()
    {
        DcsRig rig;
        rig.activate(dcsLine);
        rig.deliver("TestJet;250;0;0;1;0;0;0;0;0");
        rig.events.clear();

        rig.clock.now += 1000;
        rig.source.poll();
        QVERIFY(rig.events.isEmpty()); // exactly one second is not yet silence
        QVERIFY(rig.source.isActive());

        rig.clock.now += 1;
        rig.source.poll();
        QCOMPARE(rig.events, (QStringList{QStringLiteral("telemetry"), QStringLiteral("ended")}));
        QCOMPARE(rig.last().airspeed, 0.0f);
        QCOMPARE(rig.last().gForce, 0.0f);
        QVERIFY(!rig.source.isActive());

        rig.events.clear();
        rig.deliver(dcsLine); // life again: announced anew, not converted
        QCOMPARE(rig.events, QStringList{QStringLiteral("source:TestJet")});
    }

    void emptyDatagramIsNoSignOfLife()
    {
        DcsRig rig;
        rig.sender.send(QByteArray());
        QTest::qWait(20);
        rig.source.poll();
        QVERIFY(!rig.source.isActive());
        QVERIFY(rig.events.isEmpty());

        rig.activate(dcsLine);
        rig.clock.now += 1500;
        rig.sender.send(QByteArray());
        QTest::qWait(20);
        rig.source.poll(); // drained, but the silence is not broken
        rig.source.poll();
        QCOMPARE(rig.events.last(), QStringLiteral("ended"));
    }

    void dcsFieldsAndLanding()
    {
        DcsRig rig;
        rig.activate(dcsLine);
        rig.deliver("TestJet;1200;-3;5;2.5;0.5;1;0.25;80;1");
        QCOMPARE(rig.events, (QStringList{QStringLiteral("landed"), QStringLiteral("telemetry")}));
        const DCSTelemetry t = rig.last();
        QCOMPARE(t.airspeed, 1200.0f);
        QCOMPARE(t.verticalSpeed, -3.0f);
        QCOMPARE(t.aoa, 5.0f);
        QCOMPARE(t.gForce, 2.5f);
        QCOMPARE(t.gear, 50.0f);
        QCOMPARE(t.airbrake, 100.0f);
        QCOMPARE(t.flaps, 25.0f);
        QCOMPARE(t.propAirflow, 80.0f);
        QVERIFY(t.onGround);
        QCOMPARE(rig.landings.first().first, -3.0f);
        QCOMPARE(rig.landings.first().second, 1000.0f); // clamped

        rig.deliver("TestJet;100;-1;5;2.5;0.5;1;0.25;80;7");
        QCOMPARE(rig.landings.size(), 1); // still on ground: no second touchdown
        rig.deliver("TestJet;100;-1;5;2.5;0.5;1;0.25;80;0");
        QVERIFY(!rig.last().onGround);
    }

    void dcsMalformed_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<float>("airspeed");
        QTest::addColumn<float>("verticalSpeed");
        QTest::addColumn<float>("gForce");
        QTest::addColumn<bool>("onGround");
        // The record before each row: airspeed 500, vertical speed -3, g 2.5, on ground.
        QTest::newRow("short line keeps the rest") << QByteArray("J;300;4") << 300.0f << 4.0f << 2.5f << true;
        QTest::newRow("not finite") << QByteArray("J;nan;inf;0;-inf;1;1;1;1;1") << 0.0f << 0.0f << 0.0f
                                    << true;
        QTest::newRow("text") << QByteArray("J;fast;;x;1;1;1;1;1;1") << 0.0f << 0.0f << 1.0f << true;
        QTest::newRow("ground not a number")
            << QByteArray("J;1;1;1;1;1;1;1;1;yes") << 1.0f << 1.0f << 1.0f << false;
        QTest::newRow("ground out of range")
            << QByteArray("J;1;1;1;1;1;1;1;1;99999999999") << 1.0f << 1.0f << 1.0f << false;
        QTest::newRow("trailing newline")
            << QByteArray("J;1;1;1;1;1;1;1;1;1\n") << 1.0f << 1.0f << 1.0f << true;
        QTest::newRow("name only") << QByteArray("J") << 500.0f << -3.0f << 2.5f << true;
    }
    void dcsMalformed()
    {
        QFETCH(QByteArray, line);
        QFETCH(float, airspeed);
        QFETCH(float, verticalSpeed);
        QFETCH(float, gForce);
        QFETCH(bool, onGround);
        DcsRig rig;
        rig.activate(dcsLine);
        rig.deliver("TestJet;500;-3;5;2.5;0.5;1;0.25;80;1");
        rig.deliver(line);
        QCOMPARE(rig.last().airspeed, airspeed);
        QCOMPARE(rig.last().verticalSpeed, verticalSpeed);
        QCOMPARE(rig.last().gForce, gForce);
        QCOMPARE(rig.last().onGround, onGround);
    }

    void condorKeys()
    {
        CondorRig rig;
        rig.deliver("airspeed=1");
        QCOMPARE(rig.events, QStringList{QStringLiteral("source:Generic glider")});
        rig.deliver("turbulencestrength=0.7\ngforce=3");
        rig.deliver("airspeed=25\ngforce=1.2\n");
        Condor2Telemetry t = rig.last();
        QCOMPARE(t.airspeed, 90.0f);
        QCOMPARE(t.gForce, 1.2f);
        QCOMPARE(t.turbulenceStrength, 0.7f);

        rig.deliver(
            "gforce = 2 \n airspeed=99\nairspeed\nturbulencestrength=nan\nairspeed=10\nairspeed=20\nslip=4");
        t = rig.last();
        QCOMPARE(t.gForce, 2.0f);
        QCOMPARE(t.airspeed, 72.0f); // a key given twice keeps the last value
        QCOMPARE(t.turbulenceStrength, 0.0f);
        QVERIFY(rig.landings.isEmpty());
    }

    void il2Indicators()
    {
        Il2Rig rig;
        rig.deliver(Il2Datagram().bytes());
        QCOMPARE(rig.events, QStringList{QStringLiteral("source:Generic warbird")});

        rig.deliver(Il2Datagram()
                        .entry(6, {50.0f})
                        .entry(7, {0.1f})
                        .entry(4, {1.0f, 1.0f, 0.5f})
                        .entry(5, {0.0f, 0.0f, 0.02f})
                        .entry(11, {0.25f})
                        .entry(12, {0.5f})
                        .entry(9, {3.0f, 4.0f})
                        .entry(8, {99.0f})
                        .bytes());
        ShturmovikTelemetry t = rig.last();
        QCOMPARE(t.airspeed, 180.0f);
        QVERIFY(qFuzzyCompare(t.aoa, 5.72958f));
        QVERIFY(qFuzzyCompare(t.gear, 83.333333f));
        QCOMPARE(t.flaps, 25.0f);
        QCOMPARE(t.airbrake, 50.0f);
        QCOMPARE(t.indicator9A, 3.0f);
        QCOMPARE(t.indicator9B, 4.0f);
        QVERIFY(!t.onGround); // mean 0.0067 is below the threshold
        QVERIFY(rig.landings.isEmpty());

        // A shorter gear entry keeps the array's later positions but counts only its own values.
        rig.deliver(Il2Datagram().entry(5, {0.02f, 0.02f}).entry(4, {0.0f}).bytes());
        t = rig.last();
        QVERIFY(t.onGround);
        QCOMPARE(rig.landings.size(), 1);
        QCOMPARE(rig.landings.first().second, 180.0f);
        QCOMPARE(t.gear, 0.0f);
    }

    void il2VerticalSpeedAndThrust()
    {
        Il2Rig rig;
        rig.activate(Il2Datagram().bytes());
        // The first difference is taken against 0; the history sums the changes.
        rig.deliver(Il2Datagram().entry(10, {100.0f}).bytes());
        QCOMPARE(rig.last().verticalSpeed, 100.0f);
        rig.deliver(Il2Datagram().entry(10, {103.0f}).bytes());
        QCOMPARE(rig.last().verticalSpeed, 103.0f);
        // After 25 more samples of +1 the first two differences have left the history.
        for (int i = 1; i <= 25; ++i)
            rig.deliver(Il2Datagram().entry(10, {103.0f + float(i)}).bytes());
        QCOMPARE(rig.last().verticalSpeed, 25.0f);

        rig.deliver(Il2Datagram().entry(0, {1000.0f, 1000.0f}).entry(1, {185000.0f, 185000.0f}).bytes());
        QCOMPARE(rig.last().propAirflow, 0.5f);
        rig.deliver(Il2Datagram().entry(1, {3.7e9f, 3.7e9f, 1.0f}).bytes());
        QCOMPARE(rig.last().propAirflow, 1.0f); // a fraction, capped at 1

        const ShturmovikTelemetry before = rig.last();
        rig.deliver(Il2Datagram().bytes()); // count 0: unchanged, still emitted
        QCOMPARE(rig.last().propAirflow, before.propAirflow);
        QCOMPARE(rig.last().verticalSpeed, before.verticalSpeed);
    }

    void il2Malformed_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<float>("airspeed");
        QTest::addColumn<float>("aoaRadians");
        // Before each row: indicator 6 = 10 (36 km/h), indicator 7 = 0.
        QTest::newRow("too short for a count") << QByteArray(5, '\x01') << 36.0f << 0.0f;
        QTest::newRow("negative count") << Il2Datagram().entry(6, {50.0f}).count(-3).bytes() << 36.0f << 0.0f;
        QTest::newRow("count above the entries")
            << Il2Datagram().entry(6, {50.0f}).count(9).bytes() << 180.0f << 0.0f;
        QTest::newRow("entry cut short")
            << Il2Datagram().entry(6, {50.0f}).rawEntry(7, 3, {1.0f}).bytes() << 180.0f << 0.0f;
        QTest::newRow("value count above 4")
            << Il2Datagram().rawEntry(7, 5, {1, 1, 1, 1, 1}).entry(6, {50.0f}).bytes() << 36.0f << 0.0f;
        QTest::newRow("negative value count") << Il2Datagram().rawEntry(6, -1, {}).bytes() << 36.0f << 0.0f;
        QTest::newRow("not a number")
            << Il2Datagram().entry(6, {std::numeric_limits<float>::quiet_NaN()}).entry(7, {0.1f}).bytes()
            << 0.0f << 0.1f;
        QTest::newRow("infinite") << Il2Datagram().entry(6, {std::numeric_limits<float>::infinity()}).bytes()
                                  << 0.0f << 0.0f;
    }
    void il2Malformed()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(float, airspeed);
        QFETCH(float, aoaRadians);
        Il2Rig rig;
        rig.activate(Il2Datagram().bytes());
        rig.deliver(Il2Datagram().entry(6, {10.0f}).bytes());
        rig.deliver(datagram);
        QVERIFY(qFuzzyCompare(rig.last().airspeed + 1, airspeed + 1));
        QVERIFY(qFuzzyCompare(rig.last().aoa + 1, float(aoaRadians * 57.2958) + 1));
    }

    // Another program holds the port: the source says so once, stays silent
    // without warnings while it polls, and finds the simulator once the port
    // is free again.
    void portHeldByAnotherProgram()
    {
        auto holder = std::make_unique<QUdpSocket>();
        QVERIFY(holder->bind(QHostAddress::Any, 0));
        const quint16 port = holder->localPort();

        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &message) {
                if (type != QtDebugMsg && type != QtInfoMsg)
                    warnings << message;
            });
        ManualClock clock;
        TelemetrySourceDCS source(nullptr, port);
        source.setClock(clock.function());
        QSignalSpy problems(&source, &TelemetrySource::problemChanged);
        QSignalSpy changes(&source, &TelemetrySource::telemetrySourceChanged);
        QCOMPARE(source.problem(), QStringLiteral("port %1 in use by another program").arg(port));

        for (int i = 0; i < 150; ++i) { // 3 s of 20 ms polls
            clock.now += 20;
            source.poll();
        }
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, QStringList());
        QCOMPARE(problems.count(), 0); // said at construction, not again
        QCOMPARE(changes.count(), 0);

        holder.reset();
        UdpSender sender(port);
        // Polls 3 s before the next bind attempt: not yet bound.
        sender.send("Jet;1;2;3;4;0;0;0;0;0");
        for (int i = 0; i < 50 && changes.isEmpty(); ++i) { // 1 s: still within the 5 s back-off
            clock.now += 20;
            source.poll();
        }
        QCOMPARE(changes.count(), 0);
        clock.now += 1100; // 5 s since the first poll saw the port held
        source.poll();
        QCOMPARE(problems.count(), 1);
        QCOMPARE(problems.last().at(0).toString(), QString());
        QVERIFY(source.problem().isEmpty());
        QVERIFY(pollUntil(
            [&] {
                sender.send("Jet;1;2;3;4;0;0;0;0;0");
                clock.now += 20;
                source.poll();
            },
            [&] { return !changes.isEmpty(); }));
        QCOMPARE(changes.first().at(1).toString(), QStringLiteral("Jet"));
    }
};

QTEST_GUILESS_MAIN(TestTelemetrySources)
#include "tst_telemetrysources.moc"
