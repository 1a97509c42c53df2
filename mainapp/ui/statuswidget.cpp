#include "statuswidget.h"
#include "ui_statuswidget.h"

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

QString connectedText(uint32_t version)
{
    return QStringLiteral("Connected ") + QStringLiteral("(Version %1)").arg(version);
}

} // namespace

StatusWidget::StatusWidget(QWidget *parent) : QWidget(parent), m_ui(new Ui::StatusWidget)
{
    m_ui->setupUi(this);
    const QString notDetected = QStringLiteral("Not detected");
    m_ui->telemetry_data_source->setText(notDetected);
    m_ui->flight_module->setText(notDetected);
    m_ui->joystick_state->setText(notDetected);
    m_ui->bassShakerState->setText(notDetected);
    m_ui->rudder_state->setText(notDetected);
    refreshTelemetry();
}

StatusWidget::~StatusWidget()
{
    delete m_ui;
}

QString StatusWidget::sourceText(Telemetry::Source source)
{
    switch (source) {
    case Telemetry::TELEMETRY_SOURCE_NONE:
        return QStringLiteral("Not detected");
    case Telemetry::TELEMETRY_SOURCE_MSFS:
        return QStringLiteral("MSFS");
    case Telemetry::TELEMETRY_SOURCE_DCS:
        return QStringLiteral("DCS");
    case Telemetry::TELEMETRY_SOURCE_IL2:
        return QStringLiteral("Il2 Shturmovik");
    case Telemetry::TELEMETRY_SOURCE_CONDOR:
        return QStringLiteral("Condor2");
    case Telemetry::TELEMETRY_SOURCE_XPLANE:
        return QStringLiteral("X-Plane");
    default:
        return QStringLiteral("Warthunder");
    }
}

void StatusWidget::changeTelemetry(Telemetry telemetry)
{
    if (m_override)
        return;
    m_telemetry = telemetry;
    refreshTelemetry();
}

void StatusWidget::changeTelemetrySource(Telemetry::Source source, QString flightModule)
{
    m_sourceLive = true;
    m_ui->telemetry_data_source->setText(sourceText(source));
    m_ui->flight_module->setText(flightModule);
}

void StatusWidget::endTelemetry()
{
    m_sourceLive = false;
    showNoSource();
    m_ui->flight_module->setText(QStringLiteral("Not detected"));
}

void StatusWidget::changeSourceProblem(Telemetry::Source source, QString problem)
{
    if (problem.isEmpty())
        m_sourceProblems.remove(source);
    else
        m_sourceProblems.insert(source, problem);
    if (!m_sourceLive)
        showNoSource();
}

void StatusWidget::showNoSource()
{
    QString text = QStringLiteral("Not detected");
    if (!m_sourceProblems.isEmpty())
        text += QStringLiteral(" (") + QStringList(m_sourceProblems.values()).join(QStringLiteral("; ")) +
                QLatin1Char(')');
    m_ui->telemetry_data_source->setText(text);
}

void StatusWidget::connectJoystick(uint32_t version)
{
    m_ui->joystick_state->setText(connectedText(version));
}

void StatusWidget::disconnectJoystick()
{
    m_ui->joystick_state->setText(QStringLiteral("Not detected"));
}

void StatusWidget::connectRudder(uint32_t version)
{
    m_ui->rudder_state->setText(connectedText(version));
}

void StatusWidget::disconnectRudder()
{
    m_ui->rudder_state->setText(QStringLiteral("Not detected"));
}

void StatusWidget::changePosition(PositionInput position)
{
    // A hundred times a second, mostly unchanged: nothing to redo then.
    if (m_shownPosition && *m_shownPosition == position)
        return;
    m_shownPosition = position;
    m_ui->roll_input->setText(number(position.roll));
    m_ui->pitch_input->setText(number(position.pitch));
    m_ui->yaw_input->setText(number(position.yaw));
}

