#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <memory>

class UsbTransport;

// What kestrox-setup does without a window.
enum class HeadlessCommand
{
    None, // the window
    List,
    ReadEffects,
    ReadHardware,
    ApplyEffects,
    ApplyHardware,
};

// Exit statuses of the headless commands.
enum HeadlessExit
{
    ExitDone = 0,
    ExitDeviceFailed = 1, // device absent, busy past the wait, or gone
    ExitUsage = 2,        // usage, or a file that cannot be used
};

struct SetupCommandLine
{
    bool virtualDevices = false;
    bool libusb = false;
    bool userDataFolder = false;
    bool help = false;
    bool version = false;
    HeadlessCommand command = HeadlessCommand::None;
    int productId = -1;
    QString file;
    bool save = false;
    // The program name and the plain arguments, as the window reads them.
    QStringList windowArguments;
    // Set when the command line cannot be used; says why.
    QString error;
};

// The options of kestrox-setup, with its help text.
class SetupCommandLineParser
{
public:
    // `userDataFolder` is the desktop's option that moves the working
    // directory to the per-user data folder.
    explicit SetupCommandLineParser(const QCommandLineOption &userDataFolder);

    SetupCommandLine parse(const QStringList &arguments);
    // Print the help or the version and end the process with status 0.
    [[noreturn]] void showHelp();
    [[noreturn]] void showVersion();

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_virtualDevices;
    QCommandLineOption m_libusb;
    QCommandLineOption m_userDataFolder;
    QCommandLineOption m_list;
    QCommandLineOption m_readEffects;
    QCommandLineOption m_readHardware;
    QCommandLineOption m_applyEffects;
    QCommandLineOption m_applyHardware;
    QCommandLineOption m_save;
};

// True when the arguments ask for a headless command, which must run without
// a display: decided before any application object exists.
bool isHeadlessCommandLine(int argc, char *argv[]);

// A product id as given on the command line: hexadecimal, with or without 0x.
// -1 when it is none.
int parseProductId(const QString &text);

// The transport the command line asks for: the virtual devices, libusb, or
// (the default on Linux) the hidraw nodes.
std::unique_ptr<UsbTransport> createSetupTransport(const SetupCommandLine &commandLine);
