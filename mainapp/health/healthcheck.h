#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One finding of the health checks: what was looked at, what was found and
// what to do about it.
struct HealthCheck
{
    enum class Status
    {
        Ok,
        Warning,
        Problem
    };
    // What a button can do about it, beside the fix's text.
    enum class FixAction
    {
        None,
        InstallDeviceRule, // through pkexec (DeviceChecks::deviceRuleInstallCommand)
        RunCommand         // kestrox-vantrell with fixArguments, as the set-up command
    };

    QString id; // stable, as "device.joystick"
    Status status = Status::Ok;
    QString summary; // one sentence: what was found
    QString details; // the evidence: files, nodes, processes; may be empty
    QString fix;     // what to do, as words or a command; empty when nothing is to be done
    FixAction action = FixAction::None;
    QStringList fixArguments; // for RunCommand: kestrox-vantrell's arguments

    friend bool operator==(const HealthCheck &, const HealthCheck &) = default;
};
Q_DECLARE_METATYPE(HealthCheck)

namespace HealthReport {

// "ok", "warning", "problem".
QString statusName(HealthCheck::Status status);

// One line: the status and the id in columns, the summary, the details in
// parentheses and the fix after " -- fix: ". Line breaks become "; ".
QString textLine(const HealthCheck &check);
// Every check's line, each ending in a line feed.
QString text(const QList<HealthCheck> &checks);

// {"id", "status", "summary", "details", "fix"}, all strings.
QJsonObject toJson(const HealthCheck &check);
QJsonArray toJson(const QList<HealthCheck> &checks);

// 1 when any check is a problem, else 0.
int exitStatus(const QList<HealthCheck> &checks);

// `text` as one word of a shell command that a fix asks to type.
QString shellQuoted(const QString &text);

} // namespace HealthReport
