#include "headlesscommands.h"

#include "newfile.h"
#include "settingsuibackgroundthread.h"
#include "usbtransport.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <optional>
#include <variant>

namespace {

const char *const DeviceTypeNames[] = {"Generic", "Joystick", "Rudder", "Wheel"};

QString typeName(quint8 type)
{
    return type < std::size(DeviceTypeNames) ? QLatin1String(DeviceTypeNames[type])
                                              : QStringLiteral("type %1").arg(type);
}

QString hexId(int productId)
{
    return QStringLiteral("%1").arg(productId, 4, 16, QLatin1Char('0'));
}

struct Failure
{
    int status;
    QString message;
};

// The whole file, or why it cannot be used.
std::variant<QByteArray, Failure> readSettingsFile(const QString &path, qsizetype size, const char *what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{ExitUsage, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    // One byte more than needed tells a longer file from a whole one.
    const QByteArray bytes = file.read(size + 1);
    if (bytes.size() != size)
        return Failure{ExitUsage, QStringLiteral("%1 is %2 bytes long; %3 file has %4")
                                      .arg(path)
                                      .arg(bytes.size() > size ? qMax(file.size(), bytes.size()) : bytes.size())
                                      .arg(QLatin1String(what))
                                      .arg(size)};
    return bytes;
}

// Writes a new file under `path` so that nothing half written ever carries
// the name; an existing file is kept.
std::optional<Failure> writeNewFile(const QString &path, const QByteArray &bytes)
{
    NewFile file(path);
    QString error;
    if (file.open(&error) != NewFile::Result::Done)
        return Failure{ExitUsage, error};
    if (!file.write(bytes))
        return Failure{ExitUsage, QStringLiteral("cannot write %1").arg(path)};
    if (file.commit(&error) != NewFile::Result::Done)
        return Failure{ExitUsage, error};
    return std::nullopt;
}

QString writeFailure(const SetupCommandLine &command, BusyWaitResult result)
{
    const QString device = hexId(command.productId);
    const QString what = command.save ? QStringLiteral("the settings were not saved")
                                      : QStringLiteral("the settings may not have been applied");
    if (result == BusyWaitResult::TimedOut)
        return QStringLiteral("device %1 stayed busy: %2").arg(device, what);
    if (result == BusyWaitResult::RecordFailed)
        return QStringLiteral("device %1 did not take the record: %2").arg(device, what);
    return QStringLiteral("device %1 went away: %2").arg(device, what);
}

// Everything that talks to the devices, with the worker that the window
// uses, called directly on this thread.
std::variant<QByteArray, Failure> runOnDevices(const SetupCommandLine &command, UsbTransport &usb,
                                               const QByteArray &file, QTextStream &out, BusyWaitTiming timing)
{
    const bool list = command.command == HeadlessCommand::List;
    SettingsUiBackgroundThread worker(list ? kestroxProductIdList() : QList<int>{command.productId},
                                      KestroxVendorId, &usb);
    worker.setBusyWaitTiming(timing);
    ConnectedDeviceMap devices;
    QObject::connect(&worker, &SettingsUiBackgroundThread::connectedDevices,
                     [&devices](const ConnectedDeviceMap &found) { devices = found; });
    worker.checkDeviceConnections();

    if (list) {
        for (auto it = devices.cbegin(); it != devices.cend(); ++it)
            out << KestroxDeviceNames[kestroxKindIndex(it.key())] << '\t' << hexId(it.key()) << '\t'
                << it->firmwareVersion << '\n';
        return QByteArray();
    }
    const QString device = hexId(command.productId);
    if (!devices.contains(command.productId))
        return Failure{ExitDeviceFailed, QStringLiteral("device %1 is not connected").arg(device)};
    const DeviceInfoTypeDef info = devices.value(command.productId);

    std::optional<QByteArray> record;
    std::optional<BusyWaitResult> written;
    QObject::connect(&worker, &SettingsUiBackgroundThread::effectSettingsObtained,
                     [&record](const EffectSettingsTypeDef &settings) { record = recordBytes(settings); });
    QObject::connect(&worker, &SettingsUiBackgroundThread::hardwareSettingsObtained,
                     [&record](const HardwareSettingsTypeDef &settings) { record = recordBytes(settings); });
    QObject::connect(&worker, &SettingsUiBackgroundThread::settingsWriteEnded,
                     [&written](int, SettingsWrite, BusyWaitResult result) { written = result; });

    switch (command.command) {
    case HeadlessCommand::ReadEffects:
        worker.readEffectSettings(command.productId);
        if (!record)
            return Failure{ExitDeviceFailed,
                           QStringLiteral("reading the effect settings of device %1 failed").arg(device)};
        return *record;
    case HeadlessCommand::ReadHardware:
        worker.readHardwareSettings(command.productId);
        if (!record)
            return Failure{ExitDeviceFailed,
                           QStringLiteral("reading the hardware settings of device %1 failed").arg(device)};
        return *record + recordBytes(info);
    case HeadlessCommand::ApplyEffects: {
        const auto settings = recordFromBytes<EffectSettingsTypeDef>(file.constData());
        command.save ? worker.saveEffectsSettings(command.productId, settings)
                     : worker.applyEffectSettings(command.productId, settings);
        break;
    }
    case HeadlessCommand::ApplyHardware: {
        const auto fileInfo = recordFromBytes<DeviceInfoTypeDef>(file.constData() + sizeof(HardwareSettingsTypeDef));
        // Motor, encoder and calibration values of another kind of device
        // would drive this one wrongly.
        if (fileInfo.deviceType != info.deviceType)
            return Failure{ExitUsage, QStringLiteral("%1 holds the hardware settings of a %2; device %3 is a %4")
                                          .arg(command.file, typeName(fileInfo.deviceType), device,
                                               typeName(info.deviceType))};
        const auto settings = recordFromBytes<HardwareSettingsTypeDef>(file.constData());
        command.save ? worker.saveHardwareSettings(command.productId, settings)
                     : worker.applyHardwareSettings(command.productId, settings);
        break;
    }
    case HeadlessCommand::List:
    case HeadlessCommand::None:
        break;
    }
    if (written != BusyWaitResult::Ready)
        return Failure{ExitDeviceFailed, writeFailure(command, written.value_or(BusyWaitResult::DeviceGone))};
    return QByteArray();
}

} // namespace

int runHeadlessCommand(const SetupCommandLine &command, UsbTransport &usb, QTextStream &out, QTextStream &err,
                       BusyWaitTiming timing)
{
    const auto fail = [&err](const Failure &failure) {
        err << "kestrox-setup: " << failure.message << '\n';
        err.flush();
        return failure.status;
    };
    const bool read = command.command == HeadlessCommand::ReadEffects ||
                      command.command == HeadlessCommand::ReadHardware;
    // What can be refused without a device is refused first.
    QByteArray file;
    if (command.command == HeadlessCommand::ApplyEffects || command.command == HeadlessCommand::ApplyHardware) {
        const bool effects = command.command == HeadlessCommand::ApplyEffects;
        auto content = effects ? readSettingsFile(command.file, sizeof(EffectSettingsTypeDef), "an effect settings")
                               : readSettingsFile(command.file, HardwareFileSize, "a hardware settings");
        if (const auto *failure = std::get_if<Failure>(&content))
            return fail(*failure);
        file = std::get<QByteArray>(content);
    } else if (read && (QFileInfo::exists(command.file) || QFileInfo(command.file).isSymLink())) {
        return fail({ExitUsage, QStringLiteral("%1 exists; it is not overwritten").arg(command.file)});
    }

    if (const int result = usb.init(); result < 0)
        return fail({ExitDeviceFailed,
                     QStringLiteral("cannot reach the devices: %1").arg(QLatin1String(libusb_error_name(result)))});
    const auto outcome = runOnDevices(command, usb, file, out, timing);
    usb.exit();
    out.flush();
    if (const auto *failure = std::get_if<Failure>(&outcome))
        return fail(*failure);
    if (read) {
        if (const std::optional<Failure> failure = writeNewFile(command.file, std::get<QByteArray>(outcome)))
            return fail(*failure);
    }
    return ExitDone;
}
