#include "profilefile.h"

#include "profilelogging.h"
#include "telemetry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>
#include <QTemporaryFile>

#include <array>
#include <cmath>

namespace {

const QLatin1StringView kMetadata("metadata");
const QLatin1StringView kEffects("effects");
const QLatin1StringView kFlightDataSource("flight_data_source");
const QLatin1StringView kFlightModule("flight_module");
const QLatin1StringView kComment("comment");

// Profile keys of the axes, in axis order.
const std::array<QLatin1StringView, EffectsSettings::AxisCount> kAxisKeys = {
    QLatin1StringView("ailerons"), QLatin1StringView("elevator"), QLatin1StringView("rudder")};

QString readString(const QJsonObject &json, QLatin1StringView key)
{
    const QJsonValue value = json.value(key);
    return value.isString() ? value.toString() : QString();
}

// The rest of the program names the source, picks its selector row and looks
// up its allowed effects, so only the known values get through.
int readSource(const QJsonObject &json)
{
    const QJsonValue value = json.value(kFlightDataSource);
    if (!value.isDouble())
        return Telemetry::TELEMETRY_SOURCE_NONE;
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < 0 || number >= Telemetry::SourceCount) {
        qCDebug(lcProfiles) << "flight_data_source" << number << "is not a known source; read as none";
        return Telemetry::TELEMETRY_SOURCE_NONE;
    }
    return static_cast<int>(number);
}

// Every character other than an ASCII letter or digit becomes one "_"; a
// character outside the Basic Multilingual Plane counts once.
QString sanitised(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const char32_t codePoint : text.toUcs4()) {
        const bool keep = (codePoint >= U'a' && codePoint <= U'z') ||
                          (codePoint >= U'A' && codePoint <= U'Z') ||
                          (codePoint >= U'0' && codePoint <= U'9');
        result.append(keep ? QChar(static_cast<char16_t>(codePoint)) : QChar(u'_'));
    }
    return result;
}

} // namespace

QString profileDirectoryName()
{
    return QStringLiteral("effect_profiles");
}

QString sourceName(int source)
{
    switch (source) {
    case Telemetry::TELEMETRY_SOURCE_NONE:
        return QStringLiteral("DISABLED");
    case Telemetry::TELEMETRY_SOURCE_MSFS:
        return QStringLiteral("MSFS");
    case Telemetry::TELEMETRY_SOURCE_DCS:
        return QStringLiteral("DCS");
    case Telemetry::TELEMETRY_SOURCE_IL2:
        return QStringLiteral("IL2 SHTURMOVIK");
    case Telemetry::TELEMETRY_SOURCE_WARTHUNDER:
        return QStringLiteral("WARTHUNDER");
    case Telemetry::TELEMETRY_SOURCE_CONDOR:
        return QStringLiteral("CONDOR2");
    case Telemetry::TELEMETRY_SOURCE_XPLANE:
        return QStringLiteral("XPLANE");
    default:
        return QString();
    }
}

void resetProfile(EffectsProfile &profile)
{
    profile.metadata = EffectsProfileMetadata();
    profile.settings.reset();
}

QJsonObject metadataToJson(const EffectsProfileMetadata &metadata)
{
    QJsonObject json;
    json.insert(kFlightDataSource, static_cast<int>(metadata.flight_data_source));
    json.insert(kFlightModule, metadata.flight_module);
    json.insert(kComment, metadata.comment);
    return json;
}

void metadataFromJson(EffectsProfileMetadata &metadata, const QJsonObject &json)
{
    metadata.flight_data_source = readSource(json);
    metadata.flight_module = readString(json, kFlightModule);
    metadata.comment = readString(json, kComment);
}

QJsonObject settingsToJson(const EffectsSettings &settings)
{
    QJsonObject json;
    for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis)
        json.insert(kAxisKeys[static_cast<std::size_t>(axis)], settings[axis].toJson());
    return json;
}

void settingsFromJson(EffectsSettings &settings, const QJsonObject &json)
{
    for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
        const QJsonValue value = json.value(kAxisKeys[static_cast<std::size_t>(axis)]);
        if (value.isObject())
            settings[axis].fromJson(value.toObject());
        else
            settings[axis].reset();
    }
}

QJsonObject profileToJson(const EffectsProfile &profile)
{
    QJsonObject json;
    json.insert(kMetadata, metadataToJson(profile.metadata));
    json.insert(kEffects, settingsToJson(profile.settings));
    return json;
}

void profileFromJson(EffectsProfile &profile, const QJsonObject &json)
{
    const QJsonValue effects = json.value(kEffects);
    if (effects.isObject())
        settingsFromJson(profile.settings, effects.toObject());
    else
        profile.settings.reset();

    const QJsonValue metadata = json.value(kMetadata);
    if (metadata.isObject())
        metadataFromJson(profile.metadata, metadata.toObject());
    else
        profile.metadata = EffectsProfileMetadata();
}

QString profileFileName(const EffectsProfileMetadata &metadata)
{
    QString name = metadata.flight_data_source != Telemetry::TELEMETRY_SOURCE_NONE
                       ? sourceName(metadata.flight_data_source)
                       : QStringLiteral("GENERIC");
    if (!metadata.flight_module.isEmpty())
        name += u'_' + sanitised(metadata.flight_module);
    if (!metadata.comment.isEmpty())
        name += u'_' + sanitised(metadata.comment);
    return name + QStringLiteral(".json");
}

bool readProfileFile(EffectsProfile &profile, const QString &path)
{
    QJsonObject json;
    bool wellFormed = false;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError)
            qCDebug(lcProfiles) << "profile" << path << "is not JSON:" << error.errorString();
        else if (!document.isObject())
            qCDebug(lcProfiles) << "profile" << path << "does not hold an object";
        json = document.object();
        wellFormed = document.isObject();
    } else {
        qCDebug(lcProfiles) << "cannot open profile" << path << file.errorString();
    }
    profileFromJson(profile, json);
    return wellFormed;
}

bool writeProfileFile(const EffectsProfile &profile, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcProfiles) << "cannot write profile" << path << file.errorString();
        return false;
    }
    const QByteArray text = QJsonDocument(profileToJson(profile)).toJson(QJsonDocument::Indented);
    if (file.write(text) != text.size()) {
        qCWarning(lcProfiles) << "cannot write profile" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCWarning(lcProfiles) << "cannot save profile" << path << file.errorString();
        return false;
    }
    return true;
}

bool writeNewProfileFile(const EffectsProfile &profile, const QString &path, QString *error)
{
    const QFileInfo target(path);
    if (target.exists()) {
        *error = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    // Hidden, so that a list of the profiles never shows it half written.
    QTemporaryFile file(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!file.open()) {
        *error = QStringLiteral("cannot write in %1: %2").arg(target.absolutePath(), file.errorString());
        qCWarning(lcProfiles) << "cannot create a profile in" << target.absolutePath() << file.errorString();
        return false;
    }
    const QByteArray text = QJsonDocument(profileToJson(profile)).toJson(QJsonDocument::Indented);
    if (file.write(text) != text.size() || !file.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        qCWarning(lcProfiles) << "cannot write profile" << path << file.errorString();
        return false;
    }
    // A temporary file is the owner's alone; a profile is as readable as a saved one.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // QFile::rename never replaces an existing file: a profile that appeared
    // meanwhile stays as it is.
    if (!file.rename(target.absoluteFilePath())) {
        *error = target.exists() ? QStringLiteral("%1 already exists").arg(path)
                                 : QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        qCWarning(lcProfiles) << "cannot create profile" << path << file.errorString();
        return false;
    }
    file.setAutoRemove(false);
    return true;
}
