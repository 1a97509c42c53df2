#include "commandline.h"
#include "desktopintegration.h"
#include "mainwindow.h"
#include "singleinstance.h"
#include "unixsignalwatcher.h"
#include "vantrellprogram.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = parseVantrellCommandLine(arguments);
    if (command.action != CommandLine::Action::Run)
        return VantrellProgram::runWithoutWindow(command, argc, argv);
    const VantrellOptions &options = command.options;

    const std::unique_ptr<QCoreApplication> app = DesktopIntegration::createApplication(argc, argv);
    VantrellProgram::setIdentity();
    // Started from the menu: profiles live in the per-user data folder, not
    // in whatever folder the desktop started us in (the home folder).
    QString error;
    if (options.userDataFolder && !DesktopIntegration::enterUserDataFolder(&error)) {
        std::fprintf(stderr, "kestrox-vantrell: %s\n", qPrintable(error));
        return 2;
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

    auto hid = VantrellProgram::createHidTransport(options, &error);
    if (!hid) {
        std::fprintf(stderr, "kestrox-vantrell: %s\n", qPrintable(error));
        return 2;
    }
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, app.get(), &QCoreApplication::quit);

    MainWindow window(nullptr, VantrellProgram::workerOptions(options, std::move(hid)));
    if (instance)
        QObject::connect(instance.get(), &SingleInstance::showRequested, &window,
                         [&window] { DesktopIntegration::bringToFront(&window); });
    DesktopIntegration::showCentred(&window);
    return app->exec(); // the window's end leaves the motors at rest and stops the worker
}
