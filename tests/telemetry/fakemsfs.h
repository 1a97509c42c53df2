#pragma once

// A fake Microsoft Flight Simulator serving SimConnect over TCP on the
// loopback address. It models the server side: it reassembles the client's
// packets, answers Open, keeps the data definitions, pending requests and
// event subscriptions of the connection, and assembles data blocks from its
// simulation variables in the order of a definition. Every byte is written
// out here by hand, independently of the client under test.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVariant>
#include <QtEndian>

#include <cstring>
#include <functional>

class FakeMsfs : public QObject
{
public:
    struct Packet
    {
        quint32 size = 0;
        quint32 version = 0;
        quint32 function = 0; // with the top nibble as sent
        quint32 sendId = 0;
        QByteArray bytes; // the whole packet
    };
    struct Datum
    {
        quint32 defineId;
        QByteArray name;
        QByteArray units;
        quint32 type;
        float epsilon;
        quint32 datumId;
    };
    struct Request
    {
        quint32 requestId;
        quint32 defineId;
        quint32 radius;
        quint32 objectType;
    };

    // Everything the clients sent, over all connections.
    QList<Packet> received;
    // The current connection's state.
    QList<Datum> definition;
    QList<Request> pending;
    QHash<quint32, QByteArray> subscriptions; // client event id -> event name
    QByteArray openName;
    int connections = 0;
    bool answerOpen = true;
    // Called for each new data request; may answer it at once.
    std::function<void(const Request &)> onRequest;
    // Simulation variables by name: doubles for float64, QByteArray for strings.
    QHash<QByteArray, QVariant> variables;

    explicit FakeMsfs(QObject *parent = nullptr) : QObject(parent)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                adopt(socket);
        });
    }

    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }
    void stopListening() { m_server.close(); }
    bool connected() const { return m_client && m_client->state() == QAbstractSocket::ConnectedState; }

    // Closes the client's connection, as MSFS does on exit.
    void disconnectClient()
    {
        if (m_client) {
            m_client->flush();
            m_client->disconnectFromHost();
        }
    }

    void write(const QByteArray &bytes)
    {
        if (!m_client)
            return;
        m_client->write(bytes);
        m_client->flush();
    }

    // --- messages, laid out byte by byte ---

    static void le32(QByteArray &b, quint32 v)
    {
        char le[4];
        qToLittleEndian(v, le);
        b.append(le, 4);
    }
    static void lef64(QByteArray &b, double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        char le[8];
        qToLittleEndian(bits, le);
        b.append(le, 8);
    }
    static QByteArray fixed(const QByteArray &text, int width)
    {
        QByteArray b = text.left(width - 1);
        b.append(width - b.size(), '\0');
        return b;
    }
    // A message: size, version 5, id, then the body.
    static QByteArray message(quint32 id, const QByteArray &body = {})
    {
        QByteArray b;
        le32(b, quint32(12 + body.size()));
        le32(b, 5);
        le32(b, id);
        return b + body;
    }
    static QByteArray openMessage()
    {
        QByteArray body = fixed("KittyHawk", 256);
        for (quint32 v : {11u, 0u, 62651u, 3u, 11u, 0u, 62651u, 3u, 0u, 0u})
            le32(body, v); // application and SimConnect versions, two reserved
        return message(2, body);
    }
    static QByteArray quitMessage() { return message(3); }
    static QByteArray eventMessage(quint32 eventId, quint32 data = 0)
    {
        QByteArray body;
        le32(body, 0xFFFFFFFFu); // group: none
        le32(body, eventId);
        le32(body, data);
        return message(4, body);
    }
    static QByteArray exceptionMessage(quint32 exception, quint32 sendId, quint32 index)
    {
        QByteArray body;
        le32(body, exception);
        le32(body, sendId);
        le32(body, index);
        return message(1, body);
    }
    static QByteArray dataByTypeMessage(quint32 requestId, quint32 defineId, quint32 defineCount,
                                        const QByteArray &block)
    {
        QByteArray body;
        le32(body, requestId);
        le32(body, 1); // object id of the user aircraft
        le32(body, defineId);
        le32(body, 0); // flags
        le32(body, 1); // entry number
        le32(body, 1); // out of
        le32(body, defineCount);
        return message(9, body + block);
    }

    // The data block of a definition from the variables (unknown ones are 0).
    QByteArray dataBlock(quint32 defineId) const
    {
        QByteArray block;
        for (const Datum &d : definition) {
            if (d.defineId != defineId)
                continue;
            const QVariant value = variables.value(d.name);
            if (d.type == 9)
                block += fixed(value.toByteArray(), 256);
            else
                lef64(block, value.toDouble());
        }
        return block;
    }
    quint32 definitionCount(quint32 defineId) const
    {
        quint32 n = 0;
        for (const Datum &d : definition)
            n += d.defineId == defineId;
        return n;
    }
    // Answers the oldest pending request with the variables; false if none is pending.
    bool answer()
    {
        if (pending.isEmpty())
            return false;
        write(sampleFor(pending.takeFirst()));
        return true;
    }
    QByteArray sampleFor(const Request &r) const
    {
        return dataByTypeMessage(r.requestId, r.defineId, definitionCount(r.defineId), dataBlock(r.defineId));
    }
    void sendEvent(const QByteArray &name, quint32 data = 0)
    {
        for (auto it = subscriptions.cbegin(); it != subscriptions.cend(); ++it) {
            if (it.value() == name)
                write(eventMessage(it.key(), data));
        }
    }

