#pragma once

#include "telemetrysourceudp.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <utility>

// A clock the test moves by hand.
struct ManualClock
{
    qint64 now = 100000;
    MillisecondClock function()
    {
        return [this] { return now; };
    }
};

// Sends datagrams over the loopback to a source's port.
class UdpSender
{
public:
    explicit UdpSender(quint16 port) : m_port(port) {}
    void send(const QByteArray &datagram)
    {
        QVERIFY(m_socket.writeDatagram(datagram, QHostAddress::LocalHost, m_port) == datagram.size());
    }

private:
    QUdpSocket m_socket;
    quint16 m_port;
};

// Polls until the condition holds: loopback delivery is quick but not
// guaranteed to be done when writeDatagram returns.
inline bool pollUntil(const std::function<void()> &poll, const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        poll();
        if (done())
            return true;
        QTest::qWait(1);
    }
    return false;
}

// Builds an IL-2 telemetry datagram: 10 header bytes, the entry count, entries.
class Il2Datagram
{
public:
    Il2Datagram() : m_data(10, '\0') { m_data.append('\0'); }

    Il2Datagram &entry(quint16 id, std::initializer_list<float> values)
    {
        return rawEntry(id, static_cast<qint8>(values.size()), values);
    }
    // An entry whose declared count may differ from the values carried.
    Il2Datagram &rawEntry(quint16 id, qint8 count, std::initializer_list<float> values)
    {
        char idBytes[2];
        qToLittleEndian(id, idBytes);
        m_data.append(idBytes, 2);
        m_data.append(static_cast<char>(count));
        for (float v : values) {
            quint32 bits;
            std::memcpy(&bits, &v, 4);
            char b[4];
            qToLittleEndian(bits, b);
            m_data.append(b, 4);
        }
        m_data[10] = static_cast<char>(m_data[10] + 1);
        return *this;
    }
    Il2Datagram &count(qint8 n)
    {
        m_data[10] = static_cast<char>(n);
        return *this;
    }
    QByteArray bytes() const { return m_data; }

private:
    QByteArray m_data;
};
