#pragma once

#include "devicereports.h"
#include "networkaddress.h"
#include "simulatorsetup.h"
#include "telemetrysourcexplane.h"

#include <QString>
#include <QStringList>

#include <optional>

// --new-profile SOURCE MODULE TEMPLATE: the profile of an aircraft, made
// from a template in the profile folder.
struct NewProfileRequest
{
    int source = 0; // a Telemetry::Source value, never 0
    QString flightModule;
    QString templateKind;
};

// Everything kestrox-vantrell can be told on its command line.
struct VantrellOptions
{
    bool virtualDevices = false;
    PositionInput virtualPosition;
    QString deviceLog; // absolute
    bool userDataFolder = false;
    std::optional<NetworkAddress> msfsAddress;
    NetworkAddress xplaneAddress = TelemetrySourceXPlane::defaultAddress();
    QString recordPath; // absolute
    QString replayPath; // absolute
    double replaySpeed = 1.0;
    bool replayLoop = false;
    // The set-up command: set up a simulator, then exit without a window.
    std::optional<SimulatorSetupOptions> setupSimulator;
    // --forces: "on", "off" or "toggle", for the running instance.
    QString forces;
    std::optional<NewProfileRequest> newProfile;
    // --doctor [--json]: print the health checks.
    bool doctorJson = false;
    // --support-bundle FILE [--include-recording FILE], both absolute.
    QString supportBundlePath;
    QString includeRecording;
};

// What the command line asks for.
struct CommandLine
{
    enum class Action
    {
        Run,            // start the window with `options`
        SetupSimulator, // run the set-up command of `options`
        Forces,         // hand `options.forces` to the running instance
        NewProfile,     // make the profile of `options.newProfile`
        Doctor,         // print the health checks (as JSON with `options.doctorJson`)
        SupportBundle,  // write a support bundle to `options.supportBundlePath`
        ShowHelp,       // print helpText() and exit 0
        ShowVersion,    // print the version and exit 0
        UsageError      // print `error` and exit 2
    };
    Action action = Action::Run;
    VantrellOptions options;
    QString error;
};

// Reads the arguments (the program's name first). Files named by --record
// and --replay are checked here: a recording must not exist yet, a replay
// must begin with a recording's header. Nothing is looked up on the network.
CommandLine parseVantrellCommandLine(const QStringList &arguments);

// The --help text (needs an application object, for the program's name).
QString vantrellHelpText();
