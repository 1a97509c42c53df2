// The simulator checks on a temporary home with Steam/Proton and Wine
// layouts, and the UDP port check against a socket of the test's own.
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
    // Each check from files of the tree: a simulator set up, not set up, refused or not found (what
    // the set-up command's search finds, which tst_simulatorsetup covers); MSFS's listener against
    // the port kestrox-vantrell dials; a UDP port free or held. Read only.
    void fromFiles_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<QByteArray>>("contents");
        QTest::addColumn<bool>("problem");
        QTest::addColumn<QString>("summary"); // %1: the tree
        QTest::addColumn<QStringList>("fixArguments");
        QTest::addColumn<QString>("details"); // how they begin

        const QString dcsScripts = dcsFolder + QStringLiteral("/Scripts/");
        const auto setUp = [](const char *key) {
            return QStringList{QStringLiteral("--setup-simulator"), QLatin1String(key)};
        };
        QTest::newRow("dcs set up") << "simulator.dcs"
                                    << QStringList{dcsScripts + QStringLiteral("KestroxExport.lua"),
                                                   dcsScripts + QStringLiteral("Export.lua")}
                                    << QList<QByteArray>{script,
                                                         "-- mine\ndofile(lfs.writedir() .. "
                                                         "[[Scripts\\KestroxExport.lua]]) -- kestrox\n"}
                                    << false
                                    << QStringLiteral("DCS World is set up to send telemetry: %1/") +
                                           dcsScripts + QStringLiteral("Export.lua")
                                    << QStringList{} << QString();
        // The first file not set up is named.
        QTest::newRow("dcs folder only")
            << "simulator.dcs" << QStringList{dcsFolder + QStringLiteral("/Config/options.lua")}
            << QList<QByteArray>{"options = {}\n"} << true
            << QStringLiteral("DCS World is not set up to send telemetry: %1/") + dcsScripts +
                   QStringLiteral("KestroxExport.lua")
            << setUp("dcs") << QString();
        QTest::newRow("il2 not set up")
            << "simulator.il2" << QStringList{il2Cfg}
            << QList<QByteArray>{"[KEY = graphics]\n\tfps = 60\n[END]\n"} << true
            << QStringLiteral("IL-2 Sturmovik is not set up to send telemetry: %1/") + il2Cfg << setUp("il2")
            << QString();
        QTest::newRow("il2 sends elsewhere")
            << "simulator.il2" << QStringList{il2Cfg}
            << QList<QByteArray>{"[KEY = telemetrydevice]\n\taddr = \"10.0.0.2\"\n\tenable = true\n\tport = "
                                 "4321\n[END]\n"}
            << true << "IL-2 Sturmovik cannot be set up by the set-up command" << QStringList{} << QString();
        // A simulator that runs is named with its process.
        QTest::newRow("condor not set up, running")
            << "simulator.condor2"
            << QStringList{condorIni, QStringLiteral("proc/777/comm"), QStringLiteral("proc/777/cmdline")}
            << QList<QByteArray>{"[Connection]\r\nHost=192.168.0.3\r\nPort=55000\r\n", "Condor.exe\n",
                                 QByteArray("C:\\Condor2\\Condor.exe\0", 22)}
            << true << QStringLiteral("Condor 2 is not set up to send telemetry: %1/") + condorIni
            << setUp("condor2") << "Condor.exe runs (process 777)";
        QTest::newRow("msfs not set up")
            << "simulator.msfs" << QStringList{msfsXml}
            << QList<QByteArray>{"<?xml version=\"1.0\"?>\n<SimBase.Document>\n</SimBase.Document>\n"} << true
            << QStringLiteral("MSFS is not set up to send telemetry: %1/") + msfsXml << setUp("msfs")
            << QString();
        QTest::newRow("nothing installed")
            << "simulator.il2" << QStringList{} << QList<QByteArray>{} << false
            << "IL-2 Sturmovik not found; nothing to set up" << QStringList{} << QString();

        QTest::newRow("msfs listener moved, default dialled")
            << "msfs.port" << QStringList{msfsXml} << QList<QByteArray>{msfsListener(5112)} << true
            << "MSFS listens on port 5112, but kestrox-vantrell dials port 5111"
            << QStringList{QStringLiteral("--setup-simulator"), QStringLiteral("msfs"),
                           QStringLiteral("--msfs-port"), QStringLiteral("5112")}
            << QString();
        QTest::newRow("msfs port of SimConnect.cfg")
            << "msfs.port" << QStringList{msfsXml, QStringLiteral("home/.local/share/kestrox/SimConnect.cfg")}
            << QList<QByteArray>{msfsListener(5112),
                                 "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=5112\n"}
            << false << "MSFS listens on port 5112, the port kestrox-vantrell dials" << QStringList{}
            << QString();

        // 0xD7EE is 55278, Condor's port: a socket whose process /proc does not show.
        const QByteArray udp = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when "
                               "retrnsmt   uid  timeout inode ref pointer drops\n"
                               "  12: 00000000:D7EE 00000000:0000 07 00000000:00000000 00:00000000 "
                               "00000000  1000        0 99112 2 0000000000000000 0\n";
        QTest::newRow("udp port free")
            << "port.dcs" << QStringList{QStringLiteral("proc/net/udp")} << QList<QByteArray>{udp} << false
            << "UDP port 29778 (DCS World) is free" << QStringList{} << QString();
        QTest::newRow("udp port held unseen")
            << "port.condor2" << QStringList{QStringLiteral("proc/net/udp")} << QList<QByteArray>{udp} << true
            << "UDP port 55278 (Condor 2) is held by a process of user id 1000 that /proc does not show "
               "(socket inode 99112); Condor 2's telemetry cannot reach kestrox-vantrell"
            << QStringList{} << QString();
    }
    void fromFiles()
    {
        QFETCH(QString, id);
        QFETCH(QStringList, files);
        QFETCH(QList<QByteArray>, contents);
        QFETCH(bool, problem);
        QFETCH(QString, summary);
        QFETCH(QStringList, fixArguments);
        QFETCH(QString, details);
        Tree tree;
        const HealthEnvironment env = tree.environment();
        for (qsizetype i = 0; i < files.size(); ++i)
            tree.write(files[i], contents[i]);
        const auto before = tree.snapshot();
        const HealthCheck check = find(SimulatorChecks::run(env), id);
        QCOMPARE(tree.snapshot(), before); // read only
        QCOMPARE(check.status, problem ? Status::Problem : Status::Ok);
        QCOMPARE(check.summary,
                 summary.contains(QLatin1String("%1")) ? summary.arg(tree.dir.path()) : summary);
        QCOMPARE(check.fixArguments, fixArguments);
        QCOMPARE(check.action == HealthCheck::FixAction::RunCommand, !fixArguments.isEmpty());
        QVERIFY2(check.details.startsWith(details), qPrintable(check.details));
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

        // The same socket, seen from the program that holds it, is its own.
        env.ownPid = ::getpid();
        QCOMPARE(find(SimulatorChecks::run(env), QStringLiteral("port.il2")).summary,
                 QStringLiteral("UDP port 29777 (IL-2 Sturmovik): this kestrox-vantrell listens on it"));
    }
};

QTEST_GUILESS_MAIN(TestSimulatorChecks)
#include "tst_simulatorchecks.moc"
