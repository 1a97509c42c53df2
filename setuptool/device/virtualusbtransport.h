#pragma once

#include "usbtransport.h"
#include "virtualkestroxdevice.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <map>
#include <memory>
#include <vector>

// One control transfer as the virtual bus saw it.
struct VirtualTransfer
{
    quint16 productId = 0;
    quint8 requestType = 0;
    quint8 request = 0;
    quint16 value = 0;
    quint16 index = 0;
    quint16 length = 0;
    unsigned int timeoutMs = 0;
    QByteArray data; // sent to the device, or received from it when the transfer succeeded
    int result = 0;
};

// UsbTransport over a bus of VirtualKestroxDevice models. Handles are opaque
// tokens that are never dereferenced; using one that is not open, or opening
// before init, is counted as misuse instead of crashing as libusb would.
// Thread-safe.
class VirtualUsbTransport final : public UsbTransport
{
public:
    VirtualUsbTransport();
    ~VirtualUsbTransport() override;

    // Puts a device on the bus; the transport owns it.
    VirtualKestroxDevice *addDevice(quint16 productId, DeviceType type, quint32 firmwareVersion,
                                    quint16 vendorId = KestroxVendorId);
    // One virtual Joystick, Rudder and Wheel PRO.
    void addKestroxDevices();
    VirtualKestroxDevice *device(quint16 productId) const;

    int openHandleCount() const;
    int misuseCount() const;

    // Keeps a log of every control transfer while on (off by default, as an
    // interactive session would grow it forever).
    void setRecording(bool on);
    QList<VirtualTransfer> transfers() const;
    void clearTransfers();

    // Makes the bus say what libusb says on Linux: that it takes the devices
    // from the system while they are open.
    void setTakesDevicesFromSystem(bool takes);

    int init() override;
    DeviceHandle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) override;
    int controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request, quint16 value,
                        quint16 index, unsigned char *data, quint16 length, unsigned int timeoutMs) override;
    void close(DeviceHandle *handle) override;
    void exit() override;
    bool takesDevicesFromSystem() const override;

private:
    struct OpenHandle
    {
        VirtualKestroxDevice *device = nullptr;
        quint64 connection = 0;
    };

    void misuse(const char *what);

    mutable QMutex m_mutex;
    std::vector<std::unique_ptr<VirtualKestroxDevice>> m_devices;
    std::map<DeviceHandle *, OpenHandle> m_handles;
    quintptr m_lastHandle = 0;
    bool m_initialized = false;
    int m_misuses = 0;
    bool m_recording = false;
    bool m_takesDevices = false;
    QList<VirtualTransfer> m_transfers;
};
