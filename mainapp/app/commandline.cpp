#include "commandline.h"

#include "telemetry.h"
#include "telemetryrecording.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <utility>

namespace {

struct Options
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Displays help on commandline options.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    QCommandLineOption virtualDevices{QStringLiteral("virtual-devices"),
                                      QStringLiteral("Use a virtual joystick and rudder instead of USB.")};
    QCommandLineOption virtualPosition{
        QStringLiteral("virtual-position"),
        QStringLiteral("Positions of the virtual devices, +-1 at full deflection (default 0,0,0)."),
        QStringLiteral("ROLL,PITCH,YAW")};
    QCommandLineOption deviceLog{QStringLiteral("device-log"),
                                 QStringLiteral("Append every report written to a device to FILE."),
                                 QStringLiteral("FILE")};
    QCommandLineOption xplaneAddress{QStringLiteral("xplane-address"),
                                     QStringLiteral("Where X-Plane receives requests (default 127.0.0.1:49000)."),
                                     QStringLiteral("HOST[:PORT]")};
    QCommandLineOption userDataFolder{
        QStringLiteral("user-data-folder"),
        QStringLiteral("Keep profiles and settings in the per-user data folder ($XDG_DATA_HOME/kestrox) "
                       "instead of the working directory, as the menu entry does.")};
    QCommandLineOption msfsAddress{QStringLiteral("msfs-address"),
                                   QStringLiteral("Reach MSFS's SimConnect server over TCP at HOST:PORT "
                                                  "(default: SimConnect.cfg in the data folder, else "
                                                  "127.0.0.1:5111)."),
                                   QStringLiteral("HOST:PORT")};
    QCommandLineOption record{QStringLiteral("record"),
                              QStringLiteral("Record what the simulators send to FILE (a new file)."),
                              QStringLiteral("FILE")};
    QCommandLineOption replay{QStringLiteral("replay"),
                              QStringLiteral("Replay a telemetry recording instead of listening to the "
                                             "simulators."),
                              QStringLiteral("FILE")};
    QCommandLineOption replaySpeed{QStringLiteral("replay-speed"),
                                   QStringLiteral("With --replay: replay X times as fast (default 1)."),
                                   QStringLiteral("X")};
    QCommandLineOption replayLoop{QStringLiteral("replay-loop"),
                                  QStringLiteral("With --replay: start the replay over after its end.")};
    QCommandLineOption setupSimulator{
        QStringLiteral("setup-simulator"),
        QStringLiteral("Set up a simulator to send telemetry (dcs, il2, condor2 or msfs), then exit."),
        QStringLiteral("SIMULATOR")};
    QCommandLineOption gameDir{QStringLiteral("game-dir"),
                               QStringLiteral("With --setup-simulator: the simulator's folder."),
                               QStringLiteral("DIR")};
    QCommandLineOption msfsPort{QStringLiteral("msfs-port"),
                                QStringLiteral("With --setup-simulator msfs: the SimConnect port (5111)."),
                                QStringLiteral("PORT")};
    QCommandLineOption undo{QStringLiteral("undo"), QStringLiteral("With --setup-simulator: take back what it added.")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("With --setup-simulator: show what would change.")};
    QCommandLineOption replaceScript{
        QStringLiteral("replace-script"),
        QStringLiteral("With --setup-simulator dcs: replace a KestroxExport.lua that differs from the shipped one, "
                       "keeping a backup.")};
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("With --setup-simulator: edit the simulator's files even while it is "
                                            "running.")};
    QCommandLineOption forces{QStringLiteral("forces"),
                              QStringLiteral("Switch the forces of the running kestrox-vantrell (the one started "
                                             "with --virtual-devices when given too), then exit."),
                              QStringLiteral("on|off|toggle")};
    QCommandLineOption newProfile{
        QStringLiteral("new-profile"),
        QStringLiteral(
            "Followed by SOURCE MODULE TEMPLATE: make the profile of aircraft MODULE (as the simulator "
            "reports it) of SOURCE (MSFS, DCS, IL2, WARTHUNDER, CONDOR2 or XPLANE) from TEMPLATE (jet, "
            "propeller, glider or warthunder) in the profile folder, then exit. An existing profile is "
            "never overwritten.")};
    QCommandLineOption doctor{QStringLiteral("doctor"),
                              QStringLiteral("Check what stands between you and the forces (device access, "
                                             "simulators, ports), print one line per check and exit: 0 when "
                                             "nothing is a problem, 1 otherwise. Changes nothing.")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("With --doctor: print the checks as JSON.")};
    QCommandLineOption supportBundle{QStringLiteral("support-bundle"),
                                     QStringLiteral("Write a support bundle (.tar.gz: the checks, versions, recent "
                                                    "log, profiles) to FILE, a new file, then exit."),
                                     QStringLiteral("FILE")};
    QCommandLineOption includeRecording{QStringLiteral("include-recording"),
                                        QStringLiteral("With --support-bundle: add this telemetry recording."),
                                        QStringLiteral("FILE")};

    // The options that start the window, and those of the set-up command.
    QList<const QCommandLineOption *> window() const
    {
        return {&virtualDevices, &virtualPosition, &deviceLog, &xplaneAddress, &userDataFolder, &msfsAddress,
                &record,         &replay,          &replaySpeed, &replayLoop};
    }
    QList<const QCommandLineOption *> setup() const
    {
        return {&gameDir, &msfsPort, &undo, &dryRun, &replaceScript, &force};
    }

    void addTo(QCommandLineParser &parser) const
    {
        parser.setApplicationDescription(QStringLiteral("Force feedback for Kestrox flight controls."));
        parser.addOption(help);
        parser.addOption(version);
        for (const QCommandLineOption *option : window())
            parser.addOption(*option);
        parser.addOption(setupSimulator);
        for (const QCommandLineOption *option : setup())
            parser.addOption(*option);
        parser.addOption(forces);
        parser.addOption(newProfile);
        for (const QCommandLineOption *option : health())
            parser.addOption(*option);
    }
    QList<const QCommandLineOption *> health() const
    {
        return {&doctor, &json, &supportBundle, &includeRecording};
    }
};

