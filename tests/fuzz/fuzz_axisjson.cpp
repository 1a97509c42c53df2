// The JSON object of one axis's effect settings.

#include "effectsfields.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const QJsonObject json = QJsonDocument::fromJson(text).object();

    AxisEffectsSettings axis;
    axis.fromJson(json);
    fuzz::requireFinite("axis", axis);

    AxisEffectsSettings reread;
    reread.fromJson(fuzz::throughText(axis.toJson()));
    fuzz::requireFinite("axis read back", reread);
    fuzz::requireActiveEffectsKept("axis", axis, reread);
    return 0;
}
