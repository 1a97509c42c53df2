// The device checks against joysticks emulated by umockdev, with udev rule
// folders, /proc and a node this user cannot open laid out in a temporary tree.

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

HealthCheck find(const QList<HealthCheck> &checks, const QString &id)
{
    for (const HealthCheck &check : checks)
        if (check.id == id)
            return check;
    return {};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        env.sysRoot = QStringLiteral("/sys"); // umockdev's, as are the nodes
        env.devRoot = QStringLiteral("/dev");
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
        m_tree = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tree->isValid());
        // The opening test's other user reads sysfs and walks the tree: the file modes decide.
        QVERIFY(::chmod(umockdev_testbed_get_root_dir(m_testbed), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_tree->path()).constData(), 0755) == 0);
        write(QStringLiteral("share/60-kestrox.rules"), "KERNEL==\"hidraw*\", TAG+=\"uaccess\"\n");
    }
    void cleanup()
    {
        g_clear_object(&m_testbed);
        m_tree.reset();
    }

    // umockdev's nodes open: ok, and who else has them open; each device by its product id.
    void accessibleNode()
    {
        add({});
        add({"3-4", "5968", "usbhid", "hid-universal-pidff", "hidraw5"});
        const QString node = QStringLiteral("/dev/hidraw0");
        write(QStringLiteral("usr/lib/udev/rules.d/60-kestrox.rules"), "# rule\n");
        process(4100, QByteArray("/usr/bin/steam\0-silent\0", 21), node);
        process(1, QByteArray("kestrox-vantrell\0", 17), node); // ourselves
        // A program that rewrote its command line goes by the kernel's name.
        process(4300, QByteArray("/opt/helper --type=gpu-process\0", 31), node);
        write(QStringLiteral("proc/4300/comm"), "chrome\n");
        const QList<HealthCheck> checks = DeviceChecks::run(environment());
        const HealthCheck joystick = find(checks, QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Ok);
        QVERIFY2(joystick.summary.contains(QStringLiteral("/dev/hidraw0 opens for reading and writing")),
                 qPrintable(joystick.summary));
        QVERIFY2(joystick.details.contains(
                     QStringLiteral("also open in steam (process 4100), chrome (process 4300)")),
                 qPrintable(joystick.details));
        QVERIFY(!joystick.details.contains(QStringLiteral("process 1)")));
        QVERIFY(find(checks, QStringLiteral("device.rudder"))
                    .summary.contains(QStringLiteral("/dev/hidraw5 opens")));
        QCOMPARE(find(checks, QStringLiteral("driver.rudder")).status, HealthCheck::Status::Ok);
        const HealthCheck rule = find(checks, QStringLiteral("udev.rule"));
        QCOMPARE(rule.status, HealthCheck::Status::Ok);
        QVERIFY(rule.summary.endsWith(path(QStringLiteral("usr/lib/udev/rules.d/60-kestrox.rules"))));
    }

    // A node this user cannot open: why, from the rule folders.
    void nodeThisUserCannotOpen_data()
    {
        QTest::addColumn<QString>("ruleFile"); // empty: none
        QTest::addColumn<QByteArray>("ruleText");
        QTest::addColumn<bool>("packaged"); // the package's rule in usr/lib too
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("fix");
        QTest::newRow("no rule") << QString() << QByteArray() << false
                                 << "why: no udev rule for Kestrox devices is installed"
                                 << "install the device rule: sudo cp -n";
        const QString retrigger =
            QStringLiteral("re-plug the device or run: sudo udevadm trigger --subsystem-match=hidraw");
        QTest::newRow("rule not re-triggered")
            << "etc/udev/rules.d/70-kestrox-local.rules" << QByteArray("# rule\n") << false
            << "why: the udev rule is installed" << retrigger;
        QTest::newRow("packaged rule not re-triggered")
            << QString() << QByteArray() << true << "why: the udev rule is installed" << retrigger;
        QTest::newRow("packaged rule masked in /etc")
            << "etc/udev/rules.d/60-kestrox.rules" << QByteArray() << true
            << "why: the Kestrox udev rule is masked or empty"
            << "remove the masking file";
    }
    void nodeThisUserCannotOpen()
    {
        QFETCH(QString, ruleFile);
        QFETCH(QByteArray, ruleText);
        QFETCH(bool, packaged);
        QFETCH(QString, why);
        QFETCH(QString, fix);
        add({});
        write(QStringLiteral("dev/hidraw0"), {});
        QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("dev/hidraw0"))).constData(), 0000) == 0);
        if (!ruleFile.isEmpty())
            write(ruleFile, ruleText);
        if (packaged)
            write(QStringLiteral("usr/lib/udev/rules.d/60-kestrox.rules"), "# rule\n");
        HealthEnvironment env = environment();
        env.devRoot = path(QStringLiteral("dev"));
        // As a user without rights, also where the test runs as root: the file system uid of this
        // thread only, which drops the override of file modes.
        const bool root = ::geteuid() == 0;
        if (root) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
        const QList<HealthCheck> checks = DeviceChecks::run(env);
        if (root) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        const HealthCheck joystick = find(checks, QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Problem);
        QVERIFY2(joystick.summary.contains(
                     QStringLiteral("cannot be opened for reading and writing (Permission denied)")),
                 qPrintable(joystick.summary));
        QVERIFY2(joystick.details.contains(why), qPrintable(joystick.details));
        QVERIFY2(joystick.fix.startsWith(fix), qPrintable(joystick.fix));
        // Only a missing rule has the install button.
        QCOMPARE(joystick.action == HealthCheck::FixAction::InstallDeviceRule,
                 !packaged && ruleFile.isEmpty());
        // The rule check agrees: ok where a usable rule is installed.
        QCOMPARE(find(checks, QStringLiteral("udev.rule")).status,
                 why.contains(QLatin1String("the udev rule is installed")) ? HealthCheck::Status::Ok
                                                                           : HealthCheck::Status::Problem);
    }

    // Without a hidraw node: a libusb program detached the driver; it is named. The rudder is absent.
    void noHidrawNode()
    {
        add({"2-1", "58f9", "", "", ""});
        process(5200, QByteArray("/usr/bin/kestrox-setup\0--libusb\0", 32),
                QStringLiteral("/dev/bus/usb/002/007"));
        const QList<HealthCheck> checks = DeviceChecks::run(environment());
        const HealthCheck joystick = find(checks, QStringLiteral("device.joystick"));
        QCOMPARE(joystick.status, HealthCheck::Status::Problem);
        QCOMPARE(joystick.summary, QStringLiteral("Joystick is on USB but has no hidraw node"));
        QCOMPARE(joystick.fix, QStringLiteral("close kestrox-setup (process 5200), or re-plug the device"));
        QCOMPARE(find(checks, QStringLiteral("driver.joystick")).status, HealthCheck::Status::Warning);
        QCOMPARE(find(checks, QStringLiteral("device.rudder")).status, HealthCheck::Status::Warning);
    }

    // The driver bound to the HID device and the kernel release decide the advice: hid-universal-pidff
    // came with 6.12.24 in 6.12, and with 6.15.
    void forceFeedbackDriver_data()
    {
        QTest::addColumn<QByteArray>("hidDriver");
        QTest::addColumn<QString>("kernel");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("fix"); // empty: ok
        QTest::newRow("pidff bound") << QByteArray("hid-universal-pidff") << "6.15.2"
                                     << "the kernel's force-feedback driver hid-universal-pidff is bound"
                                     << "";
        const auto row = [](const char *release, const QString &summary, const QString &fix) {
            QTest::newRow(release) << QByteArray("hid-generic") << QString::fromLatin1(release)
                                   << summary.arg(QLatin1String(release)) << fix;
        };
        for (const char *release :
             {"6.12.24", "6.12.30+deb13-amd64", "6.15-rc1", "6.18.44-fc-v1403", "7.0.1"})
            row(release, QStringLiteral("hid-generic is bound although kernel %1 has hid-universal-pidff"),
                QStringLiteral("load the driver and re-plug the device: sudo modprobe hid-universal-pidff"));
        for (const char *release :
             {"6.1.0-28-amd64", "6.12.23", "6.14.11-300.fc42.x86_64", "5.19.17", "unknown"})
            row(release, QStringLiteral("kernel %1 has no force-feedback driver"),
                QStringLiteral("in Steam, set the game's launch options to: "
                               "PROTON_ENABLE_HIDRAW=0x045b/0x58f9 %command%"));
    }
    void forceFeedbackDriver()
    {
        QFETCH(QByteArray, hidDriver);
        QFETCH(QString, kernel);
        QFETCH(QString, summary);
        QFETCH(QString, fix);
        add({"2-1", "58f9", "usbhid", hidDriver, "hidraw0"});
        HealthEnvironment env = environment();
        env.kernelRelease = kernel;
        const HealthCheck driver = find(DeviceChecks::run(env), QStringLiteral("driver.joystick"));
        QCOMPARE(driver.status, fix.isEmpty() ? HealthCheck::Status::Ok : HealthCheck::Status::Warning);
        QVERIFY2(driver.summary.contains(summary), qPrintable(driver.summary));
        QCOMPARE(driver.fix, fix);
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
        QCOMPARE(contents(installed), QByteArray("KERNEL==\"hidraw*\", TAG+=\"uaccess\"\n"));
        struct stat info
        {};
        QCOMPARE(::stat(QFile::encodeName(installed).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0644u);
        QCOMPARE(contents(path(QStringLiteral("udevadm.log"))),
                 QByteArray("control --reload-rules\n"
                            "trigger --subsystem-match=usb --attr-match=idVendor=045b\n"
                            "trigger --subsystem-match=hidraw\n"));

        write(QStringLiteral("etc/udev/rules.d/60-kestrox.rules"), "# mine\n");
        QCOMPARE(runScript(), 3);
        QCOMPARE(contents(installed), QByteArray("# mine\n"));
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
