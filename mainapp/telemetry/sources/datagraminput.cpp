#include "datagraminput.h"

#include "telemetrylogging.h"

#include <QHostInfo>
#include <QUdpSocket>

UdpInput::UdpInput(quint16 port, QObject *parent)
    : DatagramInput(parent), m_socket(new QUdpSocket(this)), m_port(port)
{
    listen();
    bind();
}

UdpInput::UdpInput(const NetworkAddress &peer, QObject *parent)
    : DatagramInput(parent), m_socket(new QUdpSocket(this)), m_port(0), m_peer(peer)
{
    listen();
    bind();
    QHostAddress literal;
    if (literal.setAddress(peer.host))
        m_peerAddresses = {literal};
}

void UdpInput::listen()
{
    // The notification, not a question to the socket at every poll, says
    // that something arrived, and when.
    connect(m_socket, &QUdpSocket::readyRead, this, [this] {
        if (!m_waiting) {
            m_waiting = true;
            m_waitingSince = now();
        }
    });
}

bool UdpInput::bind()
{
    m_socket->abort();
    // Any address, both protocols: a simulator on another computer sends to the LAN address.
    m_bound = m_socket->bind(QHostAddress::Any, m_port);
    if (m_bound)
        setProblem({});
    else if (m_socket->error() == QAbstractSocket::AddressInUseError)
        setProblem(QStringLiteral("port %1 in use by another program").arg(m_port));
    else
        setProblem(QStringLiteral("cannot listen on port %1: %2").arg(m_port).arg(m_socket->errorString()));
    return m_bound;
}

void UdpInput::service(qint64 now)
{
    if (m_bound)
        return;
    // An unbound socket has nothing to read; only try the port again now and then.
    if (m_bindFailedAt < 0)
        m_bindFailedAt = now;
    if (now - m_bindFailedAt < RebindIntervalMs)
        return;
    if (!bind())
        m_bindFailedAt = now;
}

quint16 UdpInput::localPort() const
{
    return m_socket->localPort();
}

bool UdpInput::fromPeer(const QHostAddress &sender) const
{
    for (const QHostAddress &address : m_peerAddresses) {
        if (address.isEqual(sender, QHostAddress::TolerantConversion))
            return true;
    }
    return false;
}

bool UdpInput::read(QByteArray &datagram)
{
    if (!m_waiting)
        return false;
    while (m_bound && m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        if (size < 0)
            return false;
        datagram.resize(size);
        QHostAddress sender;
        const qint64 read = m_socket->readDatagram(datagram.data(), datagram.size(), m_peer ? &sender : nullptr);
        if (read < 0)
            return false;
        datagram.resize(read);
        // Someone else's datagram on a port that talks to one peer is no sign of that peer.
        if (m_peer && !fromPeer(sender))
            continue;
        setArrivedAt(m_waitingSince);
        emit received(RawTelemetryEntry::Datagram, m_socket->localPort(), datagram);
        return true;
    }
    m_waiting = false;
    return false;
}

void UdpInput::resolvePeer()
{
    if (m_resolving || !m_peer || !m_nextLookup.hasExpired())
        return;
    m_resolving = true;
    QHostInfo::lookupHost(m_peer->host, this, [this](const QHostInfo &info) {
        m_resolving = false;
        QList<QHostAddress> addresses;
        // IPv4 first: a simulator listening on IPv4 only is the common case.
        for (const QHostAddress &a : info.addresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol)
                addresses << a;
        for (const QHostAddress &a : info.addresses())
            if (a.protocol() != QAbstractSocket::IPv4Protocol)
                addresses << a;
        if (addresses.isEmpty()) {
            if (!m_lookupFailed)
                qCWarning(lcTelemetry).noquote()
                    << "cannot find the address of" << m_peer->host << ":" << info.errorString();
            m_lookupFailed = true;
            m_nextLookup.setRemainingTime(LookupRetryMs); // not a look-up per request
            setProblem(QStringLiteral("cannot find the address of %1").arg(m_peer->host));
            return;
        }
        m_peerAddresses = addresses;
        m_lookupFailed = false;
        setProblem({});
    });
}

void UdpInput::send(const QByteArray &datagram)
{
    if (!m_peer || !m_bound)
        return;
    if (m_peerAddresses.isEmpty()) {
        resolvePeer(); // the datagram is lost; the next one goes once the address is known
        return;
    }
    m_socket->writeDatagram(datagram, m_peerAddresses.first(), m_peer->port);
}

std::unique_ptr<RawInput> UdpInput::replayInput() const
{
    return std::make_unique<ReplayDatagramInput>();
}

bool ReplayDatagramInput::read(QByteArray &datagram)
{
    if (m_due.isEmpty())
        return false;
    const RawTelemetryEntry entry = m_due.takeFirst();
    datagram = entry.payload;
    setArrivedAt(now());
    emit received(RawTelemetryEntry::Datagram, entry.port, datagram);
    return true;
}

void ReplayDatagramInput::feed(const RawTelemetryEntry &entry)
{
    if (entry.kind == RawTelemetryEntry::Datagram)
        m_due.append(entry);
}
