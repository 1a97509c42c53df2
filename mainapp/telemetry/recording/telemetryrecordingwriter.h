#pragma once

#include "telemetryrecordingformat.h"

#include <QFile>
#include <QString>

// Appends entries to a new recording. Never overwrites: open() refuses a
// file that exists.
class TelemetryRecordingWriter
{
public:
    bool open(const QString &path, QString *error,
              const TelemetryRecordingInfo &info = TelemetryRecordingInfo::now());
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    bool append(const RawTelemetryEntry &entry);
    // Hands what was written to the system, so that a crash of the program loses nothing of it.
    void flush();
    // Hands it to the disk as well (fdatasync): what a power cut must not take.
    void sync();
    // Syncs, then closes.
    void close();

private:
    QFile m_file;
};
