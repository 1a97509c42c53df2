// The simulator checks on a temporary home with Steam/Proton and Wine
// layouts, set up and not set up, and the UDP port check against a socket
// of the test's own.
#include "simulatorchecks.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <unistd.h>

namespace {

const QByteArray script = "-- the export script\n";
const QString steamApps = QStringLiteral("home/.local/share/Steam/steamapps/");
const QString dcsFolder =
    steamApps + QStringLiteral("compatdata/223750/pfx/drive_c/users/steamuser/Saved Games/DCS");
const QString il2Cfg =
    steamApps + QStringLiteral("common/IL-2 Sturmovik Battle of Stalingrad/data/startup.cfg");
const QString condorIni = QStringLiteral("home/.wine/drive_c/Condor2/Settings/UDP.ini");
const QString msfsXml =
    steamApps + QStringLiteral("compatdata/1250410/pfx/drive_c/users/steamuser/AppData/Roaming/"
                               "Microsoft Flight Simulator/SimConnect.xml");

QByteArray msfsListener(int port)
{
    return "<?xml version=\"1.0\"?>\n<SimBase.Document>\n\t<Descr>SimConnect</Descr>\n\t<SimConnect.Comm>\n"
           "\t\t<Protocol>IPv4</Protocol>\n\t\t<Scope>local</Scope>\n\t\t<Port>" +
           QByteArray::number(port) + "</Port>\n\t</SimConnect.Comm>\n</SimBase.Document>\n";
}

struct Tree
{
    QTemporaryDir dir;

    QString path(const QString &relative) const { return dir.path() + QLatin1Char('/') + relative; }
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString file = it.next();
            QFile f(file);
            f.open(QIODevice::ReadOnly);
            files.insert(file.mid(dir.path().size() + 1), f.readAll());
        }
        return files;
    }
    HealthEnvironment environment() const
    {
        HealthEnvironment env;
        env.home = path(QStringLiteral("home"));
        env.dataFolder = path(QStringLiteral("home/.local/share/kestrox"));
        env.procRoot = path(QStringLiteral("proc"));
        env.ownPid = 1;
        env.askKernelForListeners = false;
        env.simulators.home = env.home;
        env.simulators.dataFolder = env.dataFolder;
        env.simulators.procRoot = env.procRoot;
        env.simulators.scriptFolders = {path(QStringLiteral("share/kestrox/sims/dcs"))};
        write(QStringLiteral("share/kestrox/sims/dcs/KestroxExport.lua"), script);
        QDir().mkpath(path(QStringLiteral("proc")));
        return env;
    }
};

HealthCheck find(const QList<HealthCheck> &checks, const QString &id)
{
    for (const HealthCheck &check : checks)
        if (check.id == id)
            return check;
    return {};
}

using Status = HealthCheck::Status;

} // namespace

class TestSimulatorChecks : public QObject
{
    Q_OBJECT

private slots:
    // Each simulator under Proton or Wine, found set up, not set up, or
    // holding what the set-up command refuses to touch.
    void setUpOrNot_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<QByteArray>>("contents");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("fixArguments");

