// The virtual device's side of control transfers: arbitrary SET_REPORT
// packets (record chunks above all), GET_REPORTs and stray requests. After
// the fuzzed transfers a correct record transfer, as the setup tool sends it,
// must always be taken over whole.

#include "fuzzapp.h"
#include "settingsprotocol.h"
#include "virtualkestroxdevice.h"

#include <memory>

namespace {

// Hands transfers to the device the way the virtual transport does.
class DeviceTransport final : public UsbTransport
{
public:
    explicit DeviceTransport(VirtualKestroxDevice &device) : m_device(device) {}
    int init() override { return 0; }
    DeviceHandle *openDeviceWithVidPid(quint16, quint16) override { return nullptr; }
    int controlTransfer(DeviceHandle *, quint8 requestType, quint8 request, quint16 value, quint16 index,
                        unsigned char *data, quint16 length, unsigned int) override
    {
        return m_device.controlTransfer(m_device.connection(), requestType, request, value, index, data, length);
    }
    void close(DeviceHandle *) override {}
    void exit() override {}

private:
    VirtualKestroxDevice &m_device;
};

class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_offset >= m_size; }
    quint8 byte() { return m_offset < m_size ? m_data[m_offset++] : 0; }
    quint16 word() { return quint16(byte() | quint16(byte()) << 8); }
    void bytes(unsigned char *out, size_t count)
    {
        for (size_t i = 0; i < count; ++i)
            out[i] = byte();
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_offset = 0;
};

// A heap block of exactly the transfer's length, so that the device cannot
// touch a byte beyond it unnoticed.
std::unique_ptr<unsigned char[]> block(quint16 length)
{
    return std::make_unique<unsigned char[]>(std::max<size_t>(length, 1));
}

template<typename Record>
Record patternRecord(quint8 seed)
{
    Record record;
    auto *bytes = reinterpret_cast<unsigned char *>(&record);
    for (size_t i = 0; i < sizeof record; ++i)
        bytes[i] = quint8(seed + i * 7);
    return record;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    VirtualKestroxDevice device(JoystickProductId, DeviceType::Joystick, 1234);
    device.setBusyReads(0);
    const DeviceInfoTypeDef info = device.info();
    Input in(data, size);

    for (int op = 0; op < 256 && !in.done(); ++op) {
        const quint8 kind = in.byte();
        const quint64 connection = device.connection();
        switch (kind % 4) {
        case 0:
        case 1: {
            // A command packet; often forced to the shape of a record chunk so
            // that the reassembly is reached.
            CommandReportTypeDef packet;
            in.bytes(reinterpret_cast<unsigned char *>(&packet), sizeof packet);
            if (kind & 0x10) {
                packet.reportId = quint8(SettingsReportId::CommandReport);
                packet.command = quint8((kind & 0x20) ? DeviceCommand::WriteEffectSettings
                                                      : DeviceCommand::WriteHardwareSettings);
            }
            const quint16 length = (kind % 4 == 0) ? quint16(sizeof packet) : quint16(in.byte());
            auto buffer = block(length);
            std::memcpy(buffer.get(), &packet, std::min<size_t>(length, sizeof packet));
            const int result = device.controlTransfer(connection, SetReportRequestType, SetReportRequest,
                                                      FeatureReportValue | quint16(SettingsReportId::CommandReport),
                                                      0, buffer.get(), length);
            if (result > int(length))
                fuzz::fail("virtual device", "SET_REPORT result beyond the length", result);
            break;
        }
        case 2: {
            const quint8 report = in.byte();
            const quint16 length = in.word() % (ReceiveBufferSize + 1);
            auto buffer = block(length);
            const int result = device.controlTransfer(connection, GetReportRequestType, GetReportRequest,
                                                      FeatureReportValue | report, 0, buffer.get(), length);
            if (result > int(length))
                fuzz::fail("virtual device", "GET_REPORT result beyond the length", result);
            break;
        }
        default: {
            const quint8 requestType = in.byte();
            const quint8 request = in.byte();
            const quint16 value = in.word();
            const quint16 index = in.word();
            const quint16 length = in.byte();
            auto buffer = block(length);
            in.bytes(buffer.get(), length);
            const int result = device.controlTransfer(connection, requestType, request, value, index, buffer.get(), length);
            if (result > int(length))
                fuzz::fail("virtual device", "transfer result beyond the length", result);
            break;
        }
        }
        if (!device.isPlugged())
            device.plug();
        if (device.recordsTaken() < 0 || device.recordsDropped() < 0 || device.saves() < 0)
            fuzz::fail("virtual device", "negative counter", 0);
    }

    // Nothing sent may have reached the device's identity.
    const DeviceInfoTypeDef after = device.info();
    if (!(after == info))
        fuzz::fail("virtual device", "device info changed", 0);

    // Whatever came before, a complete transfer is taken over exactly.
    DeviceTransport usb(device);
    const int taken = device.recordsTaken();
    const auto effect = patternRecord<EffectSettingsTypeDef>(quint8(size));
    sendRecord(usb, nullptr, DeviceCommand::WriteEffectSettings, &effect, sizeof effect);
    if (!(device.effectSettings() == effect) || device.recordsTaken() != taken + 1)
        fuzz::fail("virtual device", "effect record not taken over after fuzzed transfers", device.recordsTaken() - taken);
    const auto hardware = patternRecord<HardwareSettingsTypeDef>(quint8(size + 1));
    sendRecord(usb, nullptr, DeviceCommand::WriteHardwareSettings, &hardware, sizeof hardware);
    if (!(device.hardwareSettings() == hardware) || device.recordsTaken() != taken + 2)
        fuzz::fail("virtual device", "hardware record not taken over after fuzzed transfers", device.recordsTaken() - taken);
    if (!(device.effectSettings() == effect))
        fuzz::fail("virtual device", "hardware transfer changed the effect record", 0);
    return 0;
}
