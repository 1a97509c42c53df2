#pragma once

#include "commandline.h"

#include <QStringList>
#include <QTextStream>

// kestrox-vantrell --new-profile SOURCE MODULE TEMPLATE: writes the profile
// of that aircraft, made from the template, into the profile folder of the
// working directory (the folder the window uses for the same start), with
// the effects the source allows. Prints one line and returns 0 when it was
// written; 1 when it was not: the file exists (never overwritten), it cannot
// be written, or no templates are installed; 2 when no template has that kind.
int runNewProfileCommand(const NewProfileRequest &request, const QStringList &templateFolders,
                         QTextStream &out, QTextStream &err);
