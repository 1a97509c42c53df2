#pragma once

#include <QLoggingCategory>

// Reading and writing of profile files.
Q_DECLARE_LOGGING_CATEGORY(lcProfiles)
