#pragma once

#include "usbtransport.h"

#include <QSet>

// UsbTransport over libusb's control transfers. On Linux, opening a device
// detaches the kernel's HID driver from interface 0 and claims it: the system
// loses the device until it is closed.
class LibUsbTransport final : public UsbTransport
{
public:
    int init() override;
    DeviceHandle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) override;
    int controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request, quint16 value, quint16 index,
                        unsigned char *data, quint16 length, unsigned int timeoutMs) override;
    void close(DeviceHandle *handle) override;
    void exit() override;
    bool takesDevicesFromSystem() const override;

    // The libusb handle behind a handle this transport opened.
    static libusb_device_handle *libusbHandle(DeviceHandle *handle)
    {
        return reinterpret_cast<libusb_device_handle *>(handle);
    }

private:
    // Handles whose interface 0 we claimed and must release before closing.
    QSet<libusb_device_handle *> m_claimed;
};
