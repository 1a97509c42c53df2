#pragma once

#include <QIcon>
#include <QString>

#include <memory>

class QCoreApplication;
class QWidget;

class QCommandLineParser;
class QCommandLineOption;

namespace DesktopIntegration {

// True when the command line asks only for --help or --version, which must
// answer on a terminal without a display: no window system is needed.
bool asksForHelpOrVersion(int argc, char *argv[]);

// The application object: a plain core application for --help and
// --version, the widgets application otherwise. Where no display can be
// reached (no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), says so on
// stderr with `withoutDisplay` (how to run without one) and ends the process
// with status 1, instead of Qt's abort.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char *argv[], const QString &withoutDisplay = {});

// False when the environment names no display and no Qt platform.
bool displayAvailable();

// The option the menu entries start the programs with.
QCommandLineOption userDataFolderOption();

// The per-user data folder: $XDG_DATA_HOME/kestrox (~/.local/share/kestrox).
QString userDataFolder();

// Creates the per-user data folder and makes it the working directory, where
// the programs keep profiles and settings. Files already there are kept.
// False, with the reason in `error`, when it cannot be created or entered.
bool enterUserDataFolder(QString *error);

// The icon file in the working directory where one is there, otherwise the
// installed icon by its theme name, otherwise the installed icon files
// themselves (share/icons/hicolor/*/apps/<themeName>.png or .svg in the
// data folders and beside the program), for a desktop without the icon theme.
QIcon applicationIcon(const QString &workingDirectoryFile, const QString &themeName);

// Shows a window, restored if minimised, in front of the others.
void bringToFront(QWidget *window);
// Shows a window in the middle of the primary screen.
void showCentred(QWidget *window);

} // namespace DesktopIntegration
