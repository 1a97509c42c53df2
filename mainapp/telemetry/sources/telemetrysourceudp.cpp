#include "telemetrysourceudp.h"

TelemetrySourceUdp::TelemetrySourceUdp(QObject *parent, quint16 port)
    : TelemetrySourceUdp(parent, std::make_unique<UdpInput>(port))
{}

TelemetrySourceUdp::TelemetrySourceUdp(QObject *parent, std::unique_ptr<DatagramInput> input)
    : TelemetrySource(parent, std::move(input))
{}

quint16 TelemetrySourceUdp::localPort() const
{
    return datagrams().localPort();
}

bool TelemetrySourceUdp::takeDatagram(QByteArray &datagram)
{
    if (datagram.isEmpty())
        return false;
    m_buffer.swap(datagram);
    return true;
}

void TelemetrySourceUdp::poll()
{
    DatagramInput &in = datagrams();
    in.service(now());
    // Whatever arrived since the last poll; by default only the newest
    // datagram that carried data is decoded.
    bool arrived = false;
    bool gotData = false;
    while (in.read(m_incoming)) {
        arrived = true;
        if (takeDatagram(m_incoming))
            gotData = true;
    }

    if (arrived) {
        if (!gotData)
            return;
        const qint64 t = now();
        if (isActive()) {
            parseDatagram(m_buffer);
            const qint64 sinceActivation = t - m_activatedAt;
            if (sinceActivation < WarmUpMs)
                warmUp(static_cast<float>(sinceActivation / 1000));
            emitTelemetry();
        } else {
            m_activatedAt = t;
            announce(source(), flightModule(m_buffer));
        }
        m_lastDataAt = t;
        return;
    }
    if (isActive() && now() - m_lastDataAt > SilenceTimeoutMs)
        finish();
    if (!isActive())
        searching();
}
