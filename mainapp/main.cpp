#include "desktopintegration.h"
#include "devicelogtransport.h"
#include "mainwindow.h"
#include "simconnectnetworkclient.h"
#include "simulatorsetup.h"
#include "singleinstance.h"
#include "telemetryrecording.h"
#include "unixsignalwatcher.h"
#include "virtualhidtransport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QHostInfo>
#include <QScreen>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace {

struct Options
{
    bool virtualDevices = false;
    PositionInput virtualPosition;
    QString deviceLog;
    bool userDataFolder = false;
    QString msfsAddress;
    QString recordPath;
    QString replayPath;
    double replaySpeed = 1.0;
    bool replayLoop = false;
    QHostAddress xplaneAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 xplanePort = 49000;
};

// HOST or HOST:PORT (an IPv6 address in brackets); a host name is looked up once.
bool parseHostAndPort(const QString &text, QHostAddress &address, quint16 &port)
{
    const QUrl url(QStringLiteral("udp://") + text);
    if (!url.isValid() || url.host().isEmpty() || !url.path().isEmpty() || url.port(port) <= 0 ||
        url.port(port) > 65535)
        return false;
    port = quint16(url.port(port));
    if (address.setAddress(url.host()))
        return true;
    const QHostInfo info = QHostInfo::fromName(url.host());
    for (const QHostAddress &candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
            address = candidate;
            return true;
        }
    }
    return false;
}

