// The udev rules, read by a small evaluator of our own against devices
// emulated by umockdev: which device nodes the seat's user gets.

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include <umockdev.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>
#include <fnmatch.h>

namespace {

struct Key
{
    QString name;
    QString attribute;
    QString op;
    QString value;
};
using Rule = QList<Key>;

// Parses one rule line; an empty list means it is not a valid line of the
// subset of udev's syntax that device-access rules need.
Rule parseLine(const QString &line)
{
    static const QRegularExpression key(QStringLiteral(
        "^\\s*(KERNEL|SUBSYSTEM|ATTR|ATTRS|TAG)(?:\\{([A-Za-z0-9_]+)\\})?(==|\\+=|=)\"([^\"]*)\"\\s*(?:,|$)"));
    Rule rule;
    QString rest = line;
    while (!rest.trimmed().isEmpty()) {
        const QRegularExpressionMatch m = key.match(rest);
        if (!m.hasMatch())
            return {};
        const Key k{m.captured(1), m.captured(2), m.captured(3), m.captured(4)};
        const bool needsAttribute = k.name == QLatin1String("ATTR") || k.name == QLatin1String("ATTRS");
        const bool isAssignment = k.name == QLatin1String("TAG");
        if (needsAttribute != !k.attribute.isEmpty() || isAssignment != (k.op != QLatin1String("==")))
            return {};
        rule.append(k);
        rest = rest.mid(m.capturedLength());
    }
    return rule;
}

QString readAttribute(const QString &syspath, const QString &attribute)
{
    QFile file(syspath + QLatin1Char('/') + attribute);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

QString subsystemOf(const QString &syspath)
{
    return QFile::symLinkTarget(syspath + QStringLiteral("/subsystem")).section(QLatin1Char('/'), -1);
}

bool globMatches(const QString &pattern, const QString &text)
{
    return fnmatch(pattern.toUtf8().constData(), text.toUtf8().constData(), 0) == 0;
}

// The tags the rules give the device at syspath, as udev applies them: the
// device's own keys on itself, all ATTRS keys of a rule on one device of
// its parent chain.
QStringList tagsFor(const QList<Rule> &rules, const QString &syspath)
{
    QStringList tags;
    for (const Rule &rule : rules) {
        bool matches = true;
        QList<Key> parentKeys;
        for (const Key &k : rule) {
            if (k.name == QLatin1String("KERNEL"))
                matches &= globMatches(k.value, syspath.section(QLatin1Char('/'), -1));
            else if (k.name == QLatin1String("SUBSYSTEM"))
                matches &= subsystemOf(syspath) == k.value;
            else if (k.name == QLatin1String("ATTR"))
                matches &= readAttribute(syspath, k.attribute) == k.value;
            else if (k.name == QLatin1String("ATTRS"))
                parentKeys.append(k);
        }
        if (matches && !parentKeys.isEmpty()) {
            bool someDevice = false;
            for (QString device = syspath; device.startsWith(QLatin1String("/sys/devices/"));
                 device = device.section(QLatin1Char('/'), 0, -2)) {
                const bool all = std::all_of(parentKeys.begin(), parentKeys.end(), [&](const Key &k) {
                    return readAttribute(device, k.attribute) == k.value;
                });
                if (all) {
                    someDevice = true;
                    break;
                }
            }
            matches = someDevice;
        }
        if (!matches)
            continue;
        for (const Key &k : rule) {
            if (k.name == QLatin1String("TAG"))
                tags.append(k.value);
        }
    }
    return tags;
}

QList<Rule> readRules(QStringList *badLines)
{
    QFile file(QStringLiteral(KESTROX_UDEV_RULES));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Rule> rules;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        const Rule rule = parseLine(line);
        if (rule.isEmpty())
            badLines->append(line);
        else
            rules.append(rule);
    }
    return rules;
}

struct Device
{
    QString usb;
    QString interface;
    QString hidraw;
};

Device addDevice(UMockdevTestbed *testbed, const char *name, const char *vendor, const char *product)
{
    Device d;
    gchar *usb = umockdev_testbed_add_device(testbed, "usb", name, nullptr, "idVendor", vendor, "idProduct",
                                             product, "devnum", "2", "busnum", "1", nullptr,
                                             "DEVTYPE", "usb_device", nullptr);
    const QByteArray interfaceName = QByteArray(name) + ":1.0";
    gchar *interface = umockdev_testbed_add_device(testbed, "usb", interfaceName.constData(), usb,
                                                   "bInterfaceClass", "03", nullptr, "DEVTYPE",
                                                   "usb_interface", nullptr);
    const QByteArray hidrawName = QByteArray("hidraw") + QByteArray(name).replace('-', '0');
    gchar *hidraw =
        umockdev_testbed_add_device(testbed, "hidraw", hidrawName.constData(), interface, nullptr, nullptr);
    d = {QString::fromUtf8(usb), QString::fromUtf8(interface), QString::fromUtf8(hidraw)};
    g_free(usb);
    g_free(interface);
    g_free(hidraw);
    return d;
}

} // namespace

