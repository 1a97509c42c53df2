// The device checks against joysticks emulated by umockdev (sysfs as the
// kernel lays it out, under umockdev's preload library), with device nodes,
// udev rule folders and /proc laid out in a temporary tree.

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include <umockdev.h>

#include "devicechecks.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Usb
{
    QByteArray name = "2-1";
    QByteArray product = "58f9";
    QByteArray interfaceDriver = "usbhid";
    QByteArray hidDriver = "hid-generic";
    QByteArray hidraw = "hidraw0"; // empty: no node
};

// A USB device in umockdev's record format, written by hand: the device,
// interface 0 with its driver, the HID device with its driver, its hidraw node.
QByteArray record(const Usb &usb)
{
    const QByteArray device = "/devices/pci0000:00/0000:00:14.0/usb2/" + usb.name;
    const QByteArray interface = device + '/' + usb.name + ":1.0";
    const QByteArray hid = interface + "/0003:045B:" + usb.product.toUpper() + ".0001";
    QByteArray text =
        "P: " + device +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=045b\nA: idProduct=" + usb.product +
        "\nA: busnum=2\nA: devnum=7\n\n";
    text += "P: " + interface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nA: bInterfaceNumber=00\n";
    if (!usb.interfaceDriver.isEmpty())
        text += "L: driver=../../../../../../bus/usb/drivers/" + usb.interfaceDriver + "\n";
    text += "\n";
    if (usb.interfaceDriver.isEmpty())
        return text; // no driver: no HID device either
    text += "P: " + hid + "\nE: SUBSYSTEM=hid\n";
    if (!usb.hidDriver.isEmpty())
        text += "L: driver=../../../../../../../bus/hid/drivers/" + usb.hidDriver + "\n";
    text += "\n";
    if (!usb.hidraw.isEmpty())
        text += "P: " + hid + "/hidraw/" + usb.hidraw + "\nN: " + usb.hidraw +
                "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + usb.hidraw + "\n\n";
    return text;
}

// Opening as a user without rights, also where the test runs as root: the
// file system uid of this thread only, which drops the override of file
// modes while it lasts.
struct AsOtherUser
{
    AsOtherUser()
    {
        if (::geteuid() == 0) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
    }
    ~AsOtherUser()
    {
        if (::geteuid() == 0) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
};

HealthCheck find(const QList<HealthCheck> &checks, const QString &id)
{
    for (const HealthCheck &check : checks)
        if (check.id == id)
            return check;
    return {};
}

QStringList ids(const QList<HealthCheck> &checks)
{
    QStringList result;
    for (const HealthCheck &check : checks)
        result.append(check.id);
    return result;
}

} // namespace

class TestDeviceChecks : public QObject
{
    Q_OBJECT

    UMockdevTestbed *m_testbed = nullptr;
    std::unique_ptr<QTemporaryDir> m_tree;

    QString path(const QString &relative) const { return m_tree->filePath(relative); }
    void write(const QString &relative, const QByteArray &bytes, QFile::Permissions permissions = {})
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (permissions)
            QVERIFY(file.setPermissions(permissions));
    }
    void add(const Usb &usb)
    {
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, record(usb).constData(), &error),
                 error ? error->message : "");
    }
    // A node of the tree's /dev: mode 0666, or 0000 (this user cannot open it).
    void node(const QString &name, bool open)
    {
        write(QStringLiteral("dev/") + name, {});
        QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("dev/") + name)).constData(),
                        open ? 0666 : 0000) == 0);
    }
    // A process of the tree's /proc with an open file.
    void process(int pid, const QByteArray &cmdline, const QString &openFile)
    {
        write(QStringLiteral("proc/%1/cmdline").arg(pid), cmdline);
        write(QStringLiteral("proc/%1/comm").arg(pid), cmdline.split('\0').first().split('/').last() + '\n');
        QDir().mkpath(path(QStringLiteral("proc/%1/fd").arg(pid)));
        QVERIFY(QFile::link(openFile, path(QStringLiteral("proc/%1/fd/5").arg(pid))));
    }

    HealthEnvironment environment() const
    {
        HealthEnvironment env;
        env.sysRoot = QStringLiteral("/sys"); // umockdev's
        env.devRoot = path(QStringLiteral("dev"));
        env.procRoot = path(QStringLiteral("proc"));
        env.udevRuleFolders = {path(QStringLiteral("etc/udev/rules.d")),
                               path(QStringLiteral("usr/lib/udev/rules.d"))};
        env.etcRuleFolder = path(QStringLiteral("etc/udev/rules.d"));
        env.deviceRuleSource = path(QStringLiteral("share/60-kestrox.rules"));
        env.kernelRelease = QStringLiteral("6.1.0-28-amd64");
        env.ownPid = 1;
        return env;
    }

