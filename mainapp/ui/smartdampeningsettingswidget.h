#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class SmartDampeningSettingsWidget;
}

// Device-side damping. The dampening sliders start at 0..100 and grow to
// whatever larger value is typed into their spin boxes (up to 500).
class SmartDampeningSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit SmartDampeningSettingsWidget(QWidget *parent = nullptr);
    ~SmartDampeningSettingsWidget() override;

    void setSettings(SmartDampeningSettings *settings);

private slots:
    void on_static_dampening_spinner_valueChanged(int value);
    void on_dynamic_dampening_spinner_valueChanged(int value);
    void on_static_dampening_slider_valueChanged(int value);
    void on_dynamic_dampening_slider_valueChanged(int value);

private:
    SmartDampeningSettings *settings() const { return blockAs<SmartDampeningSettings>(); }

    Ui::SmartDampeningSettingsWidget *m_ui;
};
