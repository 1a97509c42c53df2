#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Which processes hold what, as /proc shows it: only this user's processes
// show their open files, unless run as root.
struct HoldingProcess
{
    qint64 pid = 0;
    QString name; // the program's file name, from its command line or else its comm

    friend bool operator==(const HoldingProcess &, const HoldingProcess &) = default;
};

// A UDP socket of /proc/net/udp or udp6.
struct UdpSocketEntry
{
    quint16 port = 0;
    quint32 uid = 0;
    quint64 inode = 0;
};

namespace ProcessHolders {

// The name of the process pid under procRoot; empty when it does not exist.
QString processName(const QString &procRoot, qint64 pid);

// For each target (a path as /proc/*/fd links show it, "/dev/hidraw0", or a
// socket as "socket:[12345]"), the processes with it open, by pid, except
// exceptPid. One pass over /proc.
QHash<QString, QList<HoldingProcess>> holding(const QString &procRoot, const QStringList &targets,
                                              qint64 exceptPid = 0);

// The bound UDP sockets of IPv4 and IPv6 (net/udp and net/udp6 under procRoot).
QList<UdpSocketEntry> udpSockets(const QString &procRoot);

// "name (process 123), other (process 456)".
QString describe(const QList<HoldingProcess> &processes);

} // namespace ProcessHolders