        const QString dcsScripts = dcsFolder + QStringLiteral("/Scripts/");
        const QByteArray exportLine = "dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\n";
        QTest::newRow("dcs set up") << "simulator.dcs"
                                    << QStringList{dcsScripts + QStringLiteral("KestroxExport.lua"),
                                                   dcsScripts + QStringLiteral("Export.lua")}
                                    << QList<QByteArray>{script, QByteArray("-- mine\n") + exportLine}
                                    << int(Status::Ok)
                                    << QStringLiteral("DCS World is set up to send telemetry: %1/") +
                                           dcsScripts + QStringLiteral("Export.lua")
                                    << QStringList{};
        QTest::newRow("dcs without the line")
            << "simulator.dcs"
            << QStringList{dcsScripts + QStringLiteral("KestroxExport.lua"),
                           dcsScripts + QStringLiteral("Export.lua")}
            << QList<QByteArray>{script, "-- mine\n"} << int(Status::Problem)
            << QStringLiteral("DCS World is not set up to send telemetry: %1/") + dcsScripts +
                   QStringLiteral("Export.lua")
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("dcs")};
        QTest::newRow("dcs folder only")
            << "simulator.dcs" << QStringList{dcsFolder + QStringLiteral("/Config/options.lua")}
            << QList<QByteArray>{"options = {}\n"} << int(Status::Problem)
            << QStringLiteral("DCS World is not set up to send telemetry: %1/") + dcsScripts +
                   QStringLiteral("KestroxExport.lua")
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("dcs")};
        QTest::newRow("il2 set up") << "simulator.il2" << QStringList{il2Cfg}
                                    << QList<QByteArray>{"[KEY = telemetrydevice]\n\taddr = "
                                                         "\"127.0.0.1\"\n\tdecimation = 2\n\tenable = true\n"
                                                         "\tport = 29777\n[END]\n"}
                                    << int(Status::Ok)
                                    << QStringLiteral("IL-2 Sturmovik is set up to send telemetry: %1/") +
                                           il2Cfg
                                    << QStringList{};
        QTest::newRow("il2 not set up")
            << "simulator.il2" << QStringList{il2Cfg}
            << QList<QByteArray>{"[KEY = graphics]\n\tfps = 60\n[END]\n"} << int(Status::Problem)
            << QStringLiteral("IL-2 Sturmovik is not set up to send telemetry: %1/") + il2Cfg
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("il2")};
        QTest::newRow("il2 sends elsewhere")
            << "simulator.il2" << QStringList{il2Cfg}
            << QList<QByteArray>{"[KEY = telemetrydevice]\n\taddr = \"10.0.0.2\"\n\tenable = true\n\tport = "
                                 "4321\n[END]\n"}
            << int(Status::Problem) << "IL-2 Sturmovik cannot be set up by the set-up command"
            << QStringList{};
        QTest::newRow("condor set up")
            << "simulator.condor2" << QStringList{condorIni}
            << QList<QByteArray>{"[Connection]\r\nHost=127.0.0.1\r\nPort=55278\r\n"
                                 "SendIntervalMs=16\r\n"}
            << int(Status::Ok) << QStringLiteral("Condor 2 is set up to send telemetry: %1/") + condorIni
            << QStringList{};
        QTest::newRow("condor not set up")
            << "simulator.condor2" << QStringList{condorIni}
            << QList<QByteArray>{"[Connection]\r\nHost=192.168.0.3\r\nPort=55000\r\n"} << int(Status::Problem)
            << QStringLiteral("Condor 2 is not set up to send telemetry: %1/") + condorIni
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("condor2")};
        QTest::newRow("msfs set up") << "simulator.msfs" << QStringList{msfsXml}
                                     << QList<QByteArray>{msfsListener(5111)} << int(Status::Ok)
                                     << QStringLiteral("MSFS is set up to send telemetry: %1/") + msfsXml
                                     << QStringList{};
        QTest::newRow("msfs not set up")
            << "simulator.msfs" << QStringList{msfsXml}
            << QList<QByteArray>{"<?xml version=\"1.0\"?>\n<SimBase.Document>\n</SimBase.Document>\n"}
            << int(Status::Problem) << QStringLiteral("MSFS is not set up to send telemetry: %1/") + msfsXml
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("msfs")};
        QTest::newRow("nothing installed")
            << "simulator.il2" << QStringList{} << QList<QByteArray>{} << int(Status::Ok)
            << "IL-2 Sturmovik not found; nothing to set up" << QStringList{};
    }
    void setUpOrNot()
    {
        QFETCH(QString, id);
        QFETCH(QStringList, files);
        QFETCH(QList<QByteArray>, contents);
        QFETCH(int, status);
        QFETCH(QString, summary);
        QFETCH(QStringList, fixArguments);
        Tree tree;
        const HealthEnvironment env = tree.environment();
        for (qsizetype i = 0; i < files.size(); ++i)
            tree.write(files[i], contents[i]);
        const auto before = tree.snapshot();
        const HealthCheck check = find(SimulatorChecks::run(env), id);
        QCOMPARE(tree.snapshot(), before); // read only
        QCOMPARE(int(check.status), status);
        QCOMPARE(check.summary,
                 summary.contains(QLatin1String("%1")) ? summary.arg(tree.dir.path()) : summary);
        QCOMPARE(check.fixArguments, fixArguments);
        QCOMPARE(check.action == HealthCheck::FixAction::RunCommand, !fixArguments.isEmpty());
        for (const QString &file : std::as_const(files))
            if (!file.contains(QLatin1String("/Config/")))
                QVERIFY2(check.details.contains(tree.path(file)), qPrintable(check.details));
    }

    // A simulator that runs is named with its process.
    void runningSimulatorNamed()
    {
        Tree tree;
        const HealthEnvironment env = tree.environment();
        tree.write(condorIni, "[Connection]\r\nHost=127.0.0.1\r\nPort=55278\r\nSendIntervalMs=16\r\n");
        tree.write(QStringLiteral("proc/777/comm"), "Condor.exe\n");
        tree.write(QStringLiteral("proc/777/cmdline"), QByteArray("C:\\Condor2\\Condor.exe\0", 22));
        const HealthCheck check = find(SimulatorChecks::run(env), QStringLiteral("simulator.condor2"));
        QVERIFY2(check.details.startsWith(QStringLiteral("Condor.exe runs (process 777)")),
                 qPrintable(check.details));
    }

    // MSFS's listener against the port kestrox-vantrell dials.
    void msfsPort_data()
    {
        QTest::addColumn<int>("listener");
        QTest::addColumn<QByteArray>("simConnectCfg"); // empty: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("fixArguments");
        QTest::newRow("default both")
            << 5111 << QByteArray() << int(Status::Ok)
            << "MSFS listens on port 5111, the port kestrox-vantrell dials" << QStringList{};
        QTest::newRow("moved listener, default dialled")
            << 5112 << QByteArray() << int(Status::Problem)
            << "MSFS listens on port 5112, but kestrox-vantrell dials port 5111"
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("msfs"),
                           QStringLiteral("--msfs-port"), QStringLiteral("5112")};
        QTest::newRow("cfg follows") << 5112
                                     << QByteArray(
                                            "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=5112\n")
                                     << int(Status::Ok)
                                     << "MSFS listens on port 5112, the port kestrox-vantrell dials"
                                     << QStringList{};
        QTest::newRow("cfg elsewhere")
            << 5111 << QByteArray("[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=6000\n")
            << int(Status::Problem) << "MSFS listens on port 5111, but kestrox-vantrell dials port 6000"
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("msfs"),
                           QStringLiteral("--msfs-port"), QStringLiteral("5111")};
    }
    void msfsPort()
    {
        QFETCH(int, listener);
        QFETCH(QByteArray, simConnectCfg);
        QFETCH(int, status);
        QFETCH(QString, summary);
        QFETCH(QStringList, fixArguments);
        Tree tree;
        const HealthEnvironment env = tree.environment();
        tree.write(msfsXml, msfsListener(listener));
        if (!simConnectCfg.isEmpty())
            tree.write(QStringLiteral("home/.local/share/kestrox/SimConnect.cfg"), simConnectCfg);
        const HealthCheck check = find(SimulatorChecks::run(env), QStringLiteral("msfs.port"));
        QCOMPARE(int(check.status), status);
        QCOMPARE(check.summary, summary);
        QCOMPARE(check.fixArguments, fixArguments);
    }

    // The set-up command's own search: after it ran, the check finds its change.
    void setUpCommandSatisfiesTheCheck()
    {
        Tree tree;
        const HealthEnvironment env = tree.environment();
        tree.write(il2Cfg, "[KEY = graphics]\n\tfps = 60\n[END]\n");
        QCOMPARE(find(SimulatorChecks::run(env), QStringLiteral("simulator.il2")).status, Status::Problem);
        SimulatorSetupOptions setup;
        setup.simulator = SimulatorSetupOptions::Simulator::Il2;
        setup.environment = env.simulators;
        QString ignored;
        QTextStream out(&ignored);
        QCOMPARE(runSimulatorSetup(setup, out, out), 0);
        QCOMPARE(find(SimulatorChecks::run(env), QStringLiteral("simulator.il2")).status, Status::Ok);
    }

    // A UDP port held by the test's own socket: named by process id and name,
    // from the real /proc/net/udp and /proc/*/fd.
    void udpPortHeldByThisProcess_data()
    {
        QTest::addColumn<QHostAddress>("address");
        QTest::newRow("IPv4") << QHostAddress(QHostAddress::AnyIPv4);
        QTest::newRow("IPv6") << QHostAddress(QHostAddress::AnyIPv6);
    }
    void udpPortHeldByThisProcess()
    {
        QFETCH(QHostAddress, address);
        Tree tree;
        HealthEnvironment env = tree.environment();
        env.procRoot = QStringLiteral("/proc");
        env.ownPid = 0; // so that this process counts as another program
        QUdpSocket socket;
        if (!socket.bind(address, 29777))
            QSKIP("UDP port 29777 is taken on this machine");
        const QList<HealthCheck> checks = SimulatorChecks::run(env);
        const HealthCheck held = find(checks, QStringLiteral("port.il2"));
        QCOMPARE(held.status, Status::Problem);
        const QString expected =
            QStringLiteral("UDP port 29777 (IL-2 Sturmovik) is held by %1 (process %2); IL-2 "
                           "Sturmovik's telemetry cannot reach kestrox-vantrell")
                .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                .arg(::getpid());
        QCOMPARE(held.summary, expected);
        QVERIFY(held.fix.startsWith(QStringLiteral("close ")));

        // The same socket, seen from the program that holds it, is its own.
        env.ownPid = ::getpid();
        QCOMPARE(find(SimulatorChecks::run(env), QStringLiteral("port.il2")).summary,
                 QStringLiteral("UDP port 29777 (IL-2 Sturmovik): this kestrox-vantrell listens on it"));
    }

    void udpPortFree()
    {
        Tree tree;
        HealthEnvironment env = tree.environment();
        tree.write(QStringLiteral("proc/net/udp"),
                   "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
                   "timeout inode ref pointer drops\n"
                   "  12: 00000000:D7EE 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        "
                   "0 99112 2 0000000000000000 0\n");
        const QList<HealthCheck> checks = SimulatorChecks::run(env);
        QCOMPARE(find(checks, QStringLiteral("port.dcs")).summary,
                 QStringLiteral("UDP port 29778 (DCS World) is free"));
        // 0xD7EE is 55278: a socket whose process /proc does not show.
        const HealthCheck condor = find(checks, QStringLiteral("port.condor2"));
        QCOMPARE(condor.status, Status::Problem);
        QVERIFY2(condor.summary.contains(QStringLiteral(
                     "a process of user id 1000 that /proc does not show (socket inode 99112)")),
                 qPrintable(condor.summary));
    }
};

QTEST_GUILESS_MAIN(TestSimulatorChecks)
#include "tst_simulatorchecks.moc"
