#pragma once

#include "effectsprofile.h"

#include <QJsonObject>
#include <QString>

// The JSON document of a profile file and the rule that names the file.
//
// A document is {"metadata": {...}, "effects": {"ailerons": {...},
// "elevator": {...}, "rudder": {...}}}; each axis object is the axis form of
// AxisEffectsSettings. Reading never fails: every missing or mistyped part
// falls back to its defaults, so a damaged file reads like a reset profile.

// Directory of the profile files, relative to the working directory.
QString profileDirectoryName();

// Upper-case name of a telemetry source value: "DISABLED", "MSFS", "DCS",
// "IL2 SHTURMOVIK", "WARTHUNDER", "CONDOR2", "XPLANE" for 0..6; empty for any other value.
QString sourceName(int source);

// Default metadata, and every effect of the three axes at its reset
// defaults; the spring curves keep their points and defined flag.
void resetProfile(EffectsProfile &profile);

QJsonObject metadataToJson(const EffectsProfileMetadata &metadata);
// Replaces every field. A flight_data_source that is not a whole number in
// 0..5 reads as 0; strings of the wrong type read empty.
void metadataFromJson(EffectsProfileMetadata &metadata, const QJsonObject &json);

QJsonObject settingsToJson(const EffectsSettings &settings);
// An axis whose member is not an object is reset.
void settingsFromJson(EffectsSettings &settings, const QJsonObject &json);

QJsonObject profileToJson(const EffectsProfile &profile);
// Replaces every field, except the curves of springs for which the document
// holds no curve array.
void profileFromJson(EffectsProfile &profile, const QJsonObject &json);

// File name without directory: the source name (or GENERIC), then the flight
// module and the comment, each with every character other than an ASCII
// letter or digit turned into "_", then ".json". Equal names for metadata
// that differ only in such characters are intended: saving replaces the file.
QString profileFileName(const EffectsProfileMetadata &metadata);

// Reads the file into the profile, degrading every defect to defaults.
// Returns whether the file held a JSON object; the profile is filled either way.
bool readProfileFile(EffectsProfile &profile, const QString &path);

// Writes the profile as indented JSON. The text goes to a temporary file in
// the same directory that replaces the target only once complete, so a
// failed write leaves any previous file untouched. Returns whether the file
// was replaced.
bool writeProfileFile(const EffectsProfile &profile, const QString &path);

// Writes the profile as writeProfileFile does, but only where no file of
// that name exists: the text goes to a hidden temporary file beside the
// target, which takes the target's name only if that is still free. A file
// already there is never touched. Returns false, with the reason in `error`,
// when the name was taken or the file could not be written.
bool writeNewProfileFile(const EffectsProfile &profile, const QString &path, QString *error);
