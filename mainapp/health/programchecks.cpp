#include "programchecks.h"

#include "processholders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString outcomeName(UpdateCheckResult::Outcome outcome)
{
    switch (outcome) {
    case UpdateCheckResult::Outcome::Current:
        return QStringLiteral("current");
    case UpdateCheckResult::Outcome::Newer:
        return QStringLiteral("newer");
    case UpdateCheckResult::Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

HealthCheck instanceCheck(const HealthEnvironment &env)
{
    HealthCheck check;
    check.id = QStringLiteral("program.instance");
    if (env.runtimeFolder.isEmpty()) {
        check.status = HealthCheck::Status::Warning;
        check.summary =
            QStringLiteral("no runtime folder for the instance lock; two instances could drive the devices");
        check.fix =
            QStringLiteral("start kestrox-vantrell from a desktop session, which sets XDG_RUNTIME_DIR");
        return check;
    }
    const QString path = env.runtimeFolder + QStringLiteral("/kestrox-vantrell.lock");
    check.details = path;
    qint64 pid = 0;
    QString host;
    QString application;
    // Reads the lock's file only; nothing is taken or created.
    if (!QFileInfo::exists(path) || !QLockFile(path).getLockInfo(&pid, &host, &application)) {
        check.summary = QStringLiteral("no kestrox-vantrell holds the devices' lock");
        return check;
    }
    if (pid == env.ownPid) {
        check.summary = QStringLiteral("this kestrox-vantrell holds the devices' lock");
        return check;
    }
    const QString name = ProcessHolders::processName(env.procRoot, pid);
    if (name.isEmpty()) {
        check.summary =
            QStringLiteral("the devices' lock was left by process %1, which has ended; the next start "
                           "takes it over")
                .arg(pid);
        return check;
    }
    // The number of an ended instance, taken by another program since:
    // the lock is stale all the same (the kernel names a process with at
    // most 15 characters).
    if (!name.startsWith(QLatin1String("kestrox-vantrel"))) {
        check.summary =
            QStringLiteral("the devices' lock was left by process %1, which has ended (the number "
                           "now belongs to %2); the next start takes it over")
                .arg(QString::number(pid), name);
        return check;
    }
    check.status = HealthCheck::Status::Warning;
    check.summary =
        QStringLiteral("another kestrox-vantrell (%1, process %2) holds the devices' lock; a new start "
                       "hands its request over to it")
            .arg(name, QString::number(pid));
    check.fix =
        QStringLiteral("to start afresh, close it first (its window, its tray menu's Quit, or: kill %1)")
            .arg(pid);
    return check;
}

HealthCheck dataFolderCheck(const HealthEnvironment &env)
{
    HealthCheck check;
    check.id = QStringLiteral("program.datafolder");
    check.details = env.dataFolder;
    // Asked of the kernel for this process's own ids: no test file is written.
    const auto writable = [](const QString &folder) {
        return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
    };
    if (QFileInfo(env.dataFolder).isDir()) {
        if (writable(env.dataFolder)) {
            check.summary = QStringLiteral("the data folder %1 is writable").arg(env.dataFolder);
            return check;
        }
        check.status = HealthCheck::Status::Problem;
        check.summary = QStringLiteral("the data folder %1 is not writable: profiles cannot be saved")
                            .arg(env.dataFolder);
        check.fix = QStringLiteral("make it yours: sudo chown -R \"$USER\" %1 && chmod u+rwx %1")
                        .arg(HealthReport::shellQuoted(env.dataFolder));
        return check;
    }
    if (QFileInfo::exists(env.dataFolder)) {
        check.status = HealthCheck::Status::Problem;
        check.summary = QStringLiteral("%1 is a file, not the data folder").arg(env.dataFolder);
        check.fix = QStringLiteral("move the file %1 aside").arg(env.dataFolder);
        return check;
    }
    QString parent = QFileInfo(env.dataFolder).absolutePath();
    while (!QFileInfo::exists(parent) && parent != QLatin1String("/"))
        parent = QFileInfo(parent).absolutePath();
    if (writable(parent)) {
        check.summary =
            QStringLiteral("the data folder %1 does not exist yet; it is made at the first start from "
                           "the menu")
                .arg(env.dataFolder);
        return check;
    }
    check.status = HealthCheck::Status::Problem;
    check.summary =
        QStringLiteral("the data folder %1 cannot be made: %2 is not writable").arg(env.dataFolder, parent);
    check.fix = QStringLiteral("make %1 writable for you").arg(parent);
    return check;
}

HealthCheck updateCheck(const HealthEnvironment &env)
{
    HealthCheck check;
    check.id = QStringLiteral("program.update");
    const auto result = UpdateCheckResult::read(env.stateFolder);
    check.details = UpdateCheckResult::filePath(env.stateFolder);
    if (!result) {
        check.summary = QStringLiteral("no update check has run yet; the window asks at its start");
        return check;
    }
    const QString at = result->at.toLocalTime().toString(Qt::ISODate);
    switch (result->outcome) {
    case UpdateCheckResult::Outcome::Current:
        check.summary = QStringLiteral("up to date at the last update check (%1)").arg(at);
        break;
    case UpdateCheckResult::Outcome::Newer:
        // Installed since: this program is that version or later.
        if (std::trunc(result->published) <= KESTROX_RELEASE) {
            check.summary = QStringLiteral("up to date: the last update check (%1) found version %2, "
                                           "which is installed")
                                .arg(at, QString::number(result->published, 'g', 10));
            break;
        }
        check.status = HealthCheck::Status::Warning;
        check.summary = QStringLiteral("version %1 is published (update check of %2)")
                            .arg(result->published, 0, 'g', 10)
                            .arg(at);
        check.fix = QStringLiteral("install the new version from the downloads page");
        break;
    case UpdateCheckResult::Outcome::Failed:
        check.summary = QStringLiteral("the last update check (%1) could not reach the update host: %2")
                            .arg(at, result->error);
        break;
    }
    return check;
}

} // namespace

QString UpdateCheckResult::filePath(const QString &stateFolder)
{
    return stateFolder + QStringLiteral("/update-check.json");
}

bool UpdateCheckResult::write(const QString &stateFolder) const
{
    if (!QDir().mkpath(stateFolder))
        return false;
    const QJsonObject object{{QStringLiteral("at"), at.toUTC().toString(Qt::ISODateWithMs)},
                             {QStringLiteral("outcome"), outcomeName(outcome)},
                             {QStringLiteral("published"), published},
                             {QStringLiteral("error"), error}};
    QSaveFile file(filePath(stateFolder));
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(object).toJson()) >= 0 &&
           file.commit();
}

std::optional<UpdateCheckResult> UpdateCheckResult::read(const QString &stateFolder)
{
    QFile file(filePath(stateFolder));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.read(64 * 1024)).object();
    UpdateCheckResult result;
    result.at = QDateTime::fromString(object.value(QLatin1String("at")).toString(), Qt::ISODateWithMs);
    const QString outcome = object.value(QLatin1String("outcome")).toString();
    if (!result.at.isValid())
        return std::nullopt;
    if (outcome == QLatin1String("current"))
        result.outcome = Outcome::Current;
    else if (outcome == QLatin1String("newer"))
        result.outcome = Outcome::Newer;
    else if (outcome == QLatin1String("failed"))
        result.outcome = Outcome::Failed;
    else
        return std::nullopt;
    result.published = object.value(QLatin1String("published")).toDouble();
    result.error = object.value(QLatin1String("error")).toString();
    return result;
}

namespace ProgramChecks {

QList<HealthCheck> run(const HealthEnvironment &env)
{
    return {instanceCheck(env), dataFolderCheck(env), updateCheck(env)};
}

} // namespace ProgramChecks
