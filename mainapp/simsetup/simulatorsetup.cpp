#include "simulatorsetup.h"

#include "runningprocesses.h"
#include "simsetuplogging.h"
#include "simulatoredits.h"
#include "steamlibraries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <functional>

namespace {

const QString scriptName = QStringLiteral("KestroxExport.lua");
const QString backupSuffix = QStringLiteral(".kestrox-backup");

QString join(const QString &folder, const QString &relative)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(folder) + QLatin1Char('/') + relative);
}

// The folders inside a folder, sorted.
QStringList subfolders(const QString &folder)
{
    QStringList result;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        result.append(dir.filePath(name));
    return result;
}

// The folders DCS writes to, for its release and its former open beta; not
// dedicated servers' folders, nor copies set aside.
bool isDcsWriteFolderName(const QString &name)
{
    return name.compare(QLatin1String("DCS"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("DCS.openbeta"), Qt::CaseInsensitive) == 0;
}

QStringList dcsWriteFoldersIn(const QString &savedGames)
{
    QStringList result;
    for (const QString &folder : subfolders(savedGames))
        if (isDcsWriteFolderName(QFileInfo(folder).fileName()))
            result.append(folder);
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
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

struct SimulatorFacts
{
    QString name;
    QStringList executables; // as Wine shows them
    QString whenRunning;     // what its running means for the edit
    QString afterwards;      // what to restart
};

SimulatorFacts factsAbout(SimulatorSetupOptions::Simulator simulator)
{
    switch (simulator) {
    case SimulatorSetupOptions::Simulator::Dcs:
        return {QStringLiteral("DCS World"), {QStringLiteral("DCS.exe")},
                QStringLiteral("it runs Export.lua when a mission starts, so the change counts from the next mission"),
                QStringLiteral("start a new mission in DCS World; it runs Export.lua when a mission starts.")};
    case SimulatorSetupOptions::Simulator::Il2:
        return {QStringLiteral("IL-2 Sturmovik"), {QStringLiteral("Il-2.exe")},
                QStringLiteral("it rewrites startup.cfg when it exits, which would take the change back"),
                QStringLiteral("start IL-2 Sturmovik; it reads startup.cfg when it starts.")};
    case SimulatorSetupOptions::Simulator::Condor2:
        return {QStringLiteral("Condor 2"), {QStringLiteral("Condor.exe")},
                QStringLiteral("it reads UDP.ini when it starts"),
                QStringLiteral("restart Condor 2; it reads UDP.ini when it starts.")};
    case SimulatorSetupOptions::Simulator::Msfs:
        break;
    }
    return {QStringLiteral("MSFS"), {QStringLiteral("FlightSimulator.exe"), QStringLiteral("FlightSimulator2024.exe")},
            QStringLiteral("it reads SimConnect.xml only when it starts"),
            QStringLiteral("restart MSFS; it reads SimConnect.xml only when it starts.")};
}

class SetupRun
{
public:
    SetupRun(const SimulatorSetupOptions &options, QTextStream &out, QTextStream &err)
        : m_options(options), m_env(options.environment), m_facts(factsAbout(options.simulator)), m_out(out),
          m_err(err)
    {}

    int run()
    {
        if (checkRunning()) {
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
            case SimulatorSetupOptions::Simulator::Msfs:
                msfs();
                break;
            }
        }
        if (m_found) {
            QString afterwards = m_facts.afterwards;
            if (m_simConnectCfgChanged)
                afterwards += QStringLiteral(" Restart kestrox-vantrell too if it is running; it reads SimConnect.cfg "
                                             "when it starts.");
            m_out << "Afterwards: " << afterwards << Qt::endl;
        }
        m_out.flush();
        m_err.flush();
        return m_failed ? 1 : 0;
    }

    // The search of run(), with each file read and the change tried on its
    // bytes only.
    SimulatorSetupState query() const
    {
        SimulatorSetupState state;
        state.simulator = m_facts.name;
        state.running = runningProcesses(m_env.procRoot, m_facts.executables);
        const auto tryEach = [&state](const QStringList &files, const Add &add, const QString &help) {
            for (const QString &file : files)
                state.files.append(tryAdd(file, add));
            if (files.isEmpty())
                state.notFound = help;
        };
        switch (m_options.simulator) {
        case SimulatorSetupOptions::Simulator::Dcs:
            queryDcs(state);
            break;
        case SimulatorSetupOptions::Simulator::Il2:
            tryEach(il2Files(), SimulatorEdits::addIl2Telemetry,
                    QStringLiteral("no IL-2 Sturmovik startup.cfg found. %1").arg(il2Help()));
            break;
        case SimulatorSetupOptions::Simulator::Condor2:
            tryEach(condorFiles(), SimulatorEdits::setCondorUdp,
                    QStringLiteral("no Condor 2 UDP.ini found. %1").arg(condorHelp()));
            break;
        case SimulatorSetupOptions::Simulator::Msfs: {
            const quint16 port = m_options.msfsPort;
            const QStringList files = msfsFiles();
            tryEach(files, [port](const QByteArray &bytes) { return SimulatorEdits::addMsfsListener(bytes, port); },
                    QStringLiteral("no MSFS SimConnect.xml found. %1").arg(msfsHelp()));
            for (const QString &file : files) {
                QByteArray bytes;
                if (readFile(file, &bytes))
                    state.msfsListenerPorts.append(SimulatorEdits::msfsListenerPorts(bytes));
            }
            break;
        }
        }
        return state;
    }

private:
    using Add = std::function<EditResult(const QByteArray &)>;
    using Change = std::function<EditResult(const QByteArray &, const QByteArray &)>;

    bool onLinux() const { return m_env.platform == SimulatorSetupEnvironment::Platform::Linux; }
    QString winePrefix() const { return join(m_env.home, QStringLiteral(".wine/drive_c")); }

    // ---- a simulator that is running ----

    // Says so when the simulator runs; false when the edit must wait for it
    // to close (IL-2 writes its startup.cfg over ours when it exits).
    bool checkRunning()
    {
        const QList<RunningProcess> running = runningProcesses(m_env.procRoot, m_facts.executables);
        if (running.isEmpty())
            return true;
        const QString what = QStringLiteral("%1 is running (%2, process %3); %4")
                                 .arg(m_facts.name, running.first().executable)
                                 .arg(running.first().pid)
                                 .arg(m_facts.whenRunning);
        const bool mustWait = m_options.simulator == SimulatorSetupOptions::Simulator::Il2;
        if (mustWait && !m_options.force && !m_options.dryRun) {
            fail(QStringLiteral("%1. Close %2 and run this again, or add --force to edit the file anyway.")
                     .arg(what, m_facts.name));
            return false;
        }
        m_out << "Note: " << what << '.' << Qt::endl;
        if (mustWait && m_options.dryRun)
            m_out << "Note: without --dry-run, nothing is changed until " << m_facts.name
                  << " is closed (or --force is given)." << Qt::endl;
        return true;
    }

    // ---- where the simulators keep their files ----

    // The drive_c folders of the Wine prefixes a Windows game may live in:
    // Proton's, one per Steam game and per non-Steam game added to Steam, in
    // every Steam library; the default Wine prefix; Lutris's and Bottles'
    // default prefix folders (Bottles as a package and as a Flatpak).
    QStringList wineDrives() const
    {
        QStringList drives;
        for (const QString &library : steamLibraries(m_env.home))
            for (const QString &game : subfolders(join(library, QStringLiteral("compatdata"))))
                drives.append(join(game, QStringLiteral("pfx/drive_c")));
        drives.append(winePrefix());
        for (const QString &game : subfolders(join(m_env.home, QStringLiteral("Games"))))
            drives.append(join(game, QStringLiteral("drive_c")));
        for (const QString &bottles : {QStringLiteral(".local/share/bottles/bottles"),
                                       QStringLiteral(".var/app/com.usebottles.bottles/data/bottles/bottles")})
            for (const QString &bottle : subfolders(join(m_env.home, bottles)))
                drives.append(join(bottle, QStringLiteral("drive_c")));
        return drives;
    }

    QStringList searchDcsFolders() const
    {
        QStringList savedGames;
        if (onLinux()) {
            for (const QString &drive : wineDrives())
                for (const QString &user : subfolders(join(drive, QStringLiteral("users"))))
                    savedGames.append(join(user, QStringLiteral("Saved Games")));
        } else {
            savedGames.append(join(m_env.userProfile, QStringLiteral("Saved Games")));
        }
        QStringList folders;
        QStringList seen;
        for (const QString &folder : std::as_const(savedGames)) {
            for (const QString &dcs : dcsWriteFoldersIn(folder)) {
                const QString canonical = QFileInfo(dcs).canonicalFilePath();
                if (seen.contains(canonical))
                    continue;
                seen.append(canonical);
                folders.append(dcs);
            }
        }
        return folders;
    }

    // DCS runs only the Export.lua of its write folder (Saved Games/DCS*);
    // its program folder holds a template that DCS never runs and that its
    // next update puts back.
    bool acceptDcsGameDir(const QString &folder)
    {
        if (!QFileInfo(folder).isDir()) {
            fail(QStringLiteral("%1 is not a folder. %2").arg(folder, dcsHelp()));
            return false;
        }
        const QString give = dcsFolderToGive();
        for (const QString &program : {QStringLiteral("bin/DCS.exe"), QStringLiteral("bin-mt/DCS.exe")}) {
            if (QFileInfo::exists(join(folder, program))) {
                fail(QStringLiteral("%1 is where DCS World is installed; DCS runs only the Export.lua in its "
                                    "Saved Games folder. %2")
                         .arg(folder, give));
                return false;
            }
        }
        if (QFileInfo(folder).fileName().startsWith(QLatin1String("DCS"), Qt::CaseInsensitive)
            || QFileInfo(join(folder, QStringLiteral("Config"))).isDir()
            || QFileInfo(join(folder, QStringLiteral("Logs"))).isDir())
            return true;
        fail(QStringLiteral("%1 does not look like the folder DCS World writes to: it holds no Config or Logs "
                            "folder and its name does not begin with DCS. %2")
                 .arg(folder, give));
        return false;
    }

    QString dcsFolderToGive() const
    {
        const QStringList found = searchDcsFolders();
        if (!found.isEmpty())
            return QStringLiteral("Give --game-dir %1").arg(found.join(QStringLiteral(" or ")));
        return QStringLiteral("Give --game-dir the DCS folder in Saved Games (Saved Games/DCS or "
                              "Saved Games/DCS.openbeta, the one holding Config and Logs).");
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
            for (const QString &package : subfolders(join(m_env.localAppData, QStringLiteral("Packages"))))
                if (QFileInfo(package).fileName().startsWith(QLatin1String("Microsoft.FlightSimulator_")))
                    files.append(join(package, QStringLiteral("LocalCache/SimConnect.xml")));
        }
        return existing(files);
    }

    // ---- changing one file ----

    // Reads the file and its backup, applies the change and writes the
    // result: the original is copied aside once before the first change.
    // Undo that brings a file back to its original drops the now needless
    // backup, and a file that kestrox created goes when nothing is left in
    // it. True when it changed the file (or, dry, would have).
    bool edit(const QString &path, const Change &change)
    {
        QByteArray bytes;
        const bool exists = QFileInfo(path).isFile();
        if (exists && !readFile(path, &bytes)) {
            fail(QStringLiteral("cannot read %1").arg(path));
            return false;
        }
        const QString backup = path + backupSuffix;
        QByteArray original;
        if (QFileInfo(backup).isFile() && !readFile(backup, &original)) {
            fail(QStringLiteral("cannot read %1").arg(backup));
            return false;
        }
        const EditResult result = change(bytes, original);
        if (result.status == EditResult::Refused) {
            fail(QStringLiteral("%1: %2").arg(path, result.message));
            return false;
        }
        if (result.status == EditResult::Unchanged) {
            m_out << "  unchanged: " << result.message << Qt::endl;
            return false;
        }
        const bool removeCreated = m_options.undo && exists && original.isNull() && result.bytes.isEmpty();
        const bool dropBackup = m_options.undo && exists && !original.isNull() && result.bytes == original;
        if (m_options.dryRun) {
            if (removeCreated) {
                m_out << "  would remove " << path << ", which kestrox had created" << Qt::endl;
                m_removed.append(path);
            } else {
                m_out << "  would change " << path << ": " << result.message << Qt::endl;
            }
            if (dropBackup) {
                m_out << "  would remove " << backup << ", the file being back to its original" << Qt::endl;
                m_removed.append(backup);
            }
            return true;
        }
        QString error;
        // Undo takes out only lines kestrox wrote, into a file it has backed up
        // already or created itself.
        if (exists && original.isNull() && !m_options.undo && !writeFile(backup, bytes, &error)) {
            fail(QStringLiteral("cannot back up %1 to %2: %3").arg(path, backup, error));
            return false;
        }
        if (removeCreated) {
            if (!remove(path))
                return false;
            m_out << "  removed " << path << ", which kestrox had created: " << result.message << Qt::endl;
            return true;
        }
        if (!writeFile(path, result.bytes, &error)) {
            fail(QStringLiteral("cannot write %1: %2").arg(path, error));
            return false;
        }
        qCDebug(lcSimSetup) << "changed" << path;
        m_out << "  changed " << path << ": " << result.message << Qt::endl;
        if (dropBackup && remove(backup))
            m_out << "  " << path << " is back to its original; removed " << backup << Qt::endl;
        return true;
    }

    bool remove(const QString &path)
    {
        if (!QFile::remove(path)) {
            fail(QStringLiteral("cannot remove %1").arg(path));
            return false;
        }
        qCDebug(lcSimSetup) << "removed" << path;
        m_removed.append(path);
        return true;
    }

    // True when files were found.
    bool editEach(const QString &what, const QStringList &files, const Add &add, const Change &remove,
                  const QString &help)
    {
        if (files.isEmpty()) {
            fail(QStringLiteral("no %1 found. %2").arg(what, help));
            return false;
        }
        m_found = true;
        for (const QString &file : files) {
            m_out << "Found " << what << ": " << file << Qt::endl;
            if (m_options.undo)
                edit(file, remove);
            else
                edit(file, [&add](const QByteArray &bytes, const QByteArray &) { return add(bytes); });
        }
        if (m_failed)
            m_err << "Manual steps: " << help << Qt::endl;
        return true;
    }

    // ---- MSFS: the listener, and the port kestrox-vantrell dials ----

    void msfs()
    {
        const quint16 port = m_options.msfsPort;
        if (!editEach(QStringLiteral("MSFS SimConnect.xml"), msfsFiles(),
                      [port](const QByteArray &bytes) { return SimulatorEdits::addMsfsListener(bytes, port); },
                      SimulatorEdits::removeMsfsListener, msfsHelp()))
            return;
        if (m_env.dataFolder.isEmpty())
            return;
        const QString cfg = join(m_env.dataFolder, QStringLiteral("SimConnect.cfg"));
        if (m_options.undo && !QFileInfo(cfg).isFile())
            return;
        m_out << "kestrox-vantrell's SimConnect.cfg: " << cfg << Qt::endl;
        if (m_options.undo)
            m_simConnectCfgChanged = edit(cfg, SimulatorEdits::restoreSimConnectPort);
        else
            m_simConnectCfgChanged = edit(cfg, [port](const QByteArray &bytes, const QByteArray &) {
                return SimulatorEdits::setSimConnectPort(bytes, port);
            });
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
        QStringList folders;
        if (!m_options.gameDir.isEmpty()) {
            const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(m_options.gameDir));
            if (!acceptDcsGameDir(folder))
                return;
            folders.append(folder);
        } else {
            folders = searchDcsFolders();
        }
        if (folders.isEmpty()) {
            fail(QStringLiteral("no DCS World Saved Games folder found. %1").arg(dcsHelp()));
            return;
        }
        // Undo needs the installed copy only to recognise the one it put in.
        QByteArray script;
        const QString source = installedScript();
        if ((source.isEmpty() || !readFile(source, &script)) && !m_options.undo) {
            fail(QStringLiteral("%1 is not installed (looked in %2; KESTROX_SIMS_DIR names the folder holding "
                                "dcs/%1)")
                     .arg(scriptName, m_env.scriptFolders.join(QStringLiteral(", "))));
            return;
        }
        m_found = true;
        for (const QString &folder : std::as_const(folders)) {
            m_out << "Found DCS World folder: " << folder << Qt::endl;
            const QString scripts = join(folder, QStringLiteral("Scripts"));
            if (m_options.undo) {
                removeExportLine(join(scripts, QStringLiteral("Export.lua")));
                removeScript(join(scripts, scriptName), script);
                removeEmptiedFolder(scripts);
                continue;
            }
            installScript(join(scripts, scriptName), script);
            edit(join(scripts, QStringLiteral("Export.lua")),
                 [](const QByteArray &bytes, const QByteArray &) { return SimulatorEdits::addDcsExportLine(bytes); });
        }
    }

    bool isOurScript(const QByteArray &bytes, const QByteArray &script) const
    {
        return (!script.isEmpty() && bytes == script) || SimulatorEdits::isShippedDcsScript(bytes);
    }

    // A copy as some release shipped it is replaced; one the user edited is
    // kept unless asked, and then backed up first, each time, so that the
    // backup holds the latest edits. A shipped copy needs no backup, and
    // taking one could overwrite a backup of the user's edits.
    void installScript(const QString &target, const QByteArray &script)
    {
        QByteArray current;
        const bool exists = QFileInfo(target).isFile();
        if (exists && !readFile(target, &current)) {
            fail(QStringLiteral("cannot read %1").arg(target));
            return;
        }
        if (exists && current == script) {
            m_out << "  unchanged: " << scriptName << " is up to date" << Qt::endl;
            return;
        }
        const bool edited = exists && !isOurScript(current, script);
        if (edited && !m_options.replaceScript) {
            m_out << "  " << target
                  << ": kept, it differs from the shipped script; --replace-script replaces it, keeping a backup"
                  << Qt::endl
                  << "  A host or port of your own can go into Export.lua instead, before the line that loads "
                  << scriptName << " (KestroxExportHost = \"192.168.1.20\")." << Qt::endl;
            return;
        }
        const QString backup = target + backupSuffix;
        if (m_options.dryRun) {
            if (!exists)
                m_out << "  would install " << target << Qt::endl;
            else if (edited)
                m_out << "  would replace " << target << ", backing it up to " << backup << Qt::endl;
            else
                m_out << "  would replace " << target << ", an earlier version" << Qt::endl;
            return;
        }
        QString error;
        if (edited && !writeFile(backup, current, &error)) {
            fail(QStringLiteral("cannot back up %1 to %2: %3").arg(target, backup, error));
            return;
        }
        if (!writeFile(target, script, &error)) {
            fail(QStringLiteral("cannot write %1: %2").arg(target, error));
            return;
        }
        qCDebug(lcSimSetup) << "installed" << target;
        if (!exists)
            m_out << "  installed " << target << Qt::endl;
        else if (edited)
            m_out << "  replaced " << target << "; the edited copy is in " << backup << Qt::endl;
        else
            m_out << "  replaced " << target << ", an earlier version" << Qt::endl;
    }

    void removeExportLine(const QString &exportLua)
    {
        if (!QFileInfo(exportLua).isFile()) {
            m_out << "  unchanged: there is no " << exportLua << Qt::endl;
            return;
        }
        edit(exportLua, SimulatorEdits::removeDcsExportLine);
    }

    // Takes out the script kestrox put in. A backup holding the user's edits
    // (set aside by --replace-script) goes back in its place; a backup of a
    // shipped copy goes.
    void removeScript(const QString &target, const QByteArray &script)
    {
        const QString backup = target + backupSuffix;
        QByteArray current;
        QByteArray saved;
        const bool exists = readFile(target, &current);
        const bool hasBackup = readFile(backup, &saved);
        if (exists && !isOurScript(current, script)) {
            m_out << "  kept " << target << ": it differs from the shipped script" << Qt::endl;
        } else if (exists && hasBackup && !isOurScript(saved, script)) {
            if (m_options.dryRun) {
                m_out << "  would put back the edited copy " << backup << " as " << target << Qt::endl;
                m_removed.append(backup);
                return;
            }
            QString error;
            if (!writeFile(target, saved, &error)) {
                fail(QStringLiteral("cannot write %1: %2").arg(target, error));
                return;
            }
            if (remove(backup))
                m_out << "  put back the edited copy " << backup << " as " << target << Qt::endl;
            return;
        } else if (exists) {
            removeOrSay(target);
        }
        if (hasBackup && isOurScript(saved, script))
            removeOrSay(backup);
        else if (hasBackup)
            m_out << "  kept " << backup << ": it holds edits of yours" << Qt::endl;
    }

    void removeOrSay(const QString &path)
    {
        if (m_options.dryRun) {
            m_out << "  would remove " << path << Qt::endl;
            m_removed.append(path);
        } else if (remove(path)) {
            m_out << "  removed " << path << Qt::endl;
        }
    }

    // A folder that undo has emptied goes too (the Scripts folder kestrox
    // made); one that holds anything else stays.
    void removeEmptiedFolder(const QString &folder)
    {
        const QDir dir(folder);
        if (!dir.exists())
            return;
        const QString prefix = folder + QLatin1Char('/');
        bool emptied = false;
        for (const QString &path : std::as_const(m_removed))
            emptied = emptied || path.startsWith(prefix);
        if (!emptied)
            return;
        for (const QString &name :
             dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            if (!m_removed.contains(dir.filePath(name)))
                return;
        if (m_options.dryRun) {
            m_out << "  would remove the empty folder " << folder << Qt::endl;
        } else if (QDir().rmdir(folder)) {
            m_out << "  removed the empty folder " << folder << Qt::endl;
        } else {
            fail(QStringLiteral("cannot remove the empty folder %1").arg(folder));
        }
    }

    // ---- the read-only query ----

    static SimulatorSetupState::File tryAdd(const QString &path, const Add &add)
    {
        SimulatorSetupState::File file;
        file.path = path;
        QByteArray bytes;
        if (!readFile(path, &bytes)) {
            file.refused = true;
            file.message = QStringLiteral("cannot read it");
            return file;
        }
        const EditResult result = add(bytes);
        file.setUp = result.status == EditResult::Unchanged;
        file.refused = result.status == EditResult::Refused;
        file.message = result.status == EditResult::Changed ? QStringLiteral("not set up yet") : result.message;
        return file;
    }

    void queryDcs(SimulatorSetupState &state) const
    {
        const QStringList folders = m_options.gameDir.isEmpty() ? searchDcsFolders() : QStringList{m_options.gameDir};
        if (folders.isEmpty())
            state.notFound = QStringLiteral("no DCS World Saved Games folder found. %1").arg(dcsHelp());
        QByteArray installed;
        const QString source = installedScript();
        if (!source.isEmpty())
            readFile(source, &installed);
        for (const QString &folder : folders) {
            const QString scripts = join(folder, QStringLiteral("Scripts"));
            SimulatorSetupState::File script;
            script.path = join(scripts, scriptName);
            QByteArray bytes;
            if (!readFile(script.path, &bytes)) {
                script.message = QStringLiteral("%1 is not installed").arg(scriptName);
            } else {
                script.setUp = true;
                script.message = isOurScript(bytes, installed)
                                     ? QStringLiteral("%1 is installed").arg(scriptName)
                                     : QStringLiteral("%1 is installed, edited (it differs from the shipped "
                                                      "script)")
                                           .arg(scriptName);
            }
            state.files.append(script);
            const QString exportLua = join(scripts, QStringLiteral("Export.lua"));
            if (QFileInfo(exportLua).isFile()) {
                state.files.append(tryAdd(exportLua, SimulatorEdits::addDcsExportLine));
            } else {
                state.files.append({exportLua, false, false,
                                    QStringLiteral("there is no Export.lua to load %1").arg(scriptName)});
            }
        }
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
    const SimulatorFacts m_facts;
    QTextStream &m_out;
    QTextStream &m_err;
    bool m_failed = false;
    bool m_found = false;
    bool m_simConnectCfgChanged = false;
    // Files this run removed (or, dry, would remove).
    QStringList m_removed;
};

} // namespace

