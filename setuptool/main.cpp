#include "libusbtransport.h"
#include "settingsuibackgroundthread.h"
#include "virtualusbtransport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QMainWindow>
#include <QStringList>
#include <QThread>

#include <memory>

namespace {

QString deviceName(int productId)
{
    switch (productId) {
    case GenericProductId:
        return QStringLiteral("Kestrox Generic");
    case JoystickProductId:
        return QStringLiteral("Kestrox Joystick");
    case RudderProductId:
        return QStringLiteral("Kestrox Rudder");
    case WheelProductId:
        return QStringLiteral("Kestrox Wheel PRO");
    default:
        return QStringLiteral("0x%1").arg(productId, 4, 16, QLatin1Char('0'));
    }
}

QString deviceListText(const QMap<int, DeviceInfoTypeDef> &devices)
{
    if (devices.isEmpty())
        return QStringLiteral("No compatible devices connected");
    QStringList lines;
    for (auto it = devices.cbegin(); it != devices.cend(); ++it)
        lines << QStringLiteral("%1 (Version %2)").arg(deviceName(it.key())).arg(it->firmwareVersion);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrox-setup"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROX_RELEASE));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads, applies and saves the settings of Kestrox devices."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtualDevices(
        QStringLiteral("virtual-devices"),
        QStringLiteral("Talk to a virtual Joystick, Rudder and Wheel PRO instead of USB devices."));
    parser.addOption(virtualDevices);
    parser.process(app);

    std::unique_ptr<UsbTransport> usb;
    if (parser.isSet(virtualDevices)) {
        auto bus = std::make_unique<VirtualUsbTransport>();
        bus->addKestroxDevices();
        usb = std::move(bus);
    } else {
        usb = std::make_unique<LibUsbTransport>();
    }
    usb->init();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kestrox Setup"));
    auto *label = new QLabel(deviceListText({}), &window);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(360, 120);
    window.setCentralWidget(label);

    // The worker runs every transfer on its own thread; the window only
    // listens. It is deleted on that thread when the thread ends.
    QThread workerThread;
    auto *worker = new SettingsUiBackgroundThread(kestroxProductIdList(), KestroxVendorId, usb.get());
    worker->moveToThread(&workerThread);
    QObject::connect(&workerThread, &QThread::started, worker, &SettingsUiBackgroundThread::start);
    QObject::connect(&workerThread, &QThread::finished, worker, &QObject::deleteLater);
    QObject::connect(
        worker, &SettingsUiBackgroundThread::connectedDevices, label,
        [label](const QMap<int, DeviceInfoTypeDef> &devices) { label->setText(deviceListText(devices)); });
    workerThread.start();

    window.show();
    const int result = app.exec();

    // Devices are closed by the worker before libusb goes away.
    workerThread.quit();
    workerThread.wait();
    usb->exit();
    return result;
}
