#pragma once

#include "datagraminput.h"
#include "telemetrysource.h"

#include <QByteArray>

#include <memory>

// Shared base of the simulators that send UDP datagrams. It reads them from
// its datagram input, recognises when a simulator starts and stops sending,
// and leaves the decoding of one datagram to the subclass.
class TelemetrySourceUdp : public TelemetrySource
{
    Q_OBJECT

public:
    // Listens on port on every address (0 picks a free port, see localPort()).
    // A port that another program holds is reported as the source's problem
    // and tried again about every RebindIntervalMs; meanwhile the source is silent.
    TelemetrySourceUdp(QObject *parent, quint16 port);
    TelemetrySourceUdp(QObject *parent, std::unique_ptr<DatagramInput> input);

    void poll() override;

    quint16 localPort() const;

    static constexpr qint64 RebindIntervalMs = UdpInput::RebindIntervalMs;
    static constexpr qint64 SilenceTimeoutMs = 1000;

protected:
    // Decodes one datagram into the live record.
    virtual void parseDatagram(const QByteArray &datagram) = 0;
    // Aircraft name announced on activation, from the datagram that woke the source.
    virtual QString flightModule(const QByteArray &datagram) = 0;
    virtual Telemetry::Source source() = 0;
    // Called after each conversion during the first second of activity.
    virtual void warmUp(float seconds) = 0;
    virtual void emitTelemetry() = 0;

    // Takes one datagram as it arrives; true when it is a sign of life. By
    // default the newest datagram that carries data is kept for parseDatagram.
    virtual bool takeDatagram(QByteArray &datagram);
    // Each poll while inactive that brought nothing, for a source that has to ask for its data.
    virtual void searching() {}

    DatagramInput &datagrams() const { return static_cast<DatagramInput &>(input()); }

private:
    static constexpr qint64 WarmUpMs = 1000;

    qint64 m_lastDataAt = 0;
    qint64 m_activatedAt = 0;
    QByteArray m_buffer;   // the newest datagram that carried data
    QByteArray m_incoming; // reused for every read
};
