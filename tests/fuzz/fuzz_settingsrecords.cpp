// The setup tool's records as the device worker reads them from a device
// whose answers come from the fuzz input: device info on every poll, the two
// settings records, and the state report of a busy wait.

#include "fuzzapp.h"
#include "settingsprotocol.h"
#include "settingsrecords.h"
#include "settingsuibackgroundthread.h"

#include <QList>

#include <cstring>

namespace {

constexpr int Pid = JoystickProductId;

// Answers every GET_REPORT from the input: a 16-bit result (negative: a
// libusb error; otherwise the byte count, limited to the requested length)
// and then that many bytes. A write beyond the length the caller gave would
// be a fault of the transport, so the answer stays inside it; everything
// the worker then shows must come from those bytes.
class FuzzTransport final : public UsbTransport
{
public:
    FuzzTransport(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    QByteArray lastAnswer;
    int lastResult = 0;
    int requests = 0;

    int init() override { return 0; }
    DeviceHandle *openDeviceWithVidPid(quint16 vendorId, quint16 productId) override
    {
        if (vendorId != KestroxVendorId || productId != Pid)
            return nullptr;
        return reinterpret_cast<DeviceHandle *>(&m_handle);
    }
    int controlTransfer(DeviceHandle *, quint8 requestType, quint8 request, quint16, quint16,
                        unsigned char *data, quint16 length, unsigned int) override
    {
        ++requests;
        if (requestType != GetReportRequestType || request != GetReportRequest)
            return length; // commands are taken as sent
        if (length != ReceiveBufferSize)
            fuzz::fail("settings records", "GET_REPORT length", length);
        // Whatever the worker passed must be fully writable.
        for (quint16 i = 0; i < length; ++i)
            if (data[i] != 0)
                fuzz::fail("settings records", "buffer not cleared before a read", i);
        if (m_offset + 2 > m_size) {
            lastResult = LIBUSB_ERROR_NO_DEVICE;
            return lastResult;
        }
        const auto code = qint16(quint16(m_data[m_offset]) | quint16(m_data[m_offset + 1]) << 8);
        m_offset += 2;
        if (code < 0) {
            lastResult = code;
            lastAnswer.clear();
            return lastResult;
        }
        const size_t count = std::min<size_t>({size_t(code), length, m_size - m_offset});
        std::memcpy(data, m_data + m_offset, count);
        lastAnswer = QByteArray(reinterpret_cast<const char *>(m_data + m_offset), qsizetype(count));
        m_offset += count;
        lastResult = int(count);
        return lastResult;
    }
    void close(DeviceHandle *) override {}
    void exit() override {}

    bool exhausted() const { return m_offset + 2 > m_size; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_offset = 0;
    int m_handle = 0;
};

// What a record read must give: the bytes the device sent, zero beyond them.
template<typename Record>
void requireRecordFromAnswer(const char *what, const Record &record, const QByteArray &answer)
{
    QByteArray expected = answer.left(qsizetype(sizeof(Record)));
    expected.append(QByteArray(qsizetype(sizeof(Record)) - expected.size(), '\0'));
    if (recordBytes(record) != expected)
        fuzz::fail(what, "record differs from the bytes received", double(answer.size()));
}

class ManualClock final : public BusyWaitClock
{
public:
    qint64 nowMs() override { return m_now; }
    void pauseMs(int ms) override { m_now += ms; }

private:
    qint64 m_now = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseApplication();
    registerSetupMetaTypes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzTransport usb(data, size);
    ManualClock clock;
    SettingsUiBackgroundThread worker({Pid}, KestroxVendorId, &usb);
    worker.setBusyWaitTiming({10, 50, &clock});

    int infos = 0, effects = 0, hardware = 0;
    QObject::connect(&worker, &SettingsUiBackgroundThread::connectedDevices, [&](const QMap<int, DeviceInfoTypeDef> &devices) {
        if (devices.size() > 1 || (devices.size() == 1 && !devices.contains(Pid)))
            fuzz::fail("device info", "unknown device listed", double(devices.size()));
        if (devices.contains(Pid)) {
            if (usb.lastResult < 0)
                fuzz::fail("device info", "device listed after a failed read", usb.lastResult);
            requireRecordFromAnswer("device info", devices.value(Pid), usb.lastAnswer);
            ++infos;
        }
    });
    QObject::connect(&worker, &SettingsUiBackgroundThread::effectSettingsObtained, [&](const EffectSettingsTypeDef &r) {
        if (usb.lastResult < int(sizeof r))
            fuzz::fail("effect settings", "short read delivered", usb.lastResult);
        requireRecordFromAnswer("effect settings", r, usb.lastAnswer);
        ++effects;
    });
    QObject::connect(&worker, &SettingsUiBackgroundThread::hardwareSettingsObtained, [&](const HardwareSettingsTypeDef &r) {
        if (usb.lastResult < int(sizeof r))
            fuzz::fail("hardware settings", "short read delivered", usb.lastResult);
        requireRecordFromAnswer("hardware settings", r, usb.lastAnswer);
        ++hardware;
    });

    // Rounds of what the setup window asks for, until the input runs out.
    for (int round = 0; round < 16 && !usb.exhausted(); ++round) {
        worker.checkDeviceConnections();
        worker.readEffectSettings(Pid);
        worker.readHardwareSettings(Pid);
        worker.saveSettingsRequest(Pid);
    }
    Q_UNUSED(infos)
    Q_UNUSED(effects)
    Q_UNUSED(hardware)
    return 0;
}
