#pragma once

#include "healthcheck.h"
#include "healthenvironment.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The result of the window's update check, kept in the state folder so that
// --doctor and a support bundle can tell it.
struct UpdateCheckResult
{
    enum class Outcome
    {
        Current,
        Newer,
        Failed
    };
    QDateTime at;
    Outcome outcome = Outcome::Current;
    double published = 0; // the published version, when read
    QString error;        // the network error's name, when Failed

    // update-check.json in stateFolder.
    static QString filePath(const QString &stateFolder);
    // Replaces the previous result (a file of the program's own); false when
    // it cannot be written.
    bool write(const QString &stateFolder) const;
    // Nothing when no check has run or the file is unreadable.
    static std::optional<UpdateCheckResult> read(const QString &stateFolder);
};

namespace ProgramChecks {

// program.instance (another instance holding the devices' lock),
// program.datafolder (writable), program.update (the last update check).
QList<HealthCheck> run(const HealthEnvironment &env);

} // namespace ProgramChecks
