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
    void textLine_data()
    {
        QTest::addColumn<HealthCheck>("check");
        QTest::addColumn<QString>("line");
        QTest::newRow("ok") << check(QStringLiteral("udev.rule"), Status::Ok,
                                     QStringLiteral("the rule is there"))
                            << "ok      udev.rule          the rule is there";
        QTest::newRow("warning with details")
            << check(QStringLiteral("device.rudder"), Status::Warning, QStringLiteral("Rudder not connected"),
                     QStringLiteral("looked in /sys"))
            << "warning device.rudder      Rudder not connected (looked in /sys)";
        QTest::newRow("problem with lines and a fix")
            << check(QStringLiteral("simulator.condor2"), Status::Problem,
                     QStringLiteral("Condor 2 is not set up"), QStringLiteral("a: one\nb: two"),
                     QStringLiteral("kestrox-vantrell --setup-simulator condor2"))
            << "problem simulator.condor2  Condor 2 is not set up (a: one; b: two) -- fix: kestrox-vantrell "
               "--setup-simulator condor2";
        QTest::newRow("long id") << check(QStringLiteral("a.very.long.check.id"), Status::Ok,
                                          QStringLiteral("fine"))
                                 << "ok      a.very.long.check.id fine";
    }
    void textLine()
    {
        QFETCH(HealthCheck, check);
        QFETCH(QString, line);
        QCOMPARE(HealthReport::textLine(check), line);
    }

    void jsonAndExitStatus()
    {
        const QList<HealthCheck> warnings = {check(QStringLiteral("a"), Status::Ok, QStringLiteral("s1")),
                                             check(QStringLiteral("b"), Status::Warning, QStringLiteral("s2"),
                                                   QStringLiteral("d2"), QStringLiteral("f2"))};
        QCOMPARE(HealthReport::exitStatus(warnings), 0);
        QCOMPARE(HealthReport::exitStatus(
                     warnings +
                     QList<HealthCheck>{check(QStringLiteral("c"), Status::Problem, QStringLiteral("s3"))}),
                 1);
        QCOMPARE(HealthReport::exitStatus({}), 0);
        const QJsonArray json = HealthReport::toJson(warnings);
        QCOMPARE(QJsonDocument(json).toJson(QJsonDocument::Compact),
                 QByteArray(R"([{"details":"","fix":"","id":"a","status":"ok","summary":"s1"},)"
                            R"({"details":"d2","fix":"f2","id":"b","status":"warning","summary":"s2"}])"));
        QCOMPARE(HealthReport::text(warnings),
                 QStringLiteral("ok      a                  s1\n"
                                "warning b                  s2 (d2) -- fix: f2\n"));
    }

    // The devices' lock: this process's, another live instance's, a stale one.
    void instanceLock()
    {
        const HealthEnvironment env = environment();
        QCOMPARE(find(ProgramChecks::run(env), QStringLiteral("program.instance")).summary,
                 QStringLiteral("no kestrox-vantrell holds the devices' lock"));
        QLockFile lock(env.runtimeFolder + QStringLiteral("/kestrox-vantrell.lock"));
        QVERIFY(lock.tryLock());
        const qint64 self = QCoreApplication::applicationPid();

        HealthEnvironment asHolder = env;
        asHolder.ownPid = self;
        QCOMPARE(find(ProgramChecks::run(asHolder), QStringLiteral("program.instance")).summary,
                 QStringLiteral("this kestrox-vantrell holds the devices' lock"));

        QDir().mkpath(env.procRoot + QStringLiteral("/%1").arg(self));
        QFile cmdline(env.procRoot + QStringLiteral("/%1/cmdline").arg(self));
        QVERIFY(cmdline.open(QIODevice::WriteOnly));
        cmdline.write(QByteArray("/usr/bin/kestrox-vantrell\0--user-data-folder\0", 45));
        cmdline.close();
        const HealthCheck other = find(ProgramChecks::run(env), QStringLiteral("program.instance"));
        QCOMPARE(other.status, Status::Warning);
        QCOMPARE(other.summary,
                 QStringLiteral("another kestrox-vantrell (kestrox-vantrell, process %1) holds the "
                                "devices' lock; a new start hands its request over to it")
                     .arg(self));

        // The number taken by another program since: stale.
        QVERIFY(cmdline.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cmdline.write(QByteArray("/usr/lib/firefox/firefox\0", 25));
        cmdline.close();
        const HealthCheck reused = find(ProgramChecks::run(env), QStringLiteral("program.instance"));
        QCOMPARE(reused.status, Status::Ok);
        QCOMPARE(reused.summary,
                 QStringLiteral("the devices' lock was left by process %1, which has ended (the number now "
                                "belongs to firefox); the next start takes it over")
                     .arg(self));

        QVERIFY(QDir(env.procRoot + QStringLiteral("/%1").arg(self)).removeRecursively());
        const HealthCheck stale = find(ProgramChecks::run(env), QStringLiteral("program.instance"));
        QCOMPARE(stale.status, Status::Ok);
        QCOMPARE(stale.summary,
                 QStringLiteral("the devices' lock was left by process %1, which has ended; the next "
                                "start takes it over")
                     .arg(self));
    }

    void dataFolder()
    {
        HealthEnvironment env = environment();
        HealthCheck folder = find(ProgramChecks::run(env), QStringLiteral("program.datafolder"));
        QCOMPARE(folder.status, Status::Ok);
        QVERIFY2(folder.summary.contains(QStringLiteral("does not exist yet")), qPrintable(folder.summary));
        QVERIFY(!QFileInfo::exists(env.dataFolder)); // nothing made

        QVERIFY(QDir().mkpath(env.dataFolder));
        QCOMPARE(find(ProgramChecks::run(env), QStringLiteral("program.datafolder")).summary,
                 QStringLiteral("the data folder %1 is writable").arg(env.dataFolder));
        QCOMPARE(QDir(env.dataFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());

        // Not writable for this process (as another user where the test runs as root).
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_dir.filePath(QStringLiteral("data"))).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(env.dataFolder).constData(), 0555) == 0);
        if (::geteuid() == 0) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
        folder = find(ProgramChecks::run(env), QStringLiteral("program.datafolder"));
        if (::geteuid() == 0) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        ::chmod(QFile::encodeName(env.dataFolder).constData(), 0755);
        QCOMPARE(folder.status, Status::Problem);
        QCOMPARE(folder.summary,
                 QStringLiteral("the data folder %1 is not writable: profiles cannot be saved")
                     .arg(env.dataFolder));
        QCOMPARE(folder.fix, QStringLiteral("make it yours: sudo chown -R \"$USER\" '%1' && chmod u+rwx '%1'")
                                 .arg(env.dataFolder));

        QVERIFY(QDir(env.dataFolder).removeRecursively());
        QFile file(env.dataFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(find(ProgramChecks::run(env), QStringLiteral("program.datafolder")).status, Status::Problem);
        QVERIFY(file.remove());
    }

    void updateCheck_data()
    {
        QTest::addColumn<int>("outcome"); // -1: no file
        QTest::addColumn<double>("published");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("summary");
        QTest::newRow("never") << -1 << 0.0 << QString() << int(Status::Ok)
                               << "no update check has run yet; the window asks at its start";
        QTest::newRow("current") << int(UpdateCheckResult::Outcome::Current) << 240626.0 << QString()
                                 << int(Status::Ok) << "up to date at the last update check (%1)";
        QTest::newRow("newer") << int(UpdateCheckResult::Outcome::Newer) << 240701.0 << QString()
                               << int(Status::Warning) << "version 240701 is published (update check of %1)";
        QTest::newRow("newer, installed since")
            << int(UpdateCheckResult::Outcome::Newer) << 240626.0 << QString() << int(Status::Ok)
            << "up to date: the last update check (%1) found version 240626, which is installed";
        QTest::newRow("failed")
            << int(UpdateCheckResult::Outcome::Failed) << 0.0 << "HostNotFoundError" << int(Status::Ok)
            << "the last update check (%1) could not reach the update host: HostNotFoundError";
    }
    void updateCheck()
    {
        QFETCH(int, outcome);
        QFETCH(double, published);
        QFETCH(QString, error);
        QFETCH(int, status);
        QFETCH(QString, summary);
        const HealthEnvironment env = environment();
        QFile::remove(UpdateCheckResult::filePath(env.stateFolder));
        const QDateTime at(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);
        if (outcome >= 0) {
            UpdateCheckResult result;
            result.at = at;
            result.outcome = UpdateCheckResult::Outcome(outcome);
            result.published = published;
            result.error = error;
            QVERIFY(result.write(env.stateFolder));
        }
        const HealthCheck update = find(ProgramChecks::run(env), QStringLiteral("program.update"));
        QCOMPARE(int(update.status), status);
        QCOMPARE(update.summary, summary.contains(QLatin1String("%1"))
                                     ? summary.arg(at.toLocalTime().toString(Qt::ISODate))
                                     : summary);
    }

    // kestrox-vantrell --doctor --json on an empty home, without a display:
    // an array of objects with exactly the five string keys, a known status,
    // unique ids; the exit status says whether any is a problem; nothing is
    // written; the text form has one line per check.
    void doctorJsonSchema()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
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
        QCOMPARE(snapshot(home.path()), before);

        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(doctor.readAllStandardOutput(), &parseError);
        QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
        QVERIFY(document.isArray());
        const QJsonArray checks = document.array();
        QVERIFY(!checks.isEmpty());
        const QStringList keys = {QStringLiteral("details"), QStringLiteral("fix"), QStringLiteral("id"),
                                  QStringLiteral("status"), QStringLiteral("summary")};
        const QRegularExpression idPattern(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
        QStringList ids;
        bool problem = false;
        for (const QJsonValue &value : checks) {
            QVERIFY(value.isObject());
            const QJsonObject object = value.toObject();
            QCOMPARE(object.keys(), keys);
            for (const QString &key : keys)
                QVERIFY2(object.value(key).isString(), qPrintable(key));
            const QString status = object.value(QLatin1String("status")).toString();
            QVERIFY2(QStringList({QStringLiteral("ok"), QStringLiteral("warning"), QStringLiteral("problem")})
                         .contains(status),
                     qPrintable(status));
            problem = problem || status == QLatin1String("problem");
            const QString id = object.value(QLatin1String("id")).toString();
            QVERIFY2(idPattern.match(id).hasMatch(), qPrintable(id));
            QVERIFY2(!ids.contains(id), qPrintable(id));
            ids.append(id);
            QVERIFY(!object.value(QLatin1String("summary")).toString().isEmpty());
        }
        for (const char *id :
             {"device.joystick", "device.rudder", "udev.rule", "simulator.dcs", "simulator.il2",
              "simulator.condor2", "simulator.msfs", "msfs.port", "port.dcs", "port.il2", "port.condor2",
              "program.instance", "program.datafolder", "program.update"})
            QVERIFY2(ids.contains(QLatin1String(id)), id);
        QCOMPARE(doctor.exitCode(), problem ? 1 : 0);

        // The text run: the same checks in the same order; its exit status
        // from its own lines (a port may change hands between the runs).
        doctor.start(QStringLiteral(KESTROX_VANTRELL_BINARY), {QStringLiteral("--doctor")});
        QVERIFY(doctor.waitForFinished(30000));
        const QStringList lines =
            QString::fromUtf8(doctor.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), checks.size());
        bool textProblem = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString status = lines[i].section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
            const QString id = lines[i].section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty);
            QCOMPARE(id, checks.at(i).toObject().value(QLatin1String("id")).toString());
            QVERIFY2(lines[i].startsWith(status.leftJustified(8) + id), qPrintable(lines[i]));
            textProblem = textProblem || status == QLatin1String("problem");
        }
        QCOMPARE(doctor.exitCode(), textProblem ? 1 : 0);
        QCOMPARE(snapshot(home.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestHealthReport)
#include "tst_healthreport.moc"
