#include "desktopintegration.h"
#include "libusbtransport.h"
#include "mainwindow.h"
#include "virtualusbtransport.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> application = DesktopIntegration::createApplication(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("kestrox-setup"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROX_RELEASE));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads, applies and saves the settings of Kestrox devices."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtualDevices(
        QStringLiteral("virtual-devices"),
        QStringLiteral("Talk to a virtual Joystick, Rudder and Wheel PRO instead of USB devices."));
    const QCommandLineOption userDataFolder = DesktopIntegration::userDataFolderOption();
    parser.addOptions({virtualDevices, userDataFolder});
    parser.addPositionalArgument(
        QStringLiteral("advanced"),
        QStringLiteral("Also show the settings meant for experts. Any argument skips config.ini."),
        QStringLiteral("[advanced]"));
    parser.process(app);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrox.Setup"));
    if (parser.isSet(userDataFolder)) {
        QString error;
        if (!DesktopIntegration::enterUserDataFolder(&error)) {
            std::fprintf(stderr, "kestrox-setup: %s\n", qPrintable(error));
            return 2;
        }
    }

    std::unique_ptr<UsbTransport> usb;
    if (parser.isSet(virtualDevices)) {
        auto bus = std::make_unique<VirtualUsbTransport>();
        bus->addKestroxDevices();
        usb = std::move(bus);
    } else {
        usb = std::make_unique<LibUsbTransport>();
    }

    // Options are this program's own; the window sees only plain arguments.
    const QStringList arguments =
        QStringList{QCoreApplication::arguments().value(0)} + parser.positionalArguments();
    MainWindow window(usb.get(), arguments);
    window.show();
    QFont font = QApplication::font();
    font.setPixelSize(11);
    QApplication::setFont(font);
    return app.exec();
}
