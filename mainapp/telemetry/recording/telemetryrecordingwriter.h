#pragma once

#include "telemetryrecordingformat.h"

#include <QFile>
#include <QString>

// Appends entries to a new recording. Never overwrites: open() refuses a
// file that exists.
class TelemetryRecordingWriter
{
public:
    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    bool append(const RawTelemetryEntry &entry);
    // Hands what was written to the disk (flush and fdatasync).
    void sync();
    void close();

private:
    QFile m_file;
};
