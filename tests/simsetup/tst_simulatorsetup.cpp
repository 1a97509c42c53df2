// The set-up command on temporary folder trees laid out as Steam/Proton, Wine
// and Windows users have them.
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
        o.environment.user = QStringLiteral("pilot");
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

    void dcsOnWindowsFindsBothFolders()
    {
        Tree tree;
        QDir().mkpath(tree.path(QStringLiteral("Users/pilot/Saved Games/DCS")));
        QDir().mkpath(tree.path(QStringLiteral("Users/pilot/Saved Games/DCS.openbeta")));
        QCOMPARE(tree.run(tree.options(Sim::Dcs, Platform::Windows)), 0);
        for (const QString &folder : {QStringLiteral("DCS"), QStringLiteral("DCS.openbeta")})
            QCOMPARE(tree.read(QStringLiteral("Users/pilot/Saved Games/") + folder + QStringLiteral("/Scripts/KestroxExport.lua")),
                     script);
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
