#include "telemetrysourcexplane.h"

#include "telemetrylogging.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

// The subscribed datarefs; a dataref's index in X-Plane's answers is its
// position here.
enum Dataref
{
    IndicatedAirspeed,
    VerticalSpeed,
    Alpha,
    Beta,
    RollRate,
    NormalG,
    Throttle,
    AileronTrim,
    ElevatorTrim,
    RudderTrim,
    GearDeploy,
    Speedbrake,
    Flaps,
    OnGround,
    IcaoFirst,
    IcaoLast = IcaoFirst + 7,
    // For trim and autopilot following: whether the autopilot's servos fly,
    // and where the cockpit's controls stand (they move with the autopilot).
    ServosOn,
    YokeRoll,
    YokePitch,
    YokeHeading,
    DatarefCount
};

QByteArray datarefName(int index)
{
    static const char *const names[] = {
        "sim/flightmodel/position/indicated_airspeed",
        "sim/flightmodel/position/vh_ind",
        "sim/flightmodel/position/alpha",
        "sim/flightmodel/position/beta",
        "sim/flightmodel/position/P",
        "sim/flightmodel/forces/g_nrml",
        "sim/cockpit2/engine/actuators/throttle_ratio_all",
        "sim/flightmodel/controls/ail_trim",
        "sim/flightmodel/controls/elv_trim",
        "sim/flightmodel/controls/rud_trim",
        "sim/flightmodel2/gear/deploy_ratio[0]",
        "sim/flightmodel/controls/sbrkrat",
        "sim/flightmodel/controls/flaprat",
        "sim/flightmodel/failures/onground_any",
    };
    static_assert(std::size(names) == IcaoFirst);
    static const char *const controls[] = {
        "sim/cockpit2/autopilot/servos_on",
        "sim/cockpit2/controls/yoke_roll_ratio",
        "sim/cockpit2/controls/yoke_pitch_ratio",
        "sim/cockpit2/controls/yoke_heading_ratio",
    };
    static_assert(std::size(controls) == DatarefCount - ServosOn);
    if (index < IcaoFirst)
        return names[index];
    if (index >= ServosOn)
        return controls[index - ServosOn];
    return "sim/aircraft/view/acf_ICAO[" + QByteArray::number(index - IcaoFirst) + ']';
}

constexpr int RequestSize = 5 + 4 + 4 + 400;
constexpr int AnswerHeaderSize = 5;
constexpr int PairSize = 8;

} // namespace

TelemetrySourceXPlane::TelemetrySourceXPlane(QObject *parent, const NetworkAddress &xplane)
    : TelemetrySourceXPlane(parent, std::make_unique<UdpInput>(xplane))
{}

TelemetrySourceXPlane::TelemetrySourceXPlane(QObject *parent, const QHostAddress &xplane, quint16 port)
    : TelemetrySourceXPlane(parent, NetworkAddress{xplane.toString(), port})
{}

TelemetrySourceXPlane::TelemetrySourceXPlane(QObject *parent, std::unique_ptr<DatagramInput> input)
    : TelemetrySourceUdp(parent, std::move(input)), m_request(RequestSize, '\0')
{}

TelemetrySourceXPlane::~TelemetrySourceXPlane()
{
    leavingInput();
}

void TelemetrySourceXPlane::leavingInput()
{
    // Otherwise X-Plane keeps sending to a port nobody reads.
    if (m_subscribed)
        subscribe(0);
}

void TelemetrySourceXPlane::subscribe(int frequency)
{
    char *request = m_request.data();
    for (int index = 0; index < DatarefCount; ++index) {
        std::memset(request, 0, RequestSize);
        std::memcpy(request, "RREF", 4);
        qToLittleEndian<qint32>(frequency, request + 5);
        qToLittleEndian<qint32>(index, request + 9);
        const QByteArray name = datarefName(index);
        std::memcpy(request + 13, name.constData(), std::size_t(std::min<qsizetype>(name.size(), 399)));
        datagrams().send(m_request);
    }
    m_subscribed = frequency > 0;
}

