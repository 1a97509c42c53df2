// The set-up command on temporary folder trees laid out as Steam/Proton, Wine
// and Windows users have them.
#include "runningprocesses.h"
#include "simconnectnetworkclient.h"
#include "simulatorsetup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray script = "-- the export script\n";

// A home folder, an installed script and the command's output.
struct Tree
{
    QTemporaryDir dir;
    QString out;
    QString err;

    QString path(const QString &relative) const { return dir.path() + QLatin1Char('/') + relative; }
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString &relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool exists(const QString &relative) const { return QFileInfo::exists(path(relative)); }
    // A process in the tree's /proc, as Wine shows a Windows program.
    void process(int pid, const QByteArray &comm, const QByteArray &cmdline) const
    {
        write(QStringLiteral("proc/%1/comm").arg(pid), comm);
        write(QStringLiteral("proc/%1/cmdline").arg(pid), cmdline);
    }
    // Every file of the tree with its bytes.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = it.next();
            QFile f(file);
            f.open(QIODevice::ReadOnly);
            files.insert(file.mid(dir.path().size() + 1), f.readAll());
        }
        return files;
    }

    SimulatorSetupOptions options(SimulatorSetupOptions::Simulator simulator,
                                  SimulatorSetupEnvironment::Platform platform = SimulatorSetupEnvironment::Platform::Linux)
    {
        write(QStringLiteral("share/kestrox/sims/dcs/KestroxExport.lua"), script);
        SimulatorSetupOptions o;
        o.simulator = simulator;
        o.environment.platform = platform;
        o.environment.home = path(QStringLiteral("home"));
        o.environment.dataFolder = path(QStringLiteral("home/.local/share/kestrox"));
        o.environment.procRoot = path(QStringLiteral("proc"));
        o.environment.userProfile = path(QStringLiteral("Users/pilot"));
        o.environment.appData = path(QStringLiteral("Users/pilot/AppData/Roaming"));
        o.environment.localAppData = path(QStringLiteral("Users/pilot/AppData/Local"));
        o.environment.scriptFolders = {path(QStringLiteral("nowhere")), path(QStringLiteral("share/kestrox/sims/dcs"))};
        return o;
    }
    int run(SimulatorSetupOptions o, bool undo = false, bool dryRun = false)
    {
        o.undo = undo;
        o.dryRun = dryRun;
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return runSimulatorSetup(o, outStream, errStream);
    }
};

const QString protonSavedGames = QStringLiteral(
    "library/steamapps/compatdata/223750/pfx/drive_c/users/steamuser/Saved Games/DCS.openbeta");
const QString il2Cfg = QStringLiteral(
    "library/steamapps/common/IL-2 Sturmovik Battle of Stalingrad/data/startup.cfg");

// A Steam install in the home folder whose second library lies elsewhere.
void steamWithSecondLibrary(Tree &tree)
{
    tree.write(QStringLiteral("home/.local/share/Steam/steamapps/libraryfolders.vdf"),
               "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + tree.path(QStringLiteral("home/.local/share/Steam")).toUtf8()
                   + "\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + tree.path(QStringLiteral("library")).toUtf8()
                   + "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"223750\"\t\t\"1\"\n\t\t}\n\t}\n}\n");
    QDir().mkpath(tree.path(QStringLiteral("library/steamapps")));
}

// A command line as /proc shows it: the arguments, each ended by a zero byte.
QByteArray argv(const QByteArrayList &arguments)
{
    return arguments.join('\0') + '\0';
}

const QString wineDcs = QStringLiteral("home/.wine/drive_c/users/pilot/Saved Games/DCS");

using Sim = SimulatorSetupOptions::Simulator;
using Platform = SimulatorSetupEnvironment::Platform;

} // namespace

