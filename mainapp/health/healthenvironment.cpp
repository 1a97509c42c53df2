#include "healthenvironment.h"

#include "desktopintegration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <sys/utsname.h>
#include <unistd.h>

HealthEnvironment HealthEnvironment::system()
{
    HealthEnvironment env;
    env.udevRuleFolders = {QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
                           QStringLiteral("/usr/local/lib/udev/rules.d"),
                           QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
    if (QCoreApplication::instance())
        env.deviceRuleSource = findDeviceRuleSource(QCoreApplication::applicationDirPath());
    struct utsname names
    {};
    if (::uname(&names) == 0)
        env.kernelRelease = QString::fromLocal8Bit(names.release);
    env.home = QDir::homePath();
    env.dataFolder = DesktopIntegration::userDataFolder();
    // As the instance lock finds it, without making a folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    env.runtimeFolder = !runtime.isEmpty() && QFileInfo(runtime).isDir()
                            ? runtime
                            : QDir::tempPath() + QStringLiteral("/kestrox-%1").arg(::getuid());
    env.stateFolder = defaultStateFolder();
    env.workingFolder = QDir::currentPath();
    env.ownPid = ::getpid();
    env.simulators = SimulatorSetupEnvironment::system();
    return env;
}

QString HealthEnvironment::defaultStateFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG rule: a relative path is ignored.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state + QStringLiteral("/kestrox"));
}

QString HealthEnvironment::findDeviceRuleSource(const QString &programDir)
{
    for (const QString &relative :
         {QStringLiteral("../lib/udev/rules.d/60-kestrox.rules"), QStringLiteral("udev/60-kestrox.rules")}) {
        const QString path = QDir::cleanPath(programDir + QLatin1Char('/') + relative);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}
