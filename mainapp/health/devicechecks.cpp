#include "devicechecks.h"

#include "processholders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint16 VendorId = 0x045B;
const QString RuleFileName = QStringLiteral("60-kestrox.rules");

struct Product
{
    quint16 id;
    const char *key;  // in the check's id
    const char *name; // for the pilot
    bool drivesForces;
};

constexpr Product Products[] = {
    {0x58F9, "joystick", "Joystick", true},
    {0x5968, "rudder", "Rudder", true},
    {0x55F0, "generic", "Generic controller", false},
    {0x59D7, "wheel", "Wheel PRO", false},
};

QString readAttribute(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : QString();
}

// The name of the driver a sysfs device is bound to.
QString driverOf(const QString &deviceFolder)
{
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(deviceFolder + QStringLiteral("/driver")).constData(),
                                      buffer, sizeof buffer);
    if (length <= 0 || length == ssize_t(sizeof buffer))
        return {};
    const QString target = QFile::decodeName(QByteArray(buffer, length));
    return target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
}

QString hex(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

struct OpenResult
{
    bool opened = false;
    int error = 0;
};

// Opens and closes at once: no read, no write, no ioctl.
OpenResult tryOpenReadWrite(const QString &node)
{
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {false, errno};
    ::close(fd);
    return {true, 0};
}

QString modeOf(const QString &node)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(node).constData(), &info) != 0)
        return {};
    return QStringLiteral("mode %1, owner uid %2, group gid %3")
        .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'))
        .arg(info.st_uid)
        .arg(info.st_gid);
}

// A rule file that udev cannot use: masked by a link to /dev/null, or empty.
bool isMasked(const QString &ruleFile)
{
    const QFileInfo info(ruleFile);
    return info.symLinkTarget() == QLatin1String("/dev/null") || info.size() == 0;
}

const Product *productOf(quint16 id)
{
    for (const Product &product : Products)
        if (product.id == id)
            return &product;
    return nullptr;
}

QString protonVariable(const QList<quint16> &productIds)
{
    QStringList pairs;
    for (quint16 id : productIds)
        pairs.append(QStringLiteral("0x%1/0x%2").arg(hex(VendorId), hex(id)));
    return QStringLiteral("PROTON_ENABLE_HIDRAW=") + pairs.join(QLatin1Char(','));
}

class DeviceRun
{
public:
    explicit DeviceRun(const HealthEnvironment &env) : m_env(env)
    {
        m_devices = DeviceChecks::findDevices(env.sysRoot);
        m_rules = DeviceChecks::installedRuleFiles(env.udevRuleFolders);
        for (const QString &rule : std::as_const(m_rules))
            if (!isMasked(rule))
                m_usableRules.append(rule);
        QStringList targets;
        for (const UsbKestroxDevice &device : std::as_const(m_devices)) {
            targets.append(hidrawNode(device));
            targets.append(usbNode(device));
        }
        m_holders = ProcessHolders::holding(env.procRoot, targets, env.ownPid);
    }

    QList<HealthCheck> run()
    {
        QList<HealthCheck> checks;
        for (const Product &product : Products) {
            int seen = 0;
            for (const UsbKestroxDevice &device : std::as_const(m_devices)) {
                if (device.productId != product.id)
                    continue;
                ++seen;
                const QString suffix = seen > 1 ? QStringLiteral(".%1").arg(seen) : QString();
                checks.append(deviceCheck(product, device, suffix));
                if (product.drivesForces)
                    checks.append(driverCheck(product, device, suffix));
            }
            if (seen == 0 && product.drivesForces) {
                HealthCheck absent;
                absent.id = QStringLiteral("device.") + QLatin1String(product.key);
                absent.status = HealthCheck::Status::Warning;
                absent.summary = QStringLiteral("%1 not connected: no USB device %2:%3")
                                     .arg(QLatin1String(product.name), hex(VendorId), hex(product.id));
                absent.details = QStringLiteral("looked in %1/bus/usb/devices").arg(m_env.sysRoot);
                absent.fix = QStringLiteral("plug it in; it is found within a second");
                checks.append(absent);
            }
        }
        checks.append(ruleCheck());
        return checks;
    }

private:
    QString hidrawNode(const UsbKestroxDevice &device) const
    {
        return device.hidrawName.isEmpty() ? QString() : m_env.devRoot + QLatin1Char('/') + device.hidrawName;
    }
    QString usbNode(const UsbKestroxDevice &device) const
    {
        return m_env.devRoot + QStringLiteral("/bus/usb/%1/%2")
                                   .arg(device.busNumber, 3, 10, QLatin1Char('0'))
                                   .arg(device.deviceNumber, 3, 10, QLatin1Char('0'));
    }

