#include "telemetrysourcemsfs.h"

#include "telemetrylogging.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

using namespace SimConnect;

namespace {

struct Variable
{
    const char *name;
    const char *units;
    Dword type;
};

// Data definition 0; the order is the layout of Sample.
constexpr Variable sampleVariables[] = {
    {"SIM ON GROUND", "Bool", DataTypeFloat64},
    {"TRAILING EDGE FLAPS LEFT PERCENT", "percent over 100", DataTypeFloat64},
    {"TRAILING EDGE FLAPS RIGHT PERCENT", "percent over 100", DataTypeFloat64},
    {"AILERON TRIM PCT", "percent over 100", DataTypeFloat64},
    {"ELEVATOR TRIM PCT", "percent over 100", DataTypeFloat64},
    {"RUDDER TRIM PCT", "percent over 100", DataTypeFloat64},
    {"G FORCE", "GForce", DataTypeFloat64},
    {"INCIDENCE ALPHA", "degree", DataTypeFloat64},
    {"AIRSPEED INDICATED", "kilometer per hour", DataTypeFloat64},
    {"GEAR CENTER POSITION", "percent over 100", DataTypeFloat64},
    {"GEAR LEFT POSITION", "percent over 100", DataTypeFloat64},
    {"GEAR RIGHT POSITION", "percent over 100", DataTypeFloat64},
    {"NUMBER OF ENGINES", "Number", DataTypeFloat64},
    {"PROP MAX RPM PERCENT:1", "percent", DataTypeFloat64},
    {"PROP MAX RPM PERCENT:2", "percent", DataTypeFloat64},
    {"PROP MAX RPM PERCENT:3", "percent", DataTypeFloat64},
    {"PROP MAX RPM PERCENT:4", "percent", DataTypeFloat64},
    {"VERTICAL SPEED", "m/s", DataTypeFloat64},
    {"TITLE", nullptr, DataTypeString256},
};
static_assert(std::size(sampleVariables) == 19);

// Data definition 1, the layout of ControlsSample.
constexpr Variable controlsVariables[] = {
    {"AUTOPILOT MASTER", "Bool", DataTypeFloat64},
    {"AILERON POSITION", "position 16k", DataTypeFloat64},
    {"ELEVATOR POSITION", "position 16k", DataTypeFloat64},
    {"RUDDER POSITION", "position 16k", DataTypeFloat64},
};

// A control position of "position 16k" as -1..1.
float controlPosition(double position16k)
{
    return std::clamp(finiteOrZero(position16k / 16384.0), -1.0f, 1.0f);
}
static_assert(offsetof(TelemetrySourceMSFS::Sample, verticalSpeed) == 136);
static_assert(offsetof(TelemetrySourceMSFS::Sample, title) == 144);

} // namespace

TelemetrySourceMSFS::TelemetrySourceMSFS(QObject *parent, std::shared_ptr<SimConnectApi> api)
    : TelemetrySource(parent, std::make_unique<SimConnectInput>(std::move(api)))
{}

TelemetrySourceMSFS::~TelemetrySourceMSFS()
{
    leavingInput();
}

void TelemetrySourceMSFS::leavingInput()
{
    if (m_handle)
        simConnect().close(m_handle);
    m_handle = nullptr;
}

bool TelemetrySourceMSFS::connectToSimulator()
{
    Handle handle = nullptr;
    if (simConnect().open(&handle, "Kestrox") < 0)
        return false;
    m_handle = handle;
    qCInfo(lcTelemetry) << "connected to SimConnect";
    for (const Variable &v : sampleVariables)
        simConnect().addToDataDefinition(m_handle, DefinitionId, v.name, v.units, v.type, 0.0f, UnusedDatumId);
    requestSample();
    simConnect().subscribeToSystemEvent(m_handle, EventSimStart, "SimStart");
    simConnect().subscribeToSystemEvent(m_handle, EventSimStop, "SimStop");
    for (const Variable &v : controlsVariables)
        simConnect().addToDataDefinition(m_handle, ControlsDefinitionId, v.name, v.units, v.type, 0.0f,
                                         UnusedDatumId);
    return true;
}

void TelemetrySourceMSFS::requestSample()
{
    simConnect().requestDataOnSimObjectType(m_handle, RequestId, DefinitionId, 0, SimObjectTypeUser);
}

