// The support bundle read back with libarchive: its files, their contents
// with the home folder as "~", a recording only when asked, and no file
// ever overwritten.
#include "supportbundle.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>

namespace {

// Every entry of a .tar.gz with its bytes, in order.
QList<std::pair<QString, QByteArray>> readArchive(const QString &path)
{
    QList<std::pair<QString, QByteArray>> entries;
    archive *reader = archive_read_new();
    archive_read_support_filter_gzip(reader);
    archive_read_support_format_tar(reader);
    archive_entry *entry = nullptr;
    if (archive_read_open_filename(reader, QFile::encodeName(path).constData(), 10240) == ARCHIVE_OK)
        while (archive_read_next_header(reader, &entry) == ARCHIVE_OK) {
            QByteArray bytes(archive_entry_size(entry), Qt::Uninitialized);
            if (!bytes.isEmpty())
                archive_read_data(reader, bytes.data(), size_t(bytes.size()));
            entries.append({QString::fromUtf8(archive_entry_pathname(entry)), bytes});
        }
    archive_read_free(reader);
    return entries;
}

QByteArray entry(const QList<std::pair<QString, QByteArray>> &entries, const QString &name)
{
    for (const auto &[path, bytes] : entries)
        if (path == QStringLiteral("kestrox-support/") + name)
            return bytes;
    return {};
}

} // namespace

