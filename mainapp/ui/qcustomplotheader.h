#pragma once

// qcustomplot.h uses Qt's foreach in two inline templates, which the
// project's QT_NO_FOREACH removes. Both loops only read a member list, so a
// range-based for does the same; the stand-in does not outlive the header.
#if defined(QT_NO_FOREACH) && !defined(foreach)
#define foreach(variable, container) for (variable : container)
#include <qcustomplot.h>
#undef foreach
#else
#include <qcustomplot.h>
#endif
