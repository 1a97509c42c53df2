#pragma once

#include "telemetrysourceudp.h"

// Condor 2: "\n"-separated key=value lines (airspeed in m/s, gforce,
// turbulencestrength). Condor never reports the on-ground state.
class TelemetrySourceCondor2 : public TelemetrySourceUdp
{
    Q_OBJECT

public:
    TelemetrySourceCondor2(QObject *parent, quint16 port);
    TelemetrySourceCondor2(QObject *parent, std::unique_ptr<DatagramInput> input);

signals:
    void telemetryChanged(Condor2Telemetry telemetry);

protected:
    void parseDatagram(const QByteArray &datagram) override;
    QString flightModule(const QByteArray &) override { return QStringLiteral("Generic glider"); }
    Telemetry::Source source() override { return Telemetry::TELEMETRY_SOURCE_CONDOR; }
    void warmUp(float) override {}
    void emitTelemetry() override
    {
        stamp(m_telemetry);
        emit telemetryChanged(m_telemetry);
    }
    void emitEmptyTelemetry() override { emit telemetryChanged(m_emptyTelemetry); }

private:
    Condor2Telemetry m_telemetry;
    const Condor2Telemetry m_emptyTelemetry;
};
