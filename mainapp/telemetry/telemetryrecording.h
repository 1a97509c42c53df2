#pragma once

#include "telemetry.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

// One raw input as a source received it: what a recording holds and a
// replay feeds back. The file format is described in docs/telemetry-recording.md.
struct RawTelemetryEntry
{
    enum Kind : quint8
    {
        Datagram = 0,         // a UDP datagram (DCS, IL-2, Condor 2, X-Plane)
        HttpAnswer = 1,       // a War Thunder answer body
        HttpFailure = 2,      // a War Thunder request that failed (no payload)
        SimConnectMessage = 3 // one message as the MSFS source read it
    };

    quint32 timeMs = 0; // since the recording started
    Telemetry::Source source = Telemetry::TELEMETRY_SOURCE_NONE;
    Kind kind = Datagram;
    quint16 port = 0; // the UDP port it arrived on; 0 for the others
    QByteArray payload;
};

namespace TelemetryRecording {
constexpr quint16 Version = 1;
constexpr qsizetype HeaderSize = 12;
constexpr qsizetype MaxPayload = 1 << 20;
} // namespace TelemetryRecording

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

// Reads a recording entry by entry; stops at the first damage and says where.
class TelemetryRecordingReader
{
public:
    enum Result
    {
        Entry,
        End,
        Damaged
    };

    // False with a message when the file cannot be read or is not a recording.
    bool open(const QString &path, QString *error);
    Result next(RawTelemetryEntry &entry);
    // Back to the first entry.
    void rewind();
    // Where the damage is, after next() returned Damaged.
    QString damage() const { return m_damage; }

private:
    QByteArray m_data;
    qsizetype m_offset = TelemetryRecording::HeaderSize;
    int m_entryNumber = 0;
    QString m_damage;
};

// Encodes one entry as it is stored (exposed for tools that write recordings).
QByteArray encodeTelemetryEntry(const RawTelemetryEntry &entry);
QByteArray telemetryRecordingHeader();