QString dashed(const QCommandLineOption &option)
{
    return QStringLiteral("--") + option.names().constLast();
}

CommandLine usageError(const QString &error)
{
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = error;
    return result;
}

std::optional<SimulatorSetupOptions::Simulator> simulatorNamed(const QString &name)
{
    using Simulator = SimulatorSetupOptions::Simulator;
    static const QList<std::pair<QString, Simulator>> names = {{QStringLiteral("dcs"), Simulator::Dcs},
                                                               {QStringLiteral("il2"), Simulator::Il2},
                                                               {QStringLiteral("condor2"), Simulator::Condor2},
                                                               {QStringLiteral("msfs"), Simulator::Msfs}};
    for (const auto &[known, simulator] : names)
        if (name.toLower() == known)
            return simulator;
    return std::nullopt;
}

// The simulators by the names --new-profile takes, any case.
std::optional<int> profileSourceNamed(const QString &name)
{
    static const QList<std::pair<QString, int>> names = {
        {QStringLiteral("MSFS"), Telemetry::TELEMETRY_SOURCE_MSFS},
        {QStringLiteral("DCS"), Telemetry::TELEMETRY_SOURCE_DCS},
        {QStringLiteral("IL2"), Telemetry::TELEMETRY_SOURCE_IL2},
        {QStringLiteral("WARTHUNDER"), Telemetry::TELEMETRY_SOURCE_WARTHUNDER},
        {QStringLiteral("CONDOR2"), Telemetry::TELEMETRY_SOURCE_CONDOR},
        {QStringLiteral("XPLANE"), Telemetry::TELEMETRY_SOURCE_XPLANE}};
    for (const auto &[known, source] : names)
        if (name.toUpper() == known)
            return source;
    return std::nullopt;
}

// --new-profile SOURCE MODULE TEMPLATE, with only --user-data-folder beside it.
CommandLine newProfileCommand(const Options &o, const QCommandLineParser &parser,
                              const QStringList &arguments)
{
    const QString form =
        QStringLiteral("--new-profile expects SOURCE MODULE TEMPLATE, as --new-profile DCS F-16C_50 jet");
    QList<const QCommandLineOption *> others = o.window() + o.setup() + o.health();
    others << &o.setupSimulator << &o.forces;
    for (const QCommandLineOption *option : std::as_const(others)) {
        if (option != &o.userDataFolder && parser.isSet(*option))
            return usageError(QStringLiteral("%1 cannot be used with --new-profile").arg(dashed(*option)));
    }
    // The three values follow the option itself, in this order.
    const QStringList values = parser.positionalArguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--new-profile"));
    if (values.size() != 3 || at < 0 || arguments.mid(at + 1, 3) != values)
        return usageError(form);
    const auto source = profileSourceNamed(values[0]);
    if (!source)
        return usageError(
            QStringLiteral(
                "unknown simulator \"%1\" for --new-profile; expected MSFS, DCS, IL2, WARTHUNDER, CONDOR2 "
                "or XPLANE")
                .arg(values[0]));
    if (values[2].isEmpty())
        return usageError(form);
    CommandLine result;
    result.action = CommandLine::Action::NewProfile;
    result.options.userDataFolder = parser.isSet(o.userDataFolder);
    result.options.newProfile = NewProfileRequest{*source, values[1], values[2]};
    return result;
}

} // namespace

