#pragma once

#include "telemetryrecordingformat.h"

#include <QFile>
#include <QString>

// Reads a recording entry by entry from the file, holding one entry at a
// time; stops at the first damage and says where.
class TelemetryRecordingReader
{
public:
    enum Result
    {
        Entry,
        End,
        Damaged
    };

    // Reads and checks the header only. False with a message when the file
    // cannot be read or is not a recording this program reads.
    bool open(const QString &path, QString *error);
    Result next(RawTelemetryEntry &entry);
    // Back to the first entry.
    void rewind();
    // Where the damage is, after next() returned Damaged.
    QString damage() const { return m_damage; }

private:
    QFile m_file;
    qint64 m_offset = TelemetryRecording::HeaderSize;
    int m_entryNumber = 0;
    QString m_damage;
};
