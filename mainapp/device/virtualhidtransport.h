#pragma once

#include "hidtransport.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <array>
#include <memory>

// A model of a Kestrox joystick or rudder firmware as seen over HID: answers
// the version (0x25) and position (0x24) feature reports and keeps every
// report written to it. Tests and --virtual-devices mode plug, unplug and
// move it; it is safe to steer from another thread than the one polling it.
class VirtualKestroxDevice
{
public:
    VirtualKestroxDevice(quint16 productId, quint32 version);

    quint16 productId() const { return m_productId; }

    void setPlugged(bool plugged);
    bool isPlugged() const;
    bool isOpen() const;
    // Feature-report reads fail while set (a device that stops answering).
    void setFailReads(bool fail);
    // Axis 0 and 1: roll and pitch on the joystick; the rudder uses axis 0 for yaw.
    void setPosition(int axis, float position);
    void setOffset(int axis, float offset);

    QList<QByteArray> writtenReports() const;
    void clearWrittenReports();

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
    std::array<float, 2> m_position{};
    std::array<float, 2> m_offset{};
    QList<QByteArray> m_written;
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
