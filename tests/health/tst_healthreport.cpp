// The report's two forms, the program's own checks, and the JSON that
// kestrox-vantrell --doctor --json prints, checked against its schema.
#include "healthcheck.h"
#include "programchecks.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Status = HealthCheck::Status;

HealthCheck check(const QString &id, Status status, const QString &summary, const QString &details = {},
                  const QString &fix = {})
{
    HealthCheck c;
    c.id = id;
    c.status = status;
    c.summary = summary;
    c.details = details;
    c.fix = fix;
    return c;
}

HealthCheck find(const QList<HealthCheck> &checks, const QString &id)
{
    for (const HealthCheck &c : checks)
        if (c.id == id)
            return c;
    return {};
}

QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString file = it.next();
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        files.insert(file.mid(root.size()), f.readAll());
    }
    return files;
}

} // namespace

class TestHealthReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    HealthEnvironment environment() const
    {
        HealthEnvironment env;
        env.procRoot = m_dir.filePath(QStringLiteral("proc"));
        env.runtimeFolder = m_dir.filePath(QStringLiteral("run"));
        env.stateFolder = m_dir.filePath(QStringLiteral("state"));
        env.dataFolder = m_dir.filePath(QStringLiteral("data/kestrox"));
        env.ownPid = 4242;
        QDir().mkpath(env.runtimeFolder);
        QDir().mkpath(env.procRoot);
        return env;
    }

