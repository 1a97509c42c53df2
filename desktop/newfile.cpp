#include "newfile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString existsText(const QString &path)
{
    return QStringLiteral("%1 exists; it is not overwritten").arg(path);
}

} // namespace

NewFile::NewFile(const QString &path)
    : m_path(path), m_file(QFileInfo(path).absolutePath() + QStringLiteral("/.") +
                           QFileInfo(path).fileName() + QStringLiteral(".XXXXXX"))
{}

NewFile::Result NewFile::open(QString *error)
{
    const QFileInfo target(m_path);
    if (target.exists() || target.isSymLink()) {
        *error = existsText(m_path);
        return Result::Exists;
    }
    if (!m_file.open()) {
        *error = QStringLiteral("cannot create %1: %2").arg(m_path, m_file.errorString());
        return Result::Failed;
    }
    return Result::Done;
}

bool NewFile::write(const QByteArray &bytes)
{
    return m_file.write(bytes) == bytes.size();
}

NewFile::Result NewFile::commit(QString *error)
{
    bool written = m_file.flush();
#ifdef Q_OS_UNIX
    // A temporary file is private; the new file gets the usual rights.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    written = written && ::fchmod(m_file.handle(), 0666 & ~mask) == 0 && ::fsync(m_file.handle()) == 0;
#endif
    if (!written) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, m_file.errorString());
        return Result::Failed;
    }
    m_file.close();
    // The name is given only if no file took it meanwhile.
    bool named = false;
    bool taken = false;
#ifdef Q_OS_UNIX
    named =
        ::link(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_path).constData()) == 0;
    taken = !named && errno == EEXIST;
#endif
    // File systems without hard links: a copy, which refuses an existing name too.
    if (!named && !taken) {
        named = QFile::copy(m_file.fileName(), m_path);
        taken = !named && QFileInfo(m_path).exists();
    }
    if (named)
        return Result::Done;
    *error = taken ? existsText(m_path) : QStringLiteral("cannot write %1").arg(m_path);
    return taken ? Result::Exists : Result::Failed;
}
