#pragma once

#include "usbtransport.h"

// UsbTransport over the kernel's hidraw nodes (Linux), through hidapi's
// hidraw backend. The kernel's HID driver stays bound: the joystick and the
// rudder keep their input and hidraw nodes, so a simulator and
// kestrox-vantrell go on using them while the setup tool works.
//
// The protocol's two requests map onto the feature-report ioctls, which make
// the kernel send exactly these control transfers on interface 0:
// - GET_REPORT (0xA1, 0x01, wValue 0x03nn): HIDIOCGFEATURE(wLength) with byte
//   0 set to report nn. The device's data comes back unchanged from byte 0,
//   as from a control transfer; bytes after the answer keep what the caller
//   had there.
// - SET_REPORT (0x21, 0x09, wValue 0x03nn): HIDIOCSFEATURE(wLength) with the
//   data, whose byte 0 must be nn.
// Any other request is refused with LIBUSB_ERROR_NOT_SUPPORTED. The transfer
// timeout is the kernel's (usbhid: 5000 ms); the one passed in is not used.
// Failures come back as libusb errors: a device that is gone as
// LIBUSB_ERROR_NO_DEVICE, a timeout as LIBUSB_ERROR_TIMEOUT, a stall as
// LIBUSB_ERROR_PIPE.
class HidrawTransport final : public UsbTransport
{
public:
    int init() override;
    // The hidraw node of interface 0 of the first device with these ids.
    DeviceHandle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) override;
    int controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request, quint16 value, quint16 index,
                        unsigned char *data, quint16 length, unsigned int timeoutMs) override;
    void close(DeviceHandle *handle) override;
    void exit() override;

    // The libusb error for an errno left by a failed hidraw ioctl.
    static int errorFromErrno(int error);
};
