#include "virtualusbtransport.h"

#include "setuplogging.h"

#include <QMutexLocker>

VirtualUsbTransport::VirtualUsbTransport() = default;

VirtualUsbTransport::~VirtualUsbTransport() = default;

VirtualKestroxDevice *VirtualUsbTransport::addDevice(quint16 productId, DeviceType type,
                                                     quint32 firmwareVersion, quint16 vendorId)
{
    QMutexLocker lock(&m_mutex);
    m_devices.push_back(std::make_unique<VirtualKestroxDevice>(productId, type, firmwareVersion, vendorId));
    return m_devices.back().get();
}

void VirtualUsbTransport::addKestroxDevices()
{
    addDevice(JoystickProductId, DeviceType::Joystick, 240611);
    addDevice(RudderProductId, DeviceType::Rudder, 240611);
    addDevice(WheelProductId, DeviceType::Wheel, 240530);
}

VirtualKestroxDevice *VirtualUsbTransport::device(quint16 productId) const
{
    QMutexLocker lock(&m_mutex);
    for (const auto &device : m_devices) {
        if (device->productId() == productId)
            return device.get();
    }
    return nullptr;
}

int VirtualUsbTransport::openHandleCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_handles.size());
}

int VirtualUsbTransport::misuseCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_misuses;
}

void VirtualUsbTransport::setRecording(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_recording = on;
}

QList<VirtualTransfer> VirtualUsbTransport::transfers() const
{
    QMutexLocker lock(&m_mutex);
    return m_transfers;
}

void VirtualUsbTransport::clearTransfers()
{
    QMutexLocker lock(&m_mutex);
    m_transfers.clear();
}

int VirtualUsbTransport::init()
{
    QMutexLocker lock(&m_mutex);
    m_initialized = true;
    return LIBUSB_SUCCESS;
}

DeviceHandle *VirtualUsbTransport::openDeviceWithVidPid(quint16 vendorId, quint16 productId)
{
    QMutexLocker lock(&m_mutex);
    if (!m_initialized) {
        misuse("open before init");
        return nullptr;
    }
    for (const auto &device : m_devices) {
        if (device->vendorId() != vendorId || device->productId() != productId || !device->isPlugged())
            continue;
        // Tokens only: nothing ever reads through them.
        auto *handle = reinterpret_cast<DeviceHandle *>(++m_lastHandle << 4);
        m_handles.emplace(handle, OpenHandle{device.get(), device->connection()});
        return handle;
    }
    return nullptr;
}

int VirtualUsbTransport::controlTransfer(DeviceHandle *handle, quint8 requestType, quint8 request,
                                         quint16 value, quint16 index, unsigned char *data, quint16 length,
                                         unsigned int timeoutMs)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_handles.find(handle);
    if (it == m_handles.end()) {
        misuse("transfer on a handle that is not open");
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    const OpenHandle open = it->second;
    const bool toDevice = (requestType & LIBUSB_ENDPOINT_IN) == 0;
    VirtualTransfer record;
    if (m_recording && toDevice && data)
        record.data = QByteArray(reinterpret_cast<const char *>(data), length);

    const int result =
        open.device->controlTransfer(open.connection, requestType, request, value, index, data, length);
    if (m_recording) {
        record.productId = open.device->productId();
        record.requestType = requestType;
        record.request = request;
        record.value = value;
        record.index = index;
        record.length = length;
        record.timeoutMs = timeoutMs;
        record.result = result;
        if (!toDevice && result > 0)
            record.data = QByteArray(reinterpret_cast<const char *>(data), result);
        m_transfers.append(record);
    }
    return result;
}

void VirtualUsbTransport::close(DeviceHandle *handle)
{
    QMutexLocker lock(&m_mutex);
    if (m_handles.erase(handle) == 0)
        misuse("close of a handle that is not open");
}

void VirtualUsbTransport::exit()
{
    QMutexLocker lock(&m_mutex);
    if (!m_handles.empty()) {
        misuse("exit with open handles");
        m_handles.clear();
    }
    m_initialized = false;
}

void VirtualUsbTransport::misuse(const char *what)
{
    ++m_misuses;
    qCWarning(lcSetup) << "virtual USB:" << what;
}

void VirtualUsbTransport::setTakesDevicesFromSystem(bool takes)
{
    QMutexLocker lock(&m_mutex);
    m_takesDevices = takes;
}

bool VirtualUsbTransport::takesDevicesFromSystem() const
{
    QMutexLocker lock(&m_mutex);
    return m_takesDevices;
}
