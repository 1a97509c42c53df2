// A telemetry recording file: read entry by entry, every entry replayed
// through the sources as the telemetry thread does. The input is read as it
// is, and once more with every entry's checksum made right, so that the
// fuzzer also gets past the checksums into the replayed payloads.

#include "fuzzsupport.h"
#include "simconnectreplay.h"
#include "telemetryrecording.h"
#include "telemetrysourcecondor2.h"
#include "telemetrysourcedcs.h"
#include "telemetrysourcemsfs.h"
#include "telemetrysourceshturmovik.h"
#include "telemetrysourcewarthunder.h"
#include "telemetrysourcexplane.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <array>
#include <memory>
#include <unistd.h>

namespace {

// CRC-32 as zlib computes it (reflected, polynomial 0xEDB88320).
quint32 crc32(const char *data, qsizetype size)
{
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= quint8(data[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Rewrites the checksum of every entry whose length fits in the data.
QByteArray withChecksumsRepaired(QByteArray bytes)
{
    qsizetype offset = TelemetryRecording::HeaderSize;
    while (bytes.size() - offset >= 12) {
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + offset + 8);
        if (length > quint32(TelemetryRecording::MaxPayload))
            break;
        const qsizetype total = 12 + qsizetype(length) + 4;
        if (bytes.size() - offset < total)
            break;
        qToLittleEndian<quint32>(crc32(bytes.constData() + offset, total - 4), bytes.data() + offset + total - 4);
        offset += total;
    }
    return bytes;
}

QString scratchPath()
{
    const QString dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return QStringLiteral("%1/kestrox-fuzz-recording-%2.bin").arg(dir).arg(getpid());
}

// The socket sources live for the whole run (opening sockets would cost more
// than the decoding) and are finished after every input; the MSFS source and
// its replayed SimConnect are made afresh so that no message is left over.
struct SocketSources
{
    TelemetrySourceDCS dcs{nullptr, 0};
    TelemetrySourceShturmovik il2{nullptr, 0};
    TelemetrySourceWarthunder warthunder{nullptr};
    TelemetrySourceCondor2 condor2{nullptr, 0};
    TelemetrySourceXPlane xplane{nullptr};

    SocketSources()
    {
        fuzz::watch<TelemetrySourceDCS, DCSTelemetry>(dcs, "replayed DCS");
        fuzz::watch<TelemetrySourceShturmovik, ShturmovikTelemetry>(il2, "replayed IL-2");
        fuzz::watch<TelemetrySourceWarthunder, WarthunderTelemetry>(warthunder, "replayed War Thunder");
        fuzz::watch<TelemetrySourceCondor2, Condor2Telemetry>(condor2, "replayed Condor 2");
        fuzz::watch<TelemetrySourceXPlane, XPlaneTelemetry>(xplane, "replayed X-Plane");
    }
};

struct Sources
{
    SocketSources &sockets;
    std::shared_ptr<ReplaySimConnect> simConnect = std::make_shared<ReplaySimConnect>();
    TelemetrySourceMSFS msfs{nullptr, simConnect};
    std::array<TelemetrySource *, Telemetry::SourceCount> bySource;

    explicit Sources(SocketSources &s)
        : sockets(s), bySource{nullptr, &msfs, &s.dcs, &s.il2, &s.warthunder, &s.condor2, &s.xplane}
    {
        fuzz::watch<TelemetrySourceMSFS, MSFSTelemetry>(msfs, "replayed MSFS");
        for (int i = 1; i < Telemetry::SourceCount; ++i)
            bySource[std::size_t(i)]->enterReplay();
    }

    // As the telemetry thread routes a due entry, then one tick of polls.
    void replay(const RawTelemetryEntry &entry)
    {
        if (entry.kind == RawTelemetryEntry::SimConnectMessage)
            simConnect->push(entry.payload);
        else
            bySource[std::size_t(entry.source)]->feedReplayInput(entry);
        for (int i = 1; i < Telemetry::SourceCount; ++i)
            bySource[std::size_t(i)]->poll();
    }
};

void readAndReplay(const QByteArray &bytes)
{
    const QString path = scratchPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            fuzz::fail("recording", "scratch file not written", 0);
    }
    TelemetryRecordingReader reader;
    QString error;
    if (!reader.open(path, &error))
        return;

    static SocketSources &sockets = *new SocketSources;
    Sources sources(sockets);
    // What the reader hands out must be exactly what the file holds:
    // re-encoding the entries gives the bytes read so far.
    // Version 1 (12 bytes) or 2 (24 bytes).
    const quint16 version = quint16(quint8(bytes.at(8)) | quint8(bytes.at(9)) << 8);
    if (!bytes.startsWith("KXTELREC") || !((version == 1 && reader.headerSize() == 12) ||
                                           (version == 2 && reader.headerSize() == 24)))
        fuzz::fail("recording", "accepted a file with another header", 0);
    QByteArray reencoded = bytes.left(reader.headerSize());
    RawTelemetryEntry entry;
    TelemetryRecordingReader::Result result;
    int entries = 0;
    while ((result = reader.next(entry)) == TelemetryRecordingReader::Entry) {
        if (entry.source <= Telemetry::TELEMETRY_SOURCE_NONE || entry.source >= Telemetry::SourceCount)
            fuzz::fail("recording", "entry source", entry.source);
        if (entry.kind > RawTelemetryEntry::SimConnectMessage)
            fuzz::fail("recording", "entry kind", entry.kind);
        if (entry.payload.size() > TelemetryRecording::MaxPayload)
            fuzz::fail("recording", "payload size", double(entry.payload.size()));
        reencoded += encodeTelemetryEntry(entry);
        if (!bytes.startsWith(reencoded))
            fuzz::fail("recording", "entry differs from the file at entry", entries);
        sources.replay(entry);
        ++entries;
    }
    if (result == TelemetryRecordingReader::End && reencoded.size() != bytes.size())
        fuzz::fail("recording", "end reported with bytes left", double(bytes.size() - reencoded.size()));
    if (result == TelemetryRecordingReader::Damaged && reader.damage().isEmpty())
        fuzz::fail("recording", "damage without a description", 0);
    // Once damaged, the reader stays so.
    if (result == TelemetryRecordingReader::Damaged && reader.next(entry) != TelemetryRecordingReader::Damaged)
        fuzz::fail("recording", "reading on after damage", 0);
    for (int i = 1; i < Telemetry::SourceCount; ++i)
        sources.bySource[std::size_t(i)]->finish();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseTelemetryApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    readAndReplay(bytes);
    const QByteArray repaired = withChecksumsRepaired(bytes);
    if (repaired != bytes)
        readAndReplay(repaired);
    return 0;
}