CommandLine parseVantrellCommandLine(const QStringList &arguments)
{
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(o.help)) {
        CommandLine result;
        result.action = CommandLine::Action::ShowHelp;
        return result;
    }
    if (parser.isSet(o.version)) {
        CommandLine result;
        result.action = CommandLine::Action::ShowVersion;
        return result;
    }
    if (parser.isSet(o.newProfile))
        return newProfileCommand(o, parser, arguments);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    CommandLine result;
    VantrellOptions &options = result.options;

    // The health commands: nothing else goes with them.
    for (const QCommandLineOption *option : o.health()) {
        if (!parser.isSet(*option))
            continue;
        for (const QCommandLineOption *other : o.window() + o.setup() +
                                                   QList<const QCommandLineOption *>{&o.setupSimulator, &o.forces}) {
            if (parser.isSet(*other))
                return usageError(QStringLiteral("%1 cannot be used with %2").arg(dashed(*other), dashed(*option)));
        }
    }
    if (parser.isSet(o.doctor) && parser.isSet(o.supportBundle))
        return usageError(QStringLiteral("--doctor and --support-bundle cannot be used together"));
    if (parser.isSet(o.json) && !parser.isSet(o.doctor))
        return usageError(QStringLiteral("--json needs --doctor"));
    if (parser.isSet(o.includeRecording) && !parser.isSet(o.supportBundle))
        return usageError(QStringLiteral("--include-recording needs --support-bundle"));
    if (parser.isSet(o.doctor)) {
        options.doctorJson = parser.isSet(o.json);
        result.action = CommandLine::Action::Doctor;
        return result;
    }
    if (parser.isSet(o.supportBundle)) {
        options.supportBundlePath = QFileInfo(parser.value(o.supportBundle)).absoluteFilePath();
        if (QFileInfo::exists(options.supportBundlePath) || QFileInfo(options.supportBundlePath).isSymLink())
            return usageError(QStringLiteral("%1 already exists; a support bundle never overwrites a file, "
                                             "choose another file name")
                                  .arg(parser.value(o.supportBundle)));
        if (parser.isSet(o.includeRecording)) {
            options.includeRecording = QFileInfo(parser.value(o.includeRecording)).absoluteFilePath();
            if (!QFileInfo(options.includeRecording).isFile() || !QFileInfo(options.includeRecording).isReadable())
                return usageError(QStringLiteral("cannot read the recording %1").arg(parser.value(o.includeRecording)));
        }
        result.action = CommandLine::Action::SupportBundle;
        return result;
    }

    if (parser.isSet(o.forces)) {
        const QString value = parser.value(o.forces);
        if (value != QLatin1String("on") && value != QLatin1String("off") && value != QLatin1String("toggle"))
            return usageError(QStringLiteral("--forces expects on, off or toggle, got \"%1\"").arg(value));
        for (const QCommandLineOption *option : o.window() + o.setup() + QList<const QCommandLineOption *>{&o.setupSimulator}) {
            if (option != &o.virtualDevices && option != &o.userDataFolder && parser.isSet(*option))
                return usageError(QStringLiteral("%1 cannot be used with --forces").arg(dashed(*option)));
        }
        options.forces = value;
        options.virtualDevices = parser.isSet(o.virtualDevices);
        result.action = CommandLine::Action::Forces;
        return result;
    }

    if (parser.isSet(o.setupSimulator)) {
        for (const QCommandLineOption *option : o.window()) {
            if (parser.isSet(*option))
                return usageError(
                    QStringLiteral("%1 cannot be used with --setup-simulator").arg(dashed(*option)));
        }
        SimulatorSetupOptions setup;
        const QString name = parser.value(o.setupSimulator);
        const auto simulator = simulatorNamed(name);
        if (!simulator)
            return usageError(
                QStringLiteral("unknown simulator \"%1\"; expected dcs, il2, condor2 or msfs").arg(name));
        setup.simulator = *simulator;
        setup.gameDir = parser.value(o.gameDir);
        if (parser.isSet(o.msfsPort)) {
            bool ok = false;
            const uint port = parser.value(o.msfsPort).toUInt(&ok);
            if (!ok || port == 0 || port > 65535)
                return usageError(QStringLiteral("--msfs-port expects a port number from 1 to 65535"));
            setup.msfsPort = quint16(port);
        }
        setup.undo = parser.isSet(o.undo);
        setup.dryRun = parser.isSet(o.dryRun);
        setup.replaceScript = parser.isSet(o.replaceScript);
        setup.force = parser.isSet(o.force);
        options.setupSimulator = setup;
        result.action = CommandLine::Action::SetupSimulator;
        return result;
    }
    for (const QCommandLineOption *option : o.setup()) {
        if (parser.isSet(*option))
            return usageError(QStringLiteral("%1 needs --setup-simulator").arg(dashed(*option)));
    }

    options.virtualDevices = parser.isSet(o.virtualDevices);
    options.userDataFolder = parser.isSet(o.userDataFolder);
    // Absolute before the working directory may change to the data folder.
    if (parser.isSet(o.deviceLog))
        options.deviceLog = QFileInfo(parser.value(o.deviceLog)).absoluteFilePath();

    if (parser.isSet(o.virtualPosition)) {
        const QStringList parts = parser.value(o.virtualPosition).split(QLatin1Char(','));
        float values[3] = {};
        bool ok = parts.size() == 3;
        for (int i = 0; ok && i < 3; ++i) {
            values[i] = parts[i].trimmed().toFloat(&ok);
            ok = ok && values[i] >= -1.0f && values[i] <= 1.0f;
        }
        if (!ok)
            return usageError(QStringLiteral(
                "--virtual-position expects three numbers from -1 to 1, as ROLL,PITCH,YAW"));
        options.virtualPosition = {values[0], values[1], values[2]};
    }

    if (parser.isSet(o.msfsAddress)) {
        options.msfsAddress = NetworkAddress::parse(parser.value(o.msfsAddress));
        if (!options.msfsAddress)
            return usageError(QStringLiteral("--msfs-address expects HOST:PORT, as 127.0.0.1:5111, got \"%1\"")
                                  .arg(parser.value(o.msfsAddress)));
    }
    if (parser.isSet(o.xplaneAddress)) {
        const auto address =
            NetworkAddress::parse(parser.value(o.xplaneAddress), TelemetrySourceXPlane::DefaultPort);
        if (!address)
            return usageError(QStringLiteral("--xplane-address expects HOST or HOST:PORT, got \"%1\"")
                                  .arg(parser.value(o.xplaneAddress)));
        options.xplaneAddress = *address;
    }

    if (parser.isSet(o.record) && parser.isSet(o.replay))
        return usageError(QStringLiteral("--record and --replay cannot be used together"));
    if (parser.isSet(o.record)) {
        options.recordPath = QFileInfo(parser.value(o.record)).absoluteFilePath();
        if (QFileInfo::exists(options.recordPath))
            return usageError(QStringLiteral("%1 already exists; recordings are never overwritten, "
                                             "choose another file name")
                                  .arg(parser.value(o.record)));
    }
    if (parser.isSet(o.replay)) {
        options.replayPath = QFileInfo(parser.value(o.replay)).absoluteFilePath();
        // The header only: the entries are read while the replay runs.
        TelemetryRecordingReader reader;
        QString error;
        if (!reader.open(options.replayPath, &error))
            return usageError(error);
    }
    for (const QCommandLineOption *option : {&o.replaySpeed, &o.replayLoop}) {
        if (parser.isSet(*option) && !parser.isSet(o.replay))
            return usageError(QStringLiteral("%1 needs --replay").arg(dashed(*option)));
    }
    if (parser.isSet(o.replaySpeed)) {
        bool ok = false;
        options.replaySpeed = parser.value(o.replaySpeed).toDouble(&ok);
        if (!ok || !(options.replaySpeed > 0) || options.replaySpeed > 1000)
            return usageError(QStringLiteral("--replay-speed expects a number above 0, up to 1000"));
    }
    options.replayLoop = parser.isSet(o.replayLoop);
    return result;
}

QString vantrellHelpText()
{
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    return parser.helpText();
}
