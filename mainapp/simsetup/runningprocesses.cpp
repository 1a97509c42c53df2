#include "runningprocesses.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// The kernel keeps 15 characters of a process name.
constexpr qsizetype commLength = 15;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The last part of a Windows or Unix path.
QString fileName(const QByteArray &argument)
{
    const QString path = QString::fromUtf8(argument);
    return path.mid(qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QList<RunningProcess> runningProcesses(const QString &procRoot, const QStringList &executables)
{
    QList<RunningProcess> found;
    if (procRoot.isEmpty())
        return found;
    const QDir proc(procRoot);
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString comm =
            QString::fromUtf8(readAll(proc.filePath(entry + QStringLiteral("/comm")))).trimmed();
        QList<QByteArray> arguments = readAll(proc.filePath(entry + QStringLiteral("/cmdline"))).split('\0');
        if (!arguments.isEmpty() && fileName(arguments.first()).startsWith(QLatin1String("wine")))
            arguments.removeFirst();
        const QString program = arguments.isEmpty() ? QString() : fileName(arguments.first());
        // The command line names the program in full; comm may fit several.
        const auto named = std::find_if(executables.begin(), executables.end(),
                                        [&](const QString &executable) { return same(program, executable); });
        const auto cut = std::find_if(executables.begin(), executables.end(), [&](const QString &executable) {
            return !comm.isEmpty() && same(comm, executable.left(commLength));
        });
        if (named != executables.end())
            found.append({pid, *named});
        else if (cut != executables.end())
            found.append({pid, *cut});
    }
    std::sort(found.begin(), found.end(),
              [](const RunningProcess &a, const RunningProcess &b) { return a.pid < b.pid; });
    return found;
}
