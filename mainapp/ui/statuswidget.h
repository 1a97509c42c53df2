#pragma once

#include "devicereports.h"
#include "telemetry.h"

#include <QMap>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace Ui {
class StatusWidget;
}

// Devices, telemetry source, control positions and the telemetry record at a
// glance; also where the user hand-sets telemetry (the override) and
// switches automatic profile activation.
class StatusWidget : public QWidget
{
    Q_OBJECT

public:
    explicit StatusWidget(QWidget *parent = nullptr);
    ~StatusWidget() override;

    // The text shown for a telemetry source; unknown values read as War Thunder.
    static QString sourceText(Telemetry::Source source);

signals:
    void telemetryOverrideEnabled();
    void telemetryOverrideDisabled();
    void telemetryOverrided(Telemetry telemetry);
    void landed(float verticalSpeed, float airspeed);
    void profileActivationEnabled();
    void profileActivationDisabled();

public slots:
    void changeTelemetry(Telemetry telemetry);
    void changeTelemetrySource(Telemetry::Source source, QString flightModule);
    void endTelemetry();
    void connectJoystick(uint32_t version);
    void disconnectJoystick();
    void connectRudder(uint32_t version);
    void disconnectRudder();
    void changePosition(PositionInput position);
    // Shown beside "Not detected" while no simulator is live.
    void changeSourceProblem(Telemetry::Source source, QString problem);

private slots:
    void on_telemetry_override_stateChanged(int arg1);
    void on_airspeed_slider_valueChanged(int value);
    void on_prop_airflow_slider_valueChanged(int value);
    void on_aoa_slider_valueChanged(int value);
    void on_sideslip_slider_valueChanged(int value);
    void on_roll_rate_slider_valueChanged(int value);
    void on_g_force_slider_valueChanged(int value);
    void on_trimmer_roll_slider_valueChanged(int value);
    void on_trimmer_pitch_slider_valueChanged(int value);
    void on_trimmer_yaw_slider_valueChanged(int value);
    void on_gear_slider_valueChanged(int value);
    void on_flaps_slider_valueChanged(int value);
    void on_airbrake_slider_valueChanged(int value);
    void on_vertical_speed_slider_valueChanged(int value);
    void on_on_ground_state_button_clicked();
    void on_reset_telemetry_button_clicked();
    void on_profile_activation_stateChanged(int arg1);

private:
    void refreshTelemetry();
    void showNoSource();
    // A slider set one field of the hand-set record.
    void setOverrideField(float Telemetry::*field, int value);

    Ui::StatusWidget *m_ui;
    bool m_override = false;
    Telemetry m_telemetry;
    std::optional<PositionInput> m_shownPosition; // what the position fields show
    bool m_sourceLive = false;
    QMap<Telemetry::Source, QString> m_sourceProblems;
};
