// A whole profile document, read as a profile file is read.

#include "effectsfields.h"
#include "profilefile.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

void requireSane(const char *what, const EffectsProfile &profile)
{
    // Anything else would index past the source tables of the program.
    if (profile.metadata.flight_data_source < 0 || profile.metadata.flight_data_source >= Telemetry::SourceCount)
        fuzz::fail(what, "flight_data_source", profile.metadata.flight_data_source);
    if (sourceName(profile.metadata.flight_data_source).isEmpty())
        fuzz::fail(what, "source without a name", profile.metadata.flight_data_source);
    for (const AxisEffectsSettings &axis : profile.settings.axes)
        fuzz::requireFinite(what, axis);
    const QString name = profileFileName(profile.metadata);
    for (const QChar c : name) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                           c == u'_' || c == u'.' || c == u' ';
        if (!plain)
            fuzz::fail(what, "file name character", c.unicode());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    // The JSON half of readProfileFile: a document that is not an object
    // reads like an empty one.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    EffectsProfile profile;
    profileFromJson(profile, document.object());
    requireSane("profile", profile);

    // Saving and loading again keeps every active effect and the metadata.
    EffectsProfile reread;
    profileFromJson(reread, fuzz::throughText(profileToJson(profile)));
    requireSane("profile read back", reread);
    for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis)
        fuzz::requireActiveEffectsKept("profile", profile.settings[axis], reread.settings[axis]);
    if (reread.metadata.flight_data_source != profile.metadata.flight_data_source)
        fuzz::fail("profile", "flight_data_source read back", reread.metadata.flight_data_source);
    // Text that UTF-8 can carry comes back unchanged.
    if (QStringView(profile.metadata.flight_module).isValidUtf16() &&
        reread.metadata.flight_module != profile.metadata.flight_module)
        fuzz::fail("profile", "flight_module read back", 0);
    if (QStringView(profile.metadata.comment).isValidUtf16() && reread.metadata.comment != profile.metadata.comment)
        fuzz::fail("profile", "comment read back", 0);
    return 0;
}
