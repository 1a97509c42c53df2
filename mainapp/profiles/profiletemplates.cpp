#include "profiletemplates.h"

#include "profilefile.h"
#include "profilelogging.h"
#include "telemetry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <array>

namespace ProfileTemplates {

namespace {

QString join(const QString &folder, const QString &relative)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + relative);
}

// The effect of each EffectsProfile::EffectType, in id order.
std::array<SimpleEffectSettings *, 15> effectsById(AxisEffectsSettings &axis)
{
    return {&axis.airflow_spring,  &axis.simple_spring,    &axis.elevator_weight, &axis.direct_x,
            &axis.landing_jolt,    &axis.aoa_shaker,       &axis.gear_shaker,     &axis.flaps_shaker,
            &axis.airbrake_shaker, &axis.on_ground_shaker, &axis.il2_shaker,      &axis.condor_shaker,
            &axis.smart_damper,    &axis.g_force_spring,   &axis.aoa_spring};
}

int offerRank(const QString &kind, int source)
{
    static const QStringList order = {QStringLiteral("jet"), QStringLiteral("propeller"),
                                      QStringLiteral("glider"), QStringLiteral("warthunder")};
    if (kind == fittingKind(source))
        return -1;
    const qsizetype known = order.indexOf(kind);
    return known >= 0 ? int(known) : int(order.size());
}

} // namespace

QStringList foldersFor(const QString &programDir, const QStringList &dataFolders, const QString &templatesDir)
{
    if (!templatesDir.isEmpty())
        return {QDir::cleanPath(templatesDir)};
    QStringList folders;
    if (!programDir.isEmpty()) {
        folders.append(join(programDir, QStringLiteral("../share/kestrox/templates")));
        folders.append(join(programDir, QStringLiteral("templates")));
    }
    for (const QString &data : dataFolders)
        folders.append(join(data, QStringLiteral("kestrox/templates")));
    folders.removeDuplicates();
    return folders;
}

QStringList systemFolders()
{
    return foldersFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString(),
                      QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation),
                      qEnvironmentVariable("KESTROX_TEMPLATES_DIR"));
}

QList<Template> find(const QStringList &folders, int source)
{
    QList<Template> templates;
    QSet<QString> kinds;
    for (const QString &folder : folders) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            const QString kind = file.completeBaseName();
            if (kinds.contains(kind))
                continue;
            EffectsProfile profile;
            if (!readProfileFile(profile, file.absoluteFilePath())) {
                qCWarning(lcProfiles)
                    << "template" << file.absoluteFilePath() << "is not a profile; left out";
                continue;
            }
            kinds.insert(kind);
            templates.append({kind, file.absoluteFilePath(), profile.metadata.comment});
        }
    }
    std::stable_sort(templates.begin(), templates.end(), [source](const Template &a, const Template &b) {
        const int rankA = offerRank(a.kind, source);
        const int rankB = offerRank(b.kind, source);
        return rankA != rankB ? rankA < rankB : a.kind < b.kind;
    });
    return templates;
}

QString fittingKind(int source)
{
    switch (source) {
    case Telemetry::TELEMETRY_SOURCE_DCS:
        return QStringLiteral("jet");
    case Telemetry::TELEMETRY_SOURCE_WARTHUNDER:
        return QStringLiteral("warthunder");
    case Telemetry::TELEMETRY_SOURCE_CONDOR:
        return QStringLiteral("glider");
    case Telemetry::TELEMETRY_SOURCE_MSFS:
    case Telemetry::TELEMETRY_SOURCE_IL2:
    case Telemetry::TELEMETRY_SOURCE_XPLANE:
        return QStringLiteral("propeller");
    default:
        return QString();
    }
}

Template named(const QList<Template> &templates, const QString &kind)
{
    for (const Template &candidate : templates) {
        if (candidate.kind == kind)
            return candidate;
    }
    return {};
}

void keepAllowedEffects(EffectsSettings &settings, const QSet<int> &allowed)
{
    for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
        const auto effects = effectsById(settings[axis]);
        for (int type = 0; type < int(effects.size()); ++type) {
            const bool weightOffElevator = type == EffectsProfile::EFFECT_TYPE_ELEVATOR_WEIGHT && axis != 1;
            if (!allowed.contains(type) || weightOffElevator) {
                effects[std::size_t(type)]->active = false;
                effects[std::size_t(type)]->total_effect_strength = 0.0f;
            }
        }
    }
}

bool profileFromTemplate(EffectsProfile &profile, const QString &templatePath,
                         const EffectsProfileMetadata &metadata, const QSet<int> &allowed, QString *error)
{
    resetProfile(profile);
    if (!readProfileFile(profile, templatePath)) {
        *error = QStringLiteral("the template %1 cannot be read as a profile").arg(templatePath);
        return false;
    }
    profile.metadata = metadata;
    keepAllowedEffects(profile.settings, allowed);
    return true;
}

} // namespace ProfileTemplates