class TestSupportBundle : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    SupportBundleOptions options(const QString &bundle) const
    {
        const QString home = path(QStringLiteral("home/ann"));
        SupportBundleOptions o;
        o.path = path(bundle);
        o.environment.home = home;
        o.environment.kernelRelease = QStringLiteral("6.1.0-test");
        o.environment.stateFolder = home + QStringLiteral("/.local/state/kestrox");
        o.environment.dataFolder = home + QStringLiteral("/.local/share/kestrox");
        o.environment.workingFolder = path(QStringLiteral("work"));
        o.profileFolders = SupportBundle::defaultProfileFolders(o.environment);
        HealthCheck joystick;
        joystick.id = QStringLiteral("device.joystick");
        joystick.status = HealthCheck::Status::Problem;
        joystick.summary = QStringLiteral("cannot open");
        joystick.details = QStringLiteral("rule in %1/rules").arg(home);
        o.checks = {joystick};
        o.osReleaseFile = path(QStringLiteral("os-release"));
        return o;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QByteArray home = path(QStringLiteral("home/ann")).toUtf8();
        write(QStringLiteral("home/ann/.local/state/kestrox/kestrox-vantrell.log"),
              "2026-03-14T09:26:53.000 warning kestrox.telemetry: " + home +
                  "/.local/share/kestrox/SimConnect.cfg "
                  "names no TCP address\n");
        write(QStringLiteral("home/ann/.local/state/kestrox/kestrox-vantrell.log.1"), "older lines\n");
        write(QStringLiteral("home/ann/.local/share/kestrox/effect_profiles/DCS_F_16C_50_.json"), "{}");
        write(QStringLiteral("home/ann/.local/share/kestrox/effect_profiles/IL2_SHTURMOVIK_Bf_109_.json"),
              "{}");
        write(QStringLiteral("os-release"),
              "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
              "VERSION_ID=\"12\"\n");
        write(QStringLiteral("flight.kxrec"), QByteArray("KXREC\0\x01\x02", 8) + home);
    }

    void filesAndContents()
    {
        SupportBundleOptions o = options(QStringLiteral("bundle.tar.gz"));
        o.currentProfileName = QStringLiteral("DCS_F_16C_50_.json");
        o.currentProfileJson =
            "{\"metadata\": {\"comment\": \"from " + path(QStringLiteral("home/ann")).toUtf8() + "\"}}";
        QString error;
        QVERIFY2(SupportBundle::write(o, &error), qPrintable(error));
        const auto entries = readArchive(o.path);
        QStringList names;
        for (const auto &e : entries)
            names.append(e.first);
        QCOMPARE(names, (QStringList{QStringLiteral("kestrox-support/doctor.txt"),
                                     QStringLiteral("kestrox-support/doctor.json"),
                                     QStringLiteral("kestrox-support/versions.txt"),
                                     QStringLiteral("kestrox-support/log/kestrox-vantrell.log.1"),
                                     QStringLiteral("kestrox-support/log/kestrox-vantrell.log"),
                                     QStringLiteral("kestrox-support/profiles.txt"),
                                     QStringLiteral("kestrox-support/current-profile.json")}));
        // Every text with the home folder as "~".
        for (const auto &[name, bytes] : entries)
            QVERIFY2(!bytes.contains(path(QStringLiteral("home/ann/")).toUtf8()), qPrintable(name));
        QCOMPARE(entry(entries, QStringLiteral("doctor.txt")),
                 QByteArray("problem device.joystick    cannot open (rule in ~/rules)\n"));
        const QJsonArray json =
            QJsonDocument::fromJson(entry(entries, QStringLiteral("doctor.json"))).array();
        QCOMPARE(json.at(0)[QLatin1String("details")].toString(), QStringLiteral("rule in ~/rules"));
        const QString versions = QString::fromUtf8(entry(entries, QStringLiteral("versions.txt")));
        for (const char *line : {"kestrox-vantrell: 240626\n", "\nQt: 6.", "\nhidapi: 0.", "\nlibusb: 1.",
                                 "\nlibarchive: libarchive 3.", "\nkernel: 6.1.0-test\n",
                                 "\ndistribution: Debian GNU/Linux 12 (bookworm)\n"})
            QVERIFY2(versions.contains(QLatin1String(line)), qPrintable(versions));
        QCOMPARE(entry(entries, QStringLiteral("log/kestrox-vantrell.log")),
                 QByteArray("2026-03-14T09:26:53.000 warning kestrox.telemetry: "
                            "~/.local/share/kestrox/SimConnect.cfg names no TCP address\n"));
        const QByteArray profiles = entry(entries, QStringLiteral("profiles.txt"));
        QVERIFY2(profiles.startsWith(
                     "~/.local/share/kestrox/effect_profiles: 2 profiles\n  DCS_F_16C_50_.json\t2 bytes\t"),
                 profiles.constData());
        QVERIFY(
            profiles.contains(path(QStringLiteral("work/effect_profiles")).toUtf8() + ": no such folder\n"));
        QVERIFY(profiles.contains("current profile: DCS_F_16C_50_.json (in current-profile.json)\n"));
        QCOMPARE(entry(entries, QStringLiteral("current-profile.json")),
                 QByteArray("{\"metadata\": {\"comment\": \"from ~\"}}"));
    }

    // A recording only when asked, byte for byte; no current profile without the window.
    void recordingWhenAsked()
    {
        SupportBundleOptions o = options(QStringLiteral("with-recording.tar.gz"));
        o.recordingPath = path(QStringLiteral("flight.kxrec"));
        QString error;
        QVERIFY2(SupportBundle::write(o, &error), qPrintable(error));
        const auto entries = readArchive(o.path);
        QCOMPARE(entries.last().first, QStringLiteral("kestrox-support/recording/flight.kxrec"));
        QCOMPARE(entries.last().second,
                 QByteArray("KXREC\0\x01\x02", 8) + path(QStringLiteral("home/ann")).toUtf8());
        QVERIFY(entry(entries, QStringLiteral("current-profile.json")).isNull());
        QVERIFY(entry(entries, QStringLiteral("profiles.txt")).contains("current profile: not known here"));
    }

    void existingFileRefused()
    {
        write(QStringLiteral("taken.tar.gz"), "mine");
        QString error;
        QVERIFY(!SupportBundle::write(options(QStringLiteral("taken.tar.gz")), &error));
        QCOMPARE(
            error,
            QStringLiteral("%1 exists already; a support bundle never overwrites a file, choose another name")
                .arg(path(QStringLiteral("taken.tar.gz"))));
        QFile file(path(QStringLiteral("taken.tar.gz")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("mine"));
    }

    // A recording that cannot be read: the half-written bundle does not stay, nor its temporary file.
    void failureLeavesNothing()
    {
        SupportBundleOptions o = options(QStringLiteral("broken.tar.gz"));
        o.recordingPath = path(QStringLiteral("missing.kxrec"));
        QString error;
        QVERIFY(!SupportBundle::write(o, &error));
        QVERIFY2(error.contains(QStringLiteral("cannot read %1").arg(o.recordingPath)), qPrintable(error));
        const QStringList left = QDir(path(QString())).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(left.filter(QStringLiteral("broken")).isEmpty(), qPrintable(left.join(u' ')));
        o.path = path(QStringLiteral("no/such/folder/bundle.tar.gz"));
        o.recordingPath.clear();
        QVERIFY(!SupportBundle::write(o, &error));
        QVERIFY2(error.startsWith(QStringLiteral("cannot create ")), qPrintable(error));
    }

    // Only the whole home folder, with or without its last slash, becomes "~".
    void withoutHome_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside, itself, quoted, in a URL")
            << "home /home/ann: '/home/ann/a b' file:///home/ann/c \"/home/ann\""
            << "home ~: '~/a b' file://~/c \"~\"";
        QTest::newRow("longer name, not ASCII") << "/home/anna/x /home/annë/x /home/ann+b /home/ann_2"
                                                << "/home/anna/x /home/annë/x /home/ann+b /home/ann_2";
        QTest::newRow("inside another folder") << "/mnt/old/home/ann/x and /srv/home/ann"
                                               << "/mnt/old/home/ann/x and /srv/home/ann";
    }
    void withoutHome()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(SupportBundle::withoutHome(text, QStringLiteral("/home/ann")), expected);
        QCOMPARE(SupportBundle::withoutHome(text, QStringLiteral("/home/ann/")), expected);
    }

    // A home reached through a link is named both ways.
    void homeThroughALink()
    {
        const QString real = path(QStringLiteral("var/home/ann"));
        const QString link = path(QStringLiteral("home-ann"));
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::link(real, link));
        QCOMPARE(SupportBundle::withoutHome(QFileInfo(real).canonicalFilePath() + QStringLiteral("/x and ") +
                                                link + QStringLiteral("/y"),
                                            link),
                 QStringLiteral("~/x and ~/y"));
    }

    // kestrox-vantrell --support-bundle without a display (tst_commandline has it refuse a file).
    void commandLine()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME",
                                     "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
            env.remove(QLatin1String(variable));
        env.insert(QStringLiteral("HOME"), home.path());
        const QString bundle = home.filePath(QStringLiteral("help.tar.gz"));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KESTROX_VANTRELL_BINARY),
                      {QStringLiteral("--support-bundle"), bundle, QStringLiteral("--include-recording"),
                       path(QStringLiteral("flight.kxrec"))});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(),
                 QByteArray("kestrox-vantrell: support bundle written to ") + bundle.toUtf8() + '\n');
        const auto entries = readArchive(bundle);
        QCOMPARE(entries.size(), 5); // doctor.txt, doctor.json, versions.txt, profiles.txt, the recording
        QVERIFY(entry(entries, QStringLiteral("doctor.txt")).contains("program.datafolder"));
    }
};

QTEST_GUILESS_MAIN(TestSupportBundle)
#include "tst_supportbundle.moc"
