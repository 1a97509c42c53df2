#include "telemetrysourcedcs.h"

#include <QString>
#include <QStringList>

namespace {

float number(const QString &text)
{
    return finiteOrZero(text.toFloat());
}

} // namespace

TelemetrySourceDCS::TelemetrySourceDCS(QObject *parent, quint16 port) : TelemetrySourceUdp(parent, port) {}

TelemetrySourceDCS::TelemetrySourceDCS(QObject *parent, std::unique_ptr<DatagramInput> input)
    : TelemetrySourceUdp(parent, std::move(input))
{}

QString TelemetrySourceDCS::flightModule(const QByteArray &datagram)
{
    return QString::fromUtf8(datagram).section(QLatin1Char(';'), 0, 0);
}

void TelemetrySourceDCS::parseDatagram(const QByteArray &datagram)
{
    const QStringList fields = QString::fromUtf8(datagram).split(QLatin1Char(';'), Qt::KeepEmptyParts);
    const auto count = fields.size();

    // A short line is decoded as far as it goes; missing fields keep their values.
    float *const targets[] = {&m_telemetry.airspeed, &m_telemetry.verticalSpeed, &m_telemetry.aoa,
                              &m_telemetry.gForce,   &m_telemetry.gear,          &m_telemetry.airbrake,
                              &m_telemetry.flaps,    &m_telemetry.propAirflow};
    const float scales[] = {1.0f, 1.0f, 1.0f, 1.0f, 100.0f, 100.0f, 100.0f, 1.0f};
    for (qsizetype field = 1; field <= 8 && field < count; ++field)
        *targets[field - 1] = finiteOrZero(double(number(fields[field])) * scales[field - 1]);

    if (count > 9) {
        bool ok = false;
        const int value = fields[9].toInt(&ok, 10);
        updateOnGround(m_telemetry, ok && value != 0);
    }
}
