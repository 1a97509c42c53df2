#include "settingsuibackgroundthread.h"

#include "setuplogging.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMutexLocker>
#include <QTimer>

namespace {

// The cursor belongs to the interface thread: set it there, whichever thread
// waits. Without a GUI application there is no cursor to show.
void showWaitCursor(bool show)
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    QMetaObject::invokeMethod(app, [show] {
        if (show)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    });
}

} // namespace

SettingsUiBackgroundThread::SettingsUiBackgroundThread(const QList<int> &productIds, quint16 vendorId,
                                                       UsbTransport *transport, QObject *parent)
    : QObject(parent), m_productIds(productIds), m_vendorId(vendorId), m_usb(transport),
      m_pollTimer(new QTimer(this))
{
    registerSetupMetaTypes();
    connect(m_pollTimer, &QTimer::timeout, this, &SettingsUiBackgroundThread::checkDeviceConnections);
}

SettingsUiBackgroundThread::~SettingsUiBackgroundThread()
{
    QMutexLocker lock(&m_lock);
    for (DeviceHandle *handle : std::as_const(m_handles))
        m_usb->close(handle);
}

void SettingsUiBackgroundThread::setBusyWaitTiming(BusyWaitTiming timing)
{
    QMutexLocker lock(&m_lock);
    m_busyTiming = timing;
}

void SettingsUiBackgroundThread::start()
{
    m_pollTimer->start(PollIntervalMs);
}

void SettingsUiBackgroundThread::checkDeviceConnections()
{
    // Checked before the lock: a poll must not queue up behind a busy wait.
    if (m_busy)
        return;
    QMutexLocker lock(&m_lock);
    QMap<int, DeviceInfoTypeDef> devices;
    ReportBuffer buffer;
    for (const int pid : m_productIds) {
        DeviceHandle *handle = openHandle(pid);
        const bool known = handle != nullptr;
        if (!known) {
            handle = m_usb->openDeviceWithVidPid(m_vendorId, quint16(pid));
            if (!handle)
                continue;
        }
        if (readFeatureReport(*m_usb, handle, SettingsReportId::DeviceInfoReport, buffer) < 0) {
            m_usb->close(handle);
            m_handles.remove(pid);
            if (known)
                qCInfo(lcSetup) << "device" << Qt::hex << pid << "stopped answering";
            continue;
        }
        if (!known)
            qCInfo(lcSetup) << "device" << Qt::hex << pid << "connected";
        m_handles.insert(pid, handle);
        devices.insert(pid, recordFromBytes<DeviceInfoTypeDef>(buffer.data()));
    }
    emit connectedDevices(devices);
}

void SettingsUiBackgroundThread::rebootControllerRequest(int pid)
{
    QMutexLocker lock(&m_lock);
    if (DeviceHandle *handle = openHandle(pid))
        sendCommandReport(*m_usb, handle, DeviceCommand::RebootController);
}

void SettingsUiBackgroundThread::switchtoDfuRequest(int pid)
{
    QMutexLocker lock(&m_lock);
    if (DeviceHandle *handle = openHandle(pid))
        sendCommandReport(*m_usb, handle, DeviceCommand::SwitchToDfu);
}

template<typename Record>
void SettingsUiBackgroundThread::readRecord(int pid, SettingsReportId report,
                                            void (SettingsUiBackgroundThread::*obtained)(Record))
{
    QMutexLocker lock(&m_lock);
    DeviceHandle *handle = openHandle(pid);
    if (!handle)
        return;
    ReportBuffer buffer;
    const int received = readFeatureReport(*m_usb, handle, report, buffer);
    // A failed or short read would show (and later write back) a record that
    // the device never sent; the pages keep what they show instead.
    if (received < int(sizeof(Record))) {
        qCWarning(lcSetup) << "settings report" << Qt::hex << int(report) << "of device" << pid
                           << "not read:" << Qt::dec << received;
        return;
    }
    emit(this->*obtained)(recordFromBytes<Record>(buffer.data()));
}

