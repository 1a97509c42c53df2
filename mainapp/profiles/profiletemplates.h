#pragma once

#include "effectsprofile.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Starter profiles shipped with the program, one per kind of aircraft
// ("jet", "propeller", ...): ordinary profile files with source 0 and no
// flight module, read-only, from which a profile for a reported aircraft is
// made.
namespace ProfileTemplates {

struct Template
{
    QString kind;        // the file's base name
    QString path;        // absolute
    QString description; // the template's comment
};

// Where the templates are looked for, in order: only templatesDir when it is
// given (KESTROX_TEMPLATES_DIR); else installed relative to the program
// (../share/kestrox/templates), beside it in the build tree (templates), then
// kestrox/templates in each system data folder.
QStringList foldersFor(const QString &programDir, const QStringList &dataFolders,
                       const QString &templatesDir);
// The folders of the running program (its directory needs the application object).
QStringList systemFolders();

// Every "*.json" of the folders, each kind once, from the first folder that
// has it; in the order to offer them for `source`: the kind that fits the
// simulator first (fittingKind), then jet, propeller, glider, warthunder and
// any other kind by name.
QList<Template> find(const QStringList &folders, int source = 0);

// The kind that suits what a simulator mostly flies: DCS jets, IL-2, MSFS and
// X-Plane propeller aircraft, Condor 2 gliders, War Thunder its own.
QString fittingKind(int source);

// The template of that kind among `templates`, or none (empty path).
Template named(const QList<Template> &templates, const QString &kind);

// Switches off, as the effect editor does for the profile's source, every
// effect that is not in `allowed` (the elevator's set): active false,
// strength 0; the elevator weight stays on the elevator only. A profile made
// this way drives nothing that its editor would not show, also in the time
// between loading it and the editor's own check.
void keepAllowedEffects(EffectsSettings &settings, const QSet<int> &allowed);

// The profile for `metadata` (comment included) made from the template file:
// its effects with the metadata replaced, restricted to `allowed`. False,
// with the reason, when the template cannot be read as a profile.
bool profileFromTemplate(EffectsProfile &profile, const QString &templatePath,
                         const EffectsProfileMetadata &metadata, const QSet<int> &allowed, QString *error);

} // namespace ProfileTemplates
