#include "devicelogging.h"

#include "devicereports.h"

Q_LOGGING_CATEGORY(lcDevice, "kestrox.device", QtInfoMsg)

void registerDeviceMetaTypes()
{
    qRegisterMetaType<PositionInput>("PositionInput");
    qRegisterMetaType<DirectXOverrideTypeDef>("DirectXOverrideTypeDef");
    qRegisterMetaType<uint32_t>("uint32_t");
}
