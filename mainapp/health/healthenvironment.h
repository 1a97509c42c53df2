#pragma once

#include "simulatorsetup.h"

#include <QString>
#include <QStringList>

// Everything the health checks look at, so that tests can point them at a
// testbed or a temporary tree; --doctor and the Health tab use system().
struct HealthEnvironment
{
    QString sysRoot = QStringLiteral("/sys");
    QString devRoot = QStringLiteral("/dev");
    QString procRoot = QStringLiteral("/proc");
    // Where udev reads rules, and the one folder the rule fix writes to.
    QStringList udevRuleFolders;
    QString etcRuleFolder = QStringLiteral("/etc/udev/rules.d");
    // The rule file the fix installs: the installed or the build tree's copy;
    // empty when none was found.
    QString deviceRuleSource;
    QString kernelRelease; // as uname -r prints it
    QString home;
    QString dataFolder;    // $XDG_DATA_HOME/kestrox: profiles, SimConnect.cfg
    QString runtimeFolder; // where the instance lock lives; empty: none
    QString stateFolder;   // $XDG_STATE_HOME/kestrox: the recent log, the last update check
    QString workingFolder; // where a start from a shell keeps its profiles
    qint64 ownPid = 0;     // this process: what it holds is not "another program"
    // The port kestrox-vantrell dials for MSFS; 0: the one in SimConnect.cfg, else 5111.
    quint16 msfsDialledPort = 0;
    // Ask the kernel whether a TCP port listens (MSFS's SimConnect); off in tests.
    bool askKernelForListeners = true;
    // The simulator set-up command's search, read-only here.
    SimulatorSetupEnvironment simulators;

    QString simConnectCfg() const { return dataFolder + QStringLiteral("/SimConnect.cfg"); }

    // The running program's environment.
    static HealthEnvironment system();
    // $XDG_STATE_HOME/kestrox, else ~/.local/state/kestrox.
    static QString defaultStateFolder();
    // The rule file beside the program: installed (../lib/udev/rules.d) or
    // in the build tree (udev/); empty when neither is there.
    static QString findDeviceRuleSource(const QString &programDir);
};
