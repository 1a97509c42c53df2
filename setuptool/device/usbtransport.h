#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <libusb.h>

// The only way the setup tool reaches a device: the five libusb operations it
// needs, always on the default context. The production implementation calls
// libusb; the virtual one talks to firmware models. Code above this interface
// cannot tell which one it has.
class UsbTransport
{
public:
    virtual ~UsbTransport() = default;

    // libusb_init on the default context; 0 or a negative libusb error.
    virtual int init() = 0;
    // libusb_open_device_with_vid_pid: the first matching device, or null.
    // Where the platform needs it, the handle already holds interface 0.
    virtual libusb_device_handle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) = 0;
    // libusb_control_transfer: bytes transferred, or a negative libusb error.
    virtual int controlTransfer(libusb_device_handle *handle, quint8 requestType, quint8 request,
                                quint16 value, quint16 index, unsigned char *data, quint16 length,
                                unsigned int timeoutMs) = 0;
    // libusb_close; the handle must not be used afterwards.
    virtual void close(libusb_device_handle *handle) = 0;
    // libusb_exit on the default context; every handle must be closed first.
    virtual void exit() = 0;
};

Q_DECLARE_OPAQUE_POINTER(libusb_device_handle *)
Q_DECLARE_METATYPE(libusb_device_handle *)