class TestSimulatorSetup : public QObject
{
    Q_OBJECT

private slots:
    // Proton's DCS in a second Steam library: the script and the line go in
    // once; dry run and a second run change nothing; undo leaves no trace.
    void dcsUnderProton()
    {
        Tree tree;
        steamWithSecondLibrary(tree);
        QDir().mkpath(tree.path(protonSavedGames));
        const auto o = tree.options(Sim::Dcs);
        const auto pristine = tree.snapshot();

        QCOMPARE(tree.run(o, false, true), 0);
        QCOMPARE(tree.snapshot(), pristine);

        QCOMPARE(tree.run(o), 0);
        QVERIFY2(tree.out.contains(tree.path(protonSavedGames)), qPrintable(tree.out));
        QCOMPARE(tree.read(protonSavedGames + QStringLiteral("/Scripts/KestroxExport.lua")), script);
        QCOMPARE(tree.read(protonSavedGames + QStringLiteral("/Scripts/Export.lua")),
                 QByteArray("dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\n"));
        const auto installed = tree.snapshot();
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.snapshot(), installed);

        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
        QVERIFY(!tree.exists(protonSavedGames + QStringLiteral("/Scripts")));
    }

    // Wine's DCS with another tool's Export.lua in CRLF: it keeps its lines,
    // gets a backup, and undo restores its bytes.
    void dcsUnderWineKeepsOtherTool()
    {
        Tree tree;
        const QString exportLua = QStringLiteral("home/.wine/drive_c/users/pilot/Saved Games/DCS/Scripts/Export.lua");
        const QByteArray other = "-- other tool\r\ndofile(lfs.writedir()..[[Scripts\\Other.lua]])\r\n";
        tree.write(exportLua, other);
        const auto o = tree.options(Sim::Dcs);
        const auto pristine = tree.snapshot();

        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(exportLua),
                 other + "dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\r\n");
        QCOMPARE(tree.read(exportLua + QStringLiteral(".kestrox-backup")), other);
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
    }

    // DCS and DCS.openbeta count; a dedicated server's folder and copies set aside do not.
    void dcsOnWindowsFindsBothFolders()
    {
        Tree tree;
        const QString savedGames = QStringLiteral("Users/pilot/Saved Games/");
        for (const char *folder : {"DCS", "DCS.openbeta", "DCS.openbeta_server", "DCS.server", "DCS.backup", "DCS_old"})
            QDir().mkpath(tree.path(savedGames + QLatin1String(folder)));
        QCOMPARE(tree.run(tree.options(Sim::Dcs, Platform::Windows)), 0);
        for (const QString &folder : {QStringLiteral("DCS"), QStringLiteral("DCS.openbeta")})
            QCOMPARE(tree.read(savedGames + folder + QStringLiteral("/Scripts/KestroxExport.lua")), script);
        for (const char *folder : {"DCS.openbeta_server", "DCS.server", "DCS.backup", "DCS_old"})
            QVERIFY2(!tree.exists(savedGames + QLatin1String(folder) + QStringLiteral("/Scripts")), folder);
    }

    // Standalone DCS under Linux: non-Steam games in Steam (prefix named by the shortcut's id), Lutris, Bottles.
    void dcsInOtherWinePrefixes_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("non-Steam game in a second library")
            << QStringLiteral("library/steamapps/compatdata/2876543210/pfx/drive_c/users/steamuser/Saved Games/DCS");
        QTest::newRow("lutris") << QStringLiteral("home/Games/dcs-world/drive_c/users/pilot/Saved Games/DCS");
        QTest::newRow("bottles")
            << QStringLiteral("home/.local/share/bottles/bottles/DCS-World/drive_c/users/pilot/Saved Games/DCS");
        QTest::newRow("bottles flatpak")
            << QStringLiteral("home/.var/app/com.usebottles.bottles/data/bottles/bottles/dcs/drive_c/users/pilot/"
                              "Saved Games/DCS.openbeta");
    }
    void dcsInOtherWinePrefixes()
    {
        QFETCH(QString, folder);
        Tree tree;
        steamWithSecondLibrary(tree);
        QDir().mkpath(tree.path(folder));
        QCOMPARE(tree.run(tree.options(Sim::Dcs)), 0);
        QCOMPARE(tree.read(folder + QStringLiteral("/Scripts/KestroxExport.lua")), script);
    }

    // --game-dir takes only a folder DCS writes to, never its program folder; a refusal names the right one.
    void dcsGameDir_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");    // empty: the folder is empty
        QTest::addColumn<QString>("refusal"); // empty: accepted
        const char *installed = "is where DCS World is installed";
        QTest::newRow("program folder") << "Eagle Dynamics/DCS World" << "bin/DCS.exe" << installed;
        QTest::newRow("program folder, multithreaded") << "DCS World OpenBeta" << "bin-mt/DCS.exe" << installed;
        QTest::newRow("Saved Games itself")
            << "home/.wine/drive_c/users/pilot/Saved Games" << "" << "does not look like";
        QTest::newRow("missing") << "nowhere/DCS" << "" << "is not a folder";
        QTest::newRow("has Logs") << "elsewhere/Moved" << "Logs/dcs.log" << "";
        QTest::newRow("has Config") << "elsewhere/Moved" << "Config/options.lua" << "";
        QTest::newRow("named DCS") << "elsewhere/DCS.openbeta" << "" << "";
    }
    void dcsGameDir()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(QString, refusal);
        Tree tree;
        QDir().mkpath(tree.path(wineDcs));
        const bool missing = folder.startsWith(QLatin1String("nowhere"));
        if (!file.isEmpty())
            tree.write(folder + QLatin1Char('/') + file, "x");
        else if (!missing)
            QDir().mkpath(tree.path(folder));
        auto o = tree.options(Sim::Dcs);
        o.gameDir = tree.path(folder);
        const auto pristine = tree.snapshot();
        if (refusal.isEmpty()) {
            QCOMPARE(tree.run(o), 0);
            QCOMPARE(tree.read(folder + QStringLiteral("/Scripts/KestroxExport.lua")), script);
            QVERIFY(!tree.exists(wineDcs + QStringLiteral("/Scripts")));
            return;
        }
        QCOMPARE(tree.run(o), 1);
        QVERIFY2(tree.err.contains(refusal), qPrintable(tree.err));
        QCOMPARE(tree.snapshot(), pristine);
        if (!missing)
            QVERIFY2(tree.err.contains(QStringLiteral("--game-dir ") + tree.path(wineDcs)), qPrintable(tree.err));
    }

    // An edited KestroxExport.lua is kept unless --replace-script, which backs up each edit; a shipped one is
    // replaced, and undo takes out what kestrox put in.
    void dcsScriptInPlace()
    {
        Tree tree;
        const QString target = wineDcs + QStringLiteral("/Scripts/KestroxExport.lua");
        const QString backup = target + QStringLiteral(".kestrox-backup");
        QFile shipped(QFINDTESTDATA("data/KestroxExport-24.06.26.lua")); // as the release before this one shipped it
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QByteArray earlier = shipped.readAll();
        const QByteArray first = QByteArray(earlier).replace("\"127.0.0.1\"", "\"192.168.1.20\"");
        const QByteArray second = "KestroxExportHost = \"192.168.1.21\"\n";
        tree.write(target, first);
        auto o = tree.options(Sim::Dcs);
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(target), first);
        QVERIFY(!tree.exists(backup));
        QVERIFY2(tree.out.contains(tree.path(target)
                                   + QStringLiteral(": kept, it differs from the shipped script; --replace-script "
                                                    "replaces it, keeping a backup")),
                 qPrintable(tree.out));
        // Kept or not, Export.lua loads it.
        QCOMPARE(tree.read(wineDcs + QStringLiteral("/Scripts/Export.lua")),
                 QByteArray("dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\n"));

        o.replaceScript = true;
        const auto kept = tree.snapshot();
        QCOMPARE(tree.run(o, false, true), 0);
        QCOMPARE(tree.snapshot(), kept);
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(target), script);
        QCOMPARE(tree.read(backup), first);

        tree.write(target, second);
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(backup), second);
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.read(target), second);
        QVERIFY(!tree.exists(backup));

        tree.write(target, earlier);
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(target), script);
        QVERIFY(!tree.exists(backup));
        // A backup of a shipped copy, as the earlier release took: undo leaves nothing behind.
        tree.write(backup, earlier);
        QCOMPARE(tree.run(o, true), 0);
        QVERIFY(!tree.exists(wineDcs + QStringLiteral("/Scripts")));
    }

    void il2InSteamLibrary()
    {
        Tree tree;
        steamWithSecondLibrary(tree);
        const QByteArray cfg = "[KEY = graphics]\r\n\tfullscreen = 1\r\n[END]\r\n";
        tree.write(il2Cfg, cfg);
        const auto o = tree.options(Sim::Il2);
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(il2Cfg), cfg + "[KEY = telemetrydevice]\r\n\taddr = \"127.0.0.1\"\r\n\tdecimation = 2\r\n"
                                          "\tenable = true\r\n\tport = 29777\r\n[END]\r\n");
        QCOMPARE(tree.read(il2Cfg + QStringLiteral(".kestrox-backup")), cfg);
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.read(il2Cfg), cfg);
        QVERIFY(!QFile::exists(tree.path(il2Cfg + QStringLiteral(".kestrox-backup"))));
    }

    void il2RefusesForeignTelemetry()
    {
        Tree tree;
        const QByteArray cfg = "[KEY = telemetrydevice]\n\taddr = \"192.168.1.20\"\n\tdecimation = 1\n"
                               "\tenable = true\n\tport = 4321\n[END]\n";
        tree.write(QStringLiteral("IL-2/data/startup.cfg"), cfg);
        auto o = tree.options(Sim::Il2, Platform::Windows);
        o.gameDir = tree.path(QStringLiteral("IL-2"));
        const auto pristine = tree.snapshot();
        QCOMPARE(tree.run(o), 1);
        QVERIFY2(tree.err.contains(QStringLiteral("192.168.1.20")), qPrintable(tree.err));
        QCOMPARE(tree.snapshot(), pristine);
    }

    // IL-2 writes startup.cfg when it exits: while it runs, nothing changes unless forced; a dry run only tells.
    void il2WhileRunning()
    {
        Tree tree;
        steamWithSecondLibrary(tree);
        tree.write(il2Cfg, "[KEY = graphics]\n\tfullscreen = 1\n[END]\n");
        tree.process(4242, "Il-2.exe\n", argv({"C:\\IL-2 Sturmovik Battle of Stalingrad\\bin\\game\\Il-2.exe"}));
        auto o = tree.options(Sim::Il2);
        const auto pristine = tree.snapshot();
        QCOMPARE(tree.run(o), 1);
        QVERIFY2(tree.err.contains(QStringLiteral("IL-2 Sturmovik is running (Il-2.exe, process 4242)")),
                 qPrintable(tree.err));
        QVERIFY2(tree.err.contains(QStringLiteral("--force")), qPrintable(tree.err));
        QCOMPARE(tree.run(o, true), 1);
        QCOMPARE(tree.run(o, false, true), 0);
        QVERIFY2(tree.out.contains(QStringLiteral("IL-2 Sturmovik is running")), qPrintable(tree.out));
        QCOMPARE(tree.snapshot(), pristine);

        o.force = true;
        QCOMPARE(tree.run(o), 0);
        QVERIFY(tree.read(il2Cfg).contains("port = 29777"));
    }

    // The others are edited while they run, with a note saying so.
    void runningSimulatorNoted_data()
    {
        QTest::addColumn<int>("simulator");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("note");
        QTest::newRow("dcs") << int(Sim::Dcs) << wineDcs + QStringLiteral("/Logs/dcs.log") << QByteArray("log")
                             << "DCS.exe" << "Note: DCS World is running (DCS.exe, process 777)";
        // Its 15-character name fits both editions; the command line tells them apart.
        QTest::newRow("msfs 2024")
            << int(Sim::Msfs)
            << QStringLiteral("home/.steam/steam/steamapps/compatdata/2537590/pfx/drive_c/users/steamuser/AppData/"
                              "Roaming/Microsoft Flight Simulator 2024/SimConnect.xml")
            << QByteArray("<SimBase.Document>\n</SimBase.Document>\n") << "FlightSimulator2024.exe"
            << "Note: MSFS is running (FlightSimulator2024.exe, process 777)";
        QTest::newRow("condor 2") << int(Sim::Condor2) << QStringLiteral("home/.wine/drive_c/Condor2/Settings/UDP.ini")
                                  << QByteArray("[Connection]\r\nHost=127.0.0.1\r\n") << "Condor.exe"
                                  << "Note: Condor 2 is running (Condor.exe, process 777)";
    }
    void runningSimulatorNoted()
    {
        QFETCH(int, simulator);
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, executable);
        QFETCH(QString, note);
        Tree tree;
        tree.write(file, bytes);
        tree.process(777, executable.left(15).toUtf8() + '\n', argv({"C:\\Games\\" + executable.toUtf8()}));
        QCOMPARE(tree.run(tree.options(Sim(simulator))), 0);
        QVERIFY2(tree.out.contains(note), qPrintable(tree.out));
    }

    // Wine's processes in /proc: by the kernel's 15-character name or by the command line, after a wine loader or not.
    void runningProcessesInProc_data()
    {
        QTest::addColumn<QByteArray>("comm");
        QTest::addColumn<QByteArray>("cmdline");
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("found");
        QTest::newRow("name cut to 15, no command line")
            << QByteArray("FlightSimulator\n") << QByteArray() << "FlightSimulator2024.exe" << true;
        QTest::newRow("after wine64-preloader")
            << QByteArray("wine64-preloade\n") << argv({"/usr/lib/wine/wine64-preloader", "Z:\\dcs\\bin-mt\\DCS.exe"})
            << "DCS.exe" << true;
        QTest::newRow("other case") << QByteArray("dcs.exe\n") << QByteArray() << "DCS.exe" << true;
        QTest::newRow("named in an argument") << QByteArray("grep\n") << argv({"grep", "DCS.exe"}) << "DCS.exe"
                                              << false;
        QTest::newRow("another program") << QByteArray("FlightGear\n") << argv({"/usr/bin/fgfs"})
                                         << "FlightSimulator.exe" << false;
    }
    void runningProcessesInProc()
    {
        QFETCH(QByteArray, comm);
        QFETCH(QByteArray, cmdline);
        QFETCH(QString, executable);
        QFETCH(bool, found);
        Tree tree;
        tree.process(31337, comm, cmdline);
        // Not a process: /proc/self and friends.
        tree.write(QStringLiteral("proc/self/comm"), comm);
        const QList<RunningProcess> running =
            runningProcesses(tree.path(QStringLiteral("proc")), {QStringLiteral("Other.exe"), executable});
        QCOMPARE(running.size(), found ? 1 : 0);
        if (found) {
            QCOMPARE(running.first().pid, 31337);
            QCOMPARE(running.first().executable, executable);
        }
        QVERIFY(runningProcesses(QString(), {executable}).isEmpty());
    }

    void condorInDefaultWinePrefix()
    {
        Tree tree;
        const QString ini = QStringLiteral("home/.wine/drive_c/Condor2/Settings/UDP.ini");
        const QByteArray before = "[Connection]\r\nHost=192.168.0.3\r\nPort=55000\r\nExtendedData=1\r\n";
        tree.write(ini, before);
        const auto o = tree.options(Sim::Condor2);
        const auto pristine = tree.snapshot();
        QCOMPARE(tree.run(o, false, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(ini),
                 QByteArray("[Connection]\r\nHost=127.0.0.1\r\nPort=55278\r\nSendIntervalMs=16\r\nExtendedData=1\r\n"));
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
    }

    // Both Windows editions of MSFS, and the Proton prefix of MSFS 2024.
    void msfsListeners_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("windows")
            << int(Platform::Windows)
            << QStringList{QStringLiteral("Users/pilot/AppData/Roaming/Microsoft Flight Simulator/SimConnect.xml"),
                           QStringLiteral("Users/pilot/AppData/Local/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/"
                                          "LocalCache/SimConnect.xml")};
        QTest::newRow("proton")
            << int(Platform::Linux)
            << QStringList{QStringLiteral("home/.steam/steam/steamapps/compatdata/2537590/pfx/drive_c/users/steamuser/"
                                          "AppData/Roaming/Microsoft Flight Simulator 2024/SimConnect.xml")};
    }
    void msfsListeners()
    {
        QFETCH(int, platform);
        QFETCH(QStringList, files);
        Tree tree;
        const QByteArray xml = "<?xml version=\"1.0\"?>\r\n<SimBase.Document>\r\n\t<Descr>x</Descr>\r\n</SimBase.Document>\r\n";
        for (const QString &file : files)
            tree.write(file, xml);
        const auto o = tree.options(Sim::Msfs, Platform(platform));
        const auto pristine = tree.snapshot();
        QCOMPARE(tree.run(o), 0);
        // The default port needs no SimConnect.cfg.
        QVERIFY(!tree.exists(QStringLiteral("home/.local/share/kestrox/SimConnect.cfg")));
        for (const QString &file : files) {
            QVERIFY(tree.read(file).contains("\t\t<Port>5111</Port>\r\n"));
            QCOMPARE(tree.read(file + QStringLiteral(".kestrox-backup")), xml);
        }
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
    }

    // --msfs-port moves MSFS's listener and writes a SimConnect.cfg that kestrox-vantrell reads as that port;
    // undo takes both back.
    void msfsPortInSimConnectCfg()
    {
        Tree tree;
        const QString xml = QStringLiteral("home/.steam/steam/steamapps/compatdata/1250410/pfx/drive_c/users/steamuser/"
                                           "AppData/Roaming/Microsoft Flight Simulator/SimConnect.xml");
        tree.write(xml, "<SimBase.Document>\r\n</SimBase.Document>\r\n");
        auto o = tree.options(Sim::Msfs);
        o.msfsPort = 5200;
        const auto pristine = tree.snapshot();

        QCOMPARE(tree.run(o), 0);
        QVERIFY(tree.read(xml).contains("<Port>5200</Port>"));
        const QString cfg = tree.path(QStringLiteral("home/.local/share/kestrox/SimConnect.cfg"));
        const auto endpoint = SimConnectNetworkClient::readConfigFile(cfg);
        QVERIFY(endpoint);
        QCOMPARE(endpoint->toString(), QStringLiteral("127.0.0.1:5200"));
        QVERIFY2(tree.out.contains(QStringLiteral("Restart kestrox-vantrell too")), qPrintable(tree.out));

        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
    }

    // Where the script is looked for: installed, beside the program, the data folders, or only where
    // KESTROX_SIMS_DIR says; never in the source tree it was built from.
    void scriptFolders()
    {
        QCOMPARE(SimulatorSetupEnvironment::scriptFoldersFor(
                     QStringLiteral("/usr/bin"),
                     {QStringLiteral("/home/pilot/.local/share"), QStringLiteral("/usr/share")}, QString()),
                 (QStringList{QStringLiteral("/usr/share/kestrox/sims/dcs"), QStringLiteral("/usr/bin/sims/dcs"),
                              QStringLiteral("/home/pilot/.local/share/kestrox/sims/dcs")}));

        const QByteArray saved = qgetenv("KESTROX_SIMS_DIR");
        qunsetenv("KESTROX_SIMS_DIR");
        const SimulatorSetupEnvironment env = SimulatorSetupEnvironment::system();
        QVERIFY(!env.scriptFolders.contains(QStringLiteral(KESTROX_SOURCE_DIR "/sims/dcs")));
        QVERIFY(env.scriptFolders.contains(QCoreApplication::applicationDirPath() + QStringLiteral("/sims/dcs")));
        QVERIFY(env.dataFolder.endsWith(QLatin1String("/kestrox")));
        QCOMPARE(env.procRoot, QStringLiteral("/proc"));
        qputenv("KESTROX_SIMS_DIR", "/opt/kestrox/sims/");
        QCOMPARE(SimulatorSetupEnvironment::system().scriptFolders, QStringList{QStringLiteral("/opt/kestrox/sims/dcs")});
        if (saved.isNull())
            qunsetenv("KESTROX_SIMS_DIR");
        else
            qputenv("KESTROX_SIMS_DIR", saved);
    }

    void nothingFound_data()
    {
        QTest::addColumn<int>("simulator");
        QTest::addColumn<int>("platform");
        QTest::newRow("dcs linux") << int(Sim::Dcs) << int(Platform::Linux);
        QTest::newRow("dcs windows") << int(Sim::Dcs) << int(Platform::Windows);
        QTest::newRow("il2 windows") << int(Sim::Il2) << int(Platform::Windows);
        QTest::newRow("condor2 linux") << int(Sim::Condor2) << int(Platform::Linux);
        QTest::newRow("msfs linux") << int(Sim::Msfs) << int(Platform::Linux);
    }
    void nothingFound()
    {
        QFETCH(int, simulator);
        QFETCH(int, platform);
        Tree tree;
        steamWithSecondLibrary(tree);
        const auto o = tree.options(Sim(simulator), Platform(platform));
        const auto pristine = tree.snapshot();
        QCOMPARE(tree.run(o), 1);
        QVERIFY2(tree.err.contains(QStringLiteral("no ")), qPrintable(tree.err));
        QCOMPARE(tree.snapshot(), pristine);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorSetup)
#include "tst_simulatorsetup.moc"
