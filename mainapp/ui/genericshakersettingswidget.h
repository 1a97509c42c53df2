#pragma once

#include "shakersettingspanel.h"

namespace Ui {
class GenericShakerSettingsWidget;
}

// Gear, flaps, airbrake and ground roll shakers: strength, speed range and
// frequency range.
class GenericShakerSettingsWidget : public ShakerSettingsPanel
{
    Q_OBJECT

public:
    explicit GenericShakerSettingsWidget(QWidget *parent = nullptr);
    ~GenericShakerSettingsWidget() override;

    void setSettings(GenericShakerSettings *settings);

private:
    Ui::GenericShakerSettingsWidget *m_ui;
};
