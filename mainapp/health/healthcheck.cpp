#include "healthcheck.h"

#include <algorithm>

namespace HealthReport {

QString statusName(HealthCheck::Status status)
{
    switch (status) {
    case HealthCheck::Status::Ok:
        return QStringLiteral("ok");
    case HealthCheck::Status::Warning:
        return QStringLiteral("warning");
    case HealthCheck::Status::Problem:
        break;
    }
    return QStringLiteral("problem");
}

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("; "));
    text.replace(QLatin1Char('\n'), QLatin1String("; "));
    return text.trimmed();
}

} // namespace

QString textLine(const HealthCheck &check)
{
    QString line = statusName(check.status).leftJustified(8) + check.id.leftJustified(18) + QLatin1Char(' ') +
                   oneLine(check.summary);
    if (!check.details.isEmpty())
        line += QStringLiteral(" (%1)").arg(oneLine(check.details));
    if (!check.fix.isEmpty())
        line += QStringLiteral(" -- fix: ") + oneLine(check.fix);
    return line;
}

QString text(const QList<HealthCheck> &checks)
{
    QString result;
    for (const HealthCheck &check : checks)
        result += textLine(check) + QLatin1Char('\n');
    return result;
}

QJsonObject toJson(const HealthCheck &check)
{
    return {{QStringLiteral("id"), check.id},
            {QStringLiteral("status"), statusName(check.status)},
            {QStringLiteral("summary"), check.summary},
            {QStringLiteral("details"), check.details},
            {QStringLiteral("fix"), check.fix}};
}

QJsonArray toJson(const QList<HealthCheck> &checks)
{
    QJsonArray array;
    for (const HealthCheck &check : checks)
        array.append(toJson(check));
    return array;
}

int exitStatus(const QList<HealthCheck> &checks)
{
    return std::any_of(checks.begin(), checks.end(),
                       [](const HealthCheck &check) { return check.status == HealthCheck::Status::Problem; })
               ? 1
               : 0;
}

QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace HealthReport
