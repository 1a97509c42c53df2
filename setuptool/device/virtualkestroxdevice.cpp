#include "virtualkestroxdevice.h"

#include "settingsprotocol.h"
#include "setuplogging.h"

#include <QMutexLocker>

#include <algorithm>

namespace {

// Plausible factory settings, so that a virtual device shows something real.
void factorySettings(DeviceType type, EffectSettingsTypeDef &effect, HardwareSettingsTypeDef &hardware)
{
    const quint16 motionRange = type == DeviceType::Wheel ? 900 : type == DeviceType::Rudder ? 40 : 30;
    effect.invertConstantForce = -1;
    effect.directXSpringStrength = 100;
    effect.directXConstantStrength = 100;
    effect.directXPeriodicStrength = 100;
    for (EffectAxisTypeDef &axis : effect.axes) {
        axis.totalEffectStrength = 100;
        axis.softStopStrength = 80;
        axis.softStopRange = 5;
        axis.staticDampening = 10;
        axis.dynamicDampening = 20;
        axis.motionRange = motionRange;
        axis.maxForce = type == DeviceType::Wheel ? 12.0f : 8.0f;
        axis.softStopDampening = 50;
    }

    hardware.forceEnabled = 1;
    hardware.calibrationMode = 1;
    hardware.currentSenseGain = 1;
    std::fill(std::begin(hardware.buttonModes), std::begin(hardware.buttonModes) + 8, quint8(1));
    hardware.powerLimit = 100;
    hardware.brakingResistorLimit = 50;
    hardware.calibrationMagnitude = 40;
    hardware.calibrationSpeed = 30;
    hardware.calibrationStopCurrent = 60;
    hardware.positionSmoothing = 10;
    hardware.speedSampleBufferSize = 8;
    for (int i = 0; i < 3; ++i) {
        hardware.analogUpperDeadZone[i] = 32767;
        hardware.analogButtonLow[i] = 10;
        hardware.analogButtonHigh[i] = 90;
    }
    for (HardwareAxisTypeDef &axis : hardware.axes) {
        axis.encoderDirection = -1;
        axis.forceDirection = -1;
        axis.motorPolePairs = 7;
        axis.encoderCpr = 4096;
        axis.pGain = 1.5f;
        axis.iGain = 0.02f;
    }
}

int recordLength(quint8 command)
{
    switch (DeviceCommand(command)) {
    case DeviceCommand::WriteHardwareSettings:
        return sizeof(HardwareSettingsTypeDef);
    case DeviceCommand::WriteEffectSettings:
        return sizeof(EffectSettingsTypeDef);
    default:
        return 0;
    }
}

} // namespace

VirtualKestroxDevice::VirtualKestroxDevice(quint16 productId, DeviceType type, quint32 firmwareVersion,
                                           quint16 vendorId)
    : m_vendorId(vendorId), m_productId(productId)
{
    m_info.firmwareVersion = firmwareVersion;
    m_info.deviceType = quint8(type);
    factorySettings(type, m_savedEffect, m_savedHardware);
    m_effect = m_savedEffect;
    m_hardware = m_savedHardware;
}

DeviceInfoTypeDef VirtualKestroxDevice::info() const
{
    QMutexLocker lock(&m_mutex);
    return m_info;
}

quint64 VirtualKestroxDevice::connection() const
{
    QMutexLocker lock(&m_mutex);
    return m_connection;
}

bool VirtualKestroxDevice::isPlugged() const
{
    QMutexLocker lock(&m_mutex);
    return m_plugged;
}

bool VirtualKestroxDevice::isInDfuMode() const
{
    QMutexLocker lock(&m_mutex);
    return m_dfu;
}

void VirtualKestroxDevice::unplug()
{
    QMutexLocker lock(&m_mutex);
    m_plugged = false;
    m_dfu = false;
}

void VirtualKestroxDevice::plug()
{
    QMutexLocker lock(&m_mutex);
    m_dfu = false;
    if (m_plugged)
        return;
    m_plugged = true;
    restart();
}

void VirtualKestroxDevice::reboot()
{
    QMutexLocker lock(&m_mutex);
    restart();
}

void VirtualKestroxDevice::setBusyReads(int reads)
{
    QMutexLocker lock(&m_mutex);
    m_busyReads = std::max(reads, 0);
}

