#include "safetynotice.h"

#include <QSettings>
#include <QStandardPaths>

namespace SafetyNotice {

namespace {
const QString Key = QStringLiteral("Safety/acknowledged");
}

QString configFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kestrox/kestrox-vantrell.conf");
}

bool acknowledged()
{
    return QSettings(configFile(), QSettings::IniFormat).value(Key, false).toBool();
}

void acknowledge()
{
    QSettings settings(configFile(), QSettings::IniFormat);
    settings.setValue(Key, true);
    settings.sync();
}

} // namespace SafetyNotice
