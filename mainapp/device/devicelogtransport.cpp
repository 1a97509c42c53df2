#include "devicelogtransport.h"

#include <QMutexLocker>

DeviceLogTransport::DeviceLogTransport(std::shared_ptr<HidTransport> inner, std::unique_ptr<QFile> log)
    : m_inner(std::move(inner)), m_log(std::move(log))
{}

std::unique_ptr<QFile> DeviceLogTransport::openLog(const QString &path, QString *errorString)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (errorString)
            *errorString = file->errorString();
        return nullptr;
    }
    return file;
}

int DeviceLogTransport::init()
{
    return m_inner->init();
}

HidDevice *DeviceLogTransport::open(quint16 vendorId, quint16 productId)
{
    HidDevice *device = m_inner->open(vendorId, productId);
    if (device) {
        QMutexLocker lock(&m_mutex);
        m_productIds.insert(device, productId);
    }
    return device;
}

int DeviceLogTransport::getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length)
{
    return m_inner->getFeatureReport(device, data, length);
}

int DeviceLogTransport::write(HidDevice *device, const unsigned char *data, std::size_t length)
{
    {
        QMutexLocker lock(&m_mutex);
        const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(length));
        const QByteArray line = QByteArray::number(m_clock()) + ' ' +
                                QByteArray::number(m_productIds.value(device), 16).rightJustified(4, '0') +
                                ' ' + bytes.toHex() + '\n';
        m_log->write(line);
        m_log->flush();
    }
    return m_inner->write(device, data, length);
}

void DeviceLogTransport::close(HidDevice *device)
{
    {
        QMutexLocker lock(&m_mutex);
        m_productIds.remove(device);
    }
    m_inner->close(device);
}