private slots:
    void init()
    {
        m_testbed = umockdev_testbed_new();
        // The opening test's other user reads sysfs too.
        QVERIFY(::chmod(umockdev_testbed_get_root_dir(m_testbed), 0755) == 0);
        m_tree = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tree->isValid());
        // Other users may walk the tree: the opening test's file modes decide.
        QVERIFY(::chmod(QFile::encodeName(m_tree->path()).constData(), 0755) == 0);
        write(QStringLiteral("share/60-kestrox.rules"), "KERNEL==\"hidraw*\", TAG+=\"uaccess\"\n");
    }
    void cleanup()
    {
        g_clear_object(&m_testbed);
        m_tree.reset();
    }

    void findsDevicesInSysfs()
    {
        add({});
        add({"3-4", "5968", "usbhid", "hid-universal-pidff", "hidraw5"});
        add({"1-1", "c52b", "usbhid", "hid-generic", "hidraw9"}); // not ours
        const QList<UsbKestroxDevice> devices = DeviceChecks::findDevices(QStringLiteral("/sys"));
        QCOMPARE(devices.size(), 2);
        QCOMPARE(devices[0].usbName, QStringLiteral("2-1"));
        QCOMPARE(devices[0].productId, quint16(0x58F9));
        QCOMPARE(devices[0].busNumber, 2);
        QCOMPARE(devices[0].deviceNumber, 7);
        QCOMPARE(devices[0].interfaceDriver, QStringLiteral("usbhid"));
        QCOMPARE(devices[0].hidDriver, QStringLiteral("hid-generic"));
        QCOMPARE(devices[0].hidrawName, QStringLiteral("hidraw0"));
        QCOMPARE(devices[1].usbName, QStringLiteral("3-4"));
        QCOMPARE(devices[1].productId, quint16(0x5968));
        QCOMPARE(devices[1].hidDriver, QStringLiteral("hid-universal-pidff"));
        QCOMPARE(devices[1].hidrawName, QStringLiteral("hidraw5"));
    }

    // A node that opens: ok, and who else has it open; the rudder absent is a warning.
    void accessibleNode()
    {
        add({});
        node(QStringLiteral("hidraw0"), true);
        write(QStringLiteral("usr/lib/udev/rules.d/60-kestrox.rules"), "# rule\n");
        process(4100, QByteArray("/usr/bin/steam\0-silent\0", 21), path(QStringLiteral("dev/hidraw0")));
        process(1, QByteArray("kestrox-vantrell\0", 17), path(QStringLiteral("dev/hidraw0"))); // ourselves
        // A program that rewrote its command line goes by the kernel's name.
        process(4300, QByteArray("/opt/helper --type=gpu-process\0", 31),
                path(QStringLiteral("dev/hidraw0")));
        write(QStringLiteral("proc/4300/comm"), "chrome\n");
        const QList<HealthCheck> checks = DeviceChecks::run(environment());
        QCOMPARE(ids(checks),
                 (QStringList{QStringLiteral("device.joystick"), QStringLiteral("driver.joystick"),
                              QStringLiteral("device.rudder"), QStringLiteral("udev.rule")}));
        const HealthCheck joystick = find(checks, QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Ok);
        QVERIFY2(joystick.summary.contains(path(QStringLiteral("dev/hidraw0")) +
                                           QStringLiteral(" opens for reading and writing")),
                 qPrintable(joystick.summary));
        QVERIFY2(joystick.details.contains(
                     QStringLiteral("also open in steam (process 4100), chrome (process 4300)")),
                 qPrintable(joystick.details));
        QVERIFY(!joystick.details.contains(QStringLiteral("process 1)")));
        QCOMPARE(find(checks, QStringLiteral("device.rudder")).status, HealthCheck::Status::Warning);
        QVERIFY(find(checks, QStringLiteral("device.rudder")).summary.contains(QStringLiteral("045b:5968")));
        const HealthCheck rule = find(checks, QStringLiteral("udev.rule"));
        QCOMPARE(rule.status, HealthCheck::Status::Ok);
        QVERIFY(rule.summary.endsWith(path(QStringLiteral("usr/lib/udev/rules.d/60-kestrox.rules"))));
        QCOMPARE(rule.action, HealthCheck::FixAction::None);
    }

    // umockdev's own /dev node, through the real /dev path.
    void umockdevNodeOpens()
    {
        add({});
        HealthEnvironment env = environment();
        env.devRoot = QStringLiteral("/dev");
        const HealthCheck joystick = find(DeviceChecks::run(env), QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Ok);
        QVERIFY(joystick.summary.contains(QStringLiteral("/dev/hidraw0 opens")));
    }

    // A node this user cannot open: why, from the rule folders.
    void nodeThisUserCannotOpen_data()
    {
        QTest::addColumn<QString>("ruleFile");
        QTest::addColumn<QByteArray>("ruleText");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("fix");
        QTest::addColumn<bool>("installButton");
        QTest::newRow("no rule") << QString() << QByteArray()
                                 << "why: no udev rule for Kestrox devices is installed"
                                 << "install the device rule: sudo cp -n" << true;
        QTest::newRow("rule not re-triggered")
            << "etc/udev/rules.d/70-kestrox-local.rules" << QByteArray("# rule\n")
            << "why: the udev rule is installed"
            << "re-plug the device or run: sudo udevadm trigger --subsystem-match=hidraw" << false;
        QTest::newRow("packaged rule not re-triggered")
            << "usr/lib/udev/rules.d/60-kestrox.rules" << QByteArray("# rule\n")
            << "why: the udev rule is installed"
            << "re-plug the device or run: sudo udevadm trigger --subsystem-match=hidraw" << false;
        QTest::newRow("masked rule") << "etc/udev/rules.d/60-kestrox.rules" << QByteArray()
                                     << "why: the Kestrox udev rule is masked or empty"
                                     << "remove the masking file" << false;
        QTest::newRow("packaged rule masked in /etc") << "etc/udev/rules.d/60-kestrox.rules" << QByteArray()
                                                      << "why: the Kestrox udev rule is masked or empty"
                                                      << "remove the masking file" << false;
    }
    void nodeThisUserCannotOpen()
    {
        QFETCH(QString, ruleFile);
        QFETCH(QByteArray, ruleText);
        QFETCH(QString, why);
        QFETCH(QString, fix);
        QFETCH(bool, installButton);
        add({});
        node(QStringLiteral("hidraw0"), false);
        if (!ruleFile.isEmpty())
            write(ruleFile, ruleText);
        if (QByteArray(QTest::currentDataTag()) == "packaged rule masked in /etc")
            write(QStringLiteral("usr/lib/udev/rules.d/60-kestrox.rules"), "# rule\n");
        QList<HealthCheck> checks;
        {
            AsOtherUser other;
            checks = DeviceChecks::run(environment());
        }
        const HealthCheck joystick = find(checks, QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Problem);
        QVERIFY2(joystick.summary.contains(
                     QStringLiteral("cannot be opened for reading and writing (Permission denied)")),
                 qPrintable(joystick.summary));
        QVERIFY2(joystick.details.contains(why), qPrintable(joystick.details));
        QVERIFY2(joystick.details.contains(QStringLiteral("mode 0000")), qPrintable(joystick.details));
        QVERIFY2(joystick.fix.startsWith(fix), qPrintable(joystick.fix));
        QCOMPARE(joystick.action == HealthCheck::FixAction::InstallDeviceRule, installButton);
        const HealthCheck rule = find(checks, QStringLiteral("udev.rule"));
        QCOMPARE(rule.status, ruleFile.isEmpty() || ruleText.isEmpty() ? HealthCheck::Status::Problem
                                                                       : HealthCheck::Status::Ok);
        QCOMPARE(rule.action == HealthCheck::FixAction::InstallDeviceRule, installButton);
    }

    // Without a hidraw node: a libusb program detached the driver; it is named.
    void noHidrawNode()
    {
        add({"2-1", "58f9", "", "", ""});
        process(5200, QByteArray("/usr/bin/kestrox-setup\0--libusb\0", 32),
                path(QStringLiteral("dev/bus/usb/002/007")));
        const QList<HealthCheck> checks = DeviceChecks::run(environment());
        const HealthCheck joystick = find(checks, QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Problem);
        QCOMPARE(joystick.summary, QStringLiteral("Joystick is on USB but has no hidraw node"));
        QVERIFY2(joystick.details.contains(QStringLiteral("interface 0 driver: none")),
                 qPrintable(joystick.details));
        QVERIFY2(joystick.details.contains(QStringLiteral("kestrox-setup (process 5200) holds ") +
                                           path(QStringLiteral("dev/bus/usb/002/007"))),
                 qPrintable(joystick.details));
        QCOMPARE(joystick.fix, QStringLiteral("close kestrox-setup (process 5200), or re-plug the device"));
        QCOMPARE(find(checks, QStringLiteral("driver.joystick")).status, HealthCheck::Status::Warning);
    }

    // The driver bound to the HID device and the kernel release decide the advice.
    void forceFeedbackDriver_data()
    {
        QTest::addColumn<QByteArray>("hidDriver");
        QTest::addColumn<QString>("kernel");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("fix");
        QTest::newRow("pidff bound") << QByteArray("hid-universal-pidff") << "6.15.2"
                                     << int(HealthCheck::Status::Ok)
                                     << "the kernel's force-feedback driver hid-universal-pidff is bound"
                                     << "";
        QTest::newRow("old kernel")
            << QByteArray("hid-generic") << "6.1.0-28-amd64" << int(HealthCheck::Status::Warning)
            << "kernel 6.1.0-28-amd64 has no force-feedback driver"
            << "in Steam, set the game's launch options to: PROTON_ENABLE_HIDRAW=0x045b/0x58f9 %command%";
        QTest::newRow("pidff kernel, generic bound")
            << QByteArray("hid-generic") << "6.12.24" << int(HealthCheck::Status::Warning)
            << "hid-generic is bound although kernel 6.12.24 has hid-universal-pidff"
            << "load the driver and re-plug the device: sudo modprobe hid-universal-pidff";
    }
    void forceFeedbackDriver()
    {
        QFETCH(QByteArray, hidDriver);
        QFETCH(QString, kernel);
        QFETCH(int, status);
        QFETCH(QString, summary);
        QFETCH(QString, fix);
        add({"2-1", "58f9", "usbhid", hidDriver, "hidraw0"});
        node(QStringLiteral("hidraw0"), true);
        HealthEnvironment env = environment();
        env.kernelRelease = kernel;
        const HealthCheck driver = find(DeviceChecks::run(env), QStringLiteral("driver.joystick"));
        QCOMPARE(int(driver.status), status);
        QVERIFY2(driver.summary.contains(summary), qPrintable(driver.summary));
        QCOMPARE(driver.fix, fix);
        QVERIFY(driver.details.contains(QStringLiteral("interface 0: usbhid; HID device: ") +
                                        QLatin1String(hidDriver)));
    }

    void kernelRelease_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<bool>("pidff");
        QTest::newRow("Debian 12") << "6.1.0-28-amd64" << false;
        QTest::newRow("6.12 before") << "6.12.23" << false;
        QTest::newRow("6.12.24") << "6.12.24" << true;
        QTest::newRow("6.12 later") << "6.12.30+deb13-amd64" << true;
        QTest::newRow("6.13") << "6.13.12" << false;
        QTest::newRow("6.14") << "6.14.11-300.fc42.x86_64" << false;
        QTest::newRow("6.15.0") << "6.15.0" << true;
        QTest::newRow("6.15 no patch") << "6.15-rc1" << true;
        QTest::newRow("later") << "6.18.44-fc-v1403" << true;
        QTest::newRow("7") << "7.0.1" << true;
        QTest::newRow("5") << "5.19.17" << false;
        QTest::newRow("garbage") << "unknown" << false;
        QTest::newRow("empty") << "" << false;
    }
    void kernelRelease()
    {
        QFETCH(QString, release);
        QFETCH(bool, pidff);
        QCOMPARE(DeviceChecks::kernelHasUniversalPidff(release), pidff);
    }

    // The fix's script, run with a stand-in udevadm: it installs the rule
    // once, with its reload and both triggers, and never over a file.
    void ruleInstallScript()
    {
        write(QStringLiteral("bin/udevadm"), "#!/bin/sh\necho \"$*\" >> \"$UDEVADM_LOG\"\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(path(QStringLiteral("etc/udev/rules.d")));
        const PrivilegedCommand command = DeviceChecks::deviceRuleInstallCommand(
            path(QStringLiteral("share/60-kestrox.rules")), path(QStringLiteral("etc/udev/rules.d")));
        QCOMPARE(command.program, QStringLiteral("pkexec"));
        QCOMPARE(command.arguments.mid(0, 2), (QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c")}));
        QCOMPARE(command.arguments.mid(3),
                 (QStringList{QStringLiteral("sh"), path(QStringLiteral("share/60-kestrox.rules")),
                              path(QStringLiteral("etc/udev/rules.d"))}));
        const auto runScript = [&] {
            QProcess sh;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PATH"),
                       path(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin"));
            env.insert(QStringLiteral("UDEVADM_LOG"), path(QStringLiteral("udevadm.log")));
            sh.setProcessEnvironment(env);
            sh.start(command.arguments.first(), command.arguments.mid(1)); // what pkexec runs
            sh.waitForFinished();
            return sh.exitCode();
        };
        QCOMPARE(runScript(), 0);
        const QString installed = path(QStringLiteral("etc/udev/rules.d/60-kestrox.rules"));
        QFile rule(installed);
        QVERIFY(rule.open(QIODevice::ReadOnly));
        QCOMPARE(rule.readAll(), QByteArray("KERNEL==\"hidraw*\", TAG+=\"uaccess\"\n"));
        struct stat info
        {};
        QCOMPARE(::stat(QFile::encodeName(installed).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0644u);
        QFile log(path(QStringLiteral("udevadm.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("control --reload-rules\n"
                                           "trigger --subsystem-match=usb --attr-match=idVendor=045b\n"
                                           "trigger --subsystem-match=hidraw\n"));
        log.close();

        write(QStringLiteral("etc/udev/rules.d/60-kestrox.rules"), "# mine\n");
        QCOMPARE(runScript(), 3);
        QFile again(installed);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("# mine\n"));
    }
};

int main(int argc, char *argv[])
{
    // The emulated devices exist only under umockdev's preload library.
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev"))) {
        std::fprintf(stderr, "skipped: run under umockdev-wrapper (Debian package umockdev)\n");
        return 77;
    }
    TestDeviceChecks test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_devicechecks.moc"