QStringList SimulatorSetupEnvironment::scriptFoldersFor(const QString &programDir, const QStringList &dataFolders,
                                                        const QString &simsDir)
{
    const QString dcs = QStringLiteral("sims/dcs");
    if (!simsDir.isEmpty())
        return {join(simsDir, QStringLiteral("dcs"))};
    QStringList folders;
    if (!programDir.isEmpty()) {
        folders.append(join(programDir, QStringLiteral("../share/kestrox/") + dcs));
        folders.append(join(programDir, dcs));
    }
    for (const QString &data : dataFolders)
        folders.append(join(data, QStringLiteral("kestrox/") + dcs));
    folders.removeDuplicates();
    return folders;
}

SimulatorSetupEnvironment SimulatorSetupEnvironment::system()
{
    SimulatorSetupEnvironment env;
#ifdef Q_OS_WIN
    env.platform = Platform::Windows;
#else
    env.procRoot = QStringLiteral("/proc");
#endif
    env.home = QDir::homePath();
    env.userProfile = qEnvironmentVariable("USERPROFILE");
    env.appData = qEnvironmentVariable("APPDATA");
    env.localAppData = qEnvironmentVariable("LOCALAPPDATA");
    env.scriptFolders = scriptFoldersFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                                      : QString(),
                                         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation),
                                         qEnvironmentVariable("KESTROX_SIMS_DIR"));
    env.dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kestrox");
    return env;
}

int runSimulatorSetup(const SimulatorSetupOptions &options, QTextStream &out, QTextStream &err)
{
    return SetupRun(options, out, err).run();
}

SimulatorSetupState querySimulatorSetup(const SimulatorSetupOptions &options)
{
    QString ignored;
    QTextStream out(&ignored);
    QTextStream err(&ignored);
    return SetupRun(options, out, err).query();
}
