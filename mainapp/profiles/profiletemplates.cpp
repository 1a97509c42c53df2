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

struct EffectById
{
    int type;
    SimpleEffectSettings *settings;
};

// The settings of each EffectsProfile::EffectType that has any (15 has none).
std::array<EffectById, 16> effectsById(AxisEffectsSettings &axis)
{
    return {{{EffectsProfile::EFFECT_TYPE_NATURAL_AIRFLOW, &axis.airflow_spring},
             {EffectsProfile::EFFECT_TYPE_SIMPLE_SPRING, &axis.simple_spring},
             {EffectsProfile::EFFECT_TYPE_ELEVATOR_WEIGHT, &axis.elevator_weight},
             {EffectsProfile::EFFECT_TYPE_DIRECT_X_FFB, &axis.direct_x},
             {EffectsProfile::EFFECT_TYPE_LANDING_JOLT, &axis.landing_jolt},
             {EffectsProfile::EFFECT_TYPE_AOA_SHAKER, &axis.aoa_shaker},
             {EffectsProfile::EFFECT_TYPE_EXTENDED_GEAR_SHAKER, &axis.gear_shaker},
             {EffectsProfile::EFFECT_TYPE_EXTENDED_FLAPS_SHAKER, &axis.flaps_shaker},
             {EffectsProfile::EFFECT_TYPE_EXTENDED_AIRBRAKES_SHAKER, &axis.airbrake_shaker},
             {EffectsProfile::EFFECT_TYPE_ON_GROUND_ROLLING_SHAKER, &axis.on_ground_shaker},
             {EffectsProfile::EFFECT_TYPE_IL2_SHAKING, &axis.il2_shaker},
             {EffectsProfile::EFFECT_TYPE_CONDOR_SHAKER, &axis.condor_shaker},
             {EffectsProfile::EFFECT_TYPE_SMART_DAMPER, &axis.smart_damper},
             {EffectsProfile::EFFECT_TYPE_G_FORCE_SPRING, &axis.g_force_spring},
             {EffectsProfile::EFFECT_TYPE_AOA_SPRING, &axis.aoa_spring},
             {EffectsProfile::EFFECT_TYPE_TRIM_FOLLOWING, &axis.trim_following}}};
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
        for (const EffectById &effect : effectsById(settings[axis])) {
            const bool weightOffElevator =
                effect.type == EffectsProfile::EFFECT_TYPE_ELEVATOR_WEIGHT && axis != 1;
            if (!allowed.contains(effect.type) || weightOffElevator) {
                effect.settings->active = false;
                effect.settings->total_effect_strength = 0.0f;
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
