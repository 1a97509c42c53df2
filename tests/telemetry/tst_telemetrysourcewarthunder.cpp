#include "httptestserver.h"
#include "tcplisteners.h"
#include "telemetrysourcewarthunder.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

struct WarthunderRig
{
    HttpTestServer server;
    TelemetrySourceWarthunder source{nullptr, server.url()};
    QSignalSpy announced{&source, &TelemetrySource::telemetrySourceChanged};
    QSignalSpy changed{&source, &TelemetrySourceWarthunder::telemetryChanged};
    QSignalSpy ended{&source, &TelemetrySource::telemetryEnded};
    QStringList order;

    WarthunderRig()
    {
        QObject::connect(&source, &TelemetrySourceWarthunder::telemetryChanged,
                         [this] { order << QStringLiteral("telemetry"); });
        QObject::connect(&source, &TelemetrySource::telemetryEnded,
                         [this] { order << QStringLiteral("ended"); });
    }
    // One poll, then wait for its answer.
    bool exchange()
    {
        source.poll();
        return QTest::qWaitFor([this] { return !source.isRequestInFlight(); }, 5000);
    }
    WarthunderTelemetry last() const { return changed.last().at(0).value<WarthunderTelemetry>(); }
};

} // namespace

class TestTelemetrySourceWarthunder : public QObject
{
    Q_OBJECT

private slots:
    void firstAnswerAnnouncesSecondConverts()
    {
        WarthunderRig rig;
        rig.server.body = R"({"valid": true, "IAS, km/h": 450, "Ny": 2.5, "AoA, deg": 4, "TAS, km/h": 470})";
        QVERIFY(rig.exchange());
        QCOMPARE(rig.announced.count(), 1);
        QCOMPARE(rig.announced.at(0).at(0).value<Telemetry::Source>(),
                 Telemetry::TELEMETRY_SOURCE_WARTHUNDER);
        QCOMPARE(rig.announced.at(0).at(1).toString(), QStringLiteral("Generic warbird"));
        QCOMPARE(rig.changed.count(), 0);

        QVERIFY(rig.exchange());
        QCOMPARE(rig.changed.count(), 1);
        const WarthunderTelemetry t = rig.last();
        QCOMPARE(t.airspeed, 450.0f);
        QCOMPARE(t.gForce, 2.5f);
        QCOMPARE(t.aoa, 4.0f);
        QCOMPARE(t.verticalSpeed, 0.0f);
        QCOMPARE(t.onGround, false);
    }

    void oddAnswersKeepTheSourceActive_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<float>("airspeed");
        QTest::newRow("empty object") << QByteArray("{}") << 0.0f;
        QTest::newRow("not json") << QByteArray("<html>") << 0.0f;
        QTest::newRow("text value") << QByteArray(R"({"IAS, km/h": "450"})") << 0.0f;
        QTest::newRow("beyond float") << QByteArray(R"({"IAS, km/h": 1e300, "Ny": 1})") << 0.0f;
        QTest::newRow("array") << QByteArray("[1, 2]") << 0.0f;
    }
    void oddAnswersKeepTheSourceActive()
    {
        QFETCH(QByteArray, body);
        QFETCH(float, airspeed);
        WarthunderRig rig;
        rig.server.body = R"({"IAS, km/h": 300})";
        QVERIFY(rig.exchange());
        QVERIFY(rig.exchange());
        rig.server.body = body;
        QVERIFY(rig.exchange());
        QVERIFY(rig.source.isActive());
        QCOMPARE(rig.last().airspeed, airspeed);
        QCOMPARE(rig.ended.count(), 0);
    }

    void failureWhileActiveEnds_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("refused") << QStringLiteral("refused");
        QTest::newRow("slower than 100 ms") << QStringLiteral("stall");
        QTest::newRow("http error") << QStringLiteral("status");
    }
    void failureWhileActiveEnds()
    {
        QFETCH(QString, failure);
        WarthunderRig rig;
        rig.server.body = R"({"IAS, km/h": 300})";
        QVERIFY(rig.exchange());
        QVERIFY(rig.exchange());
        if (failure == QLatin1String("refused"))
            rig.server.close();
        else if (failure == QLatin1String("stall"))
            rig.server.stall = true;
        else
            rig.server.status = 500;
        rig.order.clear();
        QVERIFY(rig.exchange());
        QCOMPARE(rig.order, (QStringList{QStringLiteral("telemetry"), QStringLiteral("ended")}));
        QCOMPARE(rig.last().airspeed, 0.0f);
        QVERIFY(!rig.source.isActive());

        // Failing again while inactive reports nothing.
        QVERIFY(rig.exchange());
        QCOMPARE(rig.ended.count(), 1);
    }

    void oneRequestInFlight()
    {
        WarthunderRig rig;
        rig.server.stall = true;
        rig.source.poll();
        QTRY_COMPARE(rig.server.requests, 1);
        rig.source.poll();
        rig.source.poll();
        QVERIFY(rig.source.isRequestInFlight());
        QTRY_VERIFY(!rig.source.isRequestInFlight()); // the transfer timeout ends it
        QCOMPARE(rig.server.requests, 1);
        QCOMPARE(rig.announced.count(), 0);
    }

    // While nothing listens the source only asks the kernel, and fails at
    // once; the first request after the service is back goes out as HTTP.
    void nobodyListensIsLearntWithoutRequests()
    {
        WarthunderRig rig;
        rig.server.close();
        QVERIFY(rig.exchange()); // an HTTP request, refused
        const int requests = rig.server.requests;
        for (int i = 0; i < 20; ++i) {
            rig.source.poll();
            QVERIFY(!rig.source.isRequestInFlight()); // answered on the spot
        }
        QCOMPARE(rig.announced.count(), 0);
        QVERIFY(rig.server.reopen());
        rig.server.body = "{}";
        QVERIFY(rig.exchange());
        QCOMPARE(rig.announced.count(), 1);
        QCOMPARE(rig.server.requests, requests + 1);
    }

    // What the kernel says against what is there: listeners on the
    // loopback, on every address, over IPv6, and none.
    void tcpListeners()
    {
        TcpListeners listeners;
        QTcpServer loopback;
        QVERIFY(loopback.listen(QHostAddress::LocalHost, 0));
        const auto answer = listeners.isListening(loopback.serverPort());
        if (!answer)
            QSKIP("the kernel's socket diagnostics cannot be asked here");
        QCOMPARE(*answer, true);
        const quint16 port = loopback.serverPort();
        loopback.close();
        QCOMPARE(listeners.isListening(port), std::optional<bool>(false));

        QTcpServer any;
        QVERIFY(any.listen(QHostAddress::AnyIPv4, 0));
        QCOMPARE(listeners.isListening(any.serverPort()), std::optional<bool>(true));
        QTcpServer v6;
        if (v6.listen(QHostAddress::LocalHostIPv6, 0))
            QCOMPARE(listeners.isListening(v6.serverPort()), std::optional<bool>(true));
        // A client connection to a port is no listener on it.
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, any.serverPort());
        QVERIFY(client.waitForConnected(5000));
        QCOMPARE(listeners.isListening(client.localPort()), std::optional<bool>(false));
    }
};

QTEST_GUILESS_MAIN(TestTelemetrySourceWarthunder)
#include "tst_telemetrysourcewarthunder.moc"
