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
    // What the header says (nothing for version 1).
    TelemetryRecordingInfo info() const { return m_info; }
    qsizetype headerSize() const { return m_headerSize; }

private:
    QFile m_file;
    qsizetype m_headerSize = TelemetryRecording::HeaderSize;
    TelemetryRecordingInfo m_info;
    qint64 m_offset = TelemetryRecording::HeaderSize;
    int m_entryNumber = 0;
    QString m_damage;
};
