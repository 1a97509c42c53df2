#pragma once

#include "settingsprotocol.h"
#include "setupcommandline.h"

class QTextStream;
class UsbTransport;

// Runs a headless command of the command line on `usb`, which it initialises
// and exits again. Prints what the command yields on `out` and, when it
// fails, one line on `err` saying why. Returns the exit status (HeadlessExit).
//
// - List: "name<TAB>product id in hex<TAB>firmware version" per connected device.
// - ReadEffects: the 384-byte effect record as read, which is a device effect
//   profile the window can load.
// - ReadHardware: the 512-byte hardware record as read, followed by the 64
//   bytes of the device information (firmware version, device type), since
//   the record itself does not say which kind of device it belongs to.
// - ApplyEffects, ApplyHardware: the file's record written with the window's
//   Apply sequence (and its Save sequence with `save`). A hardware file must
//   come from the same kind of device.
// An output file is written whole or not at all, and never replaces a file
// that exists.
int runHeadlessCommand(const SetupCommandLine &command, UsbTransport &usb, QTextStream &out, QTextStream &err,
                       BusyWaitTiming timing = {});

// Size of a hardware settings file: the record, then the device information.
inline constexpr int HardwareFileSize = int(sizeof(HardwareSettingsTypeDef) + sizeof(DeviceInfoTypeDef));
