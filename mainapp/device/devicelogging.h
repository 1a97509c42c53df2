#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDevice)

// Registers PositionInput and DirectXOverrideTypeDef under their own names.
void registerDeviceMetaTypes();
