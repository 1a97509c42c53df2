#include "fakemsfs.h"
#include "simconnectnetworkclient.h"
#include "telemetrysourcemsfs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

QByteArray le(std::initializer_list<quint32> values)
{
    QByteArray b;
    for (quint32 v : values)
        FakeMsfs::le32(b, v);
    return b;
}

// The real MSFS source on the network client, against the fake MSFS.
struct Rig
{
    FakeMsfs fake;
    qint64 now = 1000;
    std::shared_ptr<SimConnectNetworkClient> client;
    std::unique_ptr<TelemetrySourceMSFS> source;
    std::unique_ptr<QSignalSpy> announced, changed, ended, landed;

    Rig()
    {
        fake.listen();
        client = std::make_shared<SimConnectNetworkClient>(
            SimConnectNetworkClient::Endpoint{QStringLiteral("127.0.0.1"), fake.port()}, [this] { return now; });
        source = std::make_unique<TelemetrySourceMSFS>(nullptr, client);
        announced = std::make_unique<QSignalSpy>(source.get(), &TelemetrySource::telemetrySourceChanged);
        changed = std::make_unique<QSignalSpy>(source.get(), &TelemetrySourceMSFS::telemetryChanged);
        ended = std::make_unique<QSignalSpy>(source.get(), &TelemetrySource::telemetryEnded);
        landed = std::make_unique<QSignalSpy>(source.get(), &TelemetrySource::landed);
        setAircraft();
    }

    void setAircraft(double airspeed = 250.0)
    {
        auto &v = fake.variables;
        v["SIM ON GROUND"] = 1.0;
        v["TRAILING EDGE FLAPS LEFT PERCENT"] = 0.2;
        v["TRAILING EDGE FLAPS RIGHT PERCENT"] = 0.4;
        v["AILERON TRIM PCT"] = 0.1;
        v["ELEVATOR TRIM PCT"] = -0.2;
        v["RUDDER TRIM PCT"] = 0.3;
        v["G FORCE"] = 1.5;
        v["INCIDENCE ALPHA"] = 4.5;
        v["AIRSPEED INDICATED"] = airspeed;
        v["GEAR CENTER POSITION"] = 1.0;
        v["GEAR LEFT POSITION"] = 0.5;
        v["GEAR RIGHT POSITION"] = 0.0;
        v["NUMBER OF ENGINES"] = 2.0;
        v["PROP MAX RPM PERCENT:1"] = 80.0;
        v["PROP MAX RPM PERCENT:2"] = 60.0;
        v["PROP MAX RPM PERCENT:3"] = 1000.0; // beyond the engine count: unused
        v["PROP MAX RPM PERCENT:4"] = 1000.0;
        v["VERTICAL SPEED"] = -2.5;
        v["TITLE"] = QByteArray("Kestrel Trainer \xc3\xa9");
    }

    // Polls as the telemetry thread would, letting the sockets work in between.
    template<typename Condition>
    bool pollUntil(Condition condition, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            source->poll();
        }
        return true;
    }
    void settle(int polls = 20)
    {
        for (int i = 0; i < polls; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            source->poll();
        }
    }
    bool connectAndActivate()
    {
        const int connections = fake.connections;
        const qsizetype announcements = announced->size();
        return pollUntil([&] { return fake.connections > connections && !fake.pending.isEmpty()
                                      && fake.subscriptions.size() == 2; })
               && fake.answer() && pollUntil([&] { return announced->size() > announcements; });
    }
    MSFSTelemetry last() const { return changed->last().at(0).value<MSFSTelemetry>(); }
};

} // namespace

class TestSimConnectNetworkClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Open waits for the open message; then definition, request and
    // subscriptions go out as in the protocol note, send ids from 1.
    void opensThenSetsUpTheConnection()
    {
        Rig rig;
        rig.fake.answerOpen = false;
        QVERIFY(rig.pollUntil([&] { return rig.fake.received.size() == 1; }));
        rig.settle();
        QCOMPARE(rig.fake.received.size(), 1); // nothing before the open message

        const QByteArray open = le({296, 5, 0xF0000001u, 1}) + FakeMsfs::fixed("Kestrox", 256) + le({0})
                                + QByteArray("\0HK\0", 4) + le({11, 0, 62651, 3});
        QCOMPARE(rig.fake.received[0].bytes.toHex(), open.toHex());

        rig.fake.write(FakeMsfs::openMessage());
        // Open, the sample's 19 variables, its request, two subscriptions, then
        // the 4 variables of the controls for trim and autopilot following.
        QVERIFY(rig.pollUntil([&] { return rig.fake.received.size() == 27; }));
        for (int i = 0; i < 27; ++i)
            QCOMPARE(rig.fake.received[i].sendId, quint32(i + 1));

        const QByteArray first = le({544, 5, 0xF000000Cu, 2, 0}) + FakeMsfs::fixed("SIM ON GROUND", 256)
                                 + FakeMsfs::fixed("Bool", 256) + le({4, 0, 0xFFFFFFFFu});
        QCOMPARE(rig.fake.received[1].bytes.toHex(), first.toHex());
        const QByteArray title = le({544, 5, 0xF000000Cu, 20, 0}) + FakeMsfs::fixed("TITLE", 256)
                                 + QByteArray(256, '\0') + le({9, 0, 0xFFFFFFFFu});
        QCOMPARE(rig.fake.received[19].bytes.toHex(), title.toHex());
        QCOMPARE(rig.fake.received[20].bytes.toHex(), le({32, 5, 0xF000000Fu, 21, 0, 0, 0, 0}).toHex());
        QCOMPARE(rig.fake.received[21].bytes.toHex(),
                 (le({276, 5, 0xF0000017u, 22, 0}) + FakeMsfs::fixed("SimStart", 256)).toHex());
        QCOMPARE(rig.fake.received[22].bytes.toHex(),
                 (le({276, 5, 0xF0000017u, 23, 1}) + FakeMsfs::fixed("SimStop", 256)).toHex());
        QCOMPARE(rig.fake.definition.size(), 23);
        QCOMPARE(rig.fake.definition[13].name, QByteArray("PROP MAX RPM PERCENT:1"));
        QCOMPARE(rig.fake.definition[13].units, QByteArray("percent"));
        const QByteArray autopilot = le({544, 5, 0xF000000Cu, 24, 1}) + FakeMsfs::fixed("AUTOPILOT MASTER", 256)
                                     + FakeMsfs::fixed("Bool", 256) + le({4, 0, 0xFFFFFFFFu});
        QCOMPARE(rig.fake.received[23].bytes.toHex(), autopilot.toHex());
    }

    void sampleAnnouncesConvertsAndEvents()
    {
        Rig rig;
        QVERIFY(rig.connectAndActivate());
        QCOMPARE(rig.announced->first().at(1).toString(), QStringLiteral("Kestrel Trainer \u00e9"));
        QCOMPARE(rig.changed->size(), 0); // the announcing sample is not converted

        QVERIFY(rig.pollUntil([&] { return !rig.fake.pending.isEmpty(); }));
        rig.fake.answer();
        QVERIFY(rig.pollUntil([&] { return rig.changed->size() == 1; }));
        const MSFSTelemetry t = rig.last();
        QCOMPARE(t.airspeed, 250.0f);
        QCOMPARE(t.verticalSpeed, -2.5f);
        QCOMPARE(t.aoa, 4.5f);
        QCOMPARE(t.gForce, 1.5f);
        QCOMPARE(t.gear, 50.0f);
        QCOMPARE(t.flaps, 30.0f);
        QCOMPARE(t.propAirflow, 70.0f);
        QCOMPARE(t.trimmerRoll, 10.0f);
        QCOMPARE(t.trimmerPitch, -20.0f);
        QCOMPARE(t.trimmerYaw, 30.0f);
        QVERIFY(t.onGround);
        QCOMPARE(rig.landed->size(), 1);

        // SimStop ends the telemetry; SimStart asks again and the next sample announces.
        rig.fake.sendEvent("SimStop");
        QVERIFY(rig.pollUntil([&] { return rig.ended->size() == 1; }));
        QCOMPARE(rig.last().airspeed, 0.0f);
        rig.fake.pending.clear();
        rig.fake.sendEvent("SimStart");
        QVERIFY(rig.pollUntil([&] { return !rig.fake.pending.isEmpty(); }));
        rig.fake.variables["TITLE"] = QByteArray("Second Aircraft");
        rig.fake.answer();
        QVERIFY(rig.pollUntil([&] { return rig.announced->size() == 2; }));
        QCOMPARE(rig.announced->last().at(1).toString(), QStringLiteral("Second Aircraft"));

        // Quit, then MSFS closes: one end, no second one for the close.
        rig.fake.write(FakeMsfs::quitMessage());
        rig.fake.disconnectClient();
        QVERIFY(rig.pollUntil([&] { return rig.ended->size() == 2; }));
        rig.settle();
        QCOMPARE(rig.ended->size(), 2);
        QCOMPARE(rig.fake.connections, 1);

        // MSFS back: a second later the client opens again and repeats the set-up.
        rig.now += SimConnectNetworkClient::RetryIntervalMs;
        QVERIFY(rig.connectAndActivate());
        QCOMPARE(rig.fake.connections, 2);
        QCOMPARE(rig.fake.definition.size(), 23);
        QCOMPARE(rig.fake.subscriptions.value(1), QByteArray("SimStop"));
        QCOMPARE(rig.announced->size(), 3);
    }

    // MSFS vanishing without quit looks like a quit to the source; retries
    // wait a second; an open message that never comes gives up after 5 s.
    void reconnectsAfterTheServerGoesAway()
    {
        Rig rig;
        QVERIFY(rig.connectAndActivate());
        rig.fake.disconnectClient();
        QVERIFY(rig.pollUntil([&] { return rig.ended->size() == 1; }));
        rig.settle();
        QCOMPARE(rig.ended->size(), 1);
        QCOMPARE(rig.fake.connections, 1); // no retry within the second

        rig.fake.answerOpen = false;
        rig.now += SimConnectNetworkClient::RetryIntervalMs;
        QVERIFY(rig.pollUntil([&] { return rig.fake.connections == 2 && rig.fake.received.size() == 28; }));
        rig.now += SimConnectNetworkClient::OpenTimeoutMs + 1;
        QVERIFY(rig.pollUntil([&] { return !rig.fake.connected(); }));
        QCOMPARE(rig.ended->size(), 1); // a connection that never opened ends nothing

        rig.fake.answerOpen = true;
        rig.now += SimConnectNetworkClient::RetryIntervalMs;
        const qsizetype before = rig.fake.received.size();
        QVERIFY(rig.connectAndActivate());
        QCOMPARE(rig.fake.connections, 3);
        // Send ids start over per connection: its open is 1, its set-up ends at 27.
        QCOMPARE(rig.fake.received.at(before).sendId, quint32(1));
        QCOMPARE(rig.fake.received.at(before + 26).sendId, quint32(27));
    }

    void messageSplitAtEveryByteDecodesTheSame()
    {
        Rig rig;
        QVERIFY(rig.connectAndActivate());
        const QByteArray sample = rig.fake.sampleFor({0, 0, 0, 0});
        QCOMPARE(sample.size(), 440);
        for (int cut = 1; cut < sample.size(); ++cut) {
            const qsizetype before = rig.changed->size();
            rig.fake.write(sample.left(cut));
            rig.settle(2);
            QCOMPARE(rig.changed->size(), before);
            rig.fake.write(sample.mid(cut));
            QVERIFY(rig.pollUntil([&] { return rig.changed->size() == before + 1; }));
            QCOMPARE(rig.last().propAirflow, 70.0f);
            QCOMPARE(rig.last().verticalSpeed, -2.5f);
        }
        QCOMPARE(rig.ended->size(), 0);
    }

    // Several messages in one write come out one per poll, in order; the
    // largest acceptable message (64 KiB) passes.
    void joinedMessagesComeOutOnePerPoll()
    {
        Rig rig;
        QVERIFY(rig.connectAndActivate());
        QByteArray joined = FakeMsfs::message(0x7F, QByteArray(64 * 1024 - 12, 'x'));
        for (double airspeed : {100.0, 200.0, 300.0}) {
            rig.setAircraft(airspeed);
            joined += rig.fake.sampleFor({0, 0, 0, 0});
        }
        rig.fake.write(joined);
        qsizetype previous = rig.changed->size();
        QVERIFY(rig.pollUntil([&] {
            const qsizetype now = rig.changed->size();
            const bool atMostOne = now - previous <= 1;
            previous = now;
            return !atMostOne || now == 3;
        }));
        QCOMPARE(rig.changed->size(), 3);
        QCOMPARE(rig.changed->at(0).at(0).value<MSFSTelemetry>().airspeed, 100.0f);
        QCOMPARE(rig.changed->at(1).at(0).value<MSFSTelemetry>().airspeed, 200.0f);
        QCOMPARE(rig.changed->at(2).at(0).value<MSFSTelemetry>().airspeed, 300.0f);
    }

    void badInputDropsAndReconnects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("serverCloses");
        QTest::newRow("size below 12") << le({11, 5, 4}) << false;
        QTest::newRow("size above 64 KiB") << (le({64 * 1024 + 1, 5, 0x7F}) + QByteArray(100, 'x')) << false;
        QTest::newRow("data shorter than its definition")
            << FakeMsfs::dataByTypeMessage(0, 0, 19, QByteArray(399, '\0')) << false;
        QTest::newRow("server closes mid-message") << le({440, 5, 9, 0, 1, 0}) << true;
    }
    // Definition 1, the autopilot and the controls, asked for after each
    // sample, lands in the next record.
    void autopilotAndControlsOverTheNetwork()
    {
        Rig rig;
        rig.fake.variables["AUTOPILOT MASTER"] = 1.0;
        rig.fake.variables["AILERON POSITION"] = -4096.0; // "position 16k": -0.25
        rig.fake.variables["ELEVATOR POSITION"] = 16384.0;
        rig.fake.variables["RUDDER POSITION"] = 0.0;
        QVERIFY(rig.connectAndActivate());
        // After the announcing sample: the next sample's request, then the controls'.
        QVERIFY(rig.pollUntil([&] { return rig.fake.pending.size() == 2; }));
        QCOMPARE(rig.fake.pending.at(0).requestId, quint32(0));
        QCOMPARE(rig.fake.pending.at(1).requestId, quint32(1));
        QCOMPARE(rig.fake.pending.at(1).defineId, quint32(1));
        rig.fake.answer(); // a sample: its record knows nothing of the autopilot yet
        QVERIFY(rig.pollUntil([&] { return rig.changed->size() == 1; }));
        QVERIFY(!rig.last().autopilotEngaged);
        rig.fake.answer(); // the controls
        QVERIFY(rig.pollUntil([&] { return rig.fake.pending.size() >= 2; }));
        rig.fake.answer(); // the next sample
        QVERIFY(rig.pollUntil([&] { return rig.changed->size() == 2; }));
        QVERIFY(rig.last().autopilotEngaged);
        QCOMPARE(rig.last().controlPosition, (std::array<float, 3>{-0.25f, 1.0f, 0.0f}));
    }

    // An exception (a variable this MSFS does not know, say) is said once,
    // naming the request, and the connection and the telemetry go on.
    void exceptionKeepsTheConnection()
    {
        Rig rig;
        QVERIFY(rig.connectAndActivate());
        quint32 gForceSendId = 0;
        for (const FakeMsfs::Packet &packet : std::as_const(rig.fake.received)) {
            if ((packet.function & 0xFF) == 0x0C && packet.bytes.mid(20, 7) == QByteArray("G FORCE"))
                gForceSendId = packet.sendId;
        }
        QVERIFY(gForceSendId != 0);
        const QRegularExpression said(QStringLiteral("^SimConnect exception 7 for AddToDataDefinition \"G FORCE\" from 127\\.0\\.0\\.1:\\d+$"));
        QTest::ignoreMessage(QtWarningMsg, said);
        QTest::failOnWarning(said); // a second time would be one too many
        for (int i = 0; i < 2; ++i) {
            rig.fake.write(FakeMsfs::exceptionMessage(7, gForceSendId, 7));
            rig.settle(5);
        }
        QVERIFY(rig.pollUntil([&] { return !rig.fake.pending.isEmpty(); }));
        rig.fake.answer();
        QVERIFY(rig.pollUntil([&] { return rig.changed->size() == 1; }));
        QCOMPARE(rig.last().airspeed, 250.0f);
        QCOMPARE(rig.ended->size(), 0);
        QCOMPARE(rig.fake.connections, 1);
        QVERIFY(rig.fake.connected());
    }

    // A server that stops answering without closing (MSFS on a computer that
    // went to sleep) is dropped 3 s after the request it left waiting; after
    // SimStop nothing is waited for.
    void silentServerIsDropped()
    {
        Rig rig;
        QVERIFY(rig.connectAndActivate()); // a new request now waits for its answer
        rig.now += 3000;
        rig.settle();
        QCOMPARE(rig.ended->size(), 0);
        QVERIFY(rig.fake.connected());
        rig.now += 1;
        QVERIFY(rig.pollUntil([&] { return rig.ended->size() == 1; }));
        QCOMPARE(rig.last().airspeed, 0.0f);
        QVERIFY(rig.pollUntil([&] { return !rig.fake.connected(); }));

        rig.now += SimConnectNetworkClient::RetryIntervalMs;
        QVERIFY(rig.connectAndActivate());
        rig.fake.sendEvent("SimStop");
        QVERIFY(rig.pollUntil([&] { return rig.ended->size() == 2; }));
        rig.now += 30000;
        rig.settle();
        QVERIFY(rig.fake.connected());
        QCOMPARE(rig.fake.connections, 2);
    }

    void badInputDropsAndReconnects()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, serverCloses);
        Rig rig;
        QVERIFY(rig.connectAndActivate());
        rig.fake.write(bytes);
        if (serverCloses)
            rig.fake.disconnectClient();
        QVERIFY(rig.pollUntil([&] { return rig.ended->size() == 1; }));
        QVERIFY(rig.pollUntil([&] { return !rig.fake.connected(); }));
        rig.settle();
        QCOMPARE(rig.changed->size(), 1); // only the empty record
        QCOMPARE(rig.last().airspeed, 0.0f);
        QCOMPARE(rig.ended->size(), 1);

        rig.now += SimConnectNetworkClient::RetryIntervalMs;
        QVERIFY(rig.connectAndActivate());
        QCOMPARE(rig.announced->size(), 2);
    }

    void whereItConnects()
    {
        using Endpoint = SimConnectNetworkClient::Endpoint;
        auto endpointOf = [](const std::shared_ptr<SimConnectApi> &api) {
            auto *client = dynamic_cast<SimConnectNetworkClient *>(api.get());
            return client ? client->endpoint() : Endpoint{QStringLiteral("none"), 0};
        };
        auto same = [](const std::optional<Endpoint> &e, const char *host, quint16 port) {
            return e && e->host == QLatin1String(host) && e->port == port;
        };
        QVERIFY(same(NetworkAddress::parse(QStringLiteral("localhost:6000")), "localhost", 6000));
        QVERIFY(same(NetworkAddress::parse(QStringLiteral("[::1]:5112")), "::1", 5112));
        for (const char *bad : {"localhost", ":5111", "host:0", "host:70000", "::1:5111", "host:x"})
            QVERIFY2(!NetworkAddress::parse(QLatin1String(bad)), bad);

        // No library on this platform: the default, then SimConnect.cfg, then the command line.
        const QString cfg = SimConnectNetworkClient::configFilePath();
        QFile::remove(cfg);
        QVERIFY(same(endpointOf(createSimConnect()), "127.0.0.1", 5111));
        QVERIFY(QDir().mkpath(QFileInfo(cfg).path()));
        QFile file(cfg);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("; MSFS's own client configuration\n[SimConnect]\nProtocol=IPv4\nAddress=localhost\nPort=5200\n");
        file.close();
        QVERIFY(same(endpointOf(createSimConnect()), "localhost", 5200));
        QVERIFY(same(endpointOf(createSimConnect(NetworkAddress{QStringLiteral("127.0.0.2"), 5300})), "127.0.0.2", 5300));

        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[SimConnect]\nProtocol=Pipe\nAddress=.\nPort=Custom/SimConnect\n");
        file.close();
        QVERIFY(!SimConnectNetworkClient::readConfigFile(cfg));
        QVERIFY(same(endpointOf(createSimConnect()), "127.0.0.1", 5111));
        QFile::remove(cfg);
    }
};

QTEST_GUILESS_MAIN(TestSimConnectNetworkClient)
#include "tst_simconnectnetworkclient.moc"
