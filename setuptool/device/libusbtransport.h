#pragma once

#include "usbtransport.h"

#include <QSet>

// UsbTransport over the real libusb.
class LibUsbTransport final : public UsbTransport
{
public:
    int init() override;
    libusb_device_handle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) override;
    int controlTransfer(libusb_device_handle *handle, quint8 requestType, quint8 request, quint16 value,
                        quint16 index, unsigned char *data, quint16 length, unsigned int timeoutMs) override;
    void close(libusb_device_handle *handle) override;
    void exit() override;

private:
    // Handles whose interface 0 we claimed and must release before closing.
    QSet<libusb_device_handle *> m_claimed;
};
