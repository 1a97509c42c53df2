#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QTest>
#include <QUdpSocket>

#include <cstring>

// Little-endian fields of X-Plane's UDP messages.
inline qint32 int32At(const QByteArray &bytes, int offset)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(bytes[offset + i]);
    return qint32(v);
}

inline void appendInt32(QByteArray &bytes, qint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((quint32(value) >> (8 * i)) & 0xFF));
}

inline void appendFloat(QByteArray &bytes, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, 4);
    appendInt32(bytes, qint32(bits));
}

// X-Plane as the source sees it: takes RREF requests on its receive port,
// remembers which index the client chose for each dataref, and answers
// with "RREF" + one byte + (index, float) pairs.
class FakeXPlane
{
public:
    struct Request
    {
        qint32 frequency;
        qint32 index;
        QString dataref;
    };

    FakeXPlane() { QVERIFY(m_socket.bind(QHostAddress::LocalHost, 0)); }
    // On another address; isListening() says whether it could bind there.
    explicit FakeXPlane(const QHostAddress &address) : m_address(address) { m_socket.bind(address, 0); }
    bool isListening() const { return m_socket.state() == QAbstractSocket::BoundState; }
    quint16 port() const { return m_socket.localPort(); }
    // The port the client sent its requests from.
    quint16 clientPort() const { return m_client; }

    // Reads every request that arrived; checks each one's layout byte for byte.
    QList<Request> takeRequests()
    {
        QList<Request> requests;
        while (m_socket.hasPendingDatagrams()) {
            QByteArray datagram(int(m_socket.pendingDatagramSize()), '\0');
            QHostAddress from;
            quint16 fromPort = 0;
            m_socket.readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
            m_client = fromPort;
            if (datagram.size() != 413 || !datagram.startsWith(QByteArray("RREF\0", 5))) {
                qWarning("malformed request of %d bytes", int(datagram.size()));
                requests.append({-1, -1, QString()});
                continue;
            }
            const QByteArray name = datagram.mid(13);
            const int nul = name.indexOf('\0');
            // NUL-padded: everything after the name is zero.
            if (nul < 0 || name.mid(nul).count('\0') != name.size() - nul) {
                requests.append({-1, -1, QString()});
                continue;
            }
            Request request{int32At(datagram, 5), int32At(datagram, 9), QString::fromLatin1(name.left(nul))};
            if (request.frequency > 0)
                m_indices.insert(request.dataref, request.index);
            requests.append(request);
        }
        return requests;
    }
    // Waits until `count` requests have come, or the time is over.
    QList<Request> waitForRequests(int count, int timeoutMs = 5000)
    {
        QList<Request> requests;
        QElapsedTimer timer;
        timer.start();
        while (requests.size() < count && timer.elapsed() < timeoutMs) {
            m_socket.waitForReadyRead(50);
            requests += takeRequests();
        }
        return requests;
    }
    qint32 indexOf(const QString &dataref) const { return m_indices.value(dataref, -1); }

    // An answer carrying the given datarefs' values.
    QByteArray answer(const QList<QPair<QString, float>> &values) const
    {
        QByteArray bytes("RREF,");
        for (const auto &[dataref, value] : values) {
            appendInt32(bytes, indexOf(dataref));
            appendFloat(bytes, value);
        }
        return bytes;
    }
    QList<QPair<QString, float>> icao(const char *name) const
    {
        QList<QPair<QString, float>> values;
        for (int i = 0; i < 8; ++i) {
            const char c = i < int(std::strlen(name)) ? name[i] : '\0';
            values.append({QStringLiteral("sim/aircraft/view/acf_ICAO[%1]").arg(i), float(c)});
        }
        return values;
    }
    void send(const QByteArray &datagram)
    {
        QCOMPARE(m_socket.writeDatagram(datagram, m_address, m_client), datagram.size());
    }

private:
    QHostAddress m_address{QHostAddress::LocalHost};
    QUdpSocket m_socket;
    quint16 m_client = 0;
    QHash<QString, qint32> m_indices;
};
