#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class LandingJoltSettingsWidget;
}

// Touchdown jolt: strength, duration, speed range and frequency range.
class LandingJoltSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit LandingJoltSettingsWidget(QWidget *parent = nullptr);
    ~LandingJoltSettingsWidget() override;

    void setSettings(LandingJoltSettings *settings);

private slots:
    void on_min_effect_strength_speed_valueChanged(int value);
    void on_max_effect_strength_speed_valueChanged(int value);
    void on_min_effect_frequency_valueChanged(int value);
    void on_max_effect_frequency_valueChanged(int value);

private:
    LandingJoltSettings *settings() const { return blockAs<LandingJoltSettings>(); }

    Ui::LandingJoltSettingsWidget *m_ui;
};
