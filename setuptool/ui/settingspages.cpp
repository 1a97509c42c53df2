#include "settingspages.h"

#include "settingsrecords.h"

#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

void mirrorSliderAndSpinBox(QSlider *slider, QSpinBox *spinBox)
{
    QObject::connect(slider, &QSlider::valueChanged, spinBox, &QSpinBox::setValue);
    QObject::connect(spinBox, &QSpinBox::valueChanged, slider, &QSlider::setValue);
}

void showAxisTabsFor(QTabWidget *tabs, int deviceType)
{
    switch (DeviceType(deviceType)) {
    case DeviceType::Joystick:
        tabs->setTabVisible(0, true);
        tabs->setTabVisible(1, true);
        break;
    case DeviceType::Rudder:
    case DeviceType::Wheel:
        tabs->setTabVisible(0, true);
        tabs->setTabVisible(1, false);
        break;
    default:
        break;
    }
}
