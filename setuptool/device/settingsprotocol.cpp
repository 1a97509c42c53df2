#include "settingsprotocol.h"

#include "setuplogging.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

int readFeatureReport(UsbTransport &usb, DeviceHandle *handle, SettingsReportId reportId,
                      ReportBuffer &buffer)
{
    buffer.fill(0);
    const int result = usb.controlTransfer(handle, GetReportRequestType, GetReportRequest,
                                           FeatureReportValue | quint16(reportId), 0, buffer.data(),
                                           ReceiveBufferSize, TransferTimeoutMs);
    if (result < 0)
        qCDebug(lcSetup) << "GET_REPORT" << Qt::hex << int(reportId)
                         << "failed:" << libusb_error_name(result);
    return result;
}

static int sendPacket(UsbTransport &usb, DeviceHandle *handle, CommandReportTypeDef &packet)
{
    const int result =
        usb.controlTransfer(handle, SetReportRequestType, SetReportRequest,
                            FeatureReportValue | quint16(SettingsReportId::CommandReport), 0,
                            reinterpret_cast<unsigned char *>(&packet), CommandReportSize, TransferTimeoutMs);
    if (result < 0)
        qCDebug(lcSetup) << "SET_REPORT of command" << Qt::hex << int(packet.command)
                         << "failed:" << libusb_error_name(result);
    return result;
}

int sendCommandReport(UsbTransport &usb, DeviceHandle *handle, DeviceCommand command)
{
    CommandReportTypeDef packet;
    packet.command = quint8(command);
    return sendPacket(usb, handle, packet);
}

bool sendRecord(UsbTransport &usb, DeviceHandle *handle, DeviceCommand command, const void *data,
                int length)
{
    // Offsets and remaining counts are 16-bit, and 0xFFFF marks the terminator.
    if (length < 0 || length >= TransferTerminator) {
        qCWarning(lcSetup) << "record of" << length << "bytes cannot be sent";
        return false;
    }
    const auto *bytes = static_cast<const unsigned char *>(data);
    constexpr int chunk = CommandReportTypeDef::ChunkSize;

    CommandReportTypeDef packet;
    packet.command = quint8(command);
    const int packets = length / chunk + 1;
    bool accepted = true;
    for (int k = 0; k < packets; ++k) {
        const int offset = chunk * k;
        const int remaining = length - offset;
        packet.chunkOffset = quint16(offset);
        packet.remaining = quint16(remaining);
        std::copy_n(bytes + offset, std::min(remaining, chunk), packet.data);
        accepted = sendPacket(usb, handle, packet) == CommandReportSize && accepted;
    }
    packet.remaining = TransferTerminator;
    return sendPacket(usb, handle, packet) == CommandReportSize && accepted;
}

namespace {

class SystemBusyWaitClock final : public BusyWaitClock
{
public:
    SystemBusyWaitClock() { m_timer.start(); }
    qint64 nowMs() override { return m_timer.elapsed(); }
    void pauseMs(int ms) override { QThread::msleep(ulong(std::max(ms, 0))); }

private:
    QElapsedTimer m_timer;
};

} // namespace

BusyWaitClock &systemBusyWaitClock()
{
    static SystemBusyWaitClock clock;
    return clock;
}

BusyWaitResult awaitDeviceNotBusy(UsbTransport &usb, DeviceHandle *handle, BusyWaitTiming timing)
{
    if (!handle)
        return BusyWaitResult::DeviceGone;
    BusyWaitClock &clock = timing.clock ? *timing.clock : systemBusyWaitClock();
    const qint64 started = clock.nowMs();
    ReportBuffer state;
    for (;;) {
        const int result = readFeatureReport(usb, handle, SettingsReportId::DeviceStateReport, state);
        if (result < 0)
            return BusyWaitResult::DeviceGone;
        clock.pauseMs(timing.pauseMs);
        // An empty answer says nothing about the state: keep asking.
        if (result > 0 && state[0] == 0)
            return BusyWaitResult::Ready;
        if (timing.cancelled && timing.cancelled->load())
            return BusyWaitResult::Cancelled;
        if (clock.nowMs() - started >= timing.limitMs) {
            qCWarning(lcSetup) << "device still busy after" << timing.limitMs << "ms";
            return BusyWaitResult::TimedOut;
        }
    }
}

void registerSetupMetaTypes()
{
    qRegisterMetaType<DeviceInfoTypeDef>("DeviceInfoTypeDef");
    qRegisterMetaType<EffectSettingsTypeDef>("EffectSettingsTypeDef");
    qRegisterMetaType<HardwareSettingsTypeDef>("HardwareSettingsTypeDef");
    qRegisterMetaType<QMap<int, DeviceInfoTypeDef>>("QMap<int,DeviceInfoTypeDef>");
    qRegisterMetaType<DeviceHandle *>("DeviceHandle*");
    qRegisterMetaType<BusyWaitResult>("BusyWaitResult");
    qRegisterMetaType<SettingsWrite>("SettingsWrite");
}
