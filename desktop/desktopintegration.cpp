#include "desktopintegration.h"

#include <QApplication>
#include <QFileInfo>
#include <QCommandLineOption>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
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

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::unique_ptr<QCoreApplication> createApplication(int &argc, char *argv[], const QString &withoutDisplay)
{
    if (asksForHelpOrVersion(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    if (!displayAvailable()) {
        const QByteArray program = QFileInfo(QString::fromLocal8Bit(argc > 0 ? argv[0] : "")).fileName().toLocal8Bit();
        std::fprintf(stderr, "%s: no display found (DISPLAY and WAYLAND_DISPLAY are not set).%s%s\n",
                     program.constData(), withoutDisplay.isEmpty() ? "" : " ",
                     qPrintable(withoutDisplay));
        std::exit(1);
    }
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
    QIcon icon = QIcon::fromTheme(themeName);
    if (!icon.isNull())
        return icon;
    // No icon theme (hicolor-icon-theme is only recommended): the files the package installs.
    QStringList dataFolders = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (QCoreApplication::instance())
        dataFolders.prepend(QCoreApplication::applicationDirPath() + QStringLiteral("/../share"));
    for (const QString &folder : std::as_const(dataFolders)) {
        for (const char *file : {"256x256/apps/%1.png", "48x48/apps/%1.png", "scalable/apps/%1.svg"}) {
            const QString candidate = folder + QStringLiteral("/icons/hicolor/") + QLatin1String(file).arg(themeName);
            if (QFile::exists(candidate))
                icon.addFile(candidate);
        }
        if (!icon.isNull())
            break;
    }
    return icon;
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
