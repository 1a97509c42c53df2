#include "simulatorsetup.h"

#include "simsetuplogging.h"
#include "simulatoredits.h"
#include "steamlibraries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr auto dcsAppId = "223750";
const QString scriptName = QStringLiteral("KestroxExport.lua");
const QString backupSuffix = QStringLiteral(".kestrox-backup");

QString join(const QString &folder, const QString &relative)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(folder) + QLatin1Char('/') + relative);
}

// Entries of a folder whose names start with prefix, sorted.
QStringList foldersStartingWith(const QString &folder, const QString &prefix)
{
    QStringList result;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        result.append(dir.filePath(name));
    return result;
}

bool readFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return true;
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

class SetupRun
{
public:
    SetupRun(const SimulatorSetupOptions &options, QTextStream &out, QTextStream &err)
        : m_options(options), m_env(options.environment), m_out(out), m_err(err)
    {}

    int run()
    {
        switch (m_options.simulator) {
        case SimulatorSetupOptions::Simulator::Dcs:
            dcs();
            break;
        case SimulatorSetupOptions::Simulator::Il2:
            editEach(QStringLiteral("IL-2 Sturmovik startup.cfg"), il2Files(), SimulatorEdits::addIl2Telemetry,
                     SimulatorEdits::removeIl2Telemetry, il2Help());
            break;
        case SimulatorSetupOptions::Simulator::Condor2:
            editEach(QStringLiteral("Condor 2 UDP.ini"), condorFiles(), SimulatorEdits::setCondorUdp,
                     SimulatorEdits::restoreCondorUdp, condorHelp());
            break;
        case SimulatorSetupOptions::Simulator::Msfs: {
            const quint16 port = m_options.msfsPort;
            editEach(QStringLiteral("MSFS SimConnect.xml"), msfsFiles(),
                     [port](const QByteArray &bytes) { return SimulatorEdits::addMsfsListener(bytes, port); },
                     SimulatorEdits::removeMsfsListener, msfsHelp());
            break;
        }
        }
        m_out.flush();
        m_err.flush();
        return m_failed ? 1 : 0;
    }

private:
    using Add = std::function<EditResult(const QByteArray &)>;
    using Remove = std::function<EditResult(const QByteArray &, const QByteArray &)>;

    bool onLinux() const { return m_env.platform == SimulatorSetupEnvironment::Platform::Linux; }
    QString winePrefix() const { return join(m_env.home, QStringLiteral(".wine/drive_c")); }

    // ---- where the simulators keep their files ----

    QStringList dcsFolders() const
    {
        if (!m_options.gameDir.isEmpty())
            return QFileInfo(m_options.gameDir).isDir() ? QStringList{QDir::cleanPath(m_options.gameDir)}
                                                        : QStringList{};
        QStringList folders;
        if (onLinux()) {
            for (const QString &library : steamLibraries(m_env.home))
                folders += foldersStartingWith(
                    join(library, QStringLiteral("compatdata/%1/pfx/drive_c/users/steamuser/Saved Games")
                                      .arg(QLatin1String(dcsAppId))),
                    QStringLiteral("DCS"));
            folders += foldersStartingWith(
                join(winePrefix(), QStringLiteral("users/%1/Saved Games").arg(m_env.user)), QStringLiteral("DCS"));
        } else {
            for (const QString &name : {QStringLiteral("DCS"), QStringLiteral("DCS.openbeta")}) {
                const QString folder = join(m_env.userProfile, QStringLiteral("Saved Games/") + name);
                if (QFileInfo(folder).isDir())
                    folders.append(folder);
            }
        }
        return folders;
    }

    QStringList existing(const QStringList &files) const
    {
        QStringList result;
        for (const QString &file : files)
            if (QFileInfo(file).isFile() && !result.contains(file))
                result.append(file);
        return result;
    }

    QStringList il2Files() const
    {
        if (!m_options.gameDir.isEmpty())
            return existing({join(m_options.gameDir, QStringLiteral("data/startup.cfg"))});
        QStringList files;
        if (onLinux())
            for (const QString &library : steamLibraries(m_env.home))
                files.append(
                    join(library, QStringLiteral("common/IL-2 Sturmovik Battle of Stalingrad/data/startup.cfg")));
        return existing(files);
    }

    QStringList condorFiles() const
    {
        if (!m_options.gameDir.isEmpty())
            return existing({join(m_options.gameDir, QStringLiteral("Settings/UDP.ini"))});
        if (onLinux())
            return existing({join(winePrefix(), QStringLiteral("Condor2/Settings/UDP.ini"))});
        return {};
    }