class TestUdevRules : public QObject
{
    Q_OBJECT

private slots:
    void everyLineParses()
    {
        QStringList bad;
        const QList<Rule> rules = readRules(&bad);
        QCOMPARE(bad, QStringList());
        QVERIFY(!rules.isEmpty());
        for (const Rule &rule : rules) {
            // Access for the seat's user, never a blanket mode or group.
            QVERIFY(std::any_of(rule.begin(), rule.end(), [](const Key &k) {
                return k.name == QLatin1String("TAG") && k.op == QLatin1String("+=") &&
                       k.value == QLatin1String("uaccess");
            }));
        }
        // Numbered below 73-seat-late.rules, which turns the tag into an ACL.
        QVERIFY(QStringLiteral(KESTROX_UDEV_RULES).section(QLatin1Char('/'), -1).left(2).toInt() < 73);
    }

    void accessForExactlyTheDevicesThePrograms()
    {
        QStringList bad;
        const QList<Rule> rules = readRules(&bad);
        UMockdevTestbed *testbed = umockdev_testbed_new();

        const QStringList uaccess{QStringLiteral("uaccess")};
        // Joystick, rudder, generic controller, Wheel PRO: hidraw for both
        // programs, the USB node for kestrox-setup --libusb; never the interface.
        for (const auto &[name, product] : {std::pair{"1-1", "58f9"}, std::pair{"1-2", "5968"},
                                            std::pair{"1-3", "55f0"}, std::pair{"1-4", "59d7"}}) {
            const Device d = addDevice(testbed, name, "045b", product);
            QCOMPARE(tagsFor(rules, d.hidraw), uaccess);
            QCOMPARE(tagsFor(rules, d.usb), uaccess);
            QCOMPARE(tagsFor(rules, d.interface), QStringList());
        }
        // Another product of the vendor, and another vendor's device with a product id of ours.
        for (const auto &[name, vendor, product] :
             {std::tuple{"2-1", "045b", "1234"}, std::tuple{"2-2", "046d", "58f9"},
              std::tuple{"2-3", "046d", "55f0"}}) {
            const Device d = addDevice(testbed, name, vendor, product);
            QCOMPARE(tagsFor(rules, d.usb), QStringList());
            QCOMPARE(tagsFor(rules, d.hidraw), QStringList());
        }
        g_object_unref(testbed);
    }

    // The maintainer scripts' triggers, run as udev would run them (dry, on
    // the emulated devices): they must reach the USB node and the hidraw node
    // of each of our devices, or access waits for a replug.
    void maintainerScriptTriggersReachTheNodes()
    {
        const QString udevadm = QStandardPaths::findExecutable(QStringLiteral("udevadm"));
        if (udevadm.isEmpty())
            QSKIP("udevadm missing (Debian: udev)");
        UMockdevTestbed *testbed = umockdev_testbed_new();
        const Device joystick = addDevice(testbed, "3-1", "045b", "58f9");
        const Device wheel = addDevice(testbed, "3-2", "045b", "59d7");
        const Device other = addDevice(testbed, "3-3", "046d", "c52b");

        for (const char *script : {"postinst", "postrm"}) {
            QFile file(QStringLiteral(KESTROX_MAINTAINER_SCRIPTS "/") + QLatin1String(script));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QStringList selected;
            int triggers = 0;
            const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            for (QString line : lines) {
                line = line.trimmed();
                if (!line.startsWith(QLatin1String("udevadm trigger")))
                    continue;
                ++triggers;
                line = line.section(QLatin1String("||"), 0, 0).trimmed();
                QStringList arguments = QProcess::splitCommand(line).mid(1);
                arguments << QStringLiteral("--dry-run") << QStringLiteral("--verbose");
                QProcess udev;
                udev.start(udevadm, arguments);
                QVERIFY(udev.waitForFinished(10000));
                QCOMPARE(udev.exitCode(), 0);
                selected += QString::fromUtf8(udev.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            }
            QVERIFY2(triggers > 0, script);
            for (const Device &d : {joystick, wheel}) {
                QVERIFY2(selected.contains(d.usb), qPrintable(QLatin1String(script) + QLatin1Char(' ') + d.usb));
                QVERIFY2(selected.contains(d.hidraw), qPrintable(QLatin1String(script) + QLatin1Char(' ') + d.hidraw));
            }
            // Another vendor's USB device is not ours to touch.
            QVERIFY(!selected.contains(other.usb));
        }
        g_object_unref(testbed);
    }
};

int main(int argc, char *argv[])
{
    // The emulated sysfs exists only under umockdev's preload library.
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev"))) {
        std::fprintf(stderr, "skipped: run under umockdev-wrapper (Debian package umockdev)\n");
        return 77;
    }
    TestUdevRules test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_udevrules.moc"
