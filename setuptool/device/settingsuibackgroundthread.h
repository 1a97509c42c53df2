#pragma once

#include "settingsprotocol.h"
#include "settingsrecords.h"
#include "usbtransport.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QRecursiveMutex>

#include <atomic>

class QTimer;

// The setup tool's device worker. Owns the open device handles, polls for the
// devices once a second and carries out the window's requests as transfer
// sequences. It is meant to live on a thread of its own, with every request
// invoked as a queued call, so the interface never blocks on a transfer or a
// busy wait:
//     QMetaObject::invokeMethod(worker, [worker, pid] { worker->readEffectSettings(pid); });
// All slots also take a lock, so a direct call from another thread is safe,
// only blocking; a poll that starts while a busy wait is under way returns at once.
class SettingsUiBackgroundThread : public QObject
{
    Q_OBJECT

public:
    // The transport is not owned and must outlive the worker; it has to be
    // initialised before the first poll and exited only after the worker is gone.
    SettingsUiBackgroundThread(const QList<int> &productIds, quint16 vendorId, UsbTransport *transport,
                               QObject *parent = nullptr);
    // Closes the devices still open, which gives them back to the system.
    ~SettingsUiBackgroundThread() override;

    static constexpr int PollIntervalMs = 1000;

    // True while a busy wait is running, on whichever thread.
    bool isBusy() const { return m_busy.load(); }
    // Pause and time limit of every busy wait; tests shorten them.
    void setBusyWaitTiming(BusyWaitTiming timing);
    // From any thread: the running busy wait, and every later one, ends at
    // its next pause, so that the worker can be stopped and its devices
    // released. A write cut short so is not saved.
    void cancelWaits() { m_cancelled = true; }

signals:
    // At the end of every poll that runs, also when nothing is connected.
    void connectedDevices(QMap<int, DeviceInfoTypeDef> devices);
    // Only when the read succeeded and delivered a whole record.
    void effectSettingsObtained(EffectSettingsTypeDef settings);
    void hardwareSettingsObtained(HardwareSettingsTypeDef settings);
    // At the end of every busy wait, with the product id of the device
    // (-1 for a handle that is not open) and how the wait ended.
    void busyWaitEnded(int pid, BusyWaitResult result);
    // At the end of every apply or save request, whether or not the device
    // was open: Ready when the device took the write over (and, for a save,
    // stored it), otherwise why it did not. DeviceGone also stands for a
    // device that was not open at all; RecordFailed for a record of which a
    // packet failed, which the device drops.
    void settingsWriteEnded(int pid, SettingsWrite write, BusyWaitResult result);

public slots:
    void start();
    void checkDeviceConnections();
    void rebootControllerRequest(int pid);
    void switchtoDfuRequest(int pid);
    void readEffectSettings(int pid);
    void applyEffectSettings(int pid, EffectSettingsTypeDef settings);
    void saveEffectsSettings(int pid, EffectSettingsTypeDef settings);
    void readHardwareSettings(int pid);
    void applyHardwareSettings(int pid, HardwareSettingsTypeDef settings);
    void saveHardwareSettings(int pid, HardwareSettingsTypeDef settings);
    // Shows the wait cursor and keeps polls away until the device is ready.
    // Only waits on a handle that this worker holds open.
    BusyWaitResult awaitDeviceNotBusy(DeviceHandle *device);
    void saveSettingsRequest(int pid);

private:
    DeviceHandle *openHandle(int pid) const { return m_handles.value(pid, nullptr); }
    void writeRecord(int pid, DeviceCommand command, const void *record, int length, SettingsWrite write);
    template<typename Record>
    void readRecord(int pid, SettingsReportId report, void (SettingsUiBackgroundThread::*obtained)(Record));

    const QList<int> m_productIds;
    const quint16 m_vendorId;
    UsbTransport *const m_usb;
    QTimer *m_pollTimer;
    QMap<int, DeviceHandle *> m_handles;
    std::atomic<bool> m_busy = false;
    std::atomic<bool> m_cancelled = false;
    BusyWaitTiming m_busyTiming;
    QRecursiveMutex m_lock;
};
