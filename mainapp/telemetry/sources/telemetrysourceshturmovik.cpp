#include "telemetrysourceshturmovik.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype CountOffset = 10;
constexpr qsizetype EntryHeaderSize = 3; // id (u16) and value count (s8)
constexpr int MaxValues = 4;

float readFloat(const char *p)
{
    const quint32 bits = qFromLittleEndian<quint32>(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float meanOf(const std::array<float, 4> &values, qint32 count)
{
    if (count <= 0)
        return 0.0f;
    float sum = 0.0f;
    for (qint32 i = 0; i < count; ++i)
        sum += values[i];
    return sum / static_cast<float>(count);
}

} // namespace

TelemetrySourceShturmovik::TelemetrySourceShturmovik(QObject *parent, quint16 port) : TelemetrySourceUdp(parent, port) {}

TelemetrySourceShturmovik::TelemetrySourceShturmovik(QObject *parent, std::unique_ptr<DatagramInput> input)
    : TelemetrySourceUdp(parent, std::move(input))
{}

void TelemetrySourceShturmovik::parseDatagram(const QByteArray &datagram)
{
    const qsizetype size = datagram.size();
    const char *data = datagram.constData();
    if (size <= CountOffset)
        return; // no indicator count: nothing changes
    const int entries = static_cast<qint8>(data[CountOffset]);
    if (entries <= 0)
        return;

    // Entries are decoded as far as the datagram is well formed: a value count
    // outside 0..4 or an entry running past the end stops the decoding, and
    // the record is computed from what was stored up to there.
    qsizetype offset = CountOffset + 1;
    for (int i = 0; i < entries; ++i) {
        if (size - offset < EntryHeaderSize)
            break;
        const quint16 id = qFromLittleEndian<quint16>(data + offset);
        const int count = static_cast<qint8>(data[offset + 2]);
        if (count < 0 || count > MaxValues || size - offset - EntryHeaderSize < qsizetype(count) * 4)
            break;
        Values values{};
        for (int v = 0; v < count; ++v)
            values[v] = readFloat(data + offset + EntryHeaderSize + 4 * v);
        store(id, count, values);
        offset += EntryHeaderSize + 4 * count;
    }
    computeRecord();
}

void TelemetrySourceShturmovik::store(quint16 id, int count, const Values &values)
{
    auto storeMulti = [&](MultiValue &target) {
        target.count = count;
        std::copy_n(values.begin(), count, target.values.begin());
    };
    switch (id) {
    case 0:
        storeMulti(m_engineRpm);
        break;
    case 1:
        storeMulti(m_engineBoost);
        break;
    case 4:
        storeMulti(m_gearPosition);
        break;
    case 5:
        storeMulti(m_gearPressure);
        break;
    case 6:
        m_indicatedSpeed = values[0];
        break;
    case 7:
        m_angleOfAttack = values[0];
        break;
    case 9:
        m_indicator9A = values[0];
        m_indicator9B = values[1];
        break;
    case 10:
        // Altitude arrives as a level; the history of its changes gives the vertical speed.
        m_altitudeHistory[m_historyPosition] = values[0] - m_previousAltitude;
        m_previousAltitude = values[0];
        m_historyPosition = (m_historyPosition + 1) % HistorySize;
        break;
    case 11:
        m_flaps = values[0];
        break;
    case 12:
        m_airbrake = values[0];
        break;
    default:
        break;
    }
}

void TelemetrySourceShturmovik::computeRecord()
{
    m_telemetry.airspeed = finiteOrZero(double(m_indicatedSpeed) * 3.6);
    m_telemetry.aoa = finiteOrZero(double(m_angleOfAttack) * 57.2958);

    float verticalSpeed = 0.0f;
    for (float delta : m_altitudeHistory)
        verticalSpeed += delta;
    m_telemetry.verticalSpeed = finiteOrZero(verticalSpeed);

    m_telemetry.gear = finiteOrZero(meanOf(m_gearPosition.values, m_gearPosition.count) * 100.0f);
    m_telemetry.airbrake = finiteOrZero(m_airbrake * 100.0f);
    m_telemetry.flaps = finiteOrZero(m_flaps * 100.0f);

    float thrust = 0.0f;
    if (m_engineRpm.count > 0) {
        float sum = 0.0f;
        for (qint32 i = 0; i < m_engineRpm.count; ++i)
            sum += m_engineRpm.values[i] * m_engineBoost.values[i];
        thrust = std::min(1.0f, finiteOrZero(sum / float(m_engineRpm.count) / 100000.0f / 3700.0f));
    }
    m_telemetry.propAirflow = thrust;

    m_telemetry.indicator9A = finiteOrZero(m_indicator9A);
    m_telemetry.indicator9B = finiteOrZero(m_indicator9B);

    const qint32 k5 = m_gearPressure.count;
    const bool onGround = k5 > 0 && double(meanOf(m_gearPressure.values, k5)) > 0.01;
    updateOnGround(m_telemetry, onGround);
}
