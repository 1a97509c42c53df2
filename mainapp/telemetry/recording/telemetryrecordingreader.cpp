#include "telemetryrecordingreader.h"

#include <QtEndian>

bool TelemetryRecordingReader::open(const QString &path, QString *error)
{
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, m_file.errorString());
        return false;
    }
    QByteArray header = m_file.read(TelemetryRecording::HeaderSizeV1);
    if (header.size() < TelemetryRecording::HeaderSizeV1 || !header.startsWith(TelemetryRecording::magic())) {
        *error = QStringLiteral("%1 is not a Kestrox telemetry recording").arg(path);
        m_file.close();
        return false;
    }
    const quint16 version = qFromLittleEndian<quint16>(header.constData() + 8);
    m_info = {};
    if (version == 1) {
        m_headerSize = TelemetryRecording::HeaderSizeV1;
    } else if (version == 2) {
        m_headerSize = TelemetryRecording::HeaderSize;
        header += m_file.read(m_headerSize - header.size());
        if (header.size() < m_headerSize) {
            *error = QStringLiteral("%1 is not a Kestrox telemetry recording").arg(path);
            m_file.close();
            return false;
        }
        m_info.programVersion = qFromLittleEndian<quint32>(header.constData() + 12);
        m_info.startedAtMs = qFromLittleEndian<qint64>(header.constData() + 16);
    } else {
        *error = QStringLiteral("%1 is a telemetry recording of version %2, which this program cannot read")
                     .arg(path)
                     .arg(version);
        m_file.close();
        return false;
    }
    rewind();
    return true;
}

void TelemetryRecordingReader::rewind()
{
    m_offset = m_headerSize;
    m_entryNumber = 0;
    m_damage.clear();
    m_file.seek(m_offset);
}

TelemetryRecordingReader::Result TelemetryRecordingReader::next(RawTelemetryEntry &entry)
{
    using namespace TelemetryRecording;
    if (!m_damage.isEmpty())
        return Damaged;
    if (!m_file.isOpen())
        return End;
    const auto damaged = [&](const QString &what) {
        m_damage = QStringLiteral("entry %1 at offset %2: %3").arg(m_entryNumber + 1).arg(m_offset).arg(what);
        return Damaged;
    };
    char head[EntryHeaderSize];
    const qint64 got = m_file.read(head, EntryHeaderSize);
    if (got == 0 && m_file.atEnd())
        return End;
    if (got < EntryHeaderSize)
        return damaged(QStringLiteral("the file ends inside the entry"));
    const quint32 length = qFromLittleEndian<quint32>(head + 8);
    if (length > quint32(MaxPayload))
        return damaged(QStringLiteral("impossible length %1").arg(length));
    // Payload and checksum together; the entry's bytes are checked before anything is taken from them.
    QByteArray rest = m_file.read(qint64(length) + ChecksumSize);
    if (rest.size() < qsizetype(length) + ChecksumSize)
        return damaged(QStringLiteral("the file ends inside the entry"));
    QByteArray checked(head, EntryHeaderSize);
    checked.append(rest.constData(), qsizetype(length));
    if (checksum(checked.constData(), checked.size()) != qFromLittleEndian<quint32>(rest.constData() + length))
        return damaged(QStringLiteral("checksum mismatch"));
    const quint8 source = quint8(head[4]);
    const quint8 kind = quint8(head[5]);
    if (source == 0 || source >= Telemetry::SourceCount || kind > RawTelemetryEntry::SimConnectMessage)
        return damaged(QStringLiteral("unknown source %1 or kind %2").arg(source).arg(kind));

    entry.timeMs = qFromLittleEndian<quint32>(head);
    entry.source = Telemetry::Source(source);
    entry.kind = RawTelemetryEntry::Kind(kind);
    entry.port = qFromLittleEndian<quint16>(head + 6);
    rest.truncate(qsizetype(length));
    entry.payload = std::move(rest);
    m_offset += EntryHeaderSize + qint64(length) + ChecksumSize;
    ++m_entryNumber;
    return Entry;
}
