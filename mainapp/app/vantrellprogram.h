#pragma once

#include "commandline.h"
#include "mainbackgroundthread.h"

#include <memory>

class MainWindow;
class RecentLog;
class SingleInstance;

// kestrox-vantrell put together from its options; main() only calls these.
namespace VantrellProgram {

// Sets the names the desktop and --version know the program by.
void setIdentity();

// The commands that end without a window (help, version, a usage error,
// the simulator set-up, a new profile): runs one with a plain application object, which
// needs no display, and returns the exit status.
int runWithoutWindow(const CommandLine &command, int &argc, char *argv[]);

// The recent log, from now until the returned object goes: the kestrox
// categories' infos and warnings also go to $XDG_STATE_HOME/kestrox.
std::unique_ptr<RecentLog> startRecentLog();

// The devices the options ask for (hidapi, or the virtual pair), with the
// device log around them. Null, with the reason, when the log cannot be opened.
std::shared_ptr<HidTransport> createHidTransport(const VantrellOptions &options, QString *error);

// The output worker's options: devices, telemetry endpoints, recording or replay.
MainBackgroundThreadOptions workerOptions(const VantrellOptions &options, std::shared_ptr<HidTransport> hid);

// The instance channel of these options: the real devices' one, or for
// --virtual-devices one of its own, so that both can run side by side.
std::unique_ptr<SingleInstance> createInstance(const VantrellOptions &options);

// Another instance runs: hands this start's request over (show the window,
// with the desktop's activation token; the recording or the replay asked
// for), prints one line saying what happened, and returns the exit status.
int handOver(const SingleInstance &running, const VantrellOptions &options);

// Carries out the requests of later starts in this one.
void serveRequests(SingleInstance &instance, MainWindow &window);

} // namespace VantrellProgram