private slots:
    // Both forms of the same checks; any problem sets the exit status.
    void textJsonAndExitStatus()
    {
        const QList<HealthCheck> checks = {
            check(QStringLiteral("udev.rule"), Status::Ok, QStringLiteral("the rule is there")),
            check(QStringLiteral("device.rudder"), Status::Warning, QStringLiteral("Rudder not connected"),
                  QStringLiteral("looked in /sys"), QStringLiteral("plug it in")),
            check(QStringLiteral("a.very.long.check.id"), Status::Problem,
                  QStringLiteral("Condor 2 is not set up"), QStringLiteral("a: one\nb: two"),
                  QStringLiteral("kestrox-vantrell --setup-simulator condor2"))};
        QCOMPARE(HealthReport::text(checks),
                 QStringLiteral(
                     "ok      udev.rule          the rule is there\n"
                     "warning device.rudder      Rudder not connected (looked in /sys) -- fix: plug it in\n"
                     "problem a.very.long.check.id Condor 2 is not set up (a: one; b: two) -- fix: "
                     "kestrox-vantrell --setup-simulator condor2\n"));
        QCOMPARE(
            QJsonDocument(HealthReport::toJson(checks.first(2))).toJson(QJsonDocument::Compact),
            QByteArray(
                R"([{"details":"","fix":"","id":"udev.rule","status":"ok","summary":"the rule is there"},)"
                R"({"details":"looked in /sys","fix":"plug it in","id":"device.rudder",)"
                R"("status":"warning","summary":"Rudder not connected"}])"));
        QCOMPARE(HealthReport::exitStatus(checks.first(2)), 0);
        QCOMPARE(HealthReport::exitStatus(checks), 1);
    }

    // The devices' lock: none, this process's, another live instance's, left by an ended one.
    void instanceLock()
    {
        HealthEnvironment env = environment();
        const auto instance = [&env] {
            return find(ProgramChecks::run(env), QStringLiteral("program.instance"));
        };
        QCOMPARE(instance().summary, QStringLiteral("no kestrox-vantrell holds the devices' lock"));
        QLockFile lock(env.runtimeFolder + QStringLiteral("/kestrox-vantrell.lock"));
        QVERIFY(lock.tryLock());
        const qint64 self = QCoreApplication::applicationPid();
        env.ownPid = self;
        QCOMPARE(instance().summary, QStringLiteral("this kestrox-vantrell holds the devices' lock"));
        env.ownPid = 4242;

        const QString process = env.procRoot + QStringLiteral("/%1").arg(self);
        const auto commandLine = [&process](const QByteArray &bytes) {
            QDir().mkpath(process);
            QFile file(process + QStringLiteral("/cmdline"));
            return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
        };
        QVERIFY(commandLine(QByteArray("/usr/bin/kestrox-vantrell\0--user-data-folder\0", 45)));
        QCOMPARE(instance().status, Status::Warning);
        QCOMPARE(instance().summary,
                 QStringLiteral("another kestrox-vantrell (kestrox-vantrell, process %1) holds "
                                "the devices' lock; a new start hands its request over to it")
                     .arg(self));
        // The number taken by another program since: stale.
        QVERIFY(commandLine(QByteArray("/usr/lib/firefox/firefox\0", 25)));
        QCOMPARE(instance().summary,
                 QStringLiteral("the devices' lock was left by process %1, which has ended (the "
                                "number now belongs to firefox); the next start takes it over")
                     .arg(self));
        QVERIFY(QDir(process).removeRecursively());
        QCOMPARE(instance().summary,
                 QStringLiteral("the devices' lock was left by process %1, which has ended; the "
                                "next start takes it over")
                     .arg(self));
    }

    void dataFolder()
    {
        const HealthEnvironment env = environment();
        const auto folder = [&env] {
            return find(ProgramChecks::run(env), QStringLiteral("program.datafolder"));
        };
        QVERIFY2(folder().summary.contains(QStringLiteral("does not exist yet")),
                 qPrintable(folder().summary));

        QVERIFY(QDir().mkpath(env.dataFolder));
        QCOMPARE(folder().summary, QStringLiteral("the data folder %1 is writable").arg(env.dataFolder));
        QCOMPARE(QDir(env.dataFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList()); // asked of the kernel, not by writing a file

        // Not writable for this process (as another user where the test runs as root).
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_dir.filePath(QStringLiteral("data"))).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(env.dataFolder).constData(), 0555) == 0);
        const bool root = ::geteuid() == 0;
        if (root) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
        const HealthCheck notWritable = folder();
        if (root) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        ::chmod(QFile::encodeName(env.dataFolder).constData(), 0755);
        QCOMPARE(notWritable.status, Status::Problem);
        QCOMPARE(notWritable.summary,
                 QStringLiteral("the data folder %1 is not writable: profiles cannot be saved")
                     .arg(env.dataFolder));
        QCOMPARE(notWritable.fix,
                 QStringLiteral("make it yours: sudo chown -R \"$USER\" '%1' && chmod u+rwx '%1'")
                     .arg(env.dataFolder));

        QVERIFY(QDir(env.dataFolder).removeRecursively());
        QFile file(env.dataFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(folder().status, Status::Problem); // a file where the folder should be
        QVERIFY(file.remove());
    }

    // The last update check, as the window keeps it; only a newer version not installed is a warning.
    void updateCheck_data()
    {
        using Outcome = UpdateCheckResult::Outcome;
        QTest::addColumn<int>("outcome"); // -1: no check yet
        QTest::addColumn<double>("published");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("summary"); // %1: the check's local time
        QTest::newRow("never") << -1 << 0.0 << QString()
                               << "no update check has run yet; the window asks at its start";
        QTest::newRow("current") << int(Outcome::Current) << 240626.0 << QString()
                                 << "up to date at the last update check (%1)";
        QTest::newRow("newer") << int(Outcome::Newer) << 240701.0 << QString()
                               << "version 240701 is published (update check of %1)";
        QTest::newRow("newer, installed since")
            << int(Outcome::Newer) << 240626.0 << QString()
            << "up to date: the last update check (%1) found version 240626, which is installed";
        QTest::newRow("failed")
            << int(Outcome::Failed) << 0.0 << "HostNotFoundError"
            << "the last update check (%1) could not reach the update host: HostNotFoundError";
    }
    void updateCheck()
    {
        QFETCH(int, outcome);
        QFETCH(double, published);
        QFETCH(QString, error);
        QFETCH(QString, summary);
        const HealthEnvironment env = environment();
        QFile::remove(UpdateCheckResult::filePath(env.stateFolder));
        const QDateTime at(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);
        if (outcome >= 0) {
            const UpdateCheckResult result{at, UpdateCheckResult::Outcome(outcome), published, error};
            QVERIFY(result.write(env.stateFolder));
        }
        const HealthCheck update = find(ProgramChecks::run(env), QStringLiteral("program.update"));
        QCOMPARE(update.status, summary.startsWith(QLatin1String("version")) ? Status::Warning : Status::Ok);
        QCOMPARE(update.summary, summary.contains(QLatin1String("%1"))
                                     ? summary.arg(at.toLocalTime().toString(Qt::ISODate))
                                     : summary);
    }

    // kestrox-vantrell --doctor --json on an empty home, without a display: objects of exactly the five
    // string keys, known statuses, unique ids, the exit status from the problems, nothing written.
    void doctorJsonSchema()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME",
                                     "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.remove(QLatin1String(variable));
        env.insert(QStringLiteral("HOME"), home.path());
        const auto before = snapshot(home.path());
        QProcess doctor;
        doctor.setProcessEnvironment(env);
        doctor.start(QStringLiteral(KESTROX_VANTRELL_BINARY),
                     {QStringLiteral("--doctor"), QStringLiteral("--json")});
        QVERIFY(doctor.waitForFinished(30000));
        QCOMPARE(doctor.exitStatus(), QProcess::NormalExit);

        QJsonParseError parseError;
        const QJsonArray checks =
            QJsonDocument::fromJson(doctor.readAllStandardOutput(), &parseError).array();
        QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
        const QStringList keys = {QStringLiteral("details"), QStringLiteral("fix"), QStringLiteral("id"),
                                  QStringLiteral("status"), QStringLiteral("summary")};
        const QStringList statuses = {QStringLiteral("ok"), QStringLiteral("warning"),
                                      QStringLiteral("problem")};
        const QRegularExpression idPattern(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
        QStringList ids;
        bool problem = false;
        for (const QJsonValue &value : checks) {
            const QJsonObject object = value.toObject();
            QCOMPARE(object.keys(), keys);
            for (const QString &key : keys)
                QVERIFY2(object.value(key).isString(), qPrintable(key));
            const QString status = object.value(QLatin1String("status")).toString();
            QVERIFY2(statuses.contains(status), qPrintable(status));
            problem = problem || status == QLatin1String("problem");
            const QString id = object.value(QLatin1String("id")).toString();
            QVERIFY2(idPattern.match(id).hasMatch() && !ids.contains(id), qPrintable(id));
            ids.append(id);
            QVERIFY(!object.value(QLatin1String("summary")).toString().isEmpty());
        }
        for (const char *id :
             {"device.joystick", "device.rudder", "udev.rule", "simulator.dcs", "simulator.il2",
              "simulator.condor2", "simulator.msfs", "msfs.port", "port.dcs", "port.il2", "port.condor2",
              "program.instance", "program.datafolder", "program.update"})
            QVERIFY2(ids.contains(QLatin1String(id)), id);
        QCOMPARE(doctor.exitCode(), problem ? 1 : 0);

        // The text run: one line per check, in the same order.
        doctor.start(QStringLiteral(KESTROX_VANTRELL_BINARY), {QStringLiteral("--doctor")});
        QVERIFY(doctor.waitForFinished(30000));
        const QStringList lines =
            QString::fromUtf8(doctor.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), ids.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QCOMPARE(lines[i].section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty), ids[i]);
        QCOMPARE(snapshot(home.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestHealthReport)
#include "tst_healthreport.moc"
