#include "telemetryrecording.h"

#include <QtEndian>

#include <array>
#include <unistd.h>

namespace {

constexpr char Magic[8] = {'K', 'X', 'T', 'E', 'L', 'R', 'E', 'C'};
constexpr qsizetype EntryHeaderSize = 12; // time, source, kind, port, length
constexpr qsizetype ChecksumSize = 4;

quint32 crc32(const char *data, qsizetype size)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool knownKind(quint8 kind)
{
    return kind <= RawTelemetryEntry::SimConnectMessage;
}

} // namespace

QByteArray telemetryRecordingHeader()
{
    QByteArray header(Magic, sizeof Magic);
    char version[2];
    qToLittleEndian<quint16>(TelemetryRecording::Version, version);
    header.append(version, 2);
    header.append(2, '\0');
    return header;
}

QByteArray encodeTelemetryEntry(const RawTelemetryEntry &entry)
{
    QByteArray bytes(EntryHeaderSize, '\0');
    qToLittleEndian<quint32>(entry.timeMs, bytes.data());
    bytes[4] = char(entry.source);
    bytes[5] = char(entry.kind);
    qToLittleEndian<quint16>(entry.port, bytes.data() + 6);
    qToLittleEndian<quint32>(quint32(entry.payload.size()), bytes.data() + 8);
    bytes.append(entry.payload);
    char checksum[4];
    qToLittleEndian<quint32>(crc32(bytes.constData(), bytes.size()), checksum);
    bytes.append(checksum, 4);
    return bytes;
}

bool TelemetryRecordingWriter::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QFile::exists(path) ? QStringLiteral("%1 already exists; recordings are never overwritten, "
                                                      "choose another file name")
                                           .arg(path)
                                     : QStringLiteral("cannot create %1: %2").arg(path, m_file.errorString());
        return false;
    }
    const QByteArray header = telemetryRecordingHeader();
    if (m_file.write(header) != header.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        m_file.close();
        return false;
    }
    return true;
}

bool TelemetryRecordingWriter::append(const RawTelemetryEntry &entry)
{
    if (!m_file.isOpen() || entry.payload.size() > TelemetryRecording::MaxPayload)
        return false;
    const QByteArray bytes = encodeTelemetryEntry(entry);
    return m_file.write(bytes) == bytes.size();
}

void TelemetryRecordingWriter::sync()
{
    if (!m_file.isOpen())
        return;
    m_file.flush();
    ::fdatasync(m_file.handle());
}

void TelemetryRecordingWriter::close()
{
    sync();
    m_file.close();
}

bool TelemetryRecordingReader::open(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    m_data = file.readAll();
    if (m_data.size() < TelemetryRecording::HeaderSize || !m_data.startsWith(QByteArray(Magic, sizeof Magic))) {
        *error = QStringLiteral("%1 is not a Kestrox telemetry recording").arg(path);
        return false;
    }
    const quint16 version = qFromLittleEndian<quint16>(m_data.constData() + 8);
    if (version != TelemetryRecording::Version) {
        *error = QStringLiteral("%1 is a telemetry recording of version %2, which this program cannot read")
                     .arg(path)
                     .arg(version);
        return false;
    }
    rewind();
    return true;
}

void TelemetryRecordingReader::rewind()
{
    m_offset = TelemetryRecording::HeaderSize;
    m_entryNumber = 0;
    m_damage.clear();
}

TelemetryRecordingReader::Result TelemetryRecordingReader::next(RawTelemetryEntry &entry)
{
    if (!m_damage.isEmpty())
        return Damaged;
    if (m_offset == m_data.size())
        return End;
    const auto damaged = [&](const QString &what) {
        m_damage = QStringLiteral("entry %1 at offset %2: %3").arg(m_entryNumber + 1).arg(m_offset).arg(what);
        return Damaged;
    };
    const qsizetype left = m_data.size() - m_offset;
    if (left < EntryHeaderSize)
        return damaged(QStringLiteral("the file ends inside the entry"));
    const char *p = m_data.constData() + m_offset;
    const quint32 length = qFromLittleEndian<quint32>(p + 8);
    if (length > quint32(TelemetryRecording::MaxPayload))
        return damaged(QStringLiteral("impossible length %1").arg(length));
    const qsizetype total = EntryHeaderSize + qsizetype(length) + ChecksumSize;
    if (left < total)
        return damaged(QStringLiteral("the file ends inside the entry"));
    if (crc32(p, total - ChecksumSize) != qFromLittleEndian<quint32>(p + total - ChecksumSize))
        return damaged(QStringLiteral("checksum mismatch"));
    const quint8 source = quint8(p[4]);
    const quint8 kind = quint8(p[5]);
    if (source == 0 || source >= Telemetry::SourceCount || !knownKind(kind))
        return damaged(QStringLiteral("unknown source %1 or kind %2").arg(source).arg(kind));

    entry.timeMs = qFromLittleEndian<quint32>(p);
    entry.source = Telemetry::Source(source);
    entry.kind = RawTelemetryEntry::Kind(kind);
    entry.port = qFromLittleEndian<quint16>(p + 6);
    entry.payload = QByteArray(p + EntryHeaderSize, qsizetype(length));
    m_offset += total;
    ++m_entryNumber;
    return Entry;
}
