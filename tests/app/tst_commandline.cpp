// kestrox-vantrell's command line: what each set of arguments starts, and
// the exact message of every usage error.

#include "commandline.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Action = CommandLine::Action;
using Simulator = SimulatorSetupOptions::Simulator;

class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_recording; // a file that begins with a recording's header
    QString m_notRecording;

    static CommandLine parse(const QStringList &arguments)
    {
        return parseVantrellCommandLine(QStringList{QStringLiteral("kestrox-vantrell")} + arguments);
    }
    // Arguments with {rec} and {txt} standing for the two files.
    QStringList expand(const QString &line) const
    {
        QStringList arguments = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString &argument : arguments)
            argument.replace(QLatin1String("{rec}"), m_recording).replace(QLatin1String("{txt}"), m_notRecording);
        return arguments;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_recording = m_dir.filePath(QStringLiteral("flight.kxrec"));
        QFile recording(m_recording);
        QVERIFY(recording.open(QIODevice::WriteOnly));
        // "KXTELREC", version 1, reserved: a header and no entries.
        recording.write(QByteArray::fromHex("4b5854454c524543" "0100" "0000"));
        recording.close();
        m_notRecording = m_dir.filePath(QStringLiteral("notes.txt"));
        QFile text(m_notRecording);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not telemetry");
        text.close();
    }

    void windowOptions_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("xplane");
        QTest::addColumn<QString>("msfs"); // empty: none given
        QTest::addColumn<bool>("virtualDevices");
        QTest::addColumn<QString>("position");

        QTest::newRow("defaults") << "" << "127.0.0.1:49000" << "" << false << "0,0,0";
        QTest::newRow("virtual devices") << "--virtual-devices --virtual-position 0.2,-0.1,0.3"
                                         << "127.0.0.1:49000" << "" << true << "0.2,-0.1,0.3";
        QTest::newRow("x-plane host only") << "--xplane-address 192.168.1.20" << "192.168.1.20:49000" << "" << false
                                           << "0,0,0";
        QTest::newRow("x-plane name, not looked up") << "--xplane-address=xplane.local:49010"
                                                     << "xplane.local:49010" << "" << false << "0,0,0";
        QTest::newRow("x-plane IPv6") << "--xplane-address [::1]:49001" << "[::1]:49001" << "" << false << "0,0,0";
        QTest::newRow("msfs") << "--msfs-address 10.0.0.5:500" << "127.0.0.1:49000" << "10.0.0.5:500" << false
                              << "0,0,0";
        QTest::newRow("msfs IPv6") << "--msfs-address [fe80::1]:5111" << "127.0.0.1:49000" << "[fe80::1]:5111"
                                   << false << "0,0,0";
    }
    void windowOptions()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, xplane);
        QFETCH(QString, msfs);
        QFETCH(bool, virtualDevices);
        QFETCH(QString, position);
        const CommandLine command = parse(expand(arguments));
        QCOMPARE(command.error, QString());
        QCOMPARE(command.action, Action::Run);
        const VantrellOptions &o = command.options;
        QCOMPARE(o.xplaneAddress.toString(), xplane);
        QCOMPARE(o.msfsAddress ? o.msfsAddress->toString() : QString(), msfs);
        QCOMPARE(o.virtualDevices, virtualDevices);
        QCOMPARE(QStringLiteral("%1,%2,%3").arg(o.virtualPosition.roll).arg(o.virtualPosition.pitch).arg(o.virtualPosition.yaw),
                 position);
        QVERIFY(!o.setupSimulator);
    }

    void replayAndRecording()
    {
        CommandLine replay = parse(expand(QStringLiteral("--replay {rec} --replay-speed 2.5 --replay-loop")));
        QCOMPARE(replay.action, Action::Run);
        QCOMPARE(replay.options.replayPath, m_recording);
        QCOMPARE(replay.options.replaySpeed, 2.5);
        QVERIFY(replay.options.replayLoop);

        // Relative paths are made absolute before the program may enter its data folder.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        const CommandLine record = parse({QStringLiteral("--record"), QStringLiteral("new.kxrec"),
                                          QStringLiteral("--device-log"), QStringLiteral("reports.log")});
        const CommandLine bundle = parse({QStringLiteral("--support-bundle=new.tar.gz"),
                                          QStringLiteral("--include-recording"), QStringLiteral("flight.kxrec")});
        QDir::setCurrent(previous);
        QCOMPARE(record.action, Action::Run);
        QCOMPARE(record.options.recordPath, m_dir.filePath(QStringLiteral("new.kxrec")));
        QCOMPARE(record.options.deviceLog, m_dir.filePath(QStringLiteral("reports.log")));
        QCOMPARE(bundle.action, Action::SupportBundle);
        QCOMPARE(bundle.options.supportBundlePath, m_dir.filePath(QStringLiteral("new.tar.gz")));
        QCOMPARE(bundle.options.includeRecording, m_recording);
    }

    void setupCommand_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("simulator");
        QTest::addColumn<QString>("gameDir");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("undo");
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<bool>("replaceScript");
        QTest::addColumn<bool>("force");
        QTest::newRow("msfs") << "--setup-simulator msfs --game-dir=/g --dry-run --msfs-port 5200"
                              << int(Simulator::Msfs) << "/g" << 5200 << false << true << false << false;
        QTest::newRow("dcs, any case") << "--setup-simulator=DCS --undo --replace-script" << int(Simulator::Dcs) << ""
                                       << 5111 << true << false << true << false;
        QTest::newRow("il2") << "--setup-simulator il2 --force" << int(Simulator::Il2) << "" << 5111 << false
                             << false << false << true;
        QTest::newRow("condor2") << "--setup-simulator condor2 --game-dir /c2" << int(Simulator::Condor2) << "/c2"
                                 << 5111 << false << false << false << false;
    }
    void setupCommand()
    {
        QFETCH(QString, arguments);
        QFETCH(int, simulator);
        QFETCH(QString, gameDir);
        QFETCH(int, port);
        QFETCH(bool, undo);
        QFETCH(bool, dryRun);
        QFETCH(bool, replaceScript);
        QFETCH(bool, force);
        const CommandLine command = parse(expand(arguments));
        QCOMPARE(command.error, QString());
        QCOMPARE(command.action, Action::SetupSimulator);
        QVERIFY(command.options.setupSimulator);
        const SimulatorSetupOptions &setup = *command.options.setupSimulator;
        QCOMPARE(int(setup.simulator), simulator);
        QCOMPARE(setup.gameDir, gameDir);
        QCOMPARE(int(setup.msfsPort), port);
        QCOMPARE(setup.undo, undo);
        QCOMPARE(setup.dryRun, dryRun);
        QCOMPARE(setup.replaceScript, replaceScript);
        QCOMPARE(setup.force, force);
    }

    // --new-profile SOURCE MODULE TEMPLATE (arguments split at '|'), the simulator in any case, the module
    // exactly as given; only --user-data-folder may come along.
    void newProfileCommand_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("userDataFolder");
        QTest::newRow("DCS") << "--new-profile|DCS|F-16C_50|jet" << 2 << "F-16C_50" << "jet" << false;
        QTest::newRow("IL-2, a module with a blank, the data folder")
            << "--user-data-folder|--new-profile|il2|Generic warbird|propeller" << 3 << "Generic warbird" << "propeller"
            << true;
        QTest::newRow("MSFS") << "--new-profile|Msfs|Cessna 172|propeller" << 1 << "Cessna 172" << "propeller" << false;
        QTest::newRow("X-Plane, no module") << "--new-profile|XPLANE||propeller" << 6 << "" << "propeller" << false;
    }
    void newProfileCommand()
    {
        QFETCH(QString, arguments);
        QFETCH(int, source);
        QFETCH(QString, module);
        QFETCH(QString, kind);
        QFETCH(bool, userDataFolder);
        const CommandLine command = parse(arguments.split(QLatin1Char('|')));
        QCOMPARE(command.error, QString());
        QCOMPARE(command.action, Action::NewProfile);
        QVERIFY(command.options.newProfile);
        QCOMPARE(command.options.newProfile->source, source);
        QCOMPARE(command.options.newProfile->flightModule, module);
        QCOMPARE(command.options.newProfile->templateKind, kind);
        QCOMPARE(command.options.userDataFolder, userDataFolder);
    }

    void helpAndVersion()
    {
        QCOMPARE(parse({QStringLiteral("--help")}).action, Action::ShowHelp);
        QCOMPARE(parse({QStringLiteral("-h")}).action, Action::ShowHelp);
        QCOMPARE(parse({QStringLiteral("--version")}).action, Action::ShowVersion);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("error"); // {rec}, {txt}: the files' paths

        QTest::newRow("set-up option alone") << "--game-dir X" << "--game-dir needs --setup-simulator";
        QTest::newRow("undo alone") << "--undo" << "--undo needs --setup-simulator";
        QTest::newRow("force alone") << "--force" << "--force needs --setup-simulator";
        QTest::newRow("unknown simulator") << "--setup-simulator xplane"
                                           << "unknown simulator \"xplane\"; expected dcs, il2, condor2 or msfs";
        QTest::newRow("simulator missing") << "--setup-simulator" << "Missing value after '--setup-simulator'.";
        QTest::newRow("port 0") << "--setup-simulator=il2 --msfs-port 0"
                                << "--msfs-port expects a port number from 1 to 65535";
        QTest::newRow("set-up with window options") << "--setup-simulator=il2 --virtual-devices"
                                                    << "--virtual-devices cannot be used with --setup-simulator";
        QTest::newRow("msfs without port") << "--msfs-address localhost"
                                           << "--msfs-address expects HOST:PORT, as 127.0.0.1:5111, got \"localhost\"";
        QTest::newRow("msfs IPv6 without brackets")
            << "--msfs-address ::1:5111" << "--msfs-address expects HOST:PORT, as 127.0.0.1:5111, got \"::1:5111\"";
        QTest::newRow("msfs empty host") << "--msfs-address :5111"
                                         << "--msfs-address expects HOST:PORT, as 127.0.0.1:5111, got \":5111\"";
        QTest::newRow("x-plane port too large") << "--xplane-address host:70000"
                                                << "--xplane-address expects HOST or HOST:PORT, got \"host:70000\"";
        QTest::newRow("x-plane port not a number") << "--xplane-address host:x"
                                                   << "--xplane-address expects HOST or HOST:PORT, got \"host:x\"";
        QTest::newRow("x-plane space in the name") << "--xplane-address=a b"
                                                   << "unexpected argument \"b\"";
        QTest::newRow("position not a number")
            << "--virtual-position 0.5,abc" << "--virtual-position expects three numbers from -1 to 1, as ROLL,PITCH,YAW";
        QTest::newRow("position beyond full deflection")
            << "--virtual-position 0,0,1.5" << "--virtual-position expects three numbers from -1 to 1, as ROLL,PITCH,YAW";
        QTest::newRow("record and replay") << "--record a.kxrec --replay {rec}"
                                           << "--record and --replay cannot be used together";
        QTest::newRow("record over a file") << "--record {txt}"
                                            << "{txt} already exists; recordings are never overwritten, choose "
                                               "another file name";
        QTest::newRow("replay of another file") << "--replay {txt}" << "{txt} is not a Kestrox telemetry recording";
        QTest::newRow("speed without replay") << "--replay-speed 2" << "--replay-speed needs --replay";
        QTest::newRow("loop without replay") << "--replay-loop" << "--replay-loop needs --replay";
        QTest::newRow("speed 0") << "--replay {rec} --replay-speed 0"
                                 << "--replay-speed expects a number above 0, up to 1000";
        QTest::newRow("forces: neither on nor off") << "--forces up" << "--forces expects on, off or toggle, got \"up\"";
        QTest::newRow("forces with a recording") << "--forces on --record x.kxrec"
                                                 << "--record cannot be used with --forces";
        const QString newProfileForm =
            QStringLiteral("--new-profile expects SOURCE MODULE TEMPLATE, as --new-profile DCS F-16C_50 jet");
        QTest::newRow("new profile without values") << "--new-profile" << newProfileForm;
        QTest::newRow("new profile, two values") << "--new-profile DCS jet" << newProfileForm;
        QTest::newRow("new profile, four values") << "--new-profile DCS F-16C_50 jet extra" << newProfileForm;
        QTest::newRow("new profile, values before it") << "DCS F-16C_50 jet --new-profile" << newProfileForm;
        const QString simulators =
            QStringLiteral(" for --new-profile; expected MSFS, DCS, IL2, WARTHUNDER, CONDOR2 or XPLANE");
        QTest::newRow("new profile, unknown simulator") << "--new-profile FS2004 C172 propeller"
                                                        << QStringLiteral("unknown simulator \"FS2004\"") + simulators;
        QTest::newRow("new profile, no simulator") << "--new-profile DISABLED C172 propeller"
                                                   << QStringLiteral("unknown simulator \"DISABLED\"") + simulators;
        QTest::newRow("new profile with virtual devices") << "--virtual-devices --new-profile DCS F-16C_50 jet"
                                                          << "--virtual-devices cannot be used with --new-profile";
        QTest::newRow("new profile with a replay") << "--new-profile DCS F-16C_50 jet --replay {rec}"
                                                   << "--replay cannot be used with --new-profile";
        QTest::newRow("new profile with forces") << "--forces on --new-profile DCS F-16C_50 jet"
                                                 << "--forces cannot be used with --new-profile";
        QTest::newRow("new profile with a value") << "--new-profile=DCS F-16C_50 jet"
                                                  << "Unexpected value after '--new-profile'.";
        QTest::newRow("json alone") << "--json" << "--json needs --doctor";
        QTest::newRow("doctor with a new profile") << "--doctor --new-profile DCS F-16C_50 jet"
                                                   << "--doctor cannot be used with --new-profile";
        QTest::newRow("recording without a bundle") << "--include-recording {rec}"
                                                    << "--include-recording needs --support-bundle";
        QTest::newRow("doctor and bundle") << "--doctor --support-bundle x.tar.gz"
                                           << "--doctor and --support-bundle cannot be used together";
        QTest::newRow("doctor with window options") << "--doctor --virtual-devices"
                                                    << "--virtual-devices cannot be used with --doctor";
        QTest::newRow("bundle with set-up") << "--support-bundle x.tar.gz --setup-simulator dcs"
                                            << "--setup-simulator cannot be used with --support-bundle";
        QTest::newRow("bundle over a file") << "--support-bundle {txt}"
                                            << "{txt} already exists; a support bundle never overwrites a file, "
                                               "choose another file name";
        QTest::newRow("missing recording") << "--support-bundle x.tar.gz --include-recording nothing.kxrec"
                                           << "cannot read the recording nothing.kxrec";
        QTest::newRow("unknown option") << "--bogus" << "Unknown option 'bogus'.";
        QTest::newRow("stray argument") << "stray" << "unexpected argument \"stray\"";
    }
    void usageErrors()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, error);
        const CommandLine command = parse(expand(arguments));
        QCOMPARE(command.action, Action::UsageError);
        QCOMPARE(command.error, expand(error).join(QLatin1Char(' ')));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
