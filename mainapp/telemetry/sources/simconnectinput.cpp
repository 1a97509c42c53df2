#include "simconnectinput.h"

#include "simconnectreplay.h"

SimConnectInput::SimConnectInput(std::shared_ptr<SimConnectApi> api, QObject *parent)
    : RawInput(parent), m_replay(std::dynamic_pointer_cast<ReplaySimConnect>(api))
{
    m_tap = std::make_unique<RecordingSimConnect>(std::move(api));
    m_tap->setTap([this](const QByteArray &message) {
        const qint64 arrived = m_tap->messageArrivedAt();
        setArrivedAt(arrived >= 0 ? arrived : now());
        emit received(RawTelemetryEntry::SimConnectMessage, 0, message);
    });
}

SimConnectInput::~SimConnectInput() = default;

SimConnectApi &SimConnectInput::api()
{
    return *m_tap;
}

void SimConnectInput::feed(const RawTelemetryEntry &entry)
{
    if (m_replay && entry.kind == RawTelemetryEntry::SimConnectMessage)
        m_replay->push(entry.payload);
}

std::unique_ptr<RawInput> SimConnectInput::replayInput() const
{
    if (m_replay)
        return nullptr;
    return std::make_unique<SimConnectInput>(std::make_shared<ReplaySimConnect>());
}
