#include "processholders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList processIds(const QString &procRoot)
{
    QStringList pids;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (numeric)
            pids.append(entry);
    }
    return pids;
}

} // namespace

namespace ProcessHolders {

QString processName(const QString &procRoot, qint64 pid)
{
    const QString folder = procRoot + QStringLiteral("/%1/").arg(pid);
    // The command line names the program in full (Wine: the Windows program
    // after its loader); comm keeps 15 characters.
    const QList<QByteArray> arguments = readAll(folder + QStringLiteral("cmdline")).split('\0');
    const auto fileName = [](const QByteArray &argument) {
        const QString path = QString::fromUtf8(argument);
        return path.mid(std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) +
                        1);
    };
    const QString comm = QString::fromUtf8(readAll(folder + QStringLiteral("comm"))).trimmed();
    if (!arguments.isEmpty() && fileName(arguments.first()).startsWith(QLatin1String("wine")) &&
        arguments.size() > 1 && !arguments.at(1).isEmpty())
        return fileName(arguments.at(1));
    // A program that rewrote its command line ("sshd: ann@pts/0", a
    // browser's helpers) or a script run by its interpreter: the name from
    // the command line counts only where the kernel's name agrees.
    if (!arguments.isEmpty() && !arguments.first().isEmpty()) {
        const QString name = fileName(arguments.first());
        if (comm.isEmpty() || name.startsWith(comm))
            return name;
    }
    return comm;
}

QHash<QString, QList<HoldingProcess>> holding(const QString &procRoot, const QStringList &targets,
                                              qint64 exceptPid)
{
    QHash<QString, QList<HoldingProcess>> result;
    if (targets.isEmpty() || procRoot.isEmpty())
        return result;
    for (const QString &pid : processIds(procRoot)) {
        if (pid.toLongLong() == exceptPid)
            continue;
        const QDir fds(procRoot + QLatin1Char('/') + pid + QStringLiteral("/fd"));
        QStringList seen;
        for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            // The link's text as the kernel writes it ("socket:[n]" is not a path).
            char buffer[4096];
            const ssize_t length =
                ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), buffer, sizeof buffer);
            if (length <= 0 || length == ssize_t(sizeof buffer))
                continue;
            const QString link = QFile::decodeName(QByteArray(buffer, length));
            if (targets.contains(link) && !seen.contains(link)) {
                seen.append(link);
                result[link].append({pid.toLongLong(), processName(procRoot, pid.toLongLong())});
            }
        }
    }
    for (auto &processes : result)
        std::sort(processes.begin(), processes.end(),
                  [](const HoldingProcess &a, const HoldingProcess &b) { return a.pid < b.pid; });
    return result;
}

QList<UdpSocketEntry> udpSockets(const QString &procRoot)
{
    QList<UdpSocketEntry> sockets;
    for (const QString &table : {QStringLiteral("/net/udp"), QStringLiteral("/net/udp6")}) {
        const QList<QByteArray> lines = readAll(procRoot + table).split('\n');
        // "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode ..."
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
            if (fields.size() < 10)
                continue;
            const QByteArray local = fields.at(1);
            bool portOk = false, uidOk = false, inodeOk = false;
            const uint port = local.mid(local.lastIndexOf(':') + 1).toUInt(&portOk, 16);
            const uint uid = fields.at(7).toUInt(&uidOk);
            const quint64 inode = fields.at(9).toULongLong(&inodeOk);
            if (portOk && uidOk && inodeOk && port <= 0xFFFF)
                sockets.append({quint16(port), quint32(uid), inode});
        }
    }
    return sockets;
}

QString describe(const QList<HoldingProcess> &processes)
{
    QStringList parts;
    for (const HoldingProcess &process : processes)
        parts.append(QStringLiteral("%1 (process %2)")
                         .arg(process.name.isEmpty() ? QStringLiteral("a program") : process.name,
                              QString::number(process.pid)));
    return parts.join(QStringLiteral(", "));
}

} // namespace ProcessHolders
