#pragma once

#include "hidtransport.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <array>
#include <memory>
#include <vector>

// A model of a Kestrox joystick or rudder firmware as seen over HID: answers
// the version (0x25) and position (0x24) feature reports and keeps the
// newest reports written to it (a bounded history, so that an evening in
// --virtual-devices mode does not grow the memory). Tests and --virtual-devices mode plug, unplug and
// move it; it is safe to steer from another thread than the one polling it.
class VirtualKestroxDevice
{
public:
    // Reports kept in the history: 40 s of ticks, more than any test reads.
    static constexpr std::size_t DefaultHistoryLength = 4096;
    // Longest report kept whole; the device's reports are 65 bytes.
    static constexpr std::size_t MaxReportLength = 65;

    VirtualKestroxDevice(quint16 productId, quint32 version,
                         std::size_t historyLength = DefaultHistoryLength);

    quint16 productId() const { return m_productId; }

    void setPlugged(bool plugged);
    bool isPlugged() const;
    bool isOpen() const;
    // Feature-report reads fail while set (a device that stops answering).
    void setFailReads(bool fail);
    // Output reports fail while set (a device whose endpoint stalls).
    void setFailWrites(bool fail);
    // Axis 0 and 1: roll and pitch on the joystick; the rudder uses axis 0 for yaw.
    void setPosition(int axis, float position);
    void setOffset(int axis, float offset);

    // The reports in the history, oldest first.
    QList<QByteArray> writtenReports() const;
    // Every report written since creation or the last clear, kept or not.
    quint64 writtenCount() const;
    void clearWrittenReports();
    // Reads, writes and closes through a handle the host had already closed
    // (or never opened); the real library would use freed memory there.
    int closedHandleUses() const;

private:
    friend class VirtualHidTransport;
    int featureReport(unsigned char *data, std::size_t length);
    int write(const unsigned char *data, std::size_t length);

    const quint16 m_productId;
    const quint32 m_version;
    mutable QMutex m_mutex;
    bool m_plugged = true;
    bool m_open = false;
    bool m_failReads = false;
    bool m_failWrites = false;
    bool m_hostOpen = false; // the host holds a handle, whether or not the device is still there
    int m_closedHandleUses = 0;
    std::array<float, 2> m_position{};
    std::array<float, 2> m_offset{};
    // A ring of fixed slots, allocated once: writing a report allocates nothing.
    struct StoredReport
    {
        std::array<unsigned char, MaxReportLength> bytes{};
        std::size_t length = 0;
    };
    std::vector<StoredReport> m_history;
    quint64 m_writtenCount = 0;
};

// A USB bus holding virtual Kestrox devices.
class VirtualHidTransport final : public HidTransport
{
public:
    static constexpr quint32 DefaultVersion = 0x00020125;

    // A joystick and a rudder, both plugged in.
    static std::shared_ptr<VirtualHidTransport> withJoystickAndRudder();

    void addDevice(std::shared_ptr<VirtualKestroxDevice> device);
    std::shared_ptr<VirtualKestroxDevice> device(quint16 productId) const;
    int openCalls() const { return m_openCalls; }

    int init() override { return 0; }
    HidDevice *open(quint16 vendorId, quint16 productId) override;
    int getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length) override;
    int write(HidDevice *device, const unsigned char *data, std::size_t length) override;
    void close(HidDevice *device) override;

private:
    QList<std::shared_ptr<VirtualKestroxDevice>> m_devices;
    int m_openCalls = 0;
};
