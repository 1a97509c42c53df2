#include "vantrellprogram.h"

#include "devicelogtransport.h"
#include "mainwindow.h"
#include "virtualhidtransport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

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
    case CommandLine::Action::SetupSimulator: {
        SimulatorSetupOptions setup = *command.options.setupSimulator;
        setup.environment = SimulatorSetupEnvironment::system();
        return runSimulatorSetup(setup, out, err);
    }
    case CommandLine::Action::Run:
        break;
    }
    return 2;
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

} // namespace VantrellProgram