    QString ruleFix() const
    {
        if (m_env.deviceRuleSource.isEmpty())
            return QStringLiteral(
                       "install the kestrox package, or copy packaging/60-kestrox.rules of the sources to "
                       "%1/ and run: sudo udevadm control --reload-rules && sudo udevadm trigger "
                       "--subsystem-match=hidraw")
                .arg(m_env.etcRuleFolder);
        return QStringLiteral("install the device rule: ") +
               DeviceChecks::deviceRuleInstallShellLine(m_env.deviceRuleSource, m_env.etcRuleFolder);
    }
    HealthCheck::FixAction ruleFixAction() const
    {
        return m_env.deviceRuleSource.isEmpty() ? HealthCheck::FixAction::None
                                                : HealthCheck::FixAction::InstallDeviceRule;
    }

    HealthCheck deviceCheck(const Product &product, const UsbKestroxDevice &device,
                            const QString &suffix) const
    {
        HealthCheck check;
        check.id = QStringLiteral("device.") + QLatin1String(product.key) + suffix;
        const QString name = QLatin1String(product.name);
        QStringList details{
            QStringLiteral("USB %1 (bus %2, device %3), id %4:%5")
                .arg(device.usbName)
                .arg(device.busNumber)
                .arg(device.deviceNumber)
                .arg(hex(VendorId), hex(device.productId)),
            QStringLiteral("interface 0 driver: %1")
                .arg(device.interfaceDriver.isEmpty() ? QStringLiteral("none") : device.interfaceDriver)};
        if (device.hidrawName.isEmpty()) {
            check.status = HealthCheck::Status::Problem;
            check.summary = QStringLiteral("%1 is on USB but has no hidraw node").arg(name);
            const QList<HoldingProcess> holders = m_holders.value(usbNode(device));
            if (device.interfaceDriver.isEmpty()) {
                details.append(
                    QStringLiteral("no kernel driver is bound to interface 0: a program that talks to "
                                   "the device over libusb detached it"));
                if (!holders.isEmpty())
                    details.append(QStringLiteral("%1 holds %2")
                                       .arg(ProcessHolders::describe(holders), usbNode(device)));
                check.fix = holders.isEmpty() ? QStringLiteral("re-plug the device")
                                              : QStringLiteral("close %1, or re-plug the device")
                                                    .arg(ProcessHolders::describe(holders));
            } else {
                check.fix = QStringLiteral("re-plug the device");
            }
            check.details = details.join(QLatin1Char('\n'));
            return check;
        }

        const QString node = hidrawNode(device);
        details.append(QStringLiteral("node %1 (%2)").arg(node, modeOf(node)));
        const QList<HoldingProcess> holders = m_holders.value(node);
        const OpenResult opened = tryOpenReadWrite(node);
        if (opened.opened) {
            check.status = HealthCheck::Status::Ok;
            check.summary = QStringLiteral("%1 on USB %2: %3 opens for reading and writing")
                                .arg(name, device.usbName, node);
            if (!holders.isEmpty())
                details.append(QStringLiteral("also open in %1").arg(ProcessHolders::describe(holders)));
            check.details = details.join(QLatin1Char('\n'));
            return check;
        }

        check.status = HealthCheck::Status::Problem;
        check.summary =
            QStringLiteral("%1 on USB %2: %3 cannot be opened for reading and writing (%4)")
                .arg(name, device.usbName, node, QString::fromLocal8Bit(std::strerror(opened.error)));
        if (!holders.isEmpty())
            details.append(QStringLiteral("held by %1").arg(ProcessHolders::describe(holders)));
        if (opened.error == EACCES || opened.error == EPERM) {
            if (m_rules.isEmpty()) {
                details.append(QStringLiteral("why: no udev rule for Kestrox devices is installed"));
                check.fix = ruleFix();
                check.action = ruleFixAction();
            } else if (m_usableRules.isEmpty()) {
                const QString masking = m_rules.join(QStringLiteral(", "));
                details.append(
                    QStringLiteral("why: the Kestrox udev rule is masked or empty: %1").arg(masking));
                check.fix =
                    QStringLiteral("remove the masking file %1, then re-plug the device").arg(masking);
            } else {
                details.append(
                    QStringLiteral("why: the udev rule is installed (%1) but the node was not re-triggered "
                                   "since; the rule gives access to the user logged in at the seat, "
                                   "not to a remote login")
                        .arg(m_usableRules.join(QStringLiteral(", "))));
                check.fix = QStringLiteral(
                    "re-plug the device or run: sudo udevadm trigger --subsystem-match=hidraw");
            }
        } else if (!holders.isEmpty()) {
            check.fix = QStringLiteral("close %1").arg(ProcessHolders::describe(holders));
        } else {
            check.fix = QStringLiteral("re-plug the device");
        }
        check.details = details.join(QLatin1Char('\n'));
        return check;
    }

