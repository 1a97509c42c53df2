#pragma once

#include "simconnectapi.h"
#include "simconnectinput.h"
#include "telemetrysource.h"

#include <memory>

// Microsoft Flight Simulator through SimConnect: connects as soon as the
// simulator accepts a client, samples the user aircraft one request at a
// time and follows the SimStart, SimStop and quit notifications.
class TelemetrySourceMSFS : public TelemetrySource
{
    Q_OBJECT

public:
    explicit TelemetrySourceMSFS(QObject *parent,
                                 std::shared_ptr<SimConnectApi> api = createSimConnectLibrary());
    ~TelemetrySourceMSFS() override;

    void poll() override;

    // The data block of one sample of data definition 0.
#pragma pack(push, 1)
    struct Sample
    {
        double simOnGround;
        double flapsLeft;
        double flapsRight;
        double aileronTrim;
        double elevatorTrim;
        double rudderTrim;
        double gForce;
        double incidenceAlpha;
        double airspeedIndicated;
        double gearCenter;
        double gearLeft;
        double gearRight;
        double numberOfEngines;
        double propMaxRpmPercent[4];
        double verticalSpeed;
        char title[256];
    };
    // The data block of one sample of data definition 1: the autopilot and the controls.
    struct ControlsSample
    {
        double autopilotMaster;
        double aileronPosition;  // position 16k: -16383..16384
        double elevatorPosition;
        double rudderPosition;
    };
#pragma pack(pop)

signals:
    void telemetryChanged(MSFSTelemetry telemetry);

protected:
    void emitEmptyTelemetry() override { emit telemetryChanged(m_emptyTelemetry); }
    void leavingInput() override;

private:
    enum : SimConnect::Dword
    {
        DefinitionId = 0,
        RequestId = 0,
        EventSimStart = 0,
        EventSimStop = 1,
        // Beside the sample: what trim and autopilot following need.
        ControlsDefinitionId = 1,
        ControlsRequestId = 1
    };

    bool connectToSimulator();
    void requestSample();
    void handleSample(const Sample &sample);
    void convert(const Sample &sample);
    void convert(const ControlsSample &sample);
    SimConnectApi &simConnect() const { return static_cast<SimConnectInput &>(input()).api(); }

    SimConnect::Handle m_handle = nullptr;
    const MSFSTelemetry m_emptyTelemetry;
    MSFSTelemetry m_telemetry;
};

static_assert(sizeof(TelemetrySourceMSFS::Sample) == 400);
static_assert(sizeof(TelemetrySourceMSFS::ControlsSample) == 32);
