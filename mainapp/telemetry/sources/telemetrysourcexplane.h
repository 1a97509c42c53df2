#pragma once

#include "telemetrysourceudp.h"

#include <QByteArray>
#include <QHostAddress>

#include <array>

// X-Plane 11 and 12 through their UDP dataref subscription: the source asks
// X-Plane (on its receive port, 49000 by default) to send the datarefs it
// needs at 50 Hz to the source's own socket, and converts the answers. Only
// answers from X-Plane's address count.
//
// While searching it renews the subscription about once a second (X-Plane
// forgets it on restart); the first answer activates the source; more than
// a second of silence ends the telemetry; on destruction every dataref is
// unsubscribed.
class TelemetrySourceXPlane : public TelemetrySourceUdp
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 49000;
    static NetworkAddress defaultAddress() { return {QStringLiteral("127.0.0.1"), DefaultPort}; }

    // `xplane`: where X-Plane receives requests.
    explicit TelemetrySourceXPlane(QObject *parent, const NetworkAddress &xplane = defaultAddress());
    TelemetrySourceXPlane(QObject *parent, const QHostAddress &xplane, quint16 port);
    TelemetrySourceXPlane(QObject *parent, std::unique_ptr<DatagramInput> input);
    ~TelemetrySourceXPlane() override;

    static constexpr int AnswersPerSecond = 50;
    static constexpr qint64 SubscribeIntervalMs = 1000;

signals:
    void telemetryChanged(XPlaneTelemetry telemetry);

protected:
    // Every answer is decoded as it arrives: each carries some of the datarefs.
    bool takeDatagram(QByteArray &datagram) override;
    void parseDatagram(const QByteArray &) override {}
    QString flightModule(const QByteArray &) override;
    Telemetry::Source source() override { return Telemetry::TELEMETRY_SOURCE_XPLANE; }
    void warmUp(float) override {}
    void emitTelemetry() override;
    void emitEmptyTelemetry() override { emit telemetryChanged(m_emptyTelemetry); }
    void searching() override;
    void ended() override;
    void leavingInput() override;

private:
    void subscribe(int frequency);
    // Decodes the valid pairs of one answer; false if it is not an answer.
    bool decode(const QByteArray &datagram);
    QString aircraftName() const;

    bool m_subscribed = false;
    bool m_renewNow = false;
    qint64 m_lastSubscribeAt = 0;
    XPlaneTelemetry m_telemetry;
    const XPlaneTelemetry m_emptyTelemetry;
    std::array<char, 8> m_icao{};
    QString m_announcedName;
    QByteArray m_request;
};
