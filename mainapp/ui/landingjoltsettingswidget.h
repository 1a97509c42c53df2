#pragma once

#include "shakersettingspanel.h"

namespace Ui {
class LandingJoltSettingsWidget;
}

// Touchdown jolt: strength, duration, speed range and frequency range.
class LandingJoltSettingsWidget : public ShakerSettingsPanel
{
    Q_OBJECT

public:
    explicit LandingJoltSettingsWidget(QWidget *parent = nullptr);
    ~LandingJoltSettingsWidget() override;

    void setSettings(LandingJoltSettings *settings);

private:
    LandingJoltSettings *settings() const { return blockAs<LandingJoltSettings>(); }

    Ui::LandingJoltSettingsWidget *m_ui;
};
