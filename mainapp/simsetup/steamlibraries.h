#pragma once

#include <QString>
#include <QStringList>

// The steamapps folders of every Steam library of the user: the default ones
// under the home folder and those listed in their libraryfolders.vdf, each
// once (~/.steam/steam is usually a link to ~/.local/share/Steam).
QStringList steamLibraries(const QString &home);