private:
    static quint32 at(const QByteArray &b, qsizetype offset)
    {
        return qFromLittleEndian<quint32>(b.constData() + offset);
    }
    static QByteArray cString(const QByteArray &b, qsizetype offset, int width)
    {
        const QByteArray field = b.mid(offset, width);
        const qsizetype nul = field.indexOf('\0');
        return nul < 0 ? field : field.left(nul);
    }

    void adopt(QTcpSocket *socket)
    {
        // One client at a time, as the tests need; a newer one replaces the older.
        if (m_client)
            m_client->deleteLater();
        m_client = socket;
        ++connections;
        definition.clear();
        pending.clear();
        subscriptions.clear();
        m_input.clear();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket != m_client)
                return;
            m_input += socket->readAll();
            handleInput();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    void handleInput()
    {
        while (m_input.size() >= 16) {
            const quint32 size = at(m_input, 0);
            if (size < 16) { // a broken client: MSFS would drop it
                m_client->abort();
                m_input.clear();
                return;
            }
            if (m_input.size() < qsizetype(size))
                return;
            Packet p{size, at(m_input, 4), at(m_input, 8), at(m_input, 12), m_input.left(size)};
            m_input.remove(0, size);
            received << p;
            handle(p);
        }
    }

    void handle(const Packet &p)
    {
        const QByteArray &b = p.bytes;
        switch (p.function & 0x0FFFFFFFu) {
        case 0x01: // Open
            openName = cString(b, 16, 256);
            if (answerOpen)
                write(openMessage());
            break;
        case 0x0C: // AddToDataDefinition
            if (b.size() >= 16 + 4 + 256 + 256 + 12) {
                float epsilon;
                const quint32 bits = at(b, 16 + 4 + 512 + 4);
                std::memcpy(&epsilon, &bits, 4);
                definition << Datum{at(b, 16), cString(b, 20, 256), cString(b, 276, 256), at(b, 532), epsilon,
                                    at(b, 540)};
            }
            break;
        case 0x0F: // RequestDataOnSimObjectType
            if (b.size() >= 32) {
                const Request r{at(b, 16), at(b, 20), at(b, 24), at(b, 28)};
                pending << r;
                if (onRequest)
                    onRequest(r);
            }
            break;
        case 0x17: // SubscribeToSystemEvent
            if (b.size() >= 16 + 4 + 256)
                subscriptions.insert(at(b, 16), cString(b, 20, 256));
            break;
        default:
            break;
        }
    }

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_input;
};