    QStringList msfsFiles() const
    {
        if (!m_options.gameDir.isEmpty())
            return existing({join(m_options.gameDir, QStringLiteral("SimConnect.xml"))});
        QStringList files;
        if (onLinux()) {
            const QList<QPair<QString, QString>> editions = {
                {QStringLiteral("1250410"), QStringLiteral("Microsoft Flight Simulator")},
                {QStringLiteral("2537590"), QStringLiteral("Microsoft Flight Simulator 2024")}};
            for (const QString &library : steamLibraries(m_env.home))
                for (const auto &edition : editions)
                    files.append(join(library, QStringLiteral("compatdata/%1/pfx/drive_c/users/steamuser/AppData/"
                                                              "Roaming/%2/SimConnect.xml")
                                                   .arg(edition.first, edition.second)));
        } else {
            files.append(join(m_env.appData, QStringLiteral("Microsoft Flight Simulator/SimConnect.xml")));
            files.append(join(m_env.appData, QStringLiteral("Microsoft Flight Simulator 2024/SimConnect.xml")));
            for (const QString &package : foldersStartingWith(join(m_env.localAppData, QStringLiteral("Packages")),
                                                              QStringLiteral("Microsoft.FlightSimulator_")))
                files.append(join(package, QStringLiteral("LocalCache/SimConnect.xml")));
        }
        return existing(files);
    }

    // ---- changing one file ----

    // Reads the file and its backup, applies the edit and writes the result:
    // the original is copied aside once before the first change, and a file
    // that undo has brought back to its original loses the now needless backup.
    void edit(const QString &path, const std::function<EditResult(const QByteArray &, const QByteArray &)> &change)
    {
        QByteArray bytes;
        const bool exists = QFileInfo(path).isFile();
        if (exists && !readFile(path, &bytes)) {
            fail(QStringLiteral("cannot read %1").arg(path));
            return;
        }
        const QString backup = path + backupSuffix;
        QByteArray original;
        if (QFileInfo(backup).isFile() && !readFile(backup, &original)) {
            fail(QStringLiteral("cannot read %1").arg(backup));
            return;
        }
        const EditResult result = change(bytes, original);
        if (result.status == EditResult::Refused) {
            fail(QStringLiteral("%1: %2").arg(path, result.message));
            return;
        }
        if (result.status == EditResult::Unchanged) {
            m_out << "  unchanged: " << result.message << Qt::endl;
            return;
        }
        if (m_options.dryRun) {
            m_out << "  would change " << path << ": " << result.message << Qt::endl;
            return;
        }
        QString error;
        // Undo takes out only lines kestrox wrote, into a file it has backed up
        // already or created itself.
        if (exists && original.isNull() && !m_options.undo && !writeFile(backup, bytes, &error)) {
            fail(QStringLiteral("cannot back up %1 to %2: %3").arg(path, backup, error));
            return;
        }
        if (!writeFile(path, result.bytes, &error)) {
            fail(QStringLiteral("cannot write %1: %2").arg(path, error));
            return;
        }
        qCDebug(lcSimSetup) << "changed" << path;
        m_out << "  changed " << path << ": " << result.message << Qt::endl;
        if (exists && !original.isNull() && result.bytes == original && m_options.undo) {
            QFile::remove(backup);
            m_out << "  " << path << " is back to its original; removed " << backup << Qt::endl;
        }
    }

    void editEach(const QString &what, const QStringList &files, const Add &add, const Remove &remove,
                  const QString &help)
    {
        if (files.isEmpty()) {
            fail(QStringLiteral("no %1 found. %2").arg(what, help));
            return;
        }
        for (const QString &file : files) {
            m_out << "Found " << what << ": " << file << Qt::endl;
            if (m_options.undo)
                edit(file, remove);
            else
                edit(file, [&add](const QByteArray &bytes, const QByteArray &) { return add(bytes); });
        }
        if (m_failed)
            m_err << "Manual steps: " << help << Qt::endl;
    }

    // ---- DCS: the script and the line in Export.lua ----

    QString installedScript() const
    {
        for (const QString &folder : m_env.scriptFolders) {
            const QString path = join(folder, scriptName);
            if (QFileInfo(path).isFile())
                return path;
        }
        return {};
    }

