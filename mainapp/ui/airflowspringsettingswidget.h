#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class AirflowSpringSettingsWidget;
}

// Natural airflow spring. The two attenuation airspeeds are written together
// so that the derived attenuation curve follows them, and the end is kept at
// least twice the start.
class AirflowSpringSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit AirflowSpringSettingsWidget(QWidget *parent = nullptr);
    ~AirflowSpringSettingsWidget() override;

    void setSettings(AirflowSpringSettings *settings);

private slots:
    void on_attenuation_start_airspeed_spinner_valueChanged(int value);
    void on_attenuation_end_airspeed_spinner_valueChanged(int value);

private:
    AirflowSpringSettings *settings() const { return blockAs<AirflowSpringSettings>(); }

    Ui::AirflowSpringSettingsWidget *m_ui;
};
