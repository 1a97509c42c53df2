#include "desktopintegration.h"

#include <QCommandLineOption>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace DesktopIntegration {

QCommandLineOption userDataFolderOption()
{
    return QCommandLineOption(
        QStringLiteral("user-data-folder"),
        QStringLiteral("Keep profiles and settings in the per-user data folder ($XDG_DATA_HOME/kestrox) "
                       "instead of the working directory, as the menu entry does."));
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kestrox");
}

bool enterUserDataFolder(QString *error)
{
    const QString folder = userDataFolder();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    if (!QDir::setCurrent(folder)) {
        *error = QStringLiteral("cannot enter %1").arg(folder);
        return false;
    }
    return true;
}

QIcon applicationIcon(const QString &workingDirectoryFile, const QString &themeName)
{
    const QString path = QDir::current().filePath(workingDirectoryFile);
    if (QFile::exists(path))
        return QIcon(path);
    return QIcon::fromTheme(themeName);
}

} // namespace DesktopIntegration