void SettingsUiBackgroundThread::readEffectSettings(int pid)
{
    readRecord(pid, SettingsReportId::EffectSettingsReport,
               &SettingsUiBackgroundThread::effectSettingsObtained);
}

void SettingsUiBackgroundThread::readHardwareSettings(int pid)
{
    readRecord(pid, SettingsReportId::HardwareSettingsReport,
               &SettingsUiBackgroundThread::hardwareSettingsObtained);
}

void SettingsUiBackgroundThread::writeRecord(int pid, DeviceCommand command, const void *record, int length,
                                             SettingsWrite write)
{
    QMutexLocker lock(&m_lock);
    BusyWaitResult result = BusyWaitResult::DeviceGone;
    if (DeviceHandle *handle = openHandle(pid)) {
        const bool taken = sendRecord(*m_usb, handle, command, record, length);
        result = awaitDeviceNotBusy(handle);
        // The device drops a record of which a packet failed.
        if (result == BusyWaitResult::Ready && !taken)
            result = BusyWaitResult::RecordFailed;
        // Saving what the device did not take over, or while it is still
        // busy, would store the wrong settings.
        if (result == BusyWaitResult::Ready && write == SettingsWrite::Save) {
            sendCommandReport(*m_usb, handle, DeviceCommand::SaveSettings);
            result = awaitDeviceNotBusy(handle);
        }
    }
    if (result != BusyWaitResult::Ready)
        qCInfo(lcSetup) << (write == SettingsWrite::Save ? "save" : "apply") << "on device" << Qt::hex << pid
                        << "not completed:" << Qt::dec << int(result);
    emit settingsWriteEnded(pid, write, result);
}

void SettingsUiBackgroundThread::applyEffectSettings(int pid, EffectSettingsTypeDef settings)
{
    writeRecord(pid, DeviceCommand::WriteEffectSettings, &settings, sizeof settings, SettingsWrite::Apply);
}

void SettingsUiBackgroundThread::saveEffectsSettings(int pid, EffectSettingsTypeDef settings)
{
    writeRecord(pid, DeviceCommand::WriteEffectSettings, &settings, sizeof settings, SettingsWrite::Save);
}

void SettingsUiBackgroundThread::applyHardwareSettings(int pid, HardwareSettingsTypeDef settings)
{
    writeRecord(pid, DeviceCommand::WriteHardwareSettings, &settings, sizeof settings, SettingsWrite::Apply);
}

void SettingsUiBackgroundThread::saveHardwareSettings(int pid, HardwareSettingsTypeDef settings)
{
    writeRecord(pid, DeviceCommand::WriteHardwareSettings, &settings, sizeof settings, SettingsWrite::Save);
}

BusyWaitResult SettingsUiBackgroundThread::awaitDeviceNotBusy(DeviceHandle *device)
{
    QMutexLocker lock(&m_lock);
    const int pid = device ? m_handles.key(device, -1) : -1;
    m_busy = true;
    showWaitCursor(true);
    // A handle we do not hold may already be closed: never hand it to the transport.
    BusyWaitTiming timing = m_busyTiming;
    timing.cancelled = &m_cancelled;
    const BusyWaitResult result = ::awaitDeviceNotBusy(*m_usb, pid < 0 ? nullptr : device, timing);
    m_busy = false;
    showWaitCursor(false);
    emit busyWaitEnded(pid, result);
    return result;
}

void SettingsUiBackgroundThread::saveSettingsRequest(int pid)
{
    QMutexLocker lock(&m_lock);
    BusyWaitResult result = BusyWaitResult::DeviceGone;
    if (DeviceHandle *handle = openHandle(pid)) {
        sendCommandReport(*m_usb, handle, DeviceCommand::SaveSettings);
        result = awaitDeviceNotBusy(handle);
    }
    emit settingsWriteEnded(pid, SettingsWrite::Save, result);
}
