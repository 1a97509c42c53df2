#pragma once

#include "commandline.h"
#include "mainbackgroundthread.h"

#include <memory>

// kestrox-vantrell put together from its options; main() only calls these.
namespace VantrellProgram {

// Sets the names the desktop and --version know the program by.
void setIdentity();

// The commands that end without a window (help, version, a usage error,
// the simulator set-up): runs one with a plain application object, which
// needs no display, and returns the exit status.
int runWithoutWindow(const CommandLine &command, int &argc, char *argv[]);

// The devices the options ask for (hidapi, or the virtual pair), with the
// device log around them. Null, with the reason, when the log cannot be opened.
std::shared_ptr<HidTransport> createHidTransport(const VantrellOptions &options, QString *error);

// The output worker's options: devices, telemetry endpoints, recording or replay.
MainBackgroundThreadOptions workerOptions(const VantrellOptions &options, std::shared_ptr<HidTransport> hid);

} // namespace VantrellProgram
