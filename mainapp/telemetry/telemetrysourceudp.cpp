#include "telemetrysourceudp.h"

#include "telemetrylogging.h"

#include <QHostAddress>
#include <QUdpSocket>

TelemetrySourceUdp::TelemetrySourceUdp(QObject *parent, quint16 port)
    : TelemetrySource(parent), m_socket(new QUdpSocket(this)), m_port(port)
{
    bind();
}

bool TelemetrySourceUdp::bind()
{
    m_socket->abort();
    m_bound = m_socket->bind(QHostAddress::Any, m_port);
    if (m_bound) {
        setProblem({});
    } else if (m_socket->error() == QAbstractSocket::AddressInUseError) {
        setProblem(QStringLiteral("port %1 in use by another program").arg(m_port));
    } else {
        setProblem(QStringLiteral("cannot listen on port %1: %2").arg(m_port).arg(m_socket->errorString()));
    }
    return m_bound;
}

quint16 TelemetrySourceUdp::localPort() const
{
    return m_socket->localPort();
}

void TelemetrySourceUdp::enterReplay()
{
    m_replay = true;
    m_socket->abort();
    m_bound = false;
    setProblem({});
}

void TelemetrySourceUdp::feedReplayInput(const RawTelemetryEntry &entry)
{
    if (m_replay && entry.kind == RawTelemetryEntry::Datagram)
        m_replayed.append(entry.payload);
}

void TelemetrySourceUdp::finish()
{
    if (!m_active)
        return;
    emitEmptyTelemetry();
    emit telemetryEnded();
    m_active = false;
}

void TelemetrySourceUdp::poll()
{
    // Whatever arrived since the last poll; only the newest datagram that
    // carried data is decoded.
    bool arrived = false;
    bool gotData = false;
    if (m_replay) {
        arrived = !m_replayed.isEmpty();
        for (QByteArray &datagram : m_replayed) {
            if (!datagram.isEmpty()) {
                m_buffer.swap(datagram);
                gotData = true;
            }
        }
        m_replayed.clear();
    } else {
        if (!m_bound) {
            // An unbound socket has nothing to read; only try the port again now and then.
            const qint64 now = m_clock();
            if (m_bindFailedAt < 0)
                m_bindFailedAt = now;
            if (now - m_bindFailedAt < RebindIntervalMs)
                return;
            if (!bind()) {
                m_bindFailedAt = now;
                return;
            }
        }
        arrived = m_socket->hasPendingDatagrams();
        QByteArray datagram;
        while (m_socket->hasPendingDatagrams()) {
            const qint64 size = m_socket->pendingDatagramSize();
            if (size < 0)
                break;
            datagram.resize(size);
            const qint64 read = m_socket->readDatagram(datagram.data(), datagram.size());
            if (read < 0)
                break;
            datagram.resize(read);
            emit rawInputReceived(RawTelemetryEntry::Datagram, m_socket->localPort(), datagram);
            if (read > 0) {
                m_buffer.swap(datagram);
                gotData = true;
            }
        }
    }

    if (arrived) {
        if (!gotData)
            return;
        const qint64 now = m_clock();
        if (m_active) {
            parseDatagram(m_buffer);
            const qint64 sinceActivation = now - m_activatedAt;
            if (sinceActivation < WarmUpMs)
                warmUp(static_cast<float>(sinceActivation / 1000));
            emitTelemetry();
        } else {
            m_active = true;
            m_activatedAt = now;
            emit telemetrySourceChanged(source(), flightModule(m_buffer));
        }
        m_lastDataAt = now;
    } else if (m_active && m_clock() - m_lastDataAt > SilenceTimeoutMs) {
        finish();
    }
}
