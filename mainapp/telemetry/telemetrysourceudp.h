#pragma once

#include "telemetrysource.h"

#include <QByteArray>
#include <QList>

class QUdpSocket;

// Shared base of the simulators that push UDP datagrams. It owns the socket,
// recognises when a simulator starts and stops sending, and leaves the
// decoding of one datagram to the subclass.
class TelemetrySourceUdp : public TelemetrySource
{
    Q_OBJECT

public:
    // Binds to any address on port (0 picks a free port, see localPort()).
    // A port that another program holds is reported as the source's problem
    // and tried again about every RebindIntervalMs; meanwhile the source is silent.
    TelemetrySourceUdp(QObject *parent, quint16 port);

    void poll() override;
    void enterReplay() override;
    void feedReplayInput(const RawTelemetryEntry &entry) override;
    void finish() override;

    quint16 localPort() const;
    bool isActive() const { return m_active; }
    void setClock(MillisecondClock clock) { m_clock = std::move(clock); }

protected:
    // Decodes one datagram into the live record.
    virtual void parseDatagram(const QByteArray &datagram) = 0;
    // Aircraft name announced on activation, from the datagram that woke the source.
    virtual QString flightModule(const QByteArray &datagram) = 0;
    virtual Telemetry::Source source() = 0;
    // Called after each conversion during the first second of activity.
    virtual void warmUp(float seconds) = 0;
    virtual void emitTelemetry() = 0;
    virtual void emitEmptyTelemetry() = 0;

    static constexpr qint64 RebindIntervalMs = 5000;

private:
    bool bind();

    static constexpr qint64 SilenceTimeoutMs = 1000;
    static constexpr qint64 WarmUpMs = 1000;

    QUdpSocket *m_socket;
    const quint16 m_port;
    bool m_bound = false;
    qint64 m_bindFailedAt = -1; // on the source's clock; -1: not yet seen by poll()
    MillisecondClock m_clock = steadyMillisecondClock();
    qint64 m_lastDataAt = 0;
    qint64 m_activatedAt = 0;
    bool m_active = false;
    QByteArray m_buffer;
    bool m_replay = false;
    QList<QByteArray> m_replayed; // datagrams due, not yet polled
};
