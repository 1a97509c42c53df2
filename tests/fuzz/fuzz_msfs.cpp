// SimConnect messages as the MSFS source reads them, one per poll, from a
// scripted SimConnect. Each message sits in a heap block of exactly its size,
// so that any read past the size the source was given is caught.

#include "fuzzsupport.h"
#include "scriptedsimconnect.h"
#include "telemetrysourcemsfs.h"

#include <memory>

namespace {

class ExactSizeSimConnect final : public ScriptedSimConnect
{
public:
    SimConnect::HResult getNextDispatch(SimConnect::Handle, const SimConnect::Recv **data,
                                        SimConnect::Dword *size) override
    {
        if (messages.isEmpty())
            return -1;
        const QByteArray message = messages.takeFirst();
        m_block = std::make_unique<char[]>(std::size_t(message.size()) + (message.isEmpty() ? 1 : 0));
        std::memcpy(m_block.get(), message.constData(), std::size_t(message.size()));
        *data = reinterpret_cast<const SimConnect::Recv *>(m_block.get());
        *size = SimConnect::Dword(message.size());
        return 0;
    }

private:
    std::unique_ptr<char[]> m_block;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseTelemetryApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto api = std::make_shared<ExactSizeSimConnect>();
    fuzz::Pieces pieces(data, size);
    QByteArray message;
    while (pieces.next(message))
        api->messages << message;
    const auto count = api->messages.size();

    TelemetrySourceMSFS source(nullptr, api);
    fuzz::watch<TelemetrySourceMSFS, MSFSTelemetry>(source, "MSFS");
    for (qsizetype i = 0; i < count; ++i)
        source.poll();
    if (!api->messages.isEmpty())
        fuzz::fail("MSFS", "messages left unread", double(api->messages.size()));
    source.finish();
    return 0;
}