void StatusWidget::refreshTelemetry()
{
    const Telemetry &t = m_telemetry;
    m_ui->airspeed_field->setText(number(t.clampedAirspeed()));
    m_ui->prop_airflow_field->setText(number(t.propAirflow));
    m_ui->aoa_field->setText(number(t.aoa));
    m_ui->sideslip_field->setText(number(t.sideslip));
    m_ui->roll_rate_field->setText(number(t.rollRate));
    m_ui->g_force_field->setText(number(t.gForce));
    m_ui->trimmer_roll_field->setText(number(t.trimmerRoll));
    m_ui->trimmer_pitch_field->setText(number(t.trimmerPitch));
    m_ui->trimmer_yaw_field->setText(number(t.trimmerYaw));
    m_ui->gear_field->setText(number(t.gear));
    m_ui->flaps_field->setText(number(t.flaps));
    m_ui->airbrake_field->setText(number(t.airbrake));
    m_ui->vertical_speed_field->setText(number(t.verticalSpeed));
    m_ui->on_ground_state_field->setText(t.onGround ? QStringLiteral("YES") : QStringLiteral("NO"));
}

void StatusWidget::on_telemetry_override_stateChanged(int arg1)
{
    if (arg1 > 0) {
        m_override = true;
        m_telemetry = Telemetry();
        refreshTelemetry();
        emit telemetryOverrideEnabled();
    } else {
        m_override = false;
        on_reset_telemetry_button_clicked();
        emit telemetryOverrideDisabled();
    }
}

void StatusWidget::setOverrideField(float Telemetry::*field, int value)
{
    m_telemetry.*field = float(value);
    emit telemetryOverrided(m_telemetry);
    refreshTelemetry();
}

void StatusWidget::on_airspeed_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::airspeed, value);
}

void StatusWidget::on_prop_airflow_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::propAirflow, value);
}

void StatusWidget::on_aoa_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::aoa, value);
}

void StatusWidget::on_sideslip_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::sideslip, value);
}

void StatusWidget::on_roll_rate_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::rollRate, value);
}

void StatusWidget::on_g_force_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::gForce, value);
}

void StatusWidget::on_trimmer_roll_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::trimmerRoll, value);
}

void StatusWidget::on_trimmer_pitch_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::trimmerPitch, value);
}

void StatusWidget::on_trimmer_yaw_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::trimmerYaw, value);
}

void StatusWidget::on_gear_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::gear, value);
}

void StatusWidget::on_flaps_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::flaps, value);
}

void StatusWidget::on_airbrake_slider_valueChanged(int value)
{
    setOverrideField(&Telemetry::airbrake, value);
}

void StatusWidget::on_vertical_speed_slider_valueChanged(int value)
{
    // This one shows the new value before announcing it.
    m_telemetry.verticalSpeed = float(value);
    refreshTelemetry();
    emit telemetryOverrided(m_telemetry);
}

void StatusWidget::on_on_ground_state_button_clicked()
{
    m_telemetry.onGround = !m_telemetry.onGround;
    if (m_telemetry.onGround)
        emit landed(m_telemetry.verticalSpeed, m_telemetry.clampedAirspeed());
    emit telemetryOverrided(m_telemetry);
    refreshTelemetry();
}

void StatusWidget::on_reset_telemetry_button_clicked()
{
    m_telemetry = Telemetry();
    const Telemetry &t = m_telemetry;
    m_ui->airspeed_slider->setValue(int(t.clampedAirspeed()));
    m_ui->prop_airflow_slider->setValue(int(t.propAirflow));
    m_ui->aoa_slider->setValue(int(t.aoa));
    m_ui->sideslip_slider->setValue(int(t.sideslip));
    m_ui->roll_rate_slider->setValue(int(t.rollRate));
    m_ui->g_force_slider->setValue(int(t.gForce));
    m_ui->trimmer_roll_slider->setValue(int(t.trimmerRoll));
    m_ui->trimmer_pitch_slider->setValue(int(t.trimmerPitch));
    m_ui->trimmer_yaw_slider->setValue(int(t.trimmerYaw));
    m_ui->gear_slider->setValue(int(t.gear));
    m_ui->flaps_slider->setValue(int(t.flaps));
    m_ui->airbrake_slider->setValue(int(t.airbrake));
    m_ui->vertical_speed_slider->setValue(int(t.verticalSpeed));
    emit telemetryOverrided(m_telemetry);
    refreshTelemetry();
}

void StatusWidget::on_profile_activation_stateChanged(int arg1)
{
    if (arg1 > 0)
        emit profileActivationEnabled();
    else
        emit profileActivationDisabled();
}
