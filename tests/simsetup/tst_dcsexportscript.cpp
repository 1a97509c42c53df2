// The DCS export script under the real Lua 5.1 with LuaSocket, in a harness
// that stands in for DCS's export environment; its datagrams go to the real
// DCS telemetry source or to a plain socket that keeps their bytes.
#include "telemetrysourcedcs.h"
#include "udptestsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <cstdio>
#include <optional>

namespace {

struct HarnessRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// With an Export.lua given (and the Saved Games folder holding it), that file
// is run in place of the script and the port is left to it.
HarnessRun runHarness(const QString &testCase, quint16 port, int frames, const QString &exportLua = {},
                      const QString &writeDir = {})
{
    QProcess lua;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTROX_EXPORT_SCRIPT"), QStringLiteral(KESTROX_DCS_EXPORT_SCRIPT));
    env.insert(QStringLiteral("KESTROX_EXPORT_PORT"), QString::number(port));
    env.insert(QStringLiteral("KESTROX_HARNESS_CASE"), testCase);
    env.insert(QStringLiteral("KESTROX_FRAMES"), QString::number(frames));
    if (!exportLua.isEmpty()) {
        env.insert(QStringLiteral("KESTROX_EXPORT_LUA"), exportLua);
        env.insert(QStringLiteral("KESTROX_WRITEDIR"), writeDir);
    }
    lua.setProcessEnvironment(env);
    lua.start(QStringLiteral("lua5.1"), {QStringLiteral(KESTROX_DCS_EXPORT_HARNESS)});
    HarnessRun run;
    if (!lua.waitForFinished(20000))
        return run;
    run.exitCode = lua.exitStatus() == QProcess::NormalExit ? lua.exitCode() : -1;
    run.out = lua.readAllStandardOutput().trimmed();
    run.err = lua.readAllStandardError();
    return run;
}

// Every datagram a harness run sent, in order, with their bytes.
struct Receiver
{
    QUdpSocket socket;
    explicit Receiver(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0)
    {
        QVERIFY(socket.bind(address, port));
    }
    QList<QByteArray> drain()
    {
        QList<QByteArray> datagrams;
        // Loopback delivery is done when the sender has exited; one wait
        // covers a slow scheduler.
        if (!socket.hasPendingDatagrams())
            socket.waitForReadyRead(500);
        while (socket.hasPendingDatagrams()) {
            QByteArray datagram(socket.pendingDatagramSize(), '\0');
            socket.readDatagram(datagram.data(), datagram.size());
            datagrams.append(datagram);
        }
        return datagrams;
    }
};

bool luaWithSocket()
{
    if (QStandardPaths::findExecutable(QStringLiteral("lua5.1")).isEmpty())
        return false;
    QProcess lua;
    lua.start(QStringLiteral("lua5.1"), {QStringLiteral("-e"), QStringLiteral("require('socket')")});
    return lua.waitForFinished(10000) && lua.exitStatus() == QProcess::NormalExit && lua.exitCode() == 0;
}

} // namespace

class TestDcsExportScript : public QObject
{
    Q_OBJECT

private slots:
    // Hand-written lines: "." decimals, km/h, degrees, 0..1 positions, the mean
    // RPM of two engines, names without separators, 0 for whatever is missing.
    void lineFormat_data()
    {
        QTest::addColumn<QString>("testCase");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("flying") << QStringLiteral("flying") << QByteArray("F-16C_50;450;-2.5;5.73;1.5;0.5;1;0.25;85;0");
        QTest::newRow("rolling on gear") << QStringLiteral("landed") << QByteArray("Su-25T;450;-2.5;5.73;1.5;1;0;1;70;1");
        QTest::newRow("weight on wheels") << QStringLiteral("wow") << QByteArray("F-16C_50;450;-2.5;5.73;1.5;1;0;0;85;1");
        QTest::newRow("no export functions") << QStringLiteral("missing") << QByteArray(";0;0;0;0;0;0;0;0;0");
        QTest::newRow("nil, NaN, infinity, errors") << QStringLiteral("broken") << QByteArray("Bad_Name__X;0;0;0;0;0;0;0;0;0");
    }
    void lineFormat()
    {
        QFETCH(QString, testCase);
        QFETCH(QByteArray, line);
        Receiver receiver;
        const HarnessRun run = runHarness(testCase, receiver.socket.localPort(), 2);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        const QList<QByteArray> datagrams = receiver.drain();
        QCOMPARE(datagrams.size(), 2);
        QCOMPARE(datagrams.first(), line);
    }

