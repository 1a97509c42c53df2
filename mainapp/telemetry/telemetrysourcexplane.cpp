#include "telemetrysourcexplane.h"

#include "telemetrylogging.h"

#include <QUdpSocket>
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
    if (index < IcaoFirst)
        return names[index];
    return "sim/aircraft/view/acf_ICAO[" + QByteArray::number(index - IcaoFirst) + ']';
}

constexpr int RequestSize = 5 + 4 + 4 + 400;
constexpr int AnswerHeaderSize = 5;
constexpr int PairSize = 8;

} // namespace

TelemetrySourceXPlane::TelemetrySourceXPlane(QObject *parent, const QHostAddress &xplane, quint16 port)
    : TelemetrySource(parent), m_socket(new QUdpSocket(this)), m_xplane(xplane), m_xplanePort(port)
{
    // Any address: X-Plane on another computer answers to the LAN address.
    if (!m_socket->bind(QHostAddress::AnyIPv4, 0))
        setProblem(QStringLiteral("cannot open a UDP socket for X-Plane: %1").arg(m_socket->errorString()));
}

TelemetrySourceXPlane::~TelemetrySourceXPlane()
{
    // Otherwise X-Plane keeps sending to a port nobody reads.
    if (m_subscribed)
        subscribe(0);
}

quint16 TelemetrySourceXPlane::localPort() const
{
    return m_socket->localPort();
}

void TelemetrySourceXPlane::subscribe(int frequency)
{
    if (m_socket->state() != QAbstractSocket::BoundState)
        return;
    char request[RequestSize];
    for (int index = 0; index < DatarefCount; ++index) {
        std::memset(request, 0, sizeof request);
        std::memcpy(request, "RREF", 4);
        qToLittleEndian<qint32>(frequency, request + 5);
        qToLittleEndian<qint32>(index, request + 9);
        const QByteArray name = datarefName(index);
        std::memcpy(request + 13, name.constData(), std::size_t(std::min<qsizetype>(name.size(), 399)));
        m_socket->writeDatagram(request, sizeof request, m_xplane, m_xplanePort);
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
            t.airbrake = finiteOrZero(value * 100);
            break;
        case Flaps:
            t.flaps = finiteOrZero(value * 100);
            break;
        case OnGround:
            updateOnGround(t, value != 0);
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

void TelemetrySourceXPlane::enterReplay()
{
    if (m_subscribed)
        subscribe(0);
    m_replay = true;
    m_socket->abort();
}

void TelemetrySourceXPlane::feedReplayInput(const RawTelemetryEntry &entry)
{
    if (m_replay && entry.kind == RawTelemetryEntry::Datagram)
        m_replayed.append(entry.payload);
}

void TelemetrySourceXPlane::finish()
{
    if (!m_active)
        return;
    m_active = false;
    m_telemetry = XPlaneTelemetry();
    m_icao.fill('\0');
    emit telemetryChanged(m_emptyTelemetry);
    emit telemetryEnded();
}

void TelemetrySourceXPlane::poll()
{
    if (!m_replay && m_socket->state() != QAbstractSocket::BoundState)
        return;
    const qint64 now = m_clock();
    bool answered = false;
    if (m_replay) {
        for (const QByteArray &datagram : std::exchange(m_replayed, {}))
            answered = decode(datagram) || answered;
    }
    while (!m_replay && m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        if (size < 0)
            break;
        m_buffer.resize(size);
        const qint64 read = m_socket->readDatagram(m_buffer.data(), m_buffer.size());
        if (read < 0)
            break;
        m_buffer.resize(read);
        emit rawInputReceived(RawTelemetryEntry::Datagram, m_socket->localPort(), m_buffer);
        if (decode(m_buffer))
            answered = true;
    }

    if (answered) {
        m_lastDataAt = now;
        const QString name = aircraftName();
        if (!m_active) {
            m_active = true;
            m_announcedName = name;
            emit telemetrySourceChanged(Telemetry::TELEMETRY_SOURCE_XPLANE, name);
            return;
        }
        if (name != m_announcedName) {
            m_announcedName = name;
            emit telemetrySourceChanged(Telemetry::TELEMETRY_SOURCE_XPLANE, name);
        }
        emit telemetryChanged(m_telemetry);
        return;
    }

    if (m_active) {
        if (now - m_lastDataAt > SilenceTimeoutMs) {
            finish();
            // X-Plane may have restarted and forgotten us: renew at once.
            m_lastSubscribeAt = now;
            subscribe(AnswersPerSecond);
        }
        return;
    }
    if (m_replay)
        return;
    if (!m_subscribed || now - m_lastSubscribeAt >= SubscribeIntervalMs) {
        m_lastSubscribeAt = now;
        subscribe(AnswersPerSecond);
    }
}