    HealthCheck driverCheck(const Product &product, const UsbKestroxDevice &device,
                            const QString &suffix) const
    {
        HealthCheck check;
        check.id = QStringLiteral("driver.") + QLatin1String(product.key) + suffix;
        const QString name = QLatin1String(product.name);
        const QString kernel =
            m_env.kernelRelease.isEmpty() ? QStringLiteral("unknown") : m_env.kernelRelease;
        const bool pidffKernel = DeviceChecks::kernelHasUniversalPidff(m_env.kernelRelease);
        check.details =
            QStringLiteral("interface 0: %1; HID device: %2; kernel %3")
                .arg(device.interfaceDriver.isEmpty() ? QStringLiteral("no driver") : device.interfaceDriver,
                     device.hidDriver.isEmpty() ? QStringLiteral("no driver") : device.hidDriver, kernel);
        if (device.hidDriver == QLatin1String("hid-universal-pidff")) {
            check.summary =
                QStringLiteral("%1: the kernel's force-feedback driver hid-universal-pidff is bound; "
                               "the simulator's own forces reach it")
                    .arg(name);
            return check;
        }
        check.status = HealthCheck::Status::Warning;
        if (device.hidDriver.isEmpty()) {
            check.summary =
                QStringLiteral("%1: no kernel HID driver is bound; the simulator sees no joystick and "
                               "sends it no forces of its own")
                    .arg(name);
            check.fix =
                QStringLiteral("re-plug the device; if it stays so, see the kernel's log (journalctl -k)");
        } else if (pidffKernel) {
            check.summary = QStringLiteral("%1: %2 is bound although kernel %3 has hid-universal-pidff; the "
                                           "simulator's own forces do not arrive")
                                .arg(name, device.hidDriver, kernel);
            check.fix =
                QStringLiteral("load the driver and re-plug the device: sudo modprobe hid-universal-pidff");
        } else {
            check.summary =
                QStringLiteral("%1: kernel %2 has no force-feedback driver for it (hid-universal-pidff "
                               "binds it from 6.12.24 and 6.15); the simulator's own forces arrive only "
                               "through Proton's raw HID path")
                    .arg(name, kernel);
            check.fix = QStringLiteral("in Steam, set the game's launch options to: %1 %command%")
                            .arg(protonVariable({device.productId}));
        }
        return check;
    }

    HealthCheck ruleCheck() const
    {
        HealthCheck check;
        check.id = QStringLiteral("udev.rule");
        check.details = QStringLiteral("looked in %1").arg(m_env.udevRuleFolders.join(QStringLiteral(", ")));
        if (!m_usableRules.isEmpty()) {
            check.summary = QStringLiteral("the device rule is installed: %1")
                                .arg(m_usableRules.join(QStringLiteral(", ")));
            return check;
        }
        check.status = HealthCheck::Status::Problem;
        if (!m_rules.isEmpty()) {
            check.summary = QStringLiteral("the device rule is masked or empty: %1")
                                .arg(m_rules.join(QStringLiteral(", ")));
            check.fix =
                QStringLiteral("remove %1, then re-plug the devices").arg(m_rules.join(QStringLiteral(", ")));
            return check;
        }
        check.summary = QStringLiteral("no udev rule gives this user access to the Kestrox devices");
        check.fix = ruleFix();
        check.action = ruleFixAction();
        return check;
    }

    const HealthEnvironment &m_env;
    QList<UsbKestroxDevice> m_devices;
    QStringList m_rules;
    QStringList m_usableRules;
    QHash<QString, QList<HoldingProcess>> m_holders;
};

} // namespace