bool TelemetrySourceXPlane::decode(const QByteArray &datagram)
{
    if (datagram.size() < AnswerHeaderSize || !datagram.startsWith("RREF"))
        return false;
    // Whole pairs only: a trailing partial pair is ignored.
    const qsizetype pairs = (datagram.size() - AnswerHeaderSize) / PairSize;
    const char *pair = datagram.constData() + AnswerHeaderSize;
    XPlaneTelemetry &t = m_telemetry;
    for (qsizetype i = 0; i < pairs; ++i, pair += PairSize) {
        const qint32 index = qFromLittleEndian<qint32>(pair);
        const quint32 bits = qFromLittleEndian<quint32>(pair + 4);
        float raw;
        std::memcpy(&raw, &bits, sizeof raw);
        const double value = finiteOrZero(raw);
        switch (index) {
        case IndicatedAirspeed:
            t.airspeed = finiteOrZero(value * 1.852);
            break;
        case VerticalSpeed:
            t.verticalSpeed = float(value);
            break;
        case Alpha:
            t.aoa = float(value);
            break;
        case Beta:
            t.sideslip = float(value);
            break;
        case RollRate:
            t.rollRate = float(value);
            break;
        case NormalG:
            t.gForce = float(value);
            break;
        case Throttle:
            t.propAirflow = finiteOrZero(value * 100);
            break;
        case AileronTrim:
            t.trimmerRoll = finiteOrZero(value * 100);
            break;
        case ElevatorTrim:
            t.trimmerPitch = finiteOrZero(value * 100);
            break;
        case RudderTrim:
            t.trimmerYaw = finiteOrZero(value * 100);
            break;
        case GearDeploy:
            t.gear = finiteOrZero(value * 100);
            break;
        case Speedbrake:
            // -0.5 is armed and up to 1.5 on the ground with the ground spoilers: 0..100 % as elsewhere.
            t.airbrake = std::clamp(finiteOrZero(value * 100), 0.0f, 100.0f);
            break;
        case Flaps:
            t.flaps = finiteOrZero(value * 100);
            break;
        case OnGround:
            updateOnGround(t, value != 0);
            break;
        case ServosOn:
            t.autopilotEngaged = value != 0;
            break;
        case YokeRoll:
        case YokePitch:
        case YokeHeading:
            t.controlPosition[std::size_t(index - YokeRoll)] = std::clamp(finiteOrZero(value), -1.0f, 1.0f);
            break;
        default:
            if (index >= IcaoFirst && index <= IcaoLast) {
                // One character code per dataref; anything outside ASCII is no name.
                const double code = value;
                m_icao[std::size_t(index - IcaoFirst)] =
                    (code >= 1 && code < 128) ? char(int(code)) : '\0';
            }
            break; // unknown indices are someone else's subscription
        }
    }
    return true;
}

QString TelemetrySourceXPlane::aircraftName() const
{
    const auto end = std::find(m_icao.begin(), m_icao.end(), '\0');
    return QString::fromLatin1(m_icao.data(), end - m_icao.begin());
}

bool TelemetrySourceXPlane::takeDatagram(QByteArray &datagram)
{
    return decode(datagram);
}

QString TelemetrySourceXPlane::flightModule(const QByteArray &)
{
    m_announcedName = aircraftName();
    return m_announcedName;
}

void TelemetrySourceXPlane::emitTelemetry()
{
    // Another aircraft loaded without a pause in the answers.
    if (const QString name = aircraftName(); name != m_announcedName) {
        m_announcedName = name;
        emit telemetrySourceChanged(Telemetry::TELEMETRY_SOURCE_XPLANE, name);
    }
    stamp(m_telemetry);
    emit telemetryChanged(m_telemetry);
}

void TelemetrySourceXPlane::ended()
{
    m_telemetry = XPlaneTelemetry();
    m_icao.fill('\0');
    // X-Plane may have restarted and forgotten us: renew at once.
    m_renewNow = true;
}

void TelemetrySourceXPlane::searching()
{
    const qint64 t = now();
    if (m_renewNow || !m_subscribed || t - m_lastSubscribeAt >= SubscribeIntervalMs) {
        m_lastSubscribeAt = t;
        m_renewNow = false;
        subscribe(AnswersPerSecond);
    }
}
