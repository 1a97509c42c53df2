#pragma once

#include "telemetrysourceudp.h"

// DCS World: one text line of ";"-separated fields per datagram, sent by the
// export script. Field 0 names the aircraft.
class TelemetrySourceDCS : public TelemetrySourceUdp
{
    Q_OBJECT

public:
    TelemetrySourceDCS(QObject *parent, quint16 port);
    TelemetrySourceDCS(QObject *parent, std::unique_ptr<DatagramInput> input);

signals:
    void telemetryChanged(DCSTelemetry telemetry);

protected:
    void parseDatagram(const QByteArray &datagram) override;
    QString flightModule(const QByteArray &datagram) override;
    Telemetry::Source source() override { return Telemetry::TELEMETRY_SOURCE_DCS; }
    void warmUp(float) override {}
    void emitTelemetry() override
    {
        stamp(m_telemetry);
        emit telemetryChanged(m_telemetry);
    }
    void emitEmptyTelemetry() override { emit telemetryChanged(m_emptyTelemetry); }

private:
    DCSTelemetry m_telemetry;
    const DCSTelemetry m_emptyTelemetry;
};
