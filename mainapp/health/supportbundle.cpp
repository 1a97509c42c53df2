#include "supportbundle.h"

#include "healthlogging.h"
#include "newfile.h"
#include "profilefile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>

#include <archive.h>
#include <archive_entry.h>
#include <hidapi.h>
#include <libusb.h>

#include <memory>

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

QString osRelease(const QString &file)
{
    QFile release(file);
    if (!release.open(QIODevice::ReadOnly))
        release.setFileName(QStringLiteral("/usr/lib/os-release"));
    if (!release.isOpen() && !release.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown (no os-release)");
    QString name;
    QString version;
    for (const QByteArray &line : release.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        const auto value = [&text](int at) {
            QString v = text.mid(at);
            if (v.size() >= 2 && (v.startsWith(QLatin1Char('"')) || v.startsWith(QLatin1Char('\''))))
                v = v.mid(1, v.size() - 2);
            return v;
        };
        if (text.startsWith(QLatin1String("PRETTY_NAME=")))
            name = value(12);
        else if (text.startsWith(QLatin1String("VERSION_ID=")))
            version = value(11);
    }
    if (name.isEmpty())
        return QStringLiteral("unknown");
    return version.isEmpty() || name.contains(version) ? name : QStringLiteral("%1 (%2)").arg(name, version);
}

class ArchiveWriter
{
public:
    ArchiveWriter() : m_archive(archive_write_new()) {}
    ~ArchiveWriter() { archive_write_free(m_archive); }
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    bool open(int fd)
    {
        return archive_write_add_filter_gzip(m_archive) == ARCHIVE_OK &&
               archive_write_set_format_pax_restricted(m_archive) == ARCHIVE_OK &&
               archive_write_open_fd(m_archive, fd) == ARCHIVE_OK;
    }

    bool add(const QString &name, const QByteArray &bytes)
    {
        if (!header(name, bytes.size()))
            return false;
        return bytes.isEmpty() ||
               archive_write_data(m_archive, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // A file as it is, read in chunks.
    bool addFile(const QString &name, const QString &path, QString *why)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        const qint64 size = file.size();
        if (!header(name, size))
            return false;
        qint64 left = size;
        while (left > 0) {
            const QByteArray chunk = file.read(qMin(left, ChunkSize));
            if (chunk.isEmpty()) {
                *why = QStringLiteral("%1 ended early").arg(path);
                return false;
            }
            if (archive_write_data(m_archive, chunk.constData(), size_t(chunk.size())) != chunk.size())
                return false;
            left -= chunk.size();
        }
        return true;
    }

    bool close() { return archive_write_close(m_archive) == ARCHIVE_OK; }
    QString error() const
    {
        const char *text = archive_error_string(m_archive);
        return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
    }

private:
    bool header(const QString &name, qint64 size)
    {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            archive_entry_free);
        const QByteArray path = (QLatin1String(SupportBundle::TopFolder) + QLatin1Char('/') + name).toUtf8();
        archive_entry_set_pathname(entry.get(), path.constData());
        archive_entry_set_size(entry.get(), size);
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_mtime(entry.get(), QDateTime::currentSecsSinceEpoch(), 0);
        return archive_write_header(m_archive, entry.get()) == ARCHIVE_OK;
    }

    archive *m_archive;
};

QString profileList(const SupportBundleOptions &options)
{
    QString text;
    for (const QString &folder : options.profileFolders) {
        const QDir dir(folder);
        const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        text += QStringLiteral("%1: %2\n")
                    .arg(folder, !dir.exists()     ? QStringLiteral("no such folder")
                                 : files.isEmpty() ? QStringLiteral("no profiles")
                                                   : QStringLiteral("%1 profiles").arg(files.size()));
        for (const QFileInfo &file : files)
            text += QStringLiteral("  %1\t%2 bytes\t%3\n")
                        .arg(file.fileName())
                        .arg(file.size())
                        .arg(file.lastModified().toString(Qt::ISODate));
    }
    text += QLatin1Char('\n');
    if (options.currentProfileJson.isEmpty())
        text +=
            QStringLiteral("current profile: not known here (written without the window; the Health tab's "
                           "button adds it)\n");
    else
        text += QStringLiteral("current profile: %1 (in current-profile.json)\n")
                    .arg(options.currentProfileName.isEmpty() ? QStringLiteral("not saved yet")
                                                              : options.currentProfileName);
    return text;
}

} // namespace

