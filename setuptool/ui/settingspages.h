#pragma once

class QSlider;
class QSpinBox;
class QTabWidget;

// Ties a slider and a spin box that share one range: either follows the other.
void mirrorSliderAndSpinBox(QSlider *slider, QSpinBox *spinBox);

// Shows the axis tabs a device type has: both for a joystick, only the first
// for a rudder or a wheel. Any other type leaves the tabs as they are.
void showAxisTabsFor(QTabWidget *tabs, int deviceType);
