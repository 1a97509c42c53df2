#pragma once

#include "telemetrysource.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>

#include <array>

class QUdpSocket;

// X-Plane 11 and 12 through their UDP dataref subscription: the source asks
// X-Plane (on its receive port, 49000 by default) to send the datarefs it
// needs at 50 Hz to the source's own socket, and converts the answers.
//
// While searching it renews the subscription about once a second (X-Plane
// forgets it on restart); the first answer activates the source; more than
// a second of silence ends the telemetry; on destruction every dataref is
// unsubscribed.
class TelemetrySourceXPlane : public TelemetrySource
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 49000;

    // `xplane` and `port`: where X-Plane receives requests.
    TelemetrySourceXPlane(QObject *parent, const QHostAddress &xplane = QHostAddress::LocalHost,
                          quint16 port = DefaultPort);
    ~TelemetrySourceXPlane() override;

    void poll() override;
    void enterReplay() override;
    void feedReplayInput(const RawTelemetryEntry &entry) override;
    void finish() override;

    quint16 localPort() const;
    bool isActive() const { return m_active; }
    void setClock(MillisecondClock clock) { m_clock = std::move(clock); }

    static constexpr int AnswersPerSecond = 50;
    static constexpr qint64 SubscribeIntervalMs = 1000;
    static constexpr qint64 SilenceTimeoutMs = 1000;

signals:
    void telemetryChanged(XPlaneTelemetry telemetry);

private:
    void subscribe(int frequency);
    // Decodes the valid pairs of one answer; false if it is not an answer.
    bool decode(const QByteArray &datagram);
    QString aircraftName() const;

    QUdpSocket *m_socket;
    const QHostAddress m_xplane;
    const quint16 m_xplanePort;
    MillisecondClock m_clock = steadyMillisecondClock();
    bool m_subscribed = false;
    bool m_active = false;
    qint64 m_lastSubscribeAt = 0;
    qint64 m_lastDataAt = 0;
    XPlaneTelemetry m_telemetry;
    const XPlaneTelemetry m_emptyTelemetry;
    std::array<char, 8> m_icao{};
    QString m_announcedName;
    QByteArray m_buffer;
    bool m_replay = false;
    QList<QByteArray> m_replayed;
};