void TelemetrySourceMSFS::poll()
{
    if (!m_handle && !connectToSimulator())
        return;

    const Recv *message = nullptr;
    Dword size = 0;
    if (simConnect().getNextDispatch(m_handle, &message, &size) < 0 || !message || size < sizeof(Recv))
        return;

    // Messages are read only as far as their size allows.
    switch (message->id) {
    case RecvIdQuit:
        endTelemetry();
        break;
    case RecvIdEvent: {
        if (size < sizeof(RecvEvent))
            break;
        RecvEvent event;
        std::memcpy(&event, message, sizeof event);
        if (event.eventId == EventSimStart)
            requestSample();
        else if (event.eventId == EventSimStop)
            endTelemetry();
        break;
    }
    case RecvIdSimObjectDataByType: {
        RecvSimObjectData header;
        if (size < sizeof header) {
            qCWarning(lcTelemetry) << "SimConnect data message too short:" << size;
            break;
        }
        std::memcpy(&header, message, sizeof header);
        const char *block = reinterpret_cast<const char *>(message) + sizeof header;
        if (header.requestId == ControlsRequestId) {
            if (size < sizeof header + sizeof(ControlsSample)) {
                qCWarning(lcTelemetry) << "SimConnect controls message too short:" << size;
                break;
            }
            ControlsSample controls;
            std::memcpy(&controls, block, sizeof controls);
            convert(controls);
            break;
        }
        if (header.requestId != RequestId)
            break;
        if (size < sizeof header + sizeof(Sample)) {
            qCWarning(lcTelemetry) << "SimConnect data message too short:" << size;
            break;
        }
        Sample sample;
        std::memcpy(&sample, block, sizeof sample);
        handleSample(sample);
        requestSample();
        simConnect().requestDataOnSimObjectType(m_handle, ControlsRequestId, ControlsDefinitionId, 0,
                                                SimObjectTypeUser);
        break;
    }
    default:
        break;
    }
}

void TelemetrySourceMSFS::handleSample(const Sample &sample)
{
    if (!isActive()) {
        const auto titleLength = qstrnlen(sample.title, sizeof sample.title);
        announce(Telemetry::TELEMETRY_SOURCE_MSFS, QString::fromUtf8(sample.title, qsizetype(titleLength)));
        return;
    }
    convert(sample);
    stamp(m_telemetry);
    emit telemetryChanged(m_telemetry);
}

void TelemetrySourceMSFS::convert(const ControlsSample &s)
{
    m_telemetry.autopilotEngaged = s.autopilotMaster > 0.0;
    m_telemetry.controlPosition = {controlPosition(s.aileronPosition), controlPosition(s.elevatorPosition),
                                   controlPosition(s.rudderPosition)};
}

void TelemetrySourceMSFS::convert(const Sample &s)
{
    MSFSTelemetry &t = m_telemetry;
    t.airspeed = finiteOrZero(s.airspeedIndicated);
    t.verticalSpeed = finiteOrZero(s.verticalSpeed);
    t.aoa = finiteOrZero(s.incidenceAlpha);
    t.gForce = finiteOrZero(s.gForce);
    t.gear = finiteOrZero((s.gearLeft + s.gearRight + s.gearCenter) / 3.0 * 100.0);
    t.flaps = finiteOrZero((s.flapsLeft + s.flapsRight) * 0.5 * 100.0);

    // NaN engine counts compare false everywhere and so give no engines.
    int engines = 0;
    if (s.numberOfEngines > 4.0)
        engines = 4;
    else if (s.numberOfEngines >= 1.0)
        engines = static_cast<int>(s.numberOfEngines);
    double prop = 0.0;
    for (int i = 0; i < engines; ++i)
        prop += s.propMaxRpmPercent[i];
    t.propAirflow = engines > 0 ? finiteOrZero(prop / engines) : 0.0f;

    t.trimmerRoll = finiteOrZero(s.aileronTrim * 100.0);
    t.trimmerPitch = finiteOrZero(s.elevatorTrim * 100.0);
    t.trimmerYaw = finiteOrZero(s.rudderTrim * 100.0);

    updateOnGround(t, s.simOnGround > 0.0);
}
