#pragma once

#include "healthcheck.h"
#include "healthenvironment.h"

#include <QList>
#include <QString>
#include <QStringList>

// A Kestrox device as sysfs shows it.
struct UsbKestroxDevice
{
    quint16 productId = 0;
    QString usbName; // the USB device's sysfs name, as "2-1"
    int busNumber = 0;
    int deviceNumber = 0;
    QString interfaceDriver; // bound to interface 0, as "usbhid"; empty: none
    QString hidDriver;       // bound to its HID device, as "hid-generic"; empty: none
    QString hidrawName;      // as "hidraw3"; empty: no node
};

// A command a button runs with more rights: the program and its arguments.
struct PrivilegedCommand
{
    QString program;
    QStringList arguments;
};

namespace DeviceChecks {

// Every Kestrox device under sysRoot/bus/usb/devices, in sysfs order.
QList<UsbKestroxDevice> findDevices(const QString &sysRoot);

// True when the kernel release has hid-universal-pidff for these devices:
// 6.12.24 and later 6.12 releases, and 6.15 on.
bool kernelHasUniversalPidff(const QString &release);

// The rule files under the rule folders that udev reads and that belong to
// Kestrox (named *kestrox*.rules), in folder order; of files of the same
// name, the one udev uses (the first folder's).
QStringList installedRuleFiles(const QStringList &ruleFolders);

// Installs ruleSource as etcRuleFolder/60-kestrox.rules through pkexec,
// never over an existing file, then has udev reload its rules and apply them
// to the USB and hidraw nodes.
PrivilegedCommand deviceRuleInstallCommand(const QString &ruleSource, const QString &etcRuleFolder);
// The same as a line to type, with sudo.
QString deviceRuleInstallShellLine(const QString &ruleSource, const QString &etcRuleFolder);

// device.<name> for each device (the joystick and the rudder always),
// driver.<name> for each force-feedback device found, and udev.rule.
QList<HealthCheck> run(const HealthEnvironment &env);

} // namespace DeviceChecks
