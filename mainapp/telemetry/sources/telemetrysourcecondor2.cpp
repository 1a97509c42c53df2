#include "telemetrysourcecondor2.h"

#include <QStringList>

TelemetrySourceCondor2::TelemetrySourceCondor2(QObject *parent, quint16 port) : TelemetrySourceUdp(parent, port) {}

TelemetrySourceCondor2::TelemetrySourceCondor2(QObject *parent, std::unique_ptr<DatagramInput> input)
    : TelemetrySourceUdp(parent, std::move(input))
{}

void TelemetrySourceCondor2::parseDatagram(const QByteArray &datagram)
{
    const QStringList lines = QString::fromUtf8(datagram).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    for (const QString &line : lines) {
        float *target = nullptr;
        double scale = 1.0;
        if (line.startsWith(QLatin1String("airspeed"))) {
            target = &m_telemetry.airspeed;
            scale = 3.6; // m/s to km/h
        } else if (line.startsWith(QLatin1String("gforce"))) {
            target = &m_telemetry.gForce;
        } else if (line.startsWith(QLatin1String("turbulencestrength"))) {
            target = &m_telemetry.turbulenceStrength;
        } else {
            continue;
        }
        const QStringList parts = line.trimmed().split(QLatin1Char('='), Qt::KeepEmptyParts);
        if (parts.size() < 2)
            continue; // a key without a value keeps the previous one
        *target = finiteOrZero(double(finiteOrZero(parts[1].toFloat())) * scale);
    }
}
