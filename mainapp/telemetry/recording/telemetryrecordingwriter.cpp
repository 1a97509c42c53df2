#include "telemetryrecordingwriter.h"

#include <unistd.h>

bool TelemetryRecordingWriter::open(const QString &path, QString *error, const TelemetryRecordingInfo &info)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QFile::exists(path) ? QStringLiteral("%1 already exists; recordings are never overwritten, "
                                                      "choose another file name")
                                           .arg(path)
                                     : QStringLiteral("cannot create %1: %2").arg(path, m_file.errorString());
        return false;
    }
    const QByteArray header = telemetryRecordingHeader(info);
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

void TelemetryRecordingWriter::flush()
{
    if (m_file.isOpen())
        m_file.flush();
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
