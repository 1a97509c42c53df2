#include "desktopintegration.h"
#include "headlesscommands.h"
#include "mainwindow.h"
#include "setupcommandline.h"
#include "usbtransport.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    // The headless commands run where there is no display.
    const bool headless = isHeadlessCommandLine(argc, argv);
    const std::unique_ptr<QCoreApplication> application =
        headless ? std::make_unique<QCoreApplication>(argc, argv)
                 : DesktopIntegration::createApplication(
                       argc, argv, QStringLiteral("Start it from a desktop session; its commands --list, --read-effects, "
                                                  "--apply-effects and the like need no display."));
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("kestrox-setup"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROX_RELEASE));

    SetupCommandLineParser parser(DesktopIntegration::userDataFolderOption());
    const SetupCommandLine commandLine = parser.parse(QCoreApplication::arguments());
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "kestrox-setup: %s\n", qPrintable(commandLine.error));
        return ExitUsage;
    }
    if (commandLine.help)
        parser.showHelp();
    if (commandLine.version)
        parser.showVersion();
    if (commandLine.userDataFolder) {
        QString error;
        if (!DesktopIntegration::enterUserDataFolder(&error)) {
            std::fprintf(stderr, "kestrox-setup: %s\n", qPrintable(error));
            return ExitUsage;
        }
    }

    const std::unique_ptr<UsbTransport> usb = createSetupTransport(commandLine);
    if (commandLine.command != HeadlessCommand::None) {
        // Only the command's own line goes to stderr.
        QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup*=false"));
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runHeadlessCommand(commandLine, *usb, out, err);
    }

    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrox.Setup"));
    MainWindow window(usb.get(), commandLine.windowArguments);
    window.show();
    QFont font = QApplication::font();
    font.setPixelSize(11);
    QApplication::setFont(font);
    return app.exec();
}
