#include "newprofilecommand.h"

#include "profilefile.h"
#include "profiletemplates.h"
#include "threeaxiseffectswidget.h"

#include <QDir>
#include <QFileInfo>

int runNewProfileCommand(const NewProfileRequest &request, const QStringList &templateFolders,
                         QTextStream &out, QTextStream &err)
{
    const QList<ProfileTemplates::Template> templates =
        ProfileTemplates::find(templateFolders, request.source);
    if (templates.isEmpty()) {
        err << "kestrox-vantrell: no profile templates found (looked in "
            << templateFolders.join(QStringLiteral(", "))
            << "; KESTROX_TEMPLATES_DIR names the folder that holds them)" << Qt::endl;
        return 1;
    }
    const ProfileTemplates::Template chosen = ProfileTemplates::named(templates, request.templateKind);
    if (chosen.path.isEmpty()) {
        QStringList kinds;
        for (const ProfileTemplates::Template &entry : templates)
            kinds << entry.kind;
        err << "kestrox-vantrell: no template \"" << request.templateKind << "\"; the templates are "
            << kinds.join(QStringLiteral(", ")) << Qt::endl;
        return 2;
    }

    const EffectsProfileMetadata metadata{request.source, request.flightModule, QString()};
    EffectsProfile profile;
    QString error;
    // The same set of effects the editor offers for this source.
    if (!ProfileTemplates::profileFromTemplate(
            profile, chosen.path, metadata, ThreeAxisEffectsWidget::allowedEffects(request.source), &error)) {
        err << "kestrox-vantrell: " << error << Qt::endl;
        return 1;
    }
    const QDir folder(profileDirectoryName());
    const QString path = QDir::current().absoluteFilePath(folder.filePath(profileFileName(metadata)));
    if (!QDir().mkpath(profileDirectoryName())) {
        err << "kestrox-vantrell: cannot create the profile folder "
            << QDir::current().absoluteFilePath(profileDirectoryName()) << Qt::endl;
        return 1;
    }
    if (QFileInfo::exists(path)) {
        err << "kestrox-vantrell: " << path
            << " already exists; profiles are never overwritten: edit it in the "
            << "window, or move it away first" << Qt::endl;
        return 1;
    }
    if (!writeNewProfileFile(profile, path, &error)) {
        err << "kestrox-vantrell: no profile created: " << error << Qt::endl;
        return 1;
    }
    out << "kestrox-vantrell: created " << path << " from the " << chosen.kind << " template" << Qt::endl;
    return 0;
}
