#pragma once

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
