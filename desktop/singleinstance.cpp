#include "singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "kestrox.instance", QtWarningMsg)

namespace {

constexpr qsizetype MaxRequest = 4096;

// One request per line; each word percent-encoded, words separated by blanks.
QByteArray encode(const QStringList &words)
{
    QByteArrayList encoded;
    for (const QString &word : words)
        encoded.append(word.toUtf8().toPercentEncoding());
    return encoded.join(' ') + '\n';
}

QStringList decode(const QByteArray &line)
{
    QStringList words;
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    const QByteArrayList parts = text.split(' ');
    for (const QByteArray &part : parts)
        words.append(QString::fromUtf8(QByteArray::fromPercentEncoding(part)));
    return words;
}

// A folder only this user can enter, made if missing.
bool ownPrivateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700);
    struct stat info{};
    return ::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 0077) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, const QString &name, QObject *parent)
    : QObject(parent), m_folder(folder), m_name(name), m_lock(folder + QLatin1Char('/') + name + QStringLiteral(".lock"))
{
    // Only a lock whose process is gone is stale, however old it is.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    // The shared temporary folder would let another user's instance hold our
    // lock or answer in our place: a folder of this user's own instead.
    const QString own = QDir::tempPath() + QStringLiteral("/kestrox-%1").arg(::getuid());
    if (ownPrivateFolder(own))
        return own;
    qCWarning(lcInstance) << own << "is not this user's own folder; running without the instance lock";
    return {};
}

bool SingleInstance::acquire()
{
    if (m_folder.isEmpty())
        return true; // nowhere safe for a lock: run, but unguarded
    QDir().mkpath(m_folder);
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() != QLockFile::LockFailedError) {
            // No lock can be made here at all (read-only folder): run, but unguarded.
            qCWarning(lcInstance) << "cannot create the instance lock in" << m_folder;
            return true;
        }
        return false;
    }
    const QString socket = m_folder + QLatin1Char('/') + m_name + QStringLiteral(".socket");
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed instance would block listen().
    QLocalServer::removeServer(socket);
    if (!m_server->listen(socket))
        qCWarning(lcInstance) << "cannot listen for requests:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::send(const QStringList &request, int timeoutMs) const
{
    if (m_folder.isEmpty())
        return false;
    const QString path = m_folder + QLatin1Char('/') + m_name + QStringLiteral(".socket");
    QElapsedTimer elapsed;
    elapsed.start();
    const auto left = [&] { return int(std::max<qint64>(1, timeoutMs - elapsed.elapsed())); };
    // The running instance may still be starting: try until the deadline.
    while (elapsed.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(left())) {
            socket.write(encode(request));
            if (!socket.waitForBytesWritten(left()))
                return false;
            // Its answer says it took the request.
            while (!socket.canReadLine() && socket.waitForReadyRead(left())) {
            }
            return socket.readLine(64).trimmed() == "ok";
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
                const QStringList request = decode(socket->readLine(MaxRequest));
                qCInfo(lcInstance).noquote() << request.value(0) << "request received";
                socket->write("ok\n");
                emit requestReceived(request);
            }
            if (socket->bytesAvailable() > MaxRequest)
                socket->abort(); // not one of ours
        });
    }
}
