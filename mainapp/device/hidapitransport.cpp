#include "hidtransport.h"

#include <hidapi.h>

namespace {

class HidapiTransport final : public HidTransport
{
public:
    int init() override { return hid_init(); }
    HidDevice *open(quint16 vendorId, quint16 productId) override
    {
        return reinterpret_cast<HidDevice *>(hid_open(vendorId, productId, nullptr));
    }
    int getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length) override
    {
        return hid_get_feature_report(handle(device), data, length);
    }
    int write(HidDevice *device, const unsigned char *data, std::size_t length) override
    {
        return hid_write(handle(device), data, length);
    }
    void close(HidDevice *device) override { hid_close(handle(device)); }

private:
    static hid_device *handle(HidDevice *device) { return reinterpret_cast<hid_device *>(device); }
};

} // namespace

std::shared_ptr<HidTransport> createHidapiTransport()
{
    return std::make_shared<HidapiTransport>();
}
