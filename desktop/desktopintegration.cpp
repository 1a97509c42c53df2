#include "desktopintegration.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QWidget>
#include <QStandardPaths>

namespace DesktopIntegration {

bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-v" ||
            argument == "--version")
            return true;
    }
    return false;
}

std::unique_ptr<QCoreApplication> createApplication(int &argc, char *argv[])
{
    if (asksForHelpOrVersion(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    return std::make_unique<QApplication>(argc, argv);
}

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

void bringToFront(QWidget *window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

void showCentred(QWidget *window)
{
    window->show();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window->move((area.width() - window->width()) / 2, (area.height() - window->height()) / 2);
    }
}

} // namespace DesktopIntegration