// Parses the command line; on a usage error prints it and returns false.
bool parseOptions(const QCoreApplication &app, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Force feedback for Kestrox flight controls."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtualDevices(
        QStringLiteral("virtual-devices"),
        QStringLiteral("Use a virtual joystick and rudder instead of USB."));
    const QCommandLineOption virtualPosition(
        QStringLiteral("virtual-position"),
        QStringLiteral("Positions of the virtual devices, +-1 at full deflection (default 0,0,0)."),
        QStringLiteral("ROLL,PITCH,YAW"));
    const QCommandLineOption deviceLog(QStringLiteral("device-log"),
                                       QStringLiteral("Append every report written to a device to FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption xplaneAddress(
        QStringLiteral("xplane-address"),
        QStringLiteral("Where X-Plane receives requests (default 127.0.0.1:49000)."),
        QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption userDataFolder = DesktopIntegration::userDataFolderOption();
    const QCommandLineOption msfsAddress(
        QStringLiteral("msfs-address"),
        QStringLiteral("Reach MSFS's SimConnect server over TCP at HOST:PORT "
                       "(default: SimConnect.cfg in the data folder, else 127.0.0.1:5111)."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("Record what the simulators send to FILE (a new file)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption replay(QStringLiteral("replay"),
                                    QStringLiteral("Replay a telemetry recording instead of listening to the "
                                                   "simulators."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption replaySpeed(QStringLiteral("replay-speed"),
                                         QStringLiteral("Replay X times as fast (default 1)."), QStringLiteral("X"));
    const QCommandLineOption replayLoop(QStringLiteral("replay-loop"),
                                        QStringLiteral("Start the replay over after its end."));
    parser.addOptions({virtualDevices, virtualPosition, deviceLog, xplaneAddress, userDataFolder, msfsAddress,
                       record, replay, replaySpeed, replayLoop});
    // Handled before the window starts (see main); listed here for --help.
    parser.addOptions({
        {QStringLiteral("setup-simulator"),
         QStringLiteral("Set up a simulator to send telemetry (dcs, il2, condor2 or msfs), then exit."),
         QStringLiteral("SIMULATOR")},
        {QStringLiteral("game-dir"), QStringLiteral("With --setup-simulator: the simulator's folder."),
         QStringLiteral("DIR")},
        {QStringLiteral("msfs-port"), QStringLiteral("With --setup-simulator msfs: the SimConnect port (5111)."),
         QStringLiteral("PORT")},
        {QStringLiteral("undo"), QStringLiteral("With --setup-simulator: take back what it added.")},
        {QStringLiteral("dry-run"), QStringLiteral("With --setup-simulator: show what would change.")},
    });
    parser.process(app);

    options.virtualDevices = parser.isSet(virtualDevices);
    // Absolute before the working directory may change to the data folder.
    if (parser.isSet(deviceLog))
        options.deviceLog = QFileInfo(parser.value(deviceLog)).absoluteFilePath();
    options.userDataFolder = parser.isSet(userDataFolder);
    options.msfsAddress = parser.value(msfsAddress);
    if (parser.isSet(msfsAddress) && !SimConnectNetworkClient::parseAddress(options.msfsAddress)) {
        std::fprintf(stderr, "kestrox-vantrell: --msfs-address expects HOST:PORT, as 127.0.0.1:5111\n");
        return false;
    }
    if (parser.isSet(record) && parser.isSet(replay)) {
        std::fprintf(stderr, "kestrox-vantrell: --record and --replay cannot be used together\n");
        return false;
    }
    if (parser.isSet(record)) {
        options.recordPath = QFileInfo(parser.value(record)).absoluteFilePath();
        if (QFileInfo::exists(options.recordPath)) {
            std::fprintf(stderr,
                         "kestrox-vantrell: %s already exists; recordings are never overwritten, "
                         "choose another file name\n",
                         qPrintable(parser.value(record)));
            return false;
        }
    }
    if (parser.isSet(replay)) {
        options.replayPath = QFileInfo(parser.value(replay)).absoluteFilePath();
        TelemetryRecordingReader reader;
        QString error;
        if (!reader.open(options.replayPath, &error)) {
            std::fprintf(stderr, "kestrox-vantrell: %s\n", qPrintable(error));
            return false;
        }
    }
    if (parser.isSet(replaySpeed)) {
        bool ok = false;
        options.replaySpeed = parser.value(replaySpeed).toDouble(&ok);
        if (!ok || !(options.replaySpeed > 0) || options.replaySpeed > 1000) {
            std::fprintf(stderr, "kestrox-vantrell: --replay-speed expects a number above 0, up to 1000\n");
            return false;
        }
    }
    options.replayLoop = parser.isSet(replayLoop);
    if (parser.isSet(xplaneAddress) &&
        !parseHostAndPort(parser.value(xplaneAddress), options.xplaneAddress, options.xplanePort)) {
        std::fprintf(stderr, "kestrox-vantrell: --xplane-address expects HOST or HOST:PORT, got \"%s\"\n",
                     qPrintable(parser.value(xplaneAddress)));
        return false;
    }
    if (parser.isSet(virtualPosition)) {
        const QStringList parts = parser.value(virtualPosition).split(QLatin1Char(','));
        float values[3] = {};
        bool ok = parts.size() == 3;
        for (int i = 0; ok && i < 3; ++i) {
            values[i] = parts[i].trimmed().toFloat(&ok);
            ok = ok && values[i] >= -1.0f && values[i] <= 1.0f;
        }
        if (!ok) {
            std::fprintf(stderr, "kestrox-vantrell: --virtual-position expects three numbers from -1 to 1, "
                                 "as ROLL,PITCH,YAW\n");
            return false;
        }
        options.virtualPosition = {values[0], values[1], values[2]};
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // A command-line job: runs without a window or a display.
    if (const int setup = runSimulatorSetupCommand(argc, argv); setup >= 0)
        return setup;

    const std::unique_ptr<QCoreApplication> application = DesktopIntegration::createApplication(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("kestrox-vantrell"));
    QCoreApplication::setApplicationVersion(QString::number(MainWindow::Version));

    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrox.Vantrell"));
    Options options;
    if (!parseOptions(app, options))
        return 2;
    // Started from the menu: profiles live in the per-user data folder, not
    // in whatever folder the desktop started us in (the home folder).
    if (options.userDataFolder) {
        QString error;
        if (!DesktopIntegration::enterUserDataFolder(&error)) {
            std::fprintf(stderr, "kestrox-vantrell: %s\n", qPrintable(error));
            return 2;
        }
    }

    // Two programs writing to the same motors would fight: the real devices
    // belong to the first instance; a later one brings it to the front.
    std::unique_ptr<SingleInstance> instance;
    if (!options.virtualDevices) {
        instance = std::make_unique<SingleInstance>(SingleInstance::defaultFolder());
        if (!instance->acquire()) {
            instance->requestShow();
            std::printf("kestrox-vantrell is already running; its window was brought to the front.\n");
            return 0;
        }
    }

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
        QString error;
        auto log = DeviceLogTransport::openLog(options.deviceLog, &error);
        if (!log) {
            std::fprintf(stderr, "kestrox-vantrell: cannot open device log %s: %s\n",
                         qPrintable(options.deviceLog), qPrintable(error));
            return 2;
        }
        hid = std::make_shared<DeviceLogTransport>(hid, std::move(log));
    }

    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app, &QCoreApplication::quit);

    MainBackgroundThreadOptions workerOptions;
    workerOptions.hid = hid;
    workerOptions.telemetryEndpoints.msfsAddress = options.msfsAddress;
    workerOptions.recordPath = options.recordPath;
    workerOptions.replayPath = options.replayPath;
    workerOptions.replaySpeed = options.replaySpeed;
    workerOptions.replayLoop = options.replayLoop;
    workerOptions.telemetryEndpoints.xplaneAddress = options.xplaneAddress;
    workerOptions.telemetryEndpoints.xplanePort = options.xplanePort;
    int result = 0;
    {
        MainWindow window(nullptr, workerOptions);
        if (instance) {
            QObject::connect(instance.get(), &SingleInstance::showRequested, &window, [&window] {
                window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
                window.show();
                window.raise();
                window.activateWindow();
            });
        }
        window.show();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        window.move((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2);
        result = app.exec();
    } // the window's end leaves the motors at rest and stops the worker
    return result;
}
