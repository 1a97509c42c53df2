#include "genericshakersettingswidget.h"
#include "ui_genericshakersettingswidget.h"

GenericShakerSettingsWidget::GenericShakerSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::GenericShakerSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindFloat(m_ui->min_effect_strength_speed, [this] { return &settings()->speed.min; });
    bindFloat(m_ui->max_effect_strength_speed, [this] { return &settings()->speed.max; });
    bindFloat(m_ui->speed_effect_strength_exponent, [this] { return &settings()->speed.exp; });
    bindFloat(m_ui->min_effect_frequency, [this] { return &settings()->frequency.min; });
    bindFloat(m_ui->max_effect_frequency, [this] { return &settings()->frequency.max; });
    bindFloat(m_ui->frequency_exponent, [this] { return &settings()->frequency.exp; });
}

GenericShakerSettingsWidget::~GenericShakerSettingsWidget()
{
    delete m_ui;
}

void GenericShakerSettingsWidget::setSettings(GenericShakerSettings *settings)
{
    bindBlock(settings);
}

void GenericShakerSettingsWidget::on_min_effect_strength_speed_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_strength_speed, value);
}

void GenericShakerSettingsWidget::on_max_effect_strength_speed_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_strength_speed, value);
}

void GenericShakerSettingsWidget::on_min_effect_frequency_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_frequency, value);
}

void GenericShakerSettingsWidget::on_max_effect_frequency_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_frequency, value);
}