void VirtualKestroxDevice::setStuckBusy(bool stuck)
{
    QMutexLocker lock(&m_mutex);
    m_stuckBusy = stuck;
}

bool VirtualKestroxDevice::isBusy() const
{
    QMutexLocker lock(&m_mutex);
    return m_stuckBusy || m_busyLeft > 0;
}

void VirtualKestroxDevice::setUnplugAfterTransfers(int transfers)
{
    QMutexLocker lock(&m_mutex);
    m_unplugAfter = transfers;
    if (m_unplugAfter == 0) {
        m_plugged = false;
        m_unplugAfter = -1;
    }
}

void VirtualKestroxDevice::setStalledSettingsReads(int reads)
{
    QMutexLocker lock(&m_mutex);
    m_stalledSettingsReads = std::max(reads, 0);
}

void VirtualKestroxDevice::setStalledRecordPackets(int packets)
{
    QMutexLocker lock(&m_mutex);
    m_stalledRecordPackets = std::max(packets, 0);
}

int VirtualKestroxDevice::transfersAnswered() const
{
    QMutexLocker lock(&m_mutex);
    return m_transfersAnswered;
}

EffectSettingsTypeDef VirtualKestroxDevice::effectSettings() const
{
    QMutexLocker lock(&m_mutex);
    return m_effect;
}

HardwareSettingsTypeDef VirtualKestroxDevice::hardwareSettings() const
{
    QMutexLocker lock(&m_mutex);
    return m_hardware;
}

EffectSettingsTypeDef VirtualKestroxDevice::savedEffectSettings() const
{
    QMutexLocker lock(&m_mutex);
    return m_savedEffect;
}

HardwareSettingsTypeDef VirtualKestroxDevice::savedHardwareSettings() const
{
    QMutexLocker lock(&m_mutex);
    return m_savedHardware;
}

void VirtualKestroxDevice::setEffectSettings(const EffectSettingsTypeDef &settings)
{
    QMutexLocker lock(&m_mutex);
    m_effect = settings;
}

void VirtualKestroxDevice::setHardwareSettings(const HardwareSettingsTypeDef &settings)
{
    QMutexLocker lock(&m_mutex);
    m_hardware = settings;
}

int VirtualKestroxDevice::recordsTaken() const
{
    QMutexLocker lock(&m_mutex);
    return m_recordsTaken;
}

int VirtualKestroxDevice::recordsDropped() const
{
    QMutexLocker lock(&m_mutex);
    return m_recordsDropped;
}

int VirtualKestroxDevice::saves() const
{
    QMutexLocker lock(&m_mutex);
    return m_saves;
}

int VirtualKestroxDevice::controlTransfer(quint64 connection, quint8 requestType, quint8 request,
                                          quint16 value, quint16 index, unsigned char *data, quint16 length)
{
    QMutexLocker lock(&m_mutex);
    if (!m_plugged || connection != m_connection)
        return LIBUSB_ERROR_NO_DEVICE;
    ++m_transfersAnswered;
    // Pulled out right after this transfer: it still gets its answer.
    if (m_unplugAfter > 0 && --m_unplugAfter == 0) {
        m_plugged = false;
        m_unplugAfter = -1;
    }
    if (length > 0 && !data)
        return LIBUSB_ERROR_INVALID_PARAM;
    // Only feature reports of interface 0 are served; anything else stalls.
    if ((value >> 8) != (FeatureReportValue >> 8) || index != 0)
        return LIBUSB_ERROR_PIPE;
    if (requestType == GetReportRequestType && request == GetReportRequest)
        return getReport(quint8(value), data, length);
    if (requestType == SetReportRequestType && request == SetReportRequest &&
        quint8(value) == quint8(SettingsReportId::CommandReport))
        return setReport(data, length);
    return LIBUSB_ERROR_PIPE;
}