namespace DeviceChecks {

QList<UsbKestroxDevice> findDevices(const QString &sysRoot)
{
    QList<UsbKestroxDevice> devices;
    const QDir bus(sysRoot + QStringLiteral("/bus/usb/devices"));
    for (const QString &name : bus.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (name.contains(QLatin1Char(':')))
            continue; // an interface
        const QString folder = bus.filePath(name);
        bool ok = false;
        if (readAttribute(folder + QStringLiteral("/idVendor")).toUInt(&ok, 16) != VendorId || !ok)
            continue;
        const quint16 product = quint16(readAttribute(folder + QStringLiteral("/idProduct")).toUInt(&ok, 16));
        if (!ok || !productOf(product))
            continue;
        UsbKestroxDevice device;
        device.productId = product;
        device.usbName = name;
        device.busNumber = readAttribute(folder + QStringLiteral("/busnum")).toInt();
        device.deviceNumber = readAttribute(folder + QStringLiteral("/devnum")).toInt();
        const QString interface = bus.filePath(name + QStringLiteral(":1.0"));
        device.interfaceDriver = driverOf(interface);
        // The HID device under the interface: 0003:045B:58F9.0001.
        const QString prefix = QStringLiteral("0003:%1:%2.").arg(hex(VendorId), hex(product));
        for (const QString &child :
             QDir(interface).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!child.startsWith(prefix, Qt::CaseInsensitive))
                continue;
            const QString hid = interface + QLatin1Char('/') + child;
            device.hidDriver = driverOf(hid);
            const QStringList nodes = QDir(hid + QStringLiteral("/hidraw"))
                                          .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            if (!nodes.isEmpty())
                device.hidrawName = nodes.first();
            break;
        }
        devices.append(device);
    }
    return devices;
}

bool kernelHasUniversalPidff(const QString &release)
{
    static const QRegularExpression version(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = version.match(release);
    if (!match.hasMatch())
        return false;
    const int major = match.captured(1).toInt();
    const int minor = match.captured(2).toInt();
    const int patch = match.captured(3).toInt();
    if (major != 6)
        return major > 6;
    return minor >= 15 || (minor == 12 && patch >= 24);
}

QStringList installedRuleFiles(const QStringList &ruleFolders)
{
    // As udev reads them: a file overrides those of the same name in later
    // folders (so an empty one in /etc masks the package's), and /lib is
    // /usr/lib on a merged system.
    QStringList files;
    QStringList names;
    for (const QString &folder : ruleFolders) {
        const QDir dir(folder);
        for (const QString &name :
             dir.entryList({QStringLiteral("*kestrox*.rules")},
                           QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            if (names.contains(name))
                continue;
            names.append(name);
            files.append(dir.filePath(name));
        }
    }
    return files;
}

namespace {

// $1: the rule file to install, $2: the folder. An existing file is left alone.
const char InstallScript[] =
    "set -e; target=\"$2/60-kestrox.rules\"; "
    "if [ -e \"$target\" ]; then echo \"$target exists already; it was left as it is\" >&2; exit 3; fi; "
    "install -m 0644 \"$1\" \"$target\"; "
    "udevadm control --reload-rules; "
    "udevadm trigger --subsystem-match=usb --attr-match=idVendor=045b; "
    "udevadm trigger --subsystem-match=hidraw";

} // namespace

PrivilegedCommand deviceRuleInstallCommand(const QString &ruleSource, const QString &etcRuleFolder)
{
    return {QStringLiteral("pkexec"),
            {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QString::fromLatin1(InstallScript),
             QStringLiteral("sh"), ruleSource, etcRuleFolder}};
}

QString deviceRuleInstallShellLine(const QString &ruleSource, const QString &etcRuleFolder)
{
    return QStringLiteral("sudo cp -n %1 %2 && sudo udevadm control --reload-rules && "
                          "sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=045b && "
                          "sudo udevadm trigger --subsystem-match=hidraw")
        .arg(HealthReport::shellQuoted(ruleSource),
             HealthReport::shellQuoted(etcRuleFolder + QLatin1Char('/') + RuleFileName));
}

QList<HealthCheck> run(const HealthEnvironment &env)
{
    return DeviceRun(env).run();
}

} // namespace DeviceChecks
