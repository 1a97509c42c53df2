#pragma once

#include "runningprocesses.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// What the set-up command may look at, so that it can run on any folder tree.
struct SimulatorSetupEnvironment
{
    enum class Platform { Linux, Windows };
    Platform platform = Platform::Linux;
    QString home;
    QString userProfile;  // %USERPROFILE%
    QString appData;      // %APPDATA%
    QString localAppData; // %LOCALAPPDATA%
    // Folders that may hold the installed KestroxExport.lua, searched in order.
    QStringList scriptFolders;
    // kestrox-vantrell's data folder ($XDG_DATA_HOME/kestrox), where its
    // SimConnect.cfg lives.
    QString dataFolder;
    // Where running processes are listed (/proc); empty: none are looked for.
    QString procRoot;

    // The running program's environment.
    static SimulatorSetupEnvironment system();
    // Where the installed script is looked for: only in simsDir's dcs folder
    // when simsDir is given (KESTROX_SIMS_DIR); else installed relative to the
    // program (../share/kestrox/sims/dcs), beside it in the build tree
    // (sims/dcs), then in kestrox/sims/dcs of each system data folder.
    static QStringList scriptFoldersFor(const QString &programDir, const QStringList &dataFolders,
                                        const QString &simsDir);
};

struct SimulatorSetupOptions
{
    enum class Simulator { Dcs, Il2, Condor2, Msfs };
    Simulator simulator = Simulator::Dcs;
    QString gameDir; // overrides the search: DCS's Saved Games folder, the IL-2 or Condor 2 folder, MSFS's folder
    bool undo = false;
    bool dryRun = false;
    quint16 msfsPort = 5111;
    // Replace a KestroxExport.lua that differs from every shipped one (it is
    // backed up first); without it such a script is kept.
    bool replaceScript = false;
    // Edit IL-2's startup.cfg even while IL-2 runs.
    bool force = false;
    SimulatorSetupEnvironment environment;
};

// Finds the simulator's files and makes (or with undo, takes back) the change.
// Prints what it found and did and what to restart; returns 0 on success, 1
// when it found nothing, refused, or could not change what it found.
int runSimulatorSetup(const SimulatorSetupOptions &options, QTextStream &out, QTextStream &err);

// What the set-up command finds for a simulator and whether its change is
// in place, found by the same search; nothing is written.
struct SimulatorSetupState
{
    struct File
    {
        QString path;
        bool setUp = false;   // holds what the set-up command adds
        bool refused = false; // the set-up command would refuse to change it
        QString message;      // what the set-up command makes of it
    };
    QString simulator;              // its name, as "DCS World"
    QList<File> files;              // the files looked at; none: the simulator was not found
    QString notFound;               // why nothing was found, with the manual steps
    QList<RunningProcess> running;  // the simulator's processes
    QList<quint16> msfsListenerPorts; // MSFS: the IPv4 listener ports of its SimConnect.xml files
};

// The set-up command's search for options.simulator, read-only: undo,
// dryRun and force do not matter.
SimulatorSetupState querySimulatorSetup(const SimulatorSetupOptions &options);
