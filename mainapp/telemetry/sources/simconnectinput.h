#pragma once

#include "rawinput.h"
#include "simconnectapi.h"

#include <memory>

class RecordingSimConnect;
class ReplaySimConnect;

// SimConnect: MSFS through its client library or its network protocol, or
// the messages of a recording. Every message the source reads through api()
// is passed on for a recording.
class SimConnectInput final : public RawInput
{
    Q_OBJECT

public:
    // A ReplaySimConnect makes this the replay input; anything else is a simulator.
    explicit SimConnectInput(std::shared_ptr<SimConnectApi> api, QObject *parent = nullptr);
    ~SimConnectInput() override;

    SimConnectApi &api();

    void feed(const RawTelemetryEntry &entry) override;
    std::unique_ptr<RawInput> replayInput() const override;

private:
    std::unique_ptr<RecordingSimConnect> m_tap;
    std::shared_ptr<ReplaySimConnect> m_replay;
};
