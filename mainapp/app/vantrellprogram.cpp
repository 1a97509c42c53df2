#include "vantrellprogram.h"

#include "desktopintegration.h"
#include "devicelogtransport.h"
#include "healthreport.h"
#include "mainwindow.h"
#include "newprofilecommand.h"
#include "profiletemplates.h"
#include "recentlog.h"
#include "singleinstance.h"
#include "supportbundle.h"
#include "telemetrythread.h"
#include "virtualhidtransport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTextStream>

#include <QLoggingCategory>

#include <cstdio>

Q_LOGGING_CATEGORY(lcApp, "kestrox.app", QtWarningMsg)

namespace VantrellProgram {

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("kestrox-vantrell"));
    QCoreApplication::setApplicationVersion(QString::number(MainWindow::Version));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrox.Vantrell"));
}

int runWithoutWindow(const CommandLine &command, int &argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setIdentity();
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (command.action) {
    case CommandLine::Action::ShowHelp:
        out << vantrellHelpText();
        return 0;
    case CommandLine::Action::ShowVersion:
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    case CommandLine::Action::UsageError:
        err << "kestrox-vantrell: " << command.error << Qt::endl
            << "Run kestrox-vantrell --help for the options." << Qt::endl;
        return 2;
    case CommandLine::Action::Forces: {
        const auto instance = createInstance(command.options);
        if (!instance->send({QStringLiteral("forces"), command.options.forces})) {
            err << "kestrox-vantrell: no running kestrox-vantrell"
                << (command.options.virtualDevices ? " with virtual devices" : "") << " took the request" << Qt::endl;
            return 1;
        }
        out << "kestrox-vantrell: forces " << command.options.forces << " sent" << Qt::endl;
        return 0;
    }
    case CommandLine::Action::Doctor: {
        const QList<HealthCheck> checks = HealthReport::runAll(HealthEnvironment::system());
        if (command.options.doctorJson)
            out << QJsonDocument(HealthReport::toJson(checks)).toJson(QJsonDocument::Indented);
        else
            out << HealthReport::text(checks);
        return HealthReport::exitStatus(checks);
    }
    case CommandLine::Action::SupportBundle: {
        SupportBundleOptions bundle;
        bundle.path = command.options.supportBundlePath;
        bundle.recordingPath = command.options.includeRecording;
        bundle.environment = HealthEnvironment::system();
        bundle.profileFolders = SupportBundle::defaultProfileFolders(bundle.environment);
        bundle.checks = HealthReport::runAll(bundle.environment);
        QString error;
        if (!SupportBundle::write(bundle, &error)) {
            err << "kestrox-vantrell: " << error << Qt::endl;
            return 1;
        }
        out << "kestrox-vantrell: support bundle written to " << bundle.path << Qt::endl;
        return 0;
    }
    case CommandLine::Action::SetupSimulator: {
        SimulatorSetupOptions setup = *command.options.setupSimulator;
        setup.environment = SimulatorSetupEnvironment::system();
        return runSimulatorSetup(setup, out, err);
    }
    case CommandLine::Action::NewProfile: {
        // The folder the window would use with the same options.
        QString error;
        if (command.options.userDataFolder && !DesktopIntegration::enterUserDataFolder(&error)) {
            err << "kestrox-vantrell: " << error << Qt::endl;
            return 1;
        }
        return runNewProfileCommand(*command.options.newProfile, ProfileTemplates::systemFolders(), out, err);
    }
    case CommandLine::Action::Run:
        break;
    }
    return 2;
}

std::unique_ptr<RecentLog> startRecentLog()
{
    auto log = std::make_unique<RecentLog>(RecentLog::defaultFile());
    log->install();
    return log;
}

std::shared_ptr<HidTransport> createHidTransport(const VantrellOptions &options, QString *error)
{
    std::shared_ptr<HidTransport> hid;
    if (options.virtualDevices) {
        auto bus = VirtualHidTransport::withJoystickAndRudder();
        auto joystick = bus->device(DeviceReports::JoystickProductId);
        joystick->setPosition(0, options.virtualPosition.roll);
        joystick->setPosition(1, options.virtualPosition.pitch);
        bus->device(DeviceReports::RudderProductId)->setPosition(0, options.virtualPosition.yaw);
        hid = bus;
    } else {
        hid = createHidapiTransport();
    }
    if (!options.deviceLog.isEmpty()) {
        QString why;
        auto log = DeviceLogTransport::openLog(options.deviceLog, &why);
        if (!log) {
            *error = QStringLiteral("cannot open device log %1: %2").arg(options.deviceLog, why);
            return nullptr;
        }
        hid = std::make_shared<DeviceLogTransport>(hid, std::move(log));
    }
    return hid;
}

