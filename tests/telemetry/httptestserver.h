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
    }
    QUrl url(const QString &path = QStringLiteral("/state")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    // Stops listening and drops open connections, so the next request is refused.
    void close()
    {
        m_server.close();
        const auto sockets = findChildren<QTcpSocket *>();
        for (QTcpSocket *socket : sockets)
            socket->abort();
    }

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
        const QByteArray reason = status == 200 ? "OK" : "Error";
        socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                      "\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
