#pragma once

#include "telemetrysourceudp.h"

#include <array>

// IL-2 Sturmovik: its binary little-endian telemetry datagram of indicator
// entries. The decoding state below persists across datagrams.
class TelemetrySourceShturmovik : public TelemetrySourceUdp
{
    Q_OBJECT

public:
    TelemetrySourceShturmovik(QObject *parent, quint16 port);
    TelemetrySourceShturmovik(QObject *parent, std::unique_ptr<DatagramInput> input);

signals:
    void telemetryChanged(ShturmovikTelemetry telemetry);

protected:
    void parseDatagram(const QByteArray &datagram) override;
    QString flightModule(const QByteArray &) override { return QStringLiteral("Generic warbird"); }
    Telemetry::Source source() override { return Telemetry::TELEMETRY_SOURCE_IL2; }
    void warmUp(float) override {}
    void emitTelemetry() override
    {
        stamp(m_telemetry);
        emit telemetryChanged(m_telemetry);
    }
    void emitEmptyTelemetry() override { emit telemetryChanged(m_emptyTelemetry); }

private:
    using Values = std::array<float, 4>;
    struct MultiValue
    {
        qint32 count = 0;
        Values values{};
    };
    static constexpr int HistorySize = 25;

    void store(quint16 id, int count, const Values &values);
    void computeRecord();

    ShturmovikTelemetry m_telemetry;
    const ShturmovikTelemetry m_emptyTelemetry;

    MultiValue m_engineRpm;     // indicator 0
    MultiValue m_engineBoost;   // indicator 1
    MultiValue m_gearPosition;  // indicator 4
    MultiValue m_gearPressure;  // indicator 5
    float m_indicatedSpeed = 0; // indicator 6, m/s
    float m_angleOfAttack = 0;  // indicator 7, radians
    float m_flaps = 0;          // indicator 11
    float m_airbrake = 0;       // indicator 12
    float m_indicator9A = 0;
    float m_indicator9B = 0;
    float m_previousAltitude = 0; // indicator 10
    std::array<float, HistorySize> m_altitudeHistory{};
    int m_historyPosition = 0;
};