MainBackgroundThreadOptions workerOptions(const VantrellOptions &options, std::shared_ptr<HidTransport> hid)
{
    MainBackgroundThreadOptions worker;
    worker.hid = std::move(hid);
    worker.telemetryEndpoints.msfsAddress = options.msfsAddress;
    worker.telemetryEndpoints.xplaneAddress = options.xplaneAddress;
    worker.recordPath = options.recordPath;
    worker.replayPath = options.replayPath;
    worker.replaySpeed = options.replaySpeed;
    worker.replayLoop = options.replayLoop;
    return worker;
}

std::unique_ptr<SingleInstance> createInstance(const VantrellOptions &options)
{
    return std::make_unique<SingleInstance>(SingleInstance::defaultFolder(),
                                            options.virtualDevices ? QStringLiteral("kestrox-vantrell-virtual")
                                                                   : QStringLiteral("kestrox-vantrell"));
}

int handOver(const SingleInstance &running, const VantrellOptions &options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    // What a start sets up only for itself cannot be handed to the running one.
    const QList<std::pair<bool, const char *>> ownOnly = {
        {!options.deviceLog.isEmpty(), "--device-log"},
        {options.msfsAddress.has_value(), "--msfs-address"},
        {!(options.xplaneAddress == TelemetrySourceXPlane::defaultAddress()), "--xplane-address"},
        {!(options.virtualPosition == PositionInput()), "--virtual-position"}};
    for (const auto &[given, option] : ownOnly) {
        if (given) {
            err << "kestrox-vantrell is already running; " << option
                << " applies only to a new start: close the running one first" << Qt::endl;
            return 2;
        }
    }
    QString what;
    bool delivered = true;
    if (!options.recordPath.isEmpty()) {
        delivered = running.send({QStringLiteral("record"), options.recordPath});
        what = QStringLiteral("it was asked to record to %1").arg(options.recordPath);
    } else if (!options.replayPath.isEmpty()) {
        delivered = running.send({QStringLiteral("replay"), options.replayPath, QString::number(options.replaySpeed),
                                  options.replayLoop ? QStringLiteral("loop") : QStringLiteral("once")});
        what = QStringLiteral("it was asked to replay %1").arg(options.replayPath);
    }
    // The desktop's token lets the running window come to the front on Wayland.
    delivered = delivered && running.send({QStringLiteral("show"), qEnvironmentVariable("XDG_ACTIVATION_TOKEN")});
    if (!delivered) {
        err << "kestrox-vantrell is already running but did not answer; nothing was handed over" << Qt::endl;
        return 1;
    }
    out << "kestrox-vantrell is already running; "
        << (what.isEmpty() ? QStringLiteral("its window was asked to come to the front") : what) << '.' << Qt::endl;
    return 0;
}

void serveRequests(SingleInstance &instance, MainWindow &window)
{
    QObject::connect(&instance, &SingleInstance::requestReceived, &window, [&window](const QStringList &request) {
        const QString command = request.value(0);
        TelemetryThread *telemetry = window.worker()->telemetryWorker();
        if (command == QLatin1String("show")) {
            // Wayland lets a window come forward only with the token of the start that asked.
            if (const QString token = request.value(1); !token.isEmpty())
                qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
            DesktopIntegration::bringToFront(&window);
        } else if (command == QLatin1String("forces") && request.size() == 2) {
            const QString value = request.at(1);
            qCInfo(lcApp).noquote() << "forces" << value << "requested at" << steadyMillisecondClock()() << "ms";
            if (value == QLatin1String("toggle"))
                window.toggleForces();
            else if (value == QLatin1String("on") || value == QLatin1String("off"))
                window.setForcesEnabled(value == QLatin1String("on"));
        } else if (command == QLatin1String("record") && request.size() == 2 && telemetry) {
            QMetaObject::invokeMethod(telemetry, [telemetry, path = request.at(1)] { telemetry->startRecording(path); });
        } else if (command == QLatin1String("replay") && request.size() == 4 && telemetry) {
            const double speed = request.at(2).toDouble();
            const bool loop = request.at(3) == QLatin1String("loop");
            QMetaObject::invokeMethod(telemetry, [telemetry, path = request.at(1), speed, loop] {
                telemetry->startReplay(path, speed, loop);
            });
        }
    });
}

} // namespace VantrellProgram