namespace SupportBundle {

QString withoutHome(const QString &text, const QString &home)
{
    const QString cleaned = QDir::cleanPath(home);
    if (cleaned.isEmpty() || cleaned == QLatin1String("/"))
        return text;
    // A home folder reached through a link (/home -> /var/home) is named
    // both ways in the logs.
    QStringList homes{cleaned};
    const QString real = QFileInfo(cleaned).canonicalFilePath();
    if (!real.isEmpty() && real != cleaned && real != QLatin1String("/"))
        homes.prepend(real);
    // Only the whole folder: not /home/al inside /home/alice or /srv/home/al.
    static const QString nameCharacter = QStringLiteral("[\\p{L}\\p{M}\\p{N}_.~+@-]");
    QString result = text;
    for (const QString &folder : homes) {
        const QRegularExpression mention(QStringLiteral("(?<!%1)").arg(nameCharacter) +
                                         QRegularExpression::escape(folder) +
                                         QStringLiteral("(?!%1)").arg(nameCharacter));
        result.replace(mention, QStringLiteral("~"));
    }
    return result;
}

QStringList defaultProfileFolders(const HealthEnvironment &env)
{
    QStringList folders;
    for (const QString &folder : {env.dataFolder, env.workingFolder}) {
        if (folder.isEmpty())
            continue;
        const QString profiles = QDir::cleanPath(folder + QLatin1Char('/') + profileDirectoryName());
        if (!folders.contains(profiles))
            folders.append(profiles);
    }
    return folders;
}

QString versions(const QString &kernelRelease, const QString &osReleaseFile)
{
    const libusb_version *usb = libusb_get_version();
    return QStringLiteral("kestrox-vantrell: %1\n").arg(KESTROX_RELEASE) +
           QStringLiteral("Qt: %1 (built with %2)\n")
               .arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR)) +
           QStringLiteral("hidapi: %1 (built with %2)\n")
               .arg(QLatin1String(hid_version_str()), QLatin1String(HID_API_VERSION_STR)) +
           QStringLiteral("libusb: %1.%2.%3.%4\n")
               .arg(usb->major)
               .arg(usb->minor)
               .arg(usb->micro)
               .arg(usb->nano) +
           QStringLiteral("libarchive: %1\n").arg(QLatin1String(archive_version_string())) +
           QStringLiteral("kernel: %1\n")
               .arg(kernelRelease.isEmpty() ? QStringLiteral("unknown") : kernelRelease) +
           QStringLiteral("distribution: %1\n").arg(osRelease(osReleaseFile));
}

bool write(const SupportBundleOptions &options, QString *error)
{
    const HealthEnvironment &env = options.environment;
    const QString exists =
        QStringLiteral("%1 exists already; a support bundle never overwrites a file, choose another name")
            .arg(options.path);
    // Written beside its name and named only when whole: an interrupted
    // bundle leaves no half archive, and a file that appeared meanwhile is kept.
    NewFile file(options.path);
    QString why;
    const auto failed = [&](NewFile::Result result) {
        if (result == NewFile::Result::Done)
            return false;
        *error = result == NewFile::Result::Exists ? exists : why;
        return true;
    };
    if (failed(file.open(&why)))
        return false;
    const auto text = [&env](const QString &content) { return withoutHome(content, env.home).toUtf8(); };

    bool ok = false;
    {
        ArchiveWriter archive;
        ok = archive.open(file.handle());
        ok = ok && archive.add(QStringLiteral("doctor.txt"), text(HealthReport::text(options.checks)));
        ok = ok && archive.add(
                       QStringLiteral("doctor.json"),
                       text(QString::fromUtf8(QJsonDocument(HealthReport::toJson(options.checks)).toJson())));
        ok = ok && archive.add(QStringLiteral("versions.txt"),
                               text(versions(env.kernelRelease, options.osReleaseFile)));
        for (const QString &log :
             {QStringLiteral("kestrox-vantrell.log.1"), QStringLiteral("kestrox-vantrell.log")}) {
            QFile logFile(env.stateFolder + QLatin1Char('/') + log);
            if (ok && logFile.open(QIODevice::ReadOnly))
                ok = archive.add(QStringLiteral("log/") + log, text(QString::fromUtf8(logFile.readAll())));
        }
        ok = ok && archive.add(QStringLiteral("profiles.txt"), text(profileList(options)));
        if (ok && !options.currentProfileJson.isEmpty())
            ok = archive.add(QStringLiteral("current-profile.json"),
                             text(QString::fromUtf8(options.currentProfileJson)));
        if (ok && !options.recordingPath.isEmpty())
            ok = archive.addFile(QStringLiteral("recording/") + QFileInfo(options.recordingPath).fileName(),
                                 options.recordingPath, &why);
        ok = ok && archive.close();
        if (!ok && why.isEmpty())
            why = archive.error();
    }
    if (!ok) {
        *error = QStringLiteral("cannot write %1: %2").arg(options.path, why);
        return false;
    }
    if (failed(file.commit(&why)))
        return false;
    qCInfo(lcHealth).noquote() << "support bundle written to" << options.path;
    return true;
}

} // namespace SupportBundle
