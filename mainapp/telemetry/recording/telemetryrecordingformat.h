#pragma once

#include "telemetry.h"

#include <QByteArray>

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
// Version 2 adds the program's version and the start time to version 1's header.
constexpr quint16 Version = 2;
constexpr qsizetype HeaderSizeV1 = 12;
constexpr qsizetype HeaderSize = 24;
constexpr qsizetype EntryHeaderSize = 12; // time, source, kind, port, length
constexpr qsizetype ChecksumSize = 4;
constexpr qsizetype MaxPayload = 1 << 20;

// The first eight bytes of every recording.
QByteArray magic();
// CRC-32 of zlib and PNG.
quint32 checksum(const char *data, qsizetype size);
} // namespace TelemetryRecording

// What a recording's header says beyond its format.
struct TelemetryRecordingInfo
{
    quint32 programVersion = 0; // the release that recorded it; 0: not said (version 1)
    qint64 startedAtMs = -1;    // wall-clock start, ms since 1970 UTC; -1: not said (version 1)

    // This program's release, now.
    static TelemetryRecordingInfo now();
};

// Encodes one entry as it is stored (exposed for tools that write recordings).
QByteArray encodeTelemetryEntry(const RawTelemetryEntry &entry);
QByteArray telemetryRecordingHeader(const TelemetryRecordingInfo &info = {});
