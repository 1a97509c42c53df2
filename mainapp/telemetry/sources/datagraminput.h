#pragma once

#include "millisecondclock.h"
#include "networkaddress.h"
#include "rawinput.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>

#include <memory>
#include <optional>

class QUdpSocket;

// Datagrams: a UDP socket, or the datagrams of a recording.
class DatagramInput : public RawInput
{
    Q_OBJECT

public:
    using RawInput::RawInput;

    // Takes the next datagram that arrived; false when none is waiting.
    virtual bool read(QByteArray &datagram) = 0;
    // Sends a datagram to the peer, where there is one.
    virtual void send(const QByteArray &datagram) = 0;
    // Once per poll, before reading: a socket whose port was taken tries again now and then.
    virtual void service(qint64 now) { Q_UNUSED(now) }
    // The port datagrams arrive on; 0 where there is none.
    virtual quint16 localPort() const = 0;
};

// A UDP socket bound to a port on every address. A port that another
// program holds is the input's problem and is tried again about every
// RebindIntervalMs; meanwhile nothing arrives.
class UdpInput final : public DatagramInput
{
    Q_OBJECT

public:
    // port 0 picks a free port (see localPort()).
    explicit UdpInput(quint16 port, QObject *parent = nullptr);
    // A socket on a free port that talks to one peer: it sends there and
    // takes datagrams from there only. A host name is looked up at the first
    // send, without blocking; a failed look-up is said once.
    explicit UdpInput(const NetworkAddress &peer, QObject *parent = nullptr);

    bool read(QByteArray &datagram) override;
    void send(const QByteArray &datagram) override;
    void service(qint64 now) override;
    quint16 localPort() const override;
    void feed(const RawTelemetryEntry &) override {}
    std::unique_ptr<RawInput> replayInput() const override;

    static constexpr qint64 RebindIntervalMs = 5000;
    static constexpr qint64 LookupRetryMs = 10000;

private:
    void listen();
    bool bind();
    void resolvePeer();
    bool fromPeer(const QHostAddress &sender) const;

    QUdpSocket *m_socket;
    const quint16 m_port;
    std::optional<NetworkAddress> m_peer;
    QList<QHostAddress> m_peerAddresses; // empty until resolved
    bool m_resolving = false;
    bool m_lookupFailed = false;
    QDeadlineTimer m_nextLookup{0};
    bool m_bound = false;
    qint64 m_bindFailedAt = -1; // -1: not yet seen by service()
    // The socket said datagrams are waiting; nothing is asked of it otherwise.
    bool m_waiting = false;
    qint64 m_waitingSince = -1;
};

// The datagrams of a recording, as they fall due.
class ReplayDatagramInput final : public DatagramInput
{
    Q_OBJECT

public:
    using DatagramInput::DatagramInput;

    bool read(QByteArray &datagram) override;
    void send(const QByteArray &) override {}
    quint16 localPort() const override { return 0; }
    void feed(const RawTelemetryEntry &entry) override;
    std::unique_ptr<RawInput> replayInput() const override { return nullptr; }

private:
    QList<RawTelemetryEntry> m_due;
};