int VirtualKestroxDevice::getReport(quint8 reportId, unsigned char *data, quint16 length)
{
    quint8 state = 0;
    const void *source = nullptr;
    int size = 0;
    const auto report = SettingsReportId(reportId);
    if ((report == SettingsReportId::HardwareSettingsReport || report == SettingsReportId::EffectSettingsReport) &&
        m_stalledSettingsReads > 0) {
        --m_stalledSettingsReads;
        return LIBUSB_ERROR_PIPE;
    }
    switch (report) {
    case SettingsReportId::HardwareSettingsReport:
        source = &m_hardware;
        size = sizeof m_hardware;
        break;
    case SettingsReportId::EffectSettingsReport:
        source = &m_effect;
        size = sizeof m_effect;
        break;
    case SettingsReportId::DeviceInfoReport:
        source = &m_info;
        size = sizeof m_info;
        break;
    case SettingsReportId::DeviceStateReport:
        if (m_stuckBusy) {
            state = 1;
        } else if (m_busyLeft > 0) {
            state = 1;
            --m_busyLeft;
        }
        source = &state;
        size = 1;
        break;
    default:
        return LIBUSB_ERROR_PIPE;
    }
    size = std::min<int>(size, length);
    std::copy_n(static_cast<const unsigned char *>(source), size, data);
    return size;
}

int VirtualKestroxDevice::setReport(const unsigned char *data, quint16 length)
{
    if (length != sizeof(CommandReportTypeDef) || data[0] != quint8(SettingsReportId::CommandReport))
        return LIBUSB_ERROR_PIPE;
    const auto packet = recordFromBytes<CommandReportTypeDef>(data);
    switch (DeviceCommand(packet.command)) {
    case DeviceCommand::WriteHardwareSettings:
    case DeviceCommand::WriteEffectSettings:
        // Lost on the way: the record arrives with a gap.
        if (m_stalledRecordPackets > 0) {
            --m_stalledRecordPackets;
            return LIBUSB_ERROR_PIPE;
        }
        receiveChunk(packet);
        break;
    case DeviceCommand::RebootController:
        dropTransfer();
        restart();
        break;
    case DeviceCommand::SaveSettings:
        dropTransfer();
        m_savedEffect = m_effect;
        m_savedHardware = m_hardware;
        ++m_saves;
        startBusy();
        break;
    case DeviceCommand::SwitchToDfu:
        dropTransfer();
        m_plugged = false;
        m_dfu = true;
        break;
    default:
        // Unknown commands are ignored, but they do interrupt a record transfer.
        dropTransfer();
        break;
    }
    return length;
}

void VirtualKestroxDevice::receiveChunk(const CommandReportTypeDef &packet)
{
    Reception &rx = m_reception;
    const int offset = packet.chunkOffset;
    const int remaining = packet.remaining;

    if (remaining == TransferTerminator) {
        // The terminator repeats the last data packet; it takes the record
        // over only when every byte has arrived.
        const bool complete =
            rx.active && rx.command == packet.command && rx.received == rx.length && offset == rx.lastOffset;
        if (!complete) {
            dropTransfer();
            return;
        }
        if (DeviceCommand(rx.command) == DeviceCommand::WriteEffectSettings)
            m_effect = recordFromBytes<EffectSettingsTypeDef>(rx.buffer);
        else
            m_hardware = recordFromBytes<HardwareSettingsTypeDef>(rx.buffer);
        rx = Reception{};
        ++m_recordsTaken;
        startBusy();
        return;
    }

    if (offset == 0) {
        // A new transfer; one that was still open broke off.
        dropTransfer();
        rx.active = true;
        rx.command = packet.command;
        rx.length = recordLength(packet.command);
    }
    if (!rx.active || rx.command != packet.command || offset != rx.nextOffset || offset > rx.length ||
        remaining != rx.length - offset) {
        dropTransfer();
        return;
    }
    const int count = std::min(remaining, CommandReportTypeDef::ChunkSize);
    std::copy_n(packet.data, count, rx.buffer + offset);
    rx.received += count;
    rx.lastOffset = offset;
    rx.nextOffset = offset + CommandReportTypeDef::ChunkSize;
}

void VirtualKestroxDevice::dropTransfer()
{
    if (m_reception.active) {
        qCDebug(lcSetup) << "virtual device" << Qt::hex << m_productId << "dropped a record transfer";
        ++m_recordsDropped;
    }
    m_reception = Reception{};
}

void VirtualKestroxDevice::restart()
{
    ++m_connection;
    m_reception = Reception{};
    m_busyLeft = 0;
    m_effect = m_savedEffect;
    m_hardware = m_savedHardware;
}

void VirtualKestroxDevice::startBusy()
{
    m_busyLeft = m_busyReads;
}
