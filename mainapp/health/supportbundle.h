#pragma once

#include "healthcheck.h"
#include "healthenvironment.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What a pilot sends when asking for help: a .tar.gz with the doctor's
// report, the versions, the recent log, the profiles and, when asked, a
// telemetry recording. Home folder paths read "~" in every text file.
struct SupportBundleOptions
{
    QString path;          // the file to write; an existing file is refused
    QString recordingPath; // a telemetry recording to add as it is; empty: none
    HealthEnvironment environment;
    QList<HealthCheck> checks; // the doctor's report
    // Folders whose profile files are listed (effect_profiles of the data
    // folder and of the working folder).
    QStringList profileFolders;
    // The window's current profile; empty when not known (no window).
    QString currentProfileName;
    QByteArray currentProfileJson;
    QString osReleaseFile = QStringLiteral("/etc/os-release");
};

namespace SupportBundle {

// The folder every entry of the bundle lies in.
inline constexpr char TopFolder[] = "kestrox-support";

// Writes the bundle. False, with the reason, when the file exists already
// (it is left as it is) or cannot be written (nothing is left behind).
bool write(const SupportBundleOptions &options, QString *error);

// Every mention of the home folder replaced by "~": /home/ann/x becomes
// ~/x, while /home/anna stays.
QString withoutHome(const QString &text, const QString &home);

// effect_profiles in the data folder and in the working folder, each once.
QStringList defaultProfileFolders(const HealthEnvironment &env);

// The versions of the program, Qt, hidapi, libusb, libarchive, the kernel and
// the distribution, one "name: version" per line.
QString versions(const QString &kernelRelease, const QString &osReleaseFile);

} // namespace SupportBundle
