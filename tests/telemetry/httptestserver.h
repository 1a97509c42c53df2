#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

// A minimal HTTP/1.1 server on a free loopback port: answers every GET with
// the current body, or with a status, or not at all.
class HttpTestServer : public QObject
{
public:
    QByteArray body = "{}";
    int status = 200;
    bool stall = false; // accept, read, never answer
    bool drop = false;  // accept, read, close without answering
    int requests = 0;

    HttpTestServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
        m_port = m_server.serverPort();
    }
    QUrl url(const QString &path = QStringLiteral("/state")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }
    // Stops listening and drops open connections, so the next request is refused.
    void close()
    {
        m_server.close();
        const auto sockets = findChildren<QTcpSocket *>();
        for (QTcpSocket *socket : sockets)
            socket->abort();
    }
    // Listens again on the same port after close(), as a restarted service would.
    bool reopen() { return m_server.isListening() || m_server.listen(QHostAddress::LocalHost, m_port); }

private:
    void onReadyRead(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        if (!pending.contains("\r\n\r\n"))
            return;
        pending.clear();
        ++requests;
        if (stall)
            return;
        if (drop) {
            socket->abort();
            return;
        }
        const QByteArray reason = status == 200 ? "OK" : "Error";
        socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                      "\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }

    QTcpServer m_server;
    quint16 m_port = 0;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
