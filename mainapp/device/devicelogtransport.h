#pragma once

#include "hidtransport.h"

#include "millisecondclock.h"
#include <QFile>
#include <QHash>
#include <QMutex>

#include <memory>

// Passes every call to another transport and appends each report written to
// a device to a log file: milliseconds since start, the product id as four
// hex digits, and the report's bytes in hex, one line per report, flushed
// line by line.
class DeviceLogTransport final : public HidTransport
{
public:
    DeviceLogTransport(std::shared_ptr<HidTransport> inner, std::unique_ptr<QFile> log);

    // Opens path for appending; null with errorString set when that fails.
    static std::unique_ptr<QFile> openLog(const QString &path, QString *errorString);

    int init() override;
    HidDevice *open(quint16 vendorId, quint16 productId) override;
    int getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length) override;
    int write(HidDevice *device, const unsigned char *data, std::size_t length) override;
    void close(HidDevice *device) override;

private:
    std::shared_ptr<HidTransport> m_inner;
    std::unique_ptr<QFile> m_log;
    MillisecondClock m_clock = steadyMillisecondClock(); // the program's own time base, as its log lines
    QMutex m_mutex;
    QHash<HidDevice *, quint16> m_productIds;
};
