#include "libusbtransport.h"

#include "setuplogging.h"

int LibUsbTransport::init()
{
    const int result = libusb_init(nullptr);
    if (result < 0)
        qCWarning(lcSetup) << "libusb_init failed:" << libusb_error_name(result);
    return result;
}

DeviceHandle *LibUsbTransport::openDeviceWithVidPid(quint16 vendorId, quint16 productId)
{
    libusb_device_handle *handle = libusb_open_device_with_vid_pid(nullptr, vendorId, productId);
    if (!handle)
        return nullptr;
#ifdef Q_OS_LINUX
    // The kernel HID driver owns interface 0, and usbfs refuses class requests
    // to an interface someone else holds. Detach it while we hold the device;
    // libusb gives it back when the interface is released. Only taken when
    // asked for: the hidraw transport reaches the device without this.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int claimed = libusb_claim_interface(handle, 0);
    if (claimed == 0)
        m_claimed.insert(handle);
    else
        qCDebug(lcSetup) << "cannot claim interface 0 of" << Qt::hex << productId << ":"
                         << libusb_error_name(claimed);
#endif
    return reinterpret_cast<DeviceHandle *>(handle);
}

int LibUsbTransport::controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request,
                                     quint16 value, quint16 index, unsigned char *data, quint16 length,
                                     unsigned int timeoutMs)
{
    return libusb_control_transfer(libusbHandle(handle), requestType, request, value, index, data, length, timeoutMs);
}

void LibUsbTransport::close(DeviceHandle *device)
{
    libusb_device_handle *handle = libusbHandle(device);
    if (!handle)
        return;
    if (m_claimed.remove(handle))
        libusb_release_interface(handle, 0);
    libusb_close(handle);
}

void LibUsbTransport::exit()
{
    libusb_exit(nullptr);
}

bool LibUsbTransport::takesDevicesFromSystem() const
{
#ifdef Q_OS_LINUX
    return true;
#else
    return false;
#endif
}
