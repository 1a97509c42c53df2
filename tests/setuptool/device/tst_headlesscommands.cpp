// The command line of kestrox-setup and its headless commands, run against
// the virtual devices in this process (so that the devices' memory can be
// looked at afterwards), and the real program once without any display.

#include "headlesscommands.h"
#include "setupcommandline.h"
#include "virtualusbtransport.h"

#include <QCommandLineOption>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <memory>

namespace {

// A busy wait that takes no real time.
class InstantClock : public BusyWaitClock
{
public:
    qint64 nowMs() override { return m_now; }
    void pauseMs(int ms) override { m_now += ms; }

private:
    qint64 m_now = 0;
};

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class TestHeadlessCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup*=false")); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_bus = std::make_unique<VirtualUsbTransport>();
        m_bus->addKestroxDevices();
    }

    void cleanup()
    {
        QCOMPARE(m_bus->openHandleCount(), 0);
        QCOMPARE(m_bus->misuseCount(), 0);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("command"); // HeadlessCommand
        QTest::addColumn<int>("productId");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("usageError");
        const auto row = [](const char *name, const QStringList &arguments, HeadlessCommand command,
                            int productId, const char *file, bool save, bool error) {
            QTest::newRow(name) << (QStringList{QStringLiteral("kestrox-setup")} + arguments) << int(command)
                                << productId << QString::fromLatin1(file) << save << error;
        };
        using C = HeadlessCommand;
        const QString re = QStringLiteral("--read-effects");
        const QString ah = QStringLiteral("--apply-hardware");
        row("window", {}, C::None, -1, "", false, false);
        row("window, advanced", {QStringLiteral("advanced")}, C::None, -1, "", false, false);
        row("list", {QStringLiteral("--list"), QStringLiteral("--virtual-devices")}, C::List, -1, "", false, false);
        row("read effects", {re, QStringLiteral("58f9"), QStringLiteral("a.bin")}, C::ReadEffects, 0x58F9, "a.bin",
            false, false);
        row("0x and capitals", {re, QStringLiteral("0x59D7"), QStringLiteral("a.bin")}, C::ReadEffects, 0x59D7,
            "a.bin", false, false);
        row("read hardware", {QStringLiteral("--read-hardware=5968"), QStringLiteral("h.bin")}, C::ReadHardware,
            0x5968, "h.bin", false, false);
        row("apply and save", {ah, QStringLiteral("55f0"), QStringLiteral("h.bin"), QStringLiteral("--save")},
            C::ApplyHardware, 0x55F0, "h.bin", true, false);
        row("apply effects", {QStringLiteral("--apply-effects"), QStringLiteral("58f9"), QStringLiteral("e.bin")},
            C::ApplyEffects, 0x58F9, "e.bin", false, false);
        row("two commands", {QStringLiteral("--list"), re, QStringLiteral("58f9"), QStringLiteral("a")},
            C::ReadEffects, -1, "", false, true);
        row("one command twice", {re, QStringLiteral("58f9"), re, QStringLiteral("5968"), QStringLiteral("a")},
            C::ReadEffects, -1, "", false, true);
        row("save with a read", {re, QStringLiteral("58f9"), QStringLiteral("a"), QStringLiteral("--save")},
            C::ReadEffects, -1, "", true, true);
        row("save alone", {QStringLiteral("--save")}, C::None, -1, "", true, true);
        row("no Kestrox id", {re, QStringLiteral("58f8"), QStringLiteral("a")}, C::ReadEffects, -1, "", false,
            true);
        row("not hexadecimal", {re, QStringLiteral("joystick"), QStringLiteral("a")}, C::ReadEffects, -1, "",
            false, true);
        row("too long", {re, QStringLiteral("158f9"), QStringLiteral("a")}, C::ReadEffects, -1, "", false, true);
        row("no file", {re, QStringLiteral("58f9")}, C::ReadEffects, 0x58F9, "", false, true);
        row("two files", {ah, QStringLiteral("58f9"), QStringLiteral("a"), QStringLiteral("b")}, C::ApplyHardware,
            0x58F9, "", false, true);
        row("list with a file", {QStringLiteral("--list"), QStringLiteral("a")}, C::List, -1, "", false, true);
        row("unknown option", {QStringLiteral("--lists")}, C::None, -1, "", false, true);
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, command);
        QFETCH(int, productId);
        QFETCH(QString, file);
        QFETCH(bool, save);
        QFETCH(bool, usageError);
        SetupCommandLineParser parser(QCommandLineOption(QStringLiteral("user-data-folder")));
        const SetupCommandLine line = parser.parse(arguments);
        QCOMPARE(!line.error.isEmpty(), usageError);
        QCOMPARE(int(line.command), command);
        QCOMPARE(line.save, save);
        if (usageError)
            return;
        QCOMPARE(line.productId, productId);
        QCOMPARE(line.file, file);

        // Decided from argv before any application object exists, the same way.
        QList<QByteArray> bytes;
        for (const QString &argument : arguments)
            bytes << argument.toLocal8Bit();
        QList<char *> argv;
        for (QByteArray &argument : bytes)
            argv << argument.data();
        QCOMPARE(isHeadlessCommandLine(int(argv.size()), argv.data()), command != int(HeadlessCommand::None));
    }

    void optionsEndAtDoubleDash()
    {
        char program[] = "kestrox-setup";
        char dashes[] = "--";
        char list[] = "--list";
        char *argv[] = {program, dashes, list};
        QVERIFY(!isHeadlessCommandLine(3, argv));
        char *listOnly[] = {program, list};
        QVERIFY(isHeadlessCommandLine(2, listOnly));
    }

    void list()
    {
        m_bus->device(RudderProductId)->unplug();
        const Outcome listed = run({QStringLiteral("--list")});
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.out, QStringLiteral("Kestrox Joystick\t58f9\t240611\n"
                                            "Kestrox Wheel PRO\t59d7\t240530\n"));
        QCOMPARE(listed.err, QString());
    }

    // Read, change, apply with --save and read again: the device's current
    // and permanent memory and the files agree byte for byte.
    void effectsRoundTrip()
    {
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        const QString first = path(QStringLiteral("joystick.effects"));
        QCOMPARE(run({QStringLiteral("--read-effects"), QStringLiteral("58f9"), first}).status, 0);
        QByteArray bytes = contents(first);
        QCOMPARE(bytes, recordBytes(joystick->effectSettings()));

        // Axis 0 motion range 300 degrees (+7, little-endian), DirectX spring strength 55 %.
        bytes[128 + 7] = char(0x2C);
        bytes[128 + 8] = char(0x01);
        bytes[1] = char(55);
        const QString changed = path(QStringLiteral("changed.effects"));
        write(changed, bytes);
        const Outcome applied =
            run({QStringLiteral("--apply-effects"), QStringLiteral("58f9"), changed, QStringLiteral("--save")});
        QCOMPARE(applied.err, QString());
        QCOMPARE(applied.status, 0);
        QCOMPARE(recordBytes(joystick->effectSettings()), bytes);
        QCOMPARE(recordBytes(joystick->savedEffectSettings()), bytes);
        QCOMPARE(int(joystick->effectSettings().axes[0].motionRange), 300);

        const QString again = path(QStringLiteral("again.effects"));
        QCOMPARE(run({QStringLiteral("--read-effects"), QStringLiteral("58f9"), again}).status, 0);
        QCOMPARE(contents(again), bytes);

        // Without --save only what the device uses now changes.
        bytes[1] = char(20);
        write(changed + QStringLiteral("2"), bytes);
        QCOMPARE(run({QStringLiteral("--apply-effects"), QStringLiteral("58f9"), changed + QStringLiteral("2")})
                     .status,
                 0);
        QCOMPARE(int(joystick->effectSettings().directXSpringStrength), 20);
        QCOMPARE(int(joystick->savedEffectSettings().directXSpringStrength), 55);
    }

    void hardwareRoundTrip()
    {
        VirtualKestroxDevice *rudder = m_bus->device(RudderProductId);
        const QString file = path(QStringLiteral("rudder.hardware"));
        QCOMPARE(run({QStringLiteral("--read-hardware"), QStringLiteral("5968"), file}).status, 0);
        QByteArray bytes = contents(file);
        // The record, then the device information: firmware 240611 = 0x0003ABE3, type 2.
        QCOMPARE(bytes.size(), 576);
        QCOMPARE(bytes.left(512), recordBytes(rudder->hardwareSettings()));
        QCOMPARE(bytes.mid(512, 5), QByteArray::fromHex("e3ab030002"));

        bytes[48] = char(77); // power limit
        bytes[256 + 2] = char(9); // axis 0 pole pairs
        write(file + QStringLiteral(".new"), bytes);
        const Outcome saved = run({QStringLiteral("--apply-hardware"), QStringLiteral("5968"),
                                   file + QStringLiteral(".new"), QStringLiteral("--save")});
        QCOMPARE(saved.status, 0);
        QCOMPARE(recordBytes(rudder->savedHardwareSettings()), bytes.left(512));
        QCOMPARE(int(rudder->savedHardwareSettings().powerLimit), 77);
        QCOMPARE(rudder->saves(), 1);
    }

    // Nothing reaches the device, and the exit status and the one line say why.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments"); // FILE stands for the prepared file
        QTest::addColumn<QByteArray>("file");       // its content; empty: no file
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QByteArray joystickHardware = QByteArray(512, '\0') + QByteArray::fromHex("e3ab030001") +
                                            QByteArray(59, '\0');
        const QByteArray rudderHardware = QByteArray(512, '\0') + QByteArray::fromHex("e3ab030002") +
                                          QByteArray(59, '\0');
        const QString apply = QStringLiteral("--apply-hardware");
        QTest::newRow("hardware of a rudder on the joystick")
            << QStringList{apply, QStringLiteral("58f9"), QStringLiteral("FILE")} << rudderHardware << 2
            << "kestrox-setup: FILE holds the hardware settings of a Rudder; device 58f9 is a Joystick\n";
        QTest::newRow("hardware of a joystick on the wheel, saved")
            << QStringList{apply, QStringLiteral("59d7"), QStringLiteral("FILE"), QStringLiteral("--save")}
            << joystickHardware << 2
            << "kestrox-setup: FILE holds the hardware settings of a Joystick; device 59d7 is a Wheel\n";
        QTest::newRow("bare hardware record")
            << QStringList{apply, QStringLiteral("58f9"), QStringLiteral("FILE")} << QByteArray(512, '\1') << 2
            << "kestrox-setup: FILE is 512 bytes long; a hardware settings file has 576\n";
        QTest::newRow("effects one byte short")
            << QStringList{QStringLiteral("--apply-effects"), QStringLiteral("58f9"), QStringLiteral("FILE")}
            << QByteArray(383, '\1') << 2 << "kestrox-setup: FILE is 383 bytes long; an effect settings file has 384\n";
        QTest::newRow("effects file too long")
            << QStringList{QStringLiteral("--apply-effects"), QStringLiteral("58f9"), QStringLiteral("FILE")}
            << QByteArray(576, '\1') << 2 << "kestrox-setup: FILE is 576 bytes long; an effect settings file has 384\n";
        QTest::newRow("generic not connected")
            << QStringList{QStringLiteral("--apply-effects"), QStringLiteral("55f0"), QStringLiteral("FILE")}
            << QByteArray(384, '\1') << 1 << "kestrox-setup: device 55f0 is not connected\n";
        QTest::newRow("read from a device not connected")
            << QStringList{QStringLiteral("--read-hardware"), QStringLiteral("55f0"), QStringLiteral("FILE")}
            << QByteArray() << 1 << "kestrox-setup: device 55f0 is not connected\n";
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString filePath = path(QStringLiteral("settings"));
        if (!file.isEmpty())
            write(filePath, file);
        arguments.replaceInStrings(QStringLiteral("FILE"), filePath);
        const QList<int> taken = recordsTaken();
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.err, message.replace(QStringLiteral("FILE"), filePath));
        QCOMPARE(outcome.status, status);
        QCOMPARE(outcome.out, QString());
        QCOMPARE(recordsTaken(), taken);
        QCOMPARE(QFile::exists(filePath), !file.isEmpty());
    }

    void existingFileIsKept_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("effects") << QStringLiteral("--read-effects");
        QTest::newRow("hardware") << QStringLiteral("--read-hardware");
    }

    void existingFileIsKept()
    {
        QFETCH(QString, command);
        const QString file = path(QStringLiteral("backup"));
        write(file, "mine");
        const Outcome outcome = run({command, QStringLiteral("58f9"), file});
        QCOMPARE(outcome.status, 2);
        QCOMPARE(outcome.err, QStringLiteral("kestrox-setup: %1 exists; it is not overwritten\n").arg(file));
        QCOMPARE(contents(file), QByteArray("mine"));
        // Nor is a link followed to overwrite what it points at.
        const QString link = path(QStringLiteral("link"));
        QVERIFY(QFile::link(path(QStringLiteral("nowhere")), link));
        QCOMPARE(run({command, QStringLiteral("58f9"), link}).status, 2);
        QVERIFY(!QFile::exists(path(QStringLiteral("nowhere"))));
        // No temporary file is left behind either.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("backup"), QStringLiteral("link")}));
    }

    // The device stays busy past the 30 s bound, or leaves during the record
    // transfer: status 1, and a read that fails writes no file.
    void deviceFailsDuringTheCommand_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QStringList save{QStringLiteral("--apply-effects"), QStringLiteral("58f9"), QStringLiteral("FILE"),
                               QStringLiteral("--save")};
        QTest::newRow("busy") << "busy" << save
                              << "kestrox-setup: device 58f9 stayed busy: the settings were not saved\n";
        QTest::newRow("gone") << "gone" << save << "kestrox-setup: device 58f9 went away: the settings were not saved\n";
        QTest::newRow("packet lost") << "packet" << save
                                     << "kestrox-setup: device 58f9 did not take the record: the settings were not "
                                        "saved\n";
        QTest::newRow("gone, apply")
            << "gone" << QStringList{QStringLiteral("--apply-effects"), QStringLiteral("58f9"), QStringLiteral("FILE")}
            << "kestrox-setup: device 58f9 went away: the settings may not have been applied\n";
        QTest::newRow("read stalls")
            << "stall" << QStringList{QStringLiteral("--read-effects"), QStringLiteral("58f9"), QStringLiteral("OUT")}
            << "kestrox-setup: reading the effect settings of device 58f9 failed\n";
    }

    void deviceFailsDuringTheCommand()
    {
        QFETCH(QString, ending);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        const QString file = path(QStringLiteral("in"));
        const QString out = path(QStringLiteral("out"));
        write(file, QByteArray(384, '\5'));
        arguments.replaceInStrings(QStringLiteral("FILE"), file).replaceInStrings(QStringLiteral("OUT"), out);
        if (ending == QLatin1String("busy"))
            joystick->setStuckBusy(true);
        else if (ending == QLatin1String("gone"))
            joystick->setUnplugAfterTransfers(1 + 3); // the poll's information read, then 3 packets
        else if (ending == QLatin1String("packet"))
            joystick->setStalledRecordPackets(1);
        else
            joystick->setStalledSettingsReads(1);
        InstantClock clock;
        const Outcome outcome = run(arguments, {100, 30000, &clock});
        QCOMPARE(outcome.err, message);
        QCOMPARE(outcome.status, 1);
        QCOMPARE(joystick->saves(), 0);
        QVERIFY(!QFile::exists(out));
        if (ending == QLatin1String("busy"))
            QCOMPARE(clock.nowMs(), 30000);
    }

    // The real program lists the virtual devices with no display at all.
    void runsWithoutDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(m_dir->path());
        program.start(QStringLiteral(KESTROX_SETUP_BINARY), {QStringLiteral("--virtual-devices"), QStringLiteral("--list")});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(), QByteArray("Kestrox Joystick\t58f9\t240611\n"
                                                             "Kestrox Rudder\t5968\t240611\n"
                                                             "Kestrox Wheel PRO\t59d7\t240530\n"));

        program.start(QStringLiteral(KESTROX_SETUP_BINARY), {QStringLiteral("--save")});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 2);
        QCOMPARE(program.readAllStandardError(),
                 QByteArray("kestrox-setup: --save goes with --apply-effects or --apply-hardware\n"));
    }

private:
    Outcome run(const QStringList &arguments, BusyWaitTiming timing = {1, 2000})
    {
        SetupCommandLineParser parser(QCommandLineOption(QStringLiteral("user-data-folder")));
        const SetupCommandLine line = parser.parse(QStringList{QStringLiteral("kestrox-setup")} + arguments);
        if (!line.error.isEmpty())
            qFatal("usage error in the test: %s", qPrintable(line.error));
        Outcome outcome;
        QTextStream out(&outcome.out);
        QTextStream err(&outcome.err);
        outcome.status = runHeadlessCommand(line, *m_bus, out, err, timing);
        return outcome;
    }

    QString path(const QString &name) const { return m_dir->filePath(name); }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    QList<int> recordsTaken() const
    {
        QList<int> taken;
        for (const int pid : {JoystickProductId, RudderProductId, WheelProductId})
            taken << m_bus->device(quint16(pid))->recordsTaken();
        return taken;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<VirtualUsbTransport> m_bus;
};

QTEST_GUILESS_MAIN(TestHeadlessCommands)
#include "tst_headlesscommands.moc"
