#include "fakemsfs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>

// The fake MSFS checked against an independent client, node-simconnect:
// what it parses from another client's packets and what that client reads
// from its messages. Skipped (77) where node or the package is missing.
namespace {

QString nodeModules()
{
    const QString fromEnv = qEnvironmentVariable("KESTROX_NODE_MODULES");
    return fromEnv.isEmpty() ? QStringLiteral(KESTROX_NODE_MODULES) : fromEnv;
}

} // namespace

class TestFakeMsfsPeer : public QObject
{
    Q_OBJECT

private slots:
    void nodeSimConnectTalksToTheFake()
    {
        FakeMsfs fake;
        QVERIFY(fake.listen());
        fake.variables["PLANE ALTITUDE"] = 1234.5;
        fake.variables["TITLE"] = QByteArray("Peer Plane");
        fake.onRequest = [&fake](const FakeMsfs::Request &) {
            fake.answer();
            fake.sendEvent("SimStop", 42);
            fake.write(FakeMsfs::quitMessage());
        };

        QProcess node;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NODE_PATH"), nodeModules());
        node.setProcessEnvironment(env);
        node.start(QStandardPaths::findExecutable(QStringLiteral("node")),
                   {QStringLiteral(KESTROX_PEER_SCRIPT), QString::number(fake.port())});
        QVERIFY(node.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(node.state() == QProcess::NotRunning, 30000);
        const QByteArray out = node.readAllStandardOutput();
        QVERIFY2(node.exitCode() == 0, (out + node.readAllStandardError()).constData());

        // What the fake understood of node-simconnect's packets.
        QCOMPARE(fake.openName, QByteArray("KestroxPeer"));
        QCOMPARE(fake.received.first().function, 0xF0000001u);
        QCOMPARE(fake.received.first().version, 5u);
        QCOMPARE(fake.definition.size(), 2);
        QCOMPARE(fake.definition[0].defineId, 7u);
        QCOMPARE(fake.definition[0].name, QByteArray("PLANE ALTITUDE"));
        QCOMPARE(fake.definition[0].units, QByteArray("feet"));
        QCOMPARE(fake.definition[0].type, 4u);
        QCOMPARE(fake.definition[1].name, QByteArray("TITLE"));
        QCOMPARE(fake.definition[1].units, QByteArray());
        QCOMPARE(fake.definition[1].type, 9u);
        QCOMPARE(fake.subscriptions.value(3), QByteArray("SimStop"));

        // What node-simconnect read from the fake's messages.
        const QJsonObject result = QJsonDocument::fromJson(out.trimmed()).object();
        QCOMPARE(result.value(QLatin1String("open")).toObject().value(QLatin1String("name")).toString(),
                 QStringLiteral("KittyHawk"));
        QCOMPARE(result.value(QLatin1String("open")).toObject().value(QLatin1String("version")).toArray(),
                 (QJsonArray{11, 0, 62651, 3}));
        const QJsonObject data = result.value(QLatin1String("data")).toObject();
        QCOMPARE(data.value(QLatin1String("request")).toInt(), 5);
        QCOMPARE(data.value(QLatin1String("define")).toInt(), 7);
        QCOMPARE(data.value(QLatin1String("count")).toInt(), 2);
        QCOMPARE(data.value(QLatin1String("altitude")).toDouble(), 1234.5);
        QCOMPARE(data.value(QLatin1String("title")).toString(), QStringLiteral("Peer Plane"));
        const QJsonObject event = result.value(QLatin1String("event")).toObject();
        QCOMPARE(event.value(QLatin1String("id")).toInt(), 3);
        QCOMPARE(event.value(QLatin1String("data")).toInt(), 42);
        QVERIFY(result.value(QLatin1String("quit")).toBool());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty()) {
        std::printf("SKIP: node is not installed\n");
        return 77;
    }
    if (!QFileInfo::exists(nodeModules() + QStringLiteral("/node-simconnect/package.json"))) {
        std::printf("SKIP: node-simconnect is not installed in %s\n", qPrintable(nodeModules()));
        return 77;
    }
    TestFakeMsfsPeer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fakemsfspeer.moc"
