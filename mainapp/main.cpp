#include "commandline.h"
#include "desktopintegration.h"
#include "mainwindow.h"
#include "recentlog.h"
#include "safetynotice.h"
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

    const std::unique_ptr<QCoreApplication> app = DesktopIntegration::createApplication(
        argc, argv, QStringLiteral("Start it from a desktop session, or without a window: "
                                   "QT_QPA_PLATFORM=offscreen kestrox-vantrell"));
    VantrellProgram::setIdentity();
    const auto recentLog = VantrellProgram::startRecentLog();
    // Started from the menu: profiles live in the per-user data folder, not
    // in whatever folder the desktop started us in (the home folder).
    QString error;
    if (options.userDataFolder && !DesktopIntegration::enterUserDataFolder(&error)) {
        std::fprintf(stderr, "kestrox-vantrell: %s\n", qPrintable(error));
        return 2;
    }

    // Two programs writing to the same motors would fight: the real devices
    // belong to the first instance; a later start hands its request over.
    const std::unique_ptr<SingleInstance> instance = VantrellProgram::createInstance(options);
    if (!instance->acquire()) {
        if (!options.virtualDevices)
            return VantrellProgram::handOver(*instance, options);
        std::fprintf(stderr, "kestrox-vantrell: another instance with virtual devices runs; this one takes no requests\n");
    }

    auto hid = VantrellProgram::createHidTransport(options, &error);
    if (!hid) {
        std::fprintf(stderr, "kestrox-vantrell: %s\n", qPrintable(error));
        return 2;
    }
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, app.get(), &QCoreApplication::quit);

    // A real stick gets no force before the pilot has read the safety notice once.
    const bool askForSafety = !options.virtualDevices && !SafetyNotice::acknowledged();
    MainWindow window(nullptr, VantrellProgram::workerOptions(options, std::move(hid)), askForSafety);
    VantrellProgram::serveRequests(*instance, window);
    DesktopIntegration::showCentred(&window);
    return app->exec(); // the window's end leaves the motors at rest and stops the worker
}
