#include "setupcommandline.h"

#include "libusbtransport.h"
#include "settingsrecords.h"
#include "virtualusbtransport.h"
#ifdef KESTROX_SETUP_HIDRAW
#include "hidrawtransport.h"
#endif

#include <QCoreApplication>

#include <cstring>

namespace {

// --save belongs to the commands: alone it is a usage error, told without a display.
const char *const HeadlessOptions[] = {"--list",           "--read-effects", "--read-hardware", "--apply-effects",
                                       "--apply-hardware", "--save"};

} // namespace

SetupCommandLineParser::SetupCommandLineParser(const QCommandLineOption &userDataFolder)
    : m_virtualDevices(QStringLiteral("virtual-devices"),
                       QStringLiteral("Talk to a virtual Joystick, Rudder and Wheel PRO instead of USB devices.")),
#ifdef KESTROX_SETUP_HIDRAW
      m_libusb(QStringLiteral("libusb"),
               QStringLiteral("Reach the devices through libusb instead of their hidraw nodes, for a device that "
                              "has none. The kernel's driver is detached: the system (the simulator, "
                              "kestrox-vantrell) loses the device while kestrox-setup runs.")),
#else
      m_libusb(QStringLiteral("libusb"), QStringLiteral("Reach the devices through libusb (always so here).")),
#endif
      m_userDataFolder(userDataFolder),
      m_list(QStringLiteral("list"),
             QStringLiteral("Print one line per connected device: name, product id (hex), firmware version.")),
      m_readEffects(QStringLiteral("read-effects"),
                    QStringLiteral("Write the effect settings of the device (384 bytes, a device effect profile) "
                                   "to FILE, which must not exist."),
                    QStringLiteral("PRODUCT_ID")),
      m_readHardware(QStringLiteral("read-hardware"),
                     QStringLiteral("Write the hardware settings of the device (512 bytes, then the 64 bytes of "
                                    "its device information) to FILE, which must not exist."),
                     QStringLiteral("PRODUCT_ID")),
      m_applyEffects(QStringLiteral("apply-effects"),
                     QStringLiteral("Apply the effect settings in FILE to the device."), QStringLiteral("PRODUCT_ID")),
      m_applyHardware(QStringLiteral("apply-hardware"),
                      QStringLiteral("Apply the hardware settings in FILE to the device, if they were read from "
                                     "the same kind of device."),
                      QStringLiteral("PRODUCT_ID")),
      m_save(QStringLiteral("save"),
             QStringLiteral("With --apply-effects or --apply-hardware: also store the settings in the device's "
                            "permanent memory."))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Reads, applies and saves the settings of Kestrox devices.\n\n"
                       "Without a command it opens its window. The commands --list, --read-*, --apply-* need no "
                       "display; they exit with 0 when done, 1 when the device is absent, stays busy or goes "
                       "away, 2 for a wrong command line or a file that cannot be used. PRODUCT_ID is "
                       "hexadecimal: 55f0, 58f9 (Joystick), 5968 (Rudder), 59d7 (Wheel PRO)."));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOptions({m_virtualDevices, m_libusb, m_userDataFolder, m_list, m_readEffects, m_readHardware,
                         m_applyEffects, m_applyHardware, m_save});
    m_parser.addPositionalArgument(
        QStringLiteral("advanced"),
        QStringLiteral("Also show the settings meant for experts. Any argument skips config.ini."),
        QStringLiteral("[advanced]"));
    m_parser.addPositionalArgument(QStringLiteral("FILE"),
                                   QStringLiteral("With --read-* or --apply-*: the settings file."),
                                   QStringLiteral("[FILE]"));
}

SetupCommandLine SetupCommandLineParser::parse(const QStringList &arguments)
{
    SetupCommandLine line;
    if (!m_parser.parse(arguments)) {
        line.error = m_parser.errorText();
        return line;
    }
    line.help = m_parser.isSet(QStringLiteral("help")) || m_parser.isSet(QStringLiteral("help-all"));
    line.version = m_parser.isSet(QStringLiteral("version"));
    line.virtualDevices = m_parser.isSet(m_virtualDevices);
    line.libusb = m_parser.isSet(m_libusb);
    line.userDataFolder = m_parser.isSet(m_userDataFolder);
    line.save = m_parser.isSet(m_save);
    const QStringList positional = m_parser.positionalArguments();
    line.windowArguments = QStringList{arguments.value(0)} + positional;

    const std::pair<const QCommandLineOption *, HeadlessCommand> commands[] = {
        {&m_list, HeadlessCommand::List},
        {&m_readEffects, HeadlessCommand::ReadEffects},
        {&m_readHardware, HeadlessCommand::ReadHardware},
        {&m_applyEffects, HeadlessCommand::ApplyEffects},
        {&m_applyHardware, HeadlessCommand::ApplyHardware},
    };
    QStringList given;
    for (const auto &[option, command] : commands) {
        if (!m_parser.isSet(*option))
            continue;
        given << QStringLiteral("--") + option->names().constFirst();
        line.command = command;
    }
    if (given.size() > 1 || (given.size() == 1 && m_parser.values(given.constFirst().mid(2)).size() > 1)) {
        line.error = QStringLiteral("one command at a time: %1").arg(given.join(QStringLiteral(", ")));
        return line;
    }
    const bool apply =
        line.command == HeadlessCommand::ApplyEffects || line.command == HeadlessCommand::ApplyHardware;
    if (line.save && !apply) {
        line.error = QStringLiteral("--save goes with --apply-effects or --apply-hardware");
        return line;
    }
    if (line.command == HeadlessCommand::None)
        return line;
    if (line.command == HeadlessCommand::List) {
        if (!positional.isEmpty())
            line.error = QStringLiteral("--list takes no argument, not %1").arg(positional.constFirst());
        return line;
    }
    const QString productId = m_parser.value(given.constFirst().mid(2));
    line.productId = parseProductId(productId);
    if (kestroxKindIndex(line.productId) < 0) {
        line.error = QStringLiteral("%1 is no Kestrox product id (55f0, 58f9, 5968, 59d7)").arg(productId);
        return line;
    }
    if (positional.size() != 1) {
        line.error = QStringLiteral("%1 needs a product id and one FILE").arg(given.constFirst());
        return line;
    }
    line.file = positional.constFirst();
    return line;
}

void SetupCommandLineParser::showHelp()
{
    m_parser.showHelp(0);
}

void SetupCommandLineParser::showVersion()
{
    m_parser.showVersion();
}

bool isHeadlessCommandLine(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            return false;
        for (const char *option : HeadlessOptions) {
            const std::size_t length = std::strlen(option);
            if (std::strncmp(argument, option, length) == 0 && (argument[length] == '\0' || argument[length] == '='))
                return true;
        }
    }
    return false;
}

int parseProductId(const QString &text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.size() > 4)
        return -1;
    bool ok = false;
    const int value = digits.toInt(&ok, 16);
    return ok && value >= 0 ? value : -1;
}

std::unique_ptr<UsbTransport> createSetupTransport(const SetupCommandLine &commandLine)
{
    if (commandLine.virtualDevices) {
        auto bus = std::make_unique<VirtualUsbTransport>();
        bus->addKestroxDevices();
        return bus;
    }
#ifdef KESTROX_SETUP_HIDRAW
    if (!commandLine.libusb)
        return std::make_unique<HidrawTransport>();
#endif
    return std::make_unique<LibUsbTransport>();
}
