#pragma once

#include <QString>
#include <QTemporaryFile>

// A file that takes its name only once it is whole: written under a
// temporary name beside it, synced, then linked to its name. A file that
// already has the name, or takes it meanwhile, is never replaced; what was
// written goes with the temporary name when it is not committed.
class NewFile
{
public:
    enum class Result
    {
        Done,
        Exists,
        Failed
    };

    explicit NewFile(const QString &path);

    // Fails with Exists when the name is already taken, so no work is done
    // for a file that cannot be written.
    Result open(QString *error);
    // The temporary file's descriptor, for writers that stream.
    int handle() const { return m_file.handle(); }
    bool write(const QByteArray &bytes);
    Result commit(QString *error);

private:
    QString m_path;
    QTemporaryFile m_file;
};
