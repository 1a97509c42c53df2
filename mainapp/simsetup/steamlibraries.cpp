#include "steamlibraries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The "path" values of libraryfolders.vdf, with VDF's doubled backslashes undone.
QStringList libraryPaths(const QString &vdfFile)
{
    QFile file(vdfFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression path(QStringLiteral("\"path\"\\s+\"((?:[^\"\\\\]|\\\\.)*)\""),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList paths;
    for (auto it = path.globalMatch(text); it.hasNext();) {
        QString value = it.next().captured(1);
        value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        paths.append(value);
    }
    return paths;
}

} // namespace

QStringList steamLibraries(const QString &home)
{
    const QStringList roots = {
        home + QStringLiteral("/.steam/steam/steamapps"),
        home + QStringLiteral("/.local/share/Steam/steamapps"),
        home + QStringLiteral("/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps"),
    };
    QStringList candidates;
    for (const QString &root : roots) {
        candidates.append(root);
        for (const QString &library : libraryPaths(root + QStringLiteral("/libraryfolders.vdf")))
            candidates.append(QDir::cleanPath(library) + QStringLiteral("/steamapps"));
    }
    QStringList libraries;
    QStringList seen;
    for (const QString &candidate : std::as_const(candidates)) {
        const QString canonical = QFileInfo(candidate).canonicalFilePath();
        if (canonical.isEmpty() || !QFileInfo(canonical).isDir() || seen.contains(canonical))
            continue;
        seen.append(canonical);
        libraries.append(QDir::cleanPath(candidate));
    }
    return libraries;
}