    // The datagrams decode in the DCS source to the aircraft's state, and a
    // touchdown on the gear shows as a landing.
    void decodedByDcsSource()
    {
        ManualClock clock;
        TelemetrySourceDCS source(nullptr, 0);
        source.setClock(clock.function());
        QSignalSpy announced(&source, &TelemetrySource::telemetrySourceChanged);
        QSignalSpy records(&source, &TelemetrySourceDCS::telemetryChanged);
        QSignalSpy landings(&source, &TelemetrySource::landed);
        const auto poll = [&] { source.poll(); };

        QCOMPARE(runHarness(QStringLiteral("flying"), source.localPort(), 3).exitCode, 0);
        QVERIFY(pollUntil(poll, [&] { return announced.size() == 1; }));
        QCOMPARE(announced.first().at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_DCS);
        QCOMPARE(announced.first().at(1).toString(), QStringLiteral("F-16C_50"));

        QCOMPARE(runHarness(QStringLiteral("flying"), source.localPort(), 3).exitCode, 0);
        QVERIFY(pollUntil(poll, [&] { return records.size() == 1; }));
        const auto flying = records.last().at(0).value<DCSTelemetry>();
        QCOMPARE(flying.airspeed, 450.0f);
        QCOMPARE(flying.verticalSpeed, -2.5f);
        QCOMPARE(flying.aoa, 5.73f);
        QCOMPARE(flying.gForce, 1.5f);
        QCOMPARE(flying.gear, 50.0f);
        QCOMPARE(flying.airbrake, 100.0f);
        QCOMPARE(flying.flaps, 25.0f);
        QCOMPARE(flying.propAirflow, 85.0f);
        QVERIFY(!flying.onGround);

        QCOMPARE(runHarness(QStringLiteral("landed"), source.localPort(), 3).exitCode, 0);
        QVERIFY(pollUntil(poll, [&] { return records.size() == 2; }));
        const auto landed = records.last().at(0).value<DCSTelemetry>();
        QVERIFY(landed.onGround);
        QCOMPARE(landed.gear, 100.0f);
        QCOMPARE(landings.size(), 1);
        QCOMPARE(landings.first().at(0).toFloat(), -2.5f);
        QCOMPARE(landings.first().at(1).toFloat(), 450.0f);
    }

    // Another tool's hooks keep running, its errors do not stop ours, a second
    // load does not double the datagrams, and frames closer than 10 ms share one.
    void framesAndOtherTools_data()
    {
        QTest::addColumn<QString>("testCase");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("datagrams");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("earlier hooks counted") << QStringLiteral("chained") << 5 << 5 << QByteArray("after=5");
        QTest::newRow("earlier hook raises") << QStringLiteral("failing") << 5 << 5 << QByteArray("after=5");
        QTest::newRow("loaded twice") << QStringLiteral("twice") << 5 << 5 << QByteArray("after=0");
        // 4 ms frames: sends at 0, 12, 24 and 36 ms.
        QTest::newRow("4 ms frames") << QStringLiteral("fast") << 10 << 4 << QByteArray("after=0");
    }
    void framesAndOtherTools()
    {
        QFETCH(QString, testCase);
        QFETCH(int, frames);
        QFETCH(int, datagrams);
        QFETCH(QByteArray, output);
        Receiver receiver;
        const HarnessRun run = runHarness(testCase, receiver.socket.localPort(), frames);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.out, output);
        QCOMPARE(receiver.drain().size(), datagrams);
    }

    // A host and port that Export.lua sets before loading the script are the
    // ones it sends to; the script keeps its defaults for what is not set.
    void hostAndPortFromExportLua_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("setHost");
        QTest::newRow("host and port") << QStringLiteral("127.0.0.2") << true;
        QTest::newRow("port only") << QStringLiteral("127.0.0.1") << false;
    }
    void hostAndPortFromExportLua()
    {
        QFETCH(QString, host);
        QFETCH(bool, setHost);
        Receiver receiver{QHostAddress(host)};
        // A socket on the default host and the same port: datagrams that
        // ignore Export.lua's host land here.
        std::optional<Receiver> defaultHost;
        if (setHost)
            defaultHost.emplace(QHostAddress::LocalHost, receiver.socket.localPort());

        QTemporaryDir savedGames;
        QVERIFY(QDir(savedGames.path()).mkpath(QStringLiteral("Scripts")));
        QVERIFY(QFile::copy(QStringLiteral(KESTROX_DCS_EXPORT_SCRIPT),
                            savedGames.filePath(QStringLiteral("Scripts/KestroxExport.lua"))));
        QByteArray exportLua = "-- another tool's line\r\n";
        if (setHost)
            exportLua += "KestroxExportHost = \"" + host.toLatin1() + "\"\r\n";
        exportLua += "KestroxExportPort = " + QByteArray::number(receiver.socket.localPort()) + "\r\n"
                     "dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\r\n";
        QFile file(savedGames.filePath(QStringLiteral("Scripts/Export.lua")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(exportLua);
        file.close();

        const HarnessRun run = runHarness(QStringLiteral("flying"), 0, 3, file.fileName(), savedGames.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        const QList<QByteArray> datagrams = receiver.drain();
        QCOMPARE(datagrams.size(), 3);
        QCOMPARE(datagrams.first(), QByteArray("F-16C_50;450;-2.5;5.73;1.5;0.5;1;0.25;85;0"));
        if (defaultHost)
            QCOMPARE(defaultHost->drain().size(), 0);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!luaWithSocket()) {
        std::puts("SKIP: lua5.1 with LuaSocket (lua-socket) is not installed");
        return 77;
    }
    TestDcsExportScript test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dcsexportscript.moc"
