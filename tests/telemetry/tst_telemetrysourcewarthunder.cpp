#include "httptestserver.h"
#include "telemetrysourcewarthunder.h"

#include <QSignalSpy>
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
};

QTEST_GUILESS_MAIN(TestTelemetrySourceWarthunder)
#include "tst_telemetrysourcewarthunder.moc"
