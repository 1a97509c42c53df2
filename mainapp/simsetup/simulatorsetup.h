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
    QString user;         // $USER, names the Wine prefix's user folder
    // Folders that may hold the installed KestroxExport.lua, searched in order.
    QStringList scriptFolders;

    // The running program's environment.
    static SimulatorSetupEnvironment system();
};

struct SimulatorSetupOptions
{
    enum class Simulator { Dcs, Il2, Condor2, Msfs };
    Simulator simulator = Simulator::Dcs;
    QString gameDir; // overrides the search: DCS's Saved Games folder, the IL-2 or Condor 2 folder, MSFS's folder
    bool undo = false;
    bool dryRun = false;
    quint16 msfsPort = 5111;
    SimulatorSetupEnvironment environment;
};

// Finds the simulator's files and makes (or with undo, takes back) the change.
// Prints what it found and did; returns 0 on success, 1 when it found nothing
// or could not change what it found.
int runSimulatorSetup(const SimulatorSetupOptions &options, QTextStream &out, QTextStream &err);
