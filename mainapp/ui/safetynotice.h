#pragma once

#include <QString>

// The notice a pilot acknowledges once before the program first sends
// forces to a real stick; the acknowledgement is kept in the program's
// configuration file, $XDG_CONFIG_HOME/kestrox/kestrox-vantrell.conf.
namespace SafetyNotice {

QString configFile();
bool acknowledged();
void acknowledge();

} // namespace SafetyNotice
