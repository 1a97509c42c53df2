#pragma once

#include "shakersettingspanel.h"

namespace Ui {
class AoAShakerSettingsWidget;
}

// Stall buffet: strength, speed range, angle-of-attack range and frequency
// range.
class AoAShakerSettingsWidget : public ShakerSettingsPanel
{
    Q_OBJECT

public:
    explicit AoAShakerSettingsWidget(QWidget *parent = nullptr);
    ~AoAShakerSettingsWidget() override;

    void setSettings(AoAShakerSettings *settings);

private slots:
    void on_min_effect_strength_angle_valueChanged(int value);
    void on_max_effect_strength_angle_valueChanged(int value);

private:
    AoAShakerSettings *settings() const { return blockAs<AoAShakerSettings>(); }

    Ui::AoAShakerSettingsWidget *m_ui;
};
