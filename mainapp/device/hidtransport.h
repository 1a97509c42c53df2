#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>

// An open HID device; what it points at belongs to the adapter that opened it.
struct HidDevice;

// The five hidapi operations the output loop uses, behind one seam: the
// production adapter calls hidapi, the virtual Kestrox devices answer in
// tests and in --virtual-devices mode. Return values follow hidapi: a
// negative result is a failure.
class HidTransport
{
public:
    virtual ~HidTransport() = default;

    virtual int init() = 0;
    // Opens the first device with these ids, or returns null.
    virtual HidDevice *open(quint16 vendorId, quint16 productId) = 0;
    // data[0] holds the report id; returns the bytes read or -1.
    virtual int getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length) = 0;
    // data[0] holds the report id; returns the bytes written or -1.
    virtual int write(HidDevice *device, const unsigned char *data, std::size_t length) = 0;
    virtual void close(HidDevice *device) = 0;
};

// hidapi itself (the hidraw backend on Linux).
std::shared_ptr<HidTransport> createHidapiTransport();
