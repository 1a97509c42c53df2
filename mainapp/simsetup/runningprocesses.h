#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct RunningProcess
{
    qint64 pid = 0;
    QString executable; // as asked for
};

// The processes listed under procRoot (normally /proc) that run one of the
// executables, compared without case. Wine and Proton processes show the
// Windows program: their comm is its file name cut to 15 characters, their
// command line starts with its Windows path (after a wine loader, if any).
QList<RunningProcess> runningProcesses(const QString &procRoot, const QStringList &executables);
