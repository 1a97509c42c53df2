#include "singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

Q_LOGGING_CATEGORY(lcInstance, "kestrox.instance", QtWarningMsg)

namespace {

const QLatin1String ShowRequest("show\n");

QString lockPath(const QString &folder)
{
    return folder + QStringLiteral("/kestrox-vantrell.lock");
}

QString socketPath(const QString &folder)
{
    return folder + QStringLiteral("/kestrox-vantrell.socket");
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder), m_lock(lockPath(folder))
{
    // Only a lock whose process is gone is stale, however old it is.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

bool SingleInstance::acquire()
{
    QDir().mkpath(m_folder);
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() != QLockFile::LockFailedError) {
            // No lock can be made here at all (read-only folder): run, but unguarded.
            qCWarning(lcInstance) << "cannot create the instance lock in" << m_folder;
            return true;
        }
        return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed instance would block listen().
    QLocalServer::removeServer(socketPath(m_folder));
    if (!m_server->listen(socketPath(m_folder)))
        qCWarning(lcInstance) << "cannot listen for show requests:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::requestShow(int timeoutMs) const
{
    QElapsedTimer elapsed;
    elapsed.start();
    // The running instance may still be starting: try until the deadline.
    while (elapsed.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath(m_folder));
        if (socket.waitForConnected(int(std::max<qint64>(1, timeoutMs - elapsed.elapsed())))) {
            socket.write(ShowRequest.data(), ShowRequest.size());
            const bool sent = socket.waitForBytesWritten(int(std::max<qint64>(1, timeoutMs - elapsed.elapsed())));
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(64);
                if (line == QByteArrayView(ShowRequest.data(), ShowRequest.size())) {
                    qCInfo(lcInstance) << "show request received";
                    emit showRequested();
                }
            }
            if (socket->bytesAvailable() > 64)
                socket->abort(); // not one of ours
        });
    }
}
