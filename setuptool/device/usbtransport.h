#pragma once

#include <QMetaType>
#include <QtGlobal>

// The error codes every transport returns, whatever library it uses.
#include <libusb.h>

// An open device as a transport hands it out: an opaque token that only the
// transport that opened it looks through.
struct DeviceHandle;

// The only way the setup tool reaches a device: open by vendor and product id,
// class requests on the default control pipe, close. Behind it sit libusb
// (control transfers on usbfs), the kernel's hidraw node (feature-report
// ioctls) or firmware models; code above this interface cannot tell which one
// it has. Negative results are libusb error codes on every transport.
class UsbTransport
{
public:
    virtual ~UsbTransport() = default;

    // Once before the first open; 0 or a negative error.
    virtual int init() = 0;
    // Interface 0 of the first matching device, or null. Where the platform
    // needs it, the handle already holds interface 0.
    virtual DeviceHandle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) = 0;
    // One control transfer in libusb's terms: bytes transferred, or a
    // negative error (LIBUSB_ERROR_NO_DEVICE once the device is gone).
    virtual int controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request, quint16 value,
                                quint16 index, unsigned char *data, quint16 length, unsigned int timeoutMs) = 0;
    // The handle must not be used afterwards.
    virtual void close(DeviceHandle *handle) = 0;
    // Once at the end; every handle must be closed first.
    virtual void exit() = 0;

    // True when an open device is taken from the system (its kernel driver
    // let go) for as long as the tool holds it, so that no other program can
    // use it meanwhile.
    virtual bool takesDevicesFromSystem() const { return false; }
};

Q_DECLARE_OPAQUE_POINTER(DeviceHandle *)
Q_DECLARE_METATYPE(DeviceHandle *)
