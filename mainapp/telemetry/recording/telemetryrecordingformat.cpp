#include "telemetryrecordingformat.h"

#include <QDateTime>
#include <QtEndian>

#include <zlib.h>

QByteArray TelemetryRecording::magic()
{
    return QByteArrayLiteral("KXTELREC");
}

quint32 TelemetryRecording::checksum(const char *data, qsizetype size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes its lengths as uInt: feed a large payload in pieces.
    while (size > 0) {
        const auto piece = uInt(std::min<qsizetype>(size, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data), piece);
        data += piece;
        size -= piece;
    }
    return quint32(crc);
}

TelemetryRecordingInfo TelemetryRecordingInfo::now()
{
    return {quint32(KESTROX_RELEASE), QDateTime::currentMSecsSinceEpoch()};
}

QByteArray telemetryRecordingHeader(const TelemetryRecordingInfo &info)
{
    QByteArray header = TelemetryRecording::magic();
    header.resize(TelemetryRecording::HeaderSize, '\0');
    qToLittleEndian<quint16>(TelemetryRecording::Version, header.data() + 8);
    qToLittleEndian<quint32>(info.programVersion, header.data() + 12);
    qToLittleEndian<qint64>(info.startedAtMs, header.data() + 16);
    return header;
}

QByteArray encodeTelemetryEntry(const RawTelemetryEntry &entry)
{
    using namespace TelemetryRecording;
    QByteArray bytes(EntryHeaderSize, '\0');
    qToLittleEndian<quint32>(entry.timeMs, bytes.data());
    bytes[4] = char(entry.source);
    bytes[5] = char(entry.kind);
    qToLittleEndian<quint16>(entry.port, bytes.data() + 6);
    qToLittleEndian<quint32>(quint32(entry.payload.size()), bytes.data() + 8);
    bytes.append(entry.payload);
    char crc[ChecksumSize];
    qToLittleEndian<quint32>(checksum(bytes.constData(), bytes.size()), crc);
    bytes.append(crc, ChecksumSize);
    return bytes;
}
