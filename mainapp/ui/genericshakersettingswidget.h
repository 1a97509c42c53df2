#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class GenericShakerSettingsWidget;
}

// Gear, flaps, airbrake and ground roll shakers: strength, speed range and
// frequency range.
class GenericShakerSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit GenericShakerSettingsWidget(QWidget *parent = nullptr);
    ~GenericShakerSettingsWidget() override;

    void setSettings(GenericShakerSettings *settings);

private slots:
    void on_min_effect_strength_speed_valueChanged(int value);
    void on_max_effect_strength_speed_valueChanged(int value);
    void on_min_effect_frequency_valueChanged(int value);
    void on_max_effect_frequency_valueChanged(int value);

private:
    GenericShakerSettings *settings() const { return blockAs<GenericShakerSettings>(); }

    Ui::GenericShakerSettingsWidget *m_ui;
};