    void dcs()
    {
        const QStringList folders = dcsFolders();
        if (folders.isEmpty()) {
            fail(QStringLiteral("no DCS World Saved Games folder found. %1").arg(dcsHelp()));
            return;
        }
        // Undo needs the installed copy only to recognise the one it put in.
        QByteArray script;
        const QString source = installedScript();
        if ((source.isEmpty() || !readFile(source, &script)) && !m_options.undo) {
            fail(QStringLiteral("%1 is not installed (looked in %2)")
                     .arg(scriptName, m_env.scriptFolders.join(QStringLiteral(", "))));
            return;
        }
        for (const QString &folder : folders) {
            m_out << "Found DCS World folder: " << folder << Qt::endl;
            const QString scripts = join(folder, QStringLiteral("Scripts"));
            if (!m_options.undo && !m_options.dryRun && !QDir().mkpath(scripts)) {
                fail(QStringLiteral("cannot create %1").arg(scripts));
                continue;
            }
            const QString target = join(scripts, scriptName);
            if (m_options.undo) {
                removeExportLine(join(scripts, QStringLiteral("Export.lua")));
                removeScript(target, script);
                continue;
            }
            edit(target, [&script](const QByteArray &bytes, const QByteArray &) {
                if (bytes == script)
                    return EditResult{EditResult::Unchanged, {}, QStringLiteral("KestroxExport.lua is up to date")};
                return EditResult{EditResult::Changed, script, QStringLiteral("installed KestroxExport.lua")};
            });
            edit(join(scripts, QStringLiteral("Export.lua")),
                 [](const QByteArray &bytes, const QByteArray &) { return SimulatorEdits::addDcsExportLine(bytes); });
        }
    }

    void removeExportLine(const QString &exportLua)
    {
        if (!QFileInfo(exportLua).isFile()) {
            m_out << "  unchanged: there is no " << exportLua << Qt::endl;
            return;
        }
        const bool hadBackup = QFileInfo(exportLua + backupSuffix).isFile();
        edit(exportLua, SimulatorEdits::removeDcsExportLine);
        // Export.lua that kestrox created holds nothing else once the line is gone.
        QByteArray bytes;
        if (!m_options.dryRun && !hadBackup && readFile(exportLua, &bytes) && bytes.isEmpty()) {
            QFile::remove(exportLua);
            m_out << "  removed " << exportLua << ", which kestrox had created" << Qt::endl;
        }
    }

    void removeScript(const QString &target, const QByteArray &script)
    {
        QByteArray bytes;
        if (!readFile(target, &bytes))
            return;
        if (bytes != script) {
            m_out << "  kept " << target << ": it is not the installed KestroxExport.lua" << Qt::endl;
            return;
        }
        if (m_options.dryRun) {
            m_out << "  would remove " << target << Qt::endl;
            return;
        }
        QFile::remove(target);
        m_out << "  removed " << target << Qt::endl;
    }

    // ---- manual steps ----

    QString dcsHelp() const
    {
        return QStringLiteral("Copy %1 into Saved Games/DCS/Scripts/ and add the line %2 to Scripts/Export.lua, "
                              "or name the Saved Games folder with --game-dir.")
            .arg(scriptName, QString::fromLatin1(SimulatorEdits::dcsExportLine()));
    }
    QString il2Help() const
    {
        return QStringLiteral("In the game folder's data/startup.cfg, add the block [KEY = telemetrydevice] with "
                              "addr = \"127.0.0.1\", decimation = 2, enable = true, port = 29777, closed by [END]; "
                              "or name the game folder with --game-dir.");
    }
    QString condorHelp() const
    {
        return QStringLiteral("In the Condor 2 folder's Settings/UDP.ini, set Host=127.0.0.1, Port=55278 and "
                              "SendIntervalMs=16; or name the Condor 2 folder with --game-dir.");
    }
    QString msfsHelp() const
    {
        return QStringLiteral("Add a SimConnect.Comm entry with Protocol IPv4, Scope local, Address 127.0.0.1 and "
                              "Port %1 to MSFS's SimConnect.xml, or name the folder holding it with --game-dir.")
            .arg(m_options.msfsPort);
    }

    void fail(const QString &message)
    {
        m_failed = true;
        m_err << "kestrox-vantrell: " << message << Qt::endl;
    }

    const SimulatorSetupOptions &m_options;
    const SimulatorSetupEnvironment &m_env;
    QTextStream &m_out;
    QTextStream &m_err;
    bool m_failed = false;
};

} // namespace

SimulatorSetupEnvironment SimulatorSetupEnvironment::system()
{
    SimulatorSetupEnvironment env;
#ifdef Q_OS_WIN
    env.platform = Platform::Windows;
#endif
    env.home = QDir::homePath();
    env.userProfile = qEnvironmentVariable("USERPROFILE");
    env.appData = qEnvironmentVariable("APPDATA");
    env.localAppData = qEnvironmentVariable("LOCALAPPDATA");
    env.user = qEnvironmentVariable("USER");
    const QString relative = QStringLiteral("kestrox/sims/dcs");
    if (QCoreApplication::instance())
        env.scriptFolders.append(join(QCoreApplication::applicationDirPath(), QStringLiteral("../share/") + relative));
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        env.scriptFolders.append(join(data, relative));
    env.scriptFolders.append(QStringLiteral(KESTROX_SOURCE_SIMS_DIR "/dcs"));
    return env;
}

int runSimulatorSetup(const SimulatorSetupOptions &options, QTextStream &out, QTextStream &err)
{
    return SetupRun(options, out, err).run();
}
