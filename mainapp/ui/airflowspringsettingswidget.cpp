#include "airflowspringsettingswidget.h"
#include "ui_airflowspringsettingswidget.h"

AirflowSpringSettingsWidget::AirflowSpringSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::AirflowSpringSettingsWidget)
{
    m_ui->setupUi(this);
    QSpinBox *start = m_ui->attenuation_start_airspeed_spinner;
    QSpinBox *end = m_ui->attenuation_end_airspeed_spinner;

    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindFloat(m_ui->airspeed_force_spinner, [this] { return &settings()->airspeed_force; });
    bindFloat(m_ui->thrust_force_spinner, [this] { return &settings()->thrust_force; });
    bindFloat(m_ui->attenuation_strength, [this] { return &settings()->attenuation_strength; });
    // The partner is taken as shown, so that the block ends up as the panel
    // shows it even where a refresh adjusted the pair on screen.
    bindRow(
        start, [this] { return displayedValue(settings()->attenuation_start_airspeed); },
        [this, end](int value) {
            settings()->setAttenuation(static_cast<float>(value), static_cast<float>(end->value()));
        });
    bindRow(
        end, [this] { return displayedValue(settings()->attenuation_end_airspeed); },
        [this, start](int value) {
            settings()->setAttenuation(static_cast<float>(start->value()), static_cast<float>(value));
        });
    bindFloat(m_ui->local_aoa_influence_strength,
              [this] { return &settings()->local_aoa_influence_strength; });
}

AirflowSpringSettingsWidget::~AirflowSpringSettingsWidget()
{
    delete m_ui;
}

void AirflowSpringSettingsWidget::setSettings(AirflowSpringSettings *settings)
{
    bindBlock(settings);
}

void AirflowSpringSettingsWidget::on_attenuation_start_airspeed_spinner_valueChanged(int value)
{
    if (m_ui->attenuation_end_airspeed_spinner->value() / 2 <= value)
        m_ui->attenuation_end_airspeed_spinner->setValue(2 * value);
}

void AirflowSpringSettingsWidget::on_attenuation_end_airspeed_spinner_valueChanged(int value)
{
    if (2 * m_ui->attenuation_start_airspeed_spinner->value() >= value)
        m_ui->attenuation_start_airspeed_spinner->setValue(value / 2);
}
