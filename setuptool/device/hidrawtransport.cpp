#include "hidrawtransport.h"

#include "settingsprotocol.h"
#include "setuplogging.h"

#include <hidapi.h>

#include <cerrno>

namespace {

hid_device *hidDevice(DeviceHandle *handle)
{
    return reinterpret_cast<hid_device *>(handle);
}

} // namespace

int HidrawTransport::init()
{
    if (hid_init() != 0) {
        qCWarning(lcSetup) << "hidapi did not start:" << QString::fromWCharArray(hid_error(nullptr));
        return LIBUSB_ERROR_OTHER;
    }
    return LIBUSB_SUCCESS;
}

DeviceHandle *HidrawTransport::openDeviceWithVidPid(quint16 vendorId, quint16 productId)
{
    hid_device_info *found = hid_enumerate(vendorId, productId);
    hid_device *device = nullptr;
    // The settings reports belong to interface 0.
    for (const hid_device_info *info = found; info; info = info->next) {
        if (info->interface_number != 0 || !info->path)
            continue;
        device = hid_open_path(info->path);
        if (!device)
            qCDebug(lcSetup) << "cannot open" << info->path << ":" << QString::fromWCharArray(hid_error(nullptr));
        break;
    }
    hid_free_enumeration(found);
    return reinterpret_cast<DeviceHandle *>(device);
}

int HidrawTransport::controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request, quint16 value,
                                     quint16 index, unsigned char *data, quint16 length, unsigned int)
{
    hid_device *device = hidDevice(handle);
    if (!device || (length > 0 && !data))
        return LIBUSB_ERROR_INVALID_PARAM;
    // The node is interface 0's, and the ioctls reach feature reports only.
    if (index != 0 || (value >> 8) != (FeatureReportValue >> 8))
        return LIBUSB_ERROR_NOT_SUPPORTED;
    const auto reportId = quint8(value & 0xFF);
    // The kernel takes the report id from byte 0 and wants at least one byte more.
    if (reportId == 0 || length < 2)
        return LIBUSB_ERROR_NOT_SUPPORTED;

    int result = -1;
    if (requestType == GetReportRequestType && request == GetReportRequest) {
        const unsigned char first = data[0];
        data[0] = reportId;
        errno = 0;
        result = hid_get_feature_report(device, data, length);
        const int error = errno;
        // An empty answer leaves the buffer as a control transfer would.
        if (result < 1)
            data[0] = first;
        if (result < 0)
            return errorFromErrno(error);
        return result;
    }
    if (requestType == SetReportRequestType && request == SetReportRequest) {
        // wValue comes from byte 0; a packet that says otherwise cannot be sent.
        if (data[0] != reportId)
            return LIBUSB_ERROR_INVALID_PARAM;
        errno = 0;
        result = hid_send_feature_report(device, data, length);
        if (result < 0)
            return errorFromErrno(errno);
        return result;
    }
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

void HidrawTransport::close(DeviceHandle *handle)
{
    if (hid_device *device = hidDevice(handle))
        hid_close(device);
}

void HidrawTransport::exit()
{
    hid_exit();
}

int HidrawTransport::errorFromErrno(int error)
{
    switch (error) {
    case ENODEV:    // the node is gone
    case ESHUTDOWN: // the device left the bus during the transfer
    case ENOENT:
        return LIBUSB_ERROR_NO_DEVICE;
    case ETIMEDOUT:
        return LIBUSB_ERROR_TIMEOUT;
    case EPIPE: // a stall
        return LIBUSB_ERROR_PIPE;
    case EACCES:
    case EPERM:
        return LIBUSB_ERROR_ACCESS;
    case EINVAL:
        return LIBUSB_ERROR_INVALID_PARAM;
    case EOVERFLOW:
        return LIBUSB_ERROR_OVERFLOW;
    case EBUSY:
        return LIBUSB_ERROR_BUSY;
    case ENOMEM:
        return LIBUSB_ERROR_NO_MEM;
    default:
        return LIBUSB_ERROR_IO;
    }
}
