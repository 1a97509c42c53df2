#include "virtualhidtransport.h"

#include "devicereports.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

VirtualKestroxDevice::VirtualKestroxDevice(quint16 productId, quint32 version, std::size_t historyLength)
    : m_productId(productId), m_version(version), m_history(std::max<std::size_t>(historyLength, 1))
{}

void VirtualKestroxDevice::setPlugged(bool plugged)
{
    QMutexLocker lock(&m_mutex);
    m_plugged = plugged;
    if (!plugged)
        m_open = false;
}

bool VirtualKestroxDevice::isPlugged() const
{
    QMutexLocker lock(&m_mutex);
    return m_plugged;
}

bool VirtualKestroxDevice::isOpen() const
{
    QMutexLocker lock(&m_mutex);
    return m_open;
}

void VirtualKestroxDevice::setFailWrites(bool fail)
{
    QMutexLocker lock(&m_mutex);
    m_failWrites = fail;
}

void VirtualKestroxDevice::setFailReads(bool fail)
{
    QMutexLocker lock(&m_mutex);
    m_failReads = fail;
}

void VirtualKestroxDevice::setPosition(int axis, float position)
{
    QMutexLocker lock(&m_mutex);
    m_position.at(axis) = position;
}

void VirtualKestroxDevice::setOffset(int axis, float offset)
{
    QMutexLocker lock(&m_mutex);
    m_offset.at(axis) = offset;
}

QList<QByteArray> VirtualKestroxDevice::writtenReports() const
{
    QMutexLocker lock(&m_mutex);
    const std::size_t capacity = m_history.size();
    const std::size_t kept = std::size_t(std::min<quint64>(m_writtenCount, capacity));
    QList<QByteArray> reports;
    reports.reserve(qsizetype(kept));
    for (std::size_t i = 0; i < kept; ++i) {
        const StoredReport &stored = m_history[std::size_t((m_writtenCount - kept + i) % capacity)];
        reports.append(QByteArray(reinterpret_cast<const char *>(stored.bytes.data()), qsizetype(stored.length)));
    }
    return reports;
}

quint64 VirtualKestroxDevice::writtenCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_writtenCount;
}

void VirtualKestroxDevice::clearWrittenReports()
{
    QMutexLocker lock(&m_mutex);
    m_writtenCount = 0;
}

int VirtualKestroxDevice::featureReport(unsigned char *data, std::size_t length)
{
    QMutexLocker lock(&m_mutex);
    if (!m_hostOpen)
        ++m_closedHandleUses;
    if (!m_plugged || !m_open || m_failReads || length < 1)
        return -1;
    const unsigned char id = data[0];
    std::memset(data, 0, length);
    data[0] = id;
    if (id == DeviceReports::VersionReportId) {
        // The firmware fills bytes 1-3; byte 0 keeps the report id.
        for (std::size_t i = 1; i < 4 && i < length; ++i)
            data[i] = static_cast<unsigned char>(m_version >> (8 * i));
        return int(length);
    }
    if (id == DeviceReports::PositionReportId && length >= 17) {
        const float floats[4] = {m_position[0], m_position[1], m_offset[0], m_offset[1]};
        for (int i = 0; i < 4; ++i)
            DeviceReports::putFloat(data + 1 + 4 * i, floats[i]);
        return int(length);
    }
    return -1;
}

int VirtualKestroxDevice::write(const unsigned char *data, std::size_t length)
{
    QMutexLocker lock(&m_mutex);
    if (!m_hostOpen)
        ++m_closedHandleUses;
    if (!m_plugged || !m_open || m_failWrites)
        return -1;
    StoredReport &slot = m_history[std::size_t(m_writtenCount % m_history.size())];
    slot.length = std::min(length, MaxReportLength);
    std::memcpy(slot.bytes.data(), data, slot.length);
    ++m_writtenCount;
    return int(length);
}

int VirtualKestroxDevice::closedHandleUses() const
{
    QMutexLocker lock(&m_mutex);
    return m_closedHandleUses;
}

std::shared_ptr<VirtualHidTransport> VirtualHidTransport::withJoystickAndRudder()
{
    auto transport = std::make_shared<VirtualHidTransport>();
    transport->addDevice(
        std::make_shared<VirtualKestroxDevice>(DeviceReports::JoystickProductId, DefaultVersion));
    transport->addDevice(
        std::make_shared<VirtualKestroxDevice>(DeviceReports::RudderProductId, DefaultVersion));
    return transport;
}

void VirtualHidTransport::addDevice(std::shared_ptr<VirtualKestroxDevice> device)
{
    m_devices.append(std::move(device));
}

std::shared_ptr<VirtualKestroxDevice> VirtualHidTransport::device(quint16 productId) const
{
    for (const auto &device : m_devices) {
        if (device->productId() == productId)
            return device;
    }
    return nullptr;
}

HidDevice *VirtualHidTransport::open(quint16 vendorId, quint16 productId)
{
    ++m_openCalls;
    if (vendorId != DeviceReports::VendorId)
        return nullptr;
    for (const auto &device : m_devices) {
        QMutexLocker lock(&device->m_mutex);
        if (device->m_productId == productId && device->m_plugged) {
            device->m_open = true;
            device->m_hostOpen = true;
            return reinterpret_cast<HidDevice *>(device.get());
        }
    }
    return nullptr;
}

int VirtualHidTransport::getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length)
{
    return reinterpret_cast<VirtualKestroxDevice *>(device)->featureReport(data, length);
}

int VirtualHidTransport::write(HidDevice *device, const unsigned char *data, std::size_t length)
{
    return reinterpret_cast<VirtualKestroxDevice *>(device)->write(data, length);
}

void VirtualHidTransport::close(HidDevice *device)
{
    auto *virtualDevice = reinterpret_cast<VirtualKestroxDevice *>(device);
    QMutexLocker lock(&virtualDevice->m_mutex);
    if (!virtualDevice->m_hostOpen)
        ++virtualDevice->m_closedHandleUses;
    virtualDevice->m_hostOpen = false;
    virtualDevice->m_open = false;
}
