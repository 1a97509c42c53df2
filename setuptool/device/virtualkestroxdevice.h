#pragma once

#include "settingsrecords.h"

#include <QMutex>

// A model of the Kestrox firmware's settings interface, for tests and for
// running the setup tool without hardware. It keeps current and permanent
// settings, answers the feature reports from that state, reassembles record
// transfers the way the firmware does, and can be unplugged, rebooted or kept
// busy on demand. Thread-safe: tests drive it while a worker thread talks to it.
class VirtualKestroxDevice
{
public:
    VirtualKestroxDevice(quint16 productId, DeviceType type, quint32 firmwareVersion,
                         quint16 vendorId = KestroxVendorId);

    quint16 vendorId() const { return m_vendorId; }
    quint16 productId() const { return m_productId; }
    DeviceInfoTypeDef info() const;

    // Enumeration the device is on now. A handle opened on an earlier one
    // (before an unplug or a reboot) only gets LIBUSB_ERROR_NO_DEVICE.
    quint64 connection() const;
    bool isPlugged() const;
    bool isInDfuMode() const;

    // Removes the device from the bus; unsaved changes are lost.
    void unplug();
    // Connects it again (also ends DFU mode): it starts from permanent memory.
    void plug();
    // A power cycle without leaving the bus: settings from permanent memory, and
    // handles opened before are dead.
    void reboot();

    // State reads that answer busy after a record is taken over or a save.
    void setBusyReads(int reads);
    // Answers busy to every state read while set.
    void setStuckBusy(bool stuck);
    bool isBusy() const;

    // Fault hooks. The device leaves the bus by itself once it has answered
    // `transfers` more control transfers (a negative count: never), so that a
    // test can pull it out at any point of a transfer sequence.
    void setUnplugAfterTransfers(int transfers);
    // The next `reads` GET_REPORTs of a settings record (0x21, 0x22) stall.
    void setStalledSettingsReads(int reads);
    // The next `packets` record packets (commands 0x11, 0x12) stall unread.
    void setStalledRecordPackets(int packets);
    // Control transfers answered on this enumeration or any earlier one.
    int transfersAnswered() const;

    EffectSettingsTypeDef effectSettings() const; // what the device uses now
    HardwareSettingsTypeDef hardwareSettings() const;
    EffectSettingsTypeDef savedEffectSettings() const; // permanent memory
    HardwareSettingsTypeDef savedHardwareSettings() const;
    void setEffectSettings(const EffectSettingsTypeDef &settings);
    void setHardwareSettings(const HardwareSettingsTypeDef &settings);

    int recordsTaken() const;   // record transfers that replaced the current settings
    int recordsDropped() const; // record transfers ignored as broken off or inconsistent
    int saves() const;

    // The firmware's side of one control transfer on the enumeration
    // `connection`: returns the bytes transferred or a negative libusb error.
    int controlTransfer(quint64 connection, quint8 requestType, quint8 request, quint16 value, quint16 index,
                        unsigned char *data, quint16 length);

private:
    int getReport(quint8 reportId, unsigned char *data, quint16 length);
    int setReport(const unsigned char *data, quint16 length);
    void receiveChunk(const CommandReportTypeDef &packet);
    void dropTransfer();
    void restart();
    void startBusy();

    // A record transfer in progress.
    struct Reception
    {
        bool active = false;
        quint8 command = 0;
        int length = 0;
        int received = 0;   // bytes copied so far
        int nextOffset = 0; // offset the next data packet must carry
        int lastOffset = 0; // offset of the last data packet, repeated by the terminator
        quint8 buffer[sizeof(HardwareSettingsTypeDef)] = {};
    };

    mutable QMutex m_mutex;
    const quint16 m_vendorId;
    const quint16 m_productId;
    DeviceInfoTypeDef m_info;
    bool m_plugged = true;
    bool m_dfu = false;
    quint64 m_connection = 1;
    int m_busyReads = 2;
    int m_busyLeft = 0;
    bool m_stuckBusy = false;
    EffectSettingsTypeDef m_effect;
    HardwareSettingsTypeDef m_hardware;
    EffectSettingsTypeDef m_savedEffect;
    HardwareSettingsTypeDef m_savedHardware;
    Reception m_reception;
    int m_recordsTaken = 0;
    int m_recordsDropped = 0;
    int m_saves = 0;
    int m_unplugAfter = -1;
    int m_stalledSettingsReads = 0;
    int m_stalledRecordPackets = 0;
    int m_transfersAnswered = 0;
};
