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

// The script as the release before this one shipped it.
QByteArray earlierScript()
{
    QFile file(QFINDTESTDATA("data/KestroxExport-24.06.26.lua"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString wineDcs = QStringLiteral("home/.wine/drive_c/users/pilot/Saved Games/DCS");
const QString keptMessage = QStringLiteral(
    ": kept, it differs from the shipped script; --replace-script replaces it, keeping a backup");

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
        QVERIFY(tree.exists(protonSavedGames));
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

    // DCS and DCS.openbeta count, on Windows as under Wine; a dedicated
    // server's folder and copies set aside do not.
    void dcsWriteFolders_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QString>("savedGames");
        QTest::newRow("windows") << int(Platform::Windows) << QStringLiteral("Users/pilot/Saved Games");
        QTest::newRow("wine") << int(Platform::Linux) << QStringLiteral("home/.wine/drive_c/users/pilot/Saved Games");
    }
    void dcsWriteFolders()
    {
        QFETCH(int, platform);
        QFETCH(QString, savedGames);
        Tree tree;
        for (const char *folder : {"DCS", "DCS.openbeta", "DCS.openbeta_server", "DCS.server", "DCS.backup", "DCS_old"})
            QDir().mkpath(tree.path(savedGames + QLatin1Char('/') + QLatin1String(folder)));
        QCOMPARE(tree.run(tree.options(Sim::Dcs, Platform(platform))), 0);
        for (const QString &folder : {QStringLiteral("DCS"), QStringLiteral("DCS.openbeta")})
            QCOMPARE(tree.read(savedGames + QLatin1Char('/') + folder + QStringLiteral("/Scripts/KestroxExport.lua")),
                     script);
        for (const char *folder : {"DCS.openbeta_server", "DCS.server", "DCS.backup", "DCS_old"})
            QVERIFY2(!tree.exists(savedGames + QLatin1Char('/') + QLatin1String(folder) + QStringLiteral("/Scripts")),
                     folder);
    }

    // Standalone DCS under Linux: a non-Steam game in Steam (its prefix is
    // named by the shortcut's id), Lutris's default prefix, Bottles' (as a
    // package and as a Flatpak).
    void dcsInOtherWinePrefixes_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("non-Steam game in a second library")
            << QStringLiteral("library/steamapps/compatdata/2876543210/pfx/drive_c/users/steamuser/Saved Games/DCS");
        QTest::newRow("non-Steam game in the default library")
            << QStringLiteral("home/.local/share/Steam/steamapps/compatdata/3141592653/pfx/drive_c/users/steamuser/"
                              "Saved Games/DCS.openbeta");
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
        const QString server = folder.left(folder.lastIndexOf(QLatin1Char('/'))) + QStringLiteral("/DCS.openbeta_server");
        QDir().mkpath(tree.path(server));
        QCOMPARE(tree.run(tree.options(Sim::Dcs)), 0);
        QVERIFY2(tree.out.contains(QStringLiteral("Found DCS World folder: ") + tree.path(folder)), qPrintable(tree.out));
        QCOMPARE(tree.read(folder + QStringLiteral("/Scripts/KestroxExport.lua")), script);
        QCOMPARE(tree.read(folder + QStringLiteral("/Scripts/Export.lua")),
                 QByteArray("dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\n"));
        QVERIFY(!tree.exists(server + QStringLiteral("/Scripts")));
    }

    // --game-dir takes only a folder DCS writes to; its program folder holds
    // an Export.lua that DCS never runs, and the answer names the right one.
    void dcsGameDir_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");
        const QStringList install = {QStringLiteral("bin/DCS.exe"), QStringLiteral("Config/World/World.lua"),
                                     QStringLiteral("Scripts/Export.lua")};
        QTest::newRow("program folder") << QStringLiteral("Eagle Dynamics/DCS World") << install << false
                                        << QStringLiteral("is where DCS World is installed");
        QTest::newRow("program folder, multithreaded")
            << QStringLiteral("DCS World OpenBeta") << QStringList{QStringLiteral("bin-mt/DCS.exe")} << false
            << QStringLiteral("is where DCS World is installed");
        QTest::newRow("Saved Games itself") << QStringLiteral("home/.wine/drive_c/users/pilot/Saved Games")
                                            << QStringList{} << false << QStringLiteral("does not look like");
        QTest::newRow("missing") << QStringLiteral("nowhere/DCS") << QStringList{} << false
                                 << QStringLiteral("is not a folder");
        QTest::newRow("has Logs") << QStringLiteral("elsewhere/Moved") << QStringList{QStringLiteral("Logs/dcs.log")}
                                  << true << QString();
        QTest::newRow("has Config") << QStringLiteral("elsewhere/Moved")
                                    << QStringList{QStringLiteral("Config/options.lua")} << true << QString();
        QTest::newRow("named DCS") << QStringLiteral("elsewhere/DCS.openbeta") << QStringList{} << true << QString();
    }
    void dcsGameDir()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, files);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        Tree tree;
        QDir().mkpath(tree.path(wineDcs));
        for (const QString &file : files)
            tree.write(folder + QLatin1Char('/') + file, "x");
        if (files.isEmpty() && !folder.startsWith(QLatin1String("nowhere")))
            QDir().mkpath(tree.path(folder));
        auto o = tree.options(Sim::Dcs);
        o.gameDir = tree.path(folder);
        const auto pristine = tree.snapshot();
        if (accepted) {
            QCOMPARE(tree.run(o), 0);
            QCOMPARE(tree.read(folder + QStringLiteral("/Scripts/KestroxExport.lua")), script);
            QVERIFY(!tree.exists(wineDcs + QStringLiteral("/Scripts")));
            return;
        }
        QCOMPARE(tree.run(o), 1);
        QVERIFY2(tree.err.contains(message), qPrintable(tree.err));
        QCOMPARE(tree.snapshot(), pristine);
        QVERIFY(!tree.exists(folder + QStringLiteral("/Scripts/KestroxExport.lua")));
        if (!folder.startsWith(QLatin1String("nowhere")))
            QVERIFY2(tree.err.contains(QStringLiteral("--game-dir ") + tree.path(wineDcs)), qPrintable(tree.err));
    }

    // What sits in Scripts/KestroxExport.lua decides: a copy some release
    // shipped is replaced; one the user edited is kept unless
    // --replace-script, which backs it up first.
    void dcsScriptInPlace_data()
    {
        QTest::addColumn<QByteArray>("present");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("backup");
        const QByteArray earlier = earlierScript();
        const QByteArray edited = QByteArray(earlier).replace("\"127.0.0.1\"", "\"192.168.1.20\"");
        QTest::newRow("earlier release") << earlier << false << script << QByteArray();
        QTest::newRow("earlier release, CRLF") << QByteArray(earlier).replace("\n", "\r\n") << false << script
                                               << QByteArray();
        QTest::newRow("up to date") << script << false << script << QByteArray();
        QTest::newRow("edited") << edited << false << edited << QByteArray();
        QTest::newRow("edited, --replace-script") << edited << true << script << edited;
    }
    void dcsScriptInPlace()
    {
        QFETCH(QByteArray, present);
        QFETCH(bool, replace);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, backup);
        QVERIFY(!present.isEmpty());
        Tree tree;
        const QString target = wineDcs + QStringLiteral("/Scripts/KestroxExport.lua");
        tree.write(target, present);
        auto o = tree.options(Sim::Dcs);
        o.replaceScript = replace;
        const auto before = tree.snapshot();
        QCOMPARE(tree.run(o, false, true), 0);
        QCOMPARE(tree.snapshot(), before);

        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(target), after);
        QCOMPARE(tree.exists(target + QStringLiteral(".kestrox-backup")), !backup.isNull());
        QCOMPARE(tree.read(target + QStringLiteral(".kestrox-backup")), backup);
        QCOMPARE(tree.out.contains(tree.path(target) + keptMessage), after == present && present != script);
        // Kept or not, Export.lua loads it.
        QCOMPARE(tree.read(wineDcs + QStringLiteral("/Scripts/Export.lua")),
                 QByteArray("dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\n"));
    }

    // The user edits the script, has it replaced, edits it again: the second
    // edit is kept, then backed up in place of the first; undo puts it back.
    void dcsEachEditBackedUp()
    {
        Tree tree;
        const QString target = wineDcs + QStringLiteral("/Scripts/KestroxExport.lua");
        const QString backup = target + QStringLiteral(".kestrox-backup");
        const QByteArray first = "KestroxExportHost = \"192.168.1.20\"\n";
        const QByteArray second = "KestroxExportHost = \"192.168.1.21\"\n";
        tree.write(target, first);
        auto o = tree.options(Sim::Dcs);
        o.replaceScript = true;
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(backup), first);

        tree.write(target, second);
        o.replaceScript = false;
        QCOMPARE(tree.run(o), 0);
        QVERIFY2(tree.out.contains(tree.path(target) + keptMessage), qPrintable(tree.out));
        QCOMPARE(tree.read(target), second);
        QCOMPARE(tree.read(backup), first);

        o.replaceScript = true;
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(target), script);
        QCOMPARE(tree.read(backup), second);

        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.read(target), second);
        QVERIFY(!tree.exists(backup));
        QVERIFY(!tree.exists(wineDcs + QStringLiteral("/Scripts/Export.lua")));
    }

    // A folder set up by the earlier release, whose backup holds that
    // release's script: an update replaces it, and undo leaves nothing behind.
    void dcsUndoAfterUpdate()
    {
        Tree tree;
        QDir().mkpath(tree.path(wineDcs + QStringLiteral("/Logs")));
        const auto o = tree.options(Sim::Dcs);
        const auto pristine = tree.snapshot();
        const QString scripts = wineDcs + QStringLiteral("/Scripts");
        tree.write(scripts + QStringLiteral("/KestroxExport.lua"), earlierScript());
        tree.write(scripts + QStringLiteral("/KestroxExport.lua.kestrox-backup"), earlierScript());
        tree.write(scripts + QStringLiteral("/Export.lua"),
                   "dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox\n");
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.read(scripts + QStringLiteral("/KestroxExport.lua")), script);

        QCOMPARE(tree.run(o, true, true), 0);
        QVERIFY2(tree.out.contains(QStringLiteral("would remove the empty folder ") + tree.path(scripts)),
                 qPrintable(tree.out));
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
        QVERIFY(!tree.exists(scripts));
        QVERIFY(tree.exists(wineDcs + QStringLiteral("/Logs")));
    }

    // Undo keeps a Scripts folder that holds files of others.
    void dcsUndoKeepsScriptsOfOthers()
    {
        Tree tree;
        const QString scripts = wineDcs + QStringLiteral("/Scripts");
        tree.write(scripts + QStringLiteral("/Other.lua"), "-- other tool\n");
        const auto o = tree.options(Sim::Dcs);
        const auto pristine = tree.snapshot();
        QCOMPARE(tree.run(o), 0);
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
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
        QVERIFY2(tree.out.contains(QStringLiteral("Afterwards: start IL-2 Sturmovik; it reads startup.cfg when it starts.")),
                 qPrintable(tree.out));
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

    // IL-2 writes startup.cfg when it exits: while it runs, nothing is
    // changed unless forced; a dry run only tells.
    void il2WhileRunning()
    {
        Tree tree;
        steamWithSecondLibrary(tree);
        const QByteArray cfg = "[KEY = graphics]\n\tfullscreen = 1\n[END]\n";
        tree.write(il2Cfg, cfg);
        tree.process(4242, "Il-2.exe\n",
                     argv({"C:\\Program Files\\IL-2 Sturmovik Battle of Stalingrad\\bin\\game\\Il-2.exe"}));
        auto o = tree.options(Sim::Il2);
        const auto pristine = tree.snapshot();

        QCOMPARE(tree.run(o), 1);
        QVERIFY2(tree.err.contains(QStringLiteral("IL-2 Sturmovik is running (Il-2.exe, process 4242)")),
                 qPrintable(tree.err));
        QVERIFY2(tree.err.contains(QStringLiteral("--force")), qPrintable(tree.err));
        QCOMPARE(tree.snapshot(), pristine);
        QCOMPARE(tree.run(o, true), 1);
        QCOMPARE(tree.snapshot(), pristine);

        QCOMPARE(tree.run(o, false, true), 0);
        QVERIFY2(tree.out.contains(QStringLiteral("IL-2 Sturmovik is running")), qPrintable(tree.out));
        QCOMPARE(tree.snapshot(), pristine);

        o.force = true;
        QCOMPARE(tree.run(o), 0);
        QVERIFY2(tree.out.contains(QStringLiteral("IL-2 Sturmovik is running")), qPrintable(tree.out));
        QVERIFY(tree.read(il2Cfg).contains("port = 29777"));
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.read(il2Cfg), cfg);
    }

    // The others are edited while they run, with a word on what that means
    // and on what to restart.
    void runningSimulatorNoted_data()
    {
        QTest::addColumn<int>("simulator");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("comm");
        QTest::addColumn<QByteArray>("cmdline");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("afterwards");
        QTest::newRow("dcs") << int(Sim::Dcs) << wineDcs + QStringLiteral("/Logs/dcs.log") << QByteArray("log")
                             << QByteArray("DCS.exe\n")
                             << argv({"Z:\\games\\DCS World\\bin\\DCS.exe", "--force_enable_VR"})
                             << QStringLiteral("Note: DCS World is running (DCS.exe, process 777)")
                             << QStringLiteral("Afterwards: start a new mission in DCS World; it runs Export.lua when "
                                               "a mission starts.");
        QTest::newRow("msfs 2024 after a wine loader")
            << int(Sim::Msfs)
            << QStringLiteral("home/.steam/steam/steamapps/compatdata/2537590/pfx/drive_c/users/steamuser/AppData/"
                              "Roaming/Microsoft Flight Simulator 2024/SimConnect.xml")
            << QByteArray("<SimBase.Document>\n</SimBase.Document>\n") << QByteArray("FlightSimulator\n")
            << argv({"/home/pilot/.steam/steam/steamapps/common/Proton 9.0/files/bin/wine64-preloader",
                     "C:\\XboxGames\\FlightSimulator2024.exe"})
            << QStringLiteral("Note: MSFS is running (FlightSimulator2024.exe, process 777)")
            << QStringLiteral("Afterwards: restart MSFS; it reads SimConnect.xml only when it starts.");
        QTest::newRow("condor 2") << int(Sim::Condor2) << QStringLiteral("home/.wine/drive_c/Condor2/Settings/UDP.ini")
                                  << QByteArray("[Connection]\r\nHost=127.0.0.1\r\n") << QByteArray("Condor.exe\n")
                                  << argv({"C:\\Condor2\\Condor.exe"})
                                  << QStringLiteral("Note: Condor 2 is running (Condor.exe, process 777)")
                                  << QStringLiteral("Afterwards: restart Condor 2; it reads UDP.ini when it starts.");
    }
    void runningSimulatorNoted()
    {
        QFETCH(int, simulator);
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, comm);
        QFETCH(QByteArray, cmdline);
        QFETCH(QString, note);
        QFETCH(QString, afterwards);
        Tree tree;
        tree.write(file, bytes);
        tree.process(777, comm, cmdline);
        tree.process(778, "bash\n", argv({"bash"}));
        QCOMPARE(tree.run(tree.options(Sim(simulator))), 0);
        QVERIFY2(tree.out.contains(note), qPrintable(tree.out));
        QVERIFY2(tree.out.contains(afterwards), qPrintable(tree.out));
        QVERIFY2(!tree.out.contains(QStringLiteral("process 778")), qPrintable(tree.out));
    }

    // Wine's processes in a /proc tree: by the kernel's 15-character name or
    // by the command line, with or without a wine loader before it.
    void runningProcessesInProc_data()
    {
        QTest::addColumn<QByteArray>("comm");
        QTest::addColumn<QByteArray>("cmdline");
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("found");
        QTest::newRow("windows path") << QByteArray("Il-2.exe\n")
                                      << argv({"C:\\Games\\IL-2\\bin\\game\\Il-2.exe"})
                                      << QStringLiteral("Il-2.exe") << true;
        QTest::newRow("name cut to 15, no command line")
            << QByteArray("FlightSimulator\n") << QByteArray() << QStringLiteral("FlightSimulator2024.exe") << true;
        QTest::newRow("after wine64-preloader")
            << QByteArray("wine64-preloade\n")
            << argv({"/usr/lib/wine/wine64-preloader", "Z:\\dcs\\bin-mt\\DCS.exe"})
            << QStringLiteral("DCS.exe") << true;
        QTest::newRow("other case") << QByteArray("dcs.exe\n") << QByteArray() << QStringLiteral("DCS.exe") << true;
        QTest::newRow("named in an argument") << QByteArray("grep\n") << argv({"grep", "DCS.exe"})
                                              << QStringLiteral("DCS.exe") << false;
        QTest::newRow("another program") << QByteArray("FlightGear\n") << argv({"/usr/bin/fgfs"})
                                         << QStringLiteral("FlightSimulator.exe") << false;
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
        for (const QString &file : files) {
            QVERIFY(tree.read(file).contains("\t\t<Port>5111</Port>\r\n"));
            QCOMPARE(tree.read(file + QStringLiteral(".kestrox-backup")), xml);
        }
        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
    }

    // --msfs-port moves MSFS's listener; kestrox-vantrell's SimConnect.cfg
    // follows where it names this computer, as kestrox-vantrell reads it, and
    // undo gives back what was there.
    void msfsPortInSimConnectCfg_data()
    {
        QTest::addColumn<QByteArray>("cfg");
        QTest::addColumn<QString>("dialled");
        QTest::newRow("no file") << QByteArray() << QStringLiteral("127.0.0.1:5200");
        QTest::newRow("the user's file")
            << QByteArray("[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=5111\r\n")
            << QStringLiteral("127.0.0.1:5200");
        QTest::newRow("another computer")
            << QByteArray("[SimConnect]\nProtocol=IPv4\nAddress=192.168.1.30\nPort=5111\n")
            << QStringLiteral("192.168.1.30:5111");
    }
    void msfsPortInSimConnectCfg()
    {
        QFETCH(QByteArray, cfg);
        QFETCH(QString, dialled);
        Tree tree;
        const QString xml = QStringLiteral("home/.steam/steam/steamapps/compatdata/1250410/pfx/drive_c/users/steamuser/"
                                           "AppData/Roaming/Microsoft Flight Simulator/SimConnect.xml");
        tree.write(xml, "<SimBase.Document>\r\n</SimBase.Document>\r\n");
        const QString cfgFile = QStringLiteral("home/.local/share/kestrox/SimConnect.cfg");
        if (!cfg.isNull())
            tree.write(cfgFile, cfg);
        auto o = tree.options(Sim::Msfs);
        o.msfsPort = 5200;
        const auto pristine = tree.snapshot();

        QCOMPARE(tree.run(o), 0);
        QVERIFY(tree.read(xml).contains("<Port>5200</Port>"));
        const auto endpoint = SimConnectNetworkClient::readConfigFile(tree.path(cfgFile));
        QVERIFY(endpoint);
        QCOMPARE(endpoint->toString(), dialled);
        const bool changed = dialled.endsWith(QLatin1String(":5200"));
        QCOMPARE(tree.out.contains(QStringLiteral("Restart kestrox-vantrell too")), changed);
        if (!changed) {
            QCOMPARE(tree.read(cfgFile), cfg);
            QVERIFY2(tree.out.contains(QStringLiteral("192.168.1.30, Port=5111, which kestrox-vantrell dials instead of this listener; kept as it is")), qPrintable(tree.out));
        }
        if (!cfg.isNull() && changed)
            QCOMPARE(tree.read(cfgFile + QStringLiteral(".kestrox-backup")), cfg);

        QCOMPARE(tree.run(o, true), 0);
        QCOMPARE(tree.snapshot(), pristine);
    }

    // The default port needs no SimConnect.cfg, and a run without one
    // writes none.
    void msfsDefaultPortWritesNoCfg()
    {
        Tree tree;
        tree.write(QStringLiteral("msfs/SimConnect.xml"), "<SimBase.Document>\n</SimBase.Document>\n");
        auto o = tree.options(Sim::Msfs);
        o.gameDir = tree.path(QStringLiteral("msfs"));
        QCOMPARE(tree.run(o), 0);
        QVERIFY(!tree.exists(QStringLiteral("home/.local/share/kestrox/SimConnect.cfg")));
    }

    // The script is looked for where the program is installed, beside it in
    // the build tree, in the data folders, or only where KESTROX_SIMS_DIR
    // says; never in the source tree it was built from.
    void scriptFolders_data()
    {
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<QStringList>("dataFolders");
        QTest::addColumn<QString>("simsDir");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("installed")
            << QStringLiteral("/usr/bin")
            << QStringList{QStringLiteral("/home/pilot/.local/share"), QStringLiteral("/usr/share")} << QString()
            << QStringList{QStringLiteral("/usr/share/kestrox/sims/dcs"), QStringLiteral("/usr/bin/sims/dcs"),
                           QStringLiteral("/home/pilot/.local/share/kestrox/sims/dcs")};
        QTest::newRow("build tree")
            << QStringLiteral("/src/build/mainapp") << QStringList{QStringLiteral("/usr/share")} << QString()
            << QStringList{QStringLiteral("/src/build/share/kestrox/sims/dcs"),
                           QStringLiteral("/src/build/mainapp/sims/dcs"), QStringLiteral("/usr/share/kestrox/sims/dcs")};
        QTest::newRow("variable") << QStringLiteral("/usr/bin") << QStringList{QStringLiteral("/usr/share")}
                                  << QStringLiteral("/opt/kestrox/sims/")
                                  << QStringList{QStringLiteral("/opt/kestrox/sims/dcs")};
    }
    void scriptFolders()
    {
        QFETCH(QString, programDir);
        QFETCH(QStringList, dataFolders);
        QFETCH(QString, simsDir);
        QFETCH(QStringList, folders);
        QCOMPARE(SimulatorSetupEnvironment::scriptFoldersFor(programDir, dataFolders, simsDir), folders);
    }

    void systemEnvironment()
    {
        const QByteArray saved = qgetenv("KESTROX_SIMS_DIR");
        qunsetenv("KESTROX_SIMS_DIR");
        const SimulatorSetupEnvironment env = SimulatorSetupEnvironment::system();
        QVERIFY(!env.scriptFolders.contains(QStringLiteral(KESTROX_SOURCE_DIR "/sims/dcs")));
        QVERIFY(env.scriptFolders.contains(QCoreApplication::applicationDirPath() + QStringLiteral("/sims/dcs")));
        QVERIFY(env.dataFolder.endsWith(QLatin1String("/kestrox")));
        QCOMPARE(env.procRoot, QStringLiteral("/proc"));
        qputenv("KESTROX_SIMS_DIR", "/opt/kestrox/sims");
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
