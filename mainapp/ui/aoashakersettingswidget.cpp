#include "aoashakersettingswidget.h"
#include "ui_aoashakersettingswidget.h"

AoAShakerSettingsWidget::AoAShakerSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::AoAShakerSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindFloat(m_ui->min_effect_strength_speed, [this] { return &settings()->speed.min; });
    bindFloat(m_ui->max_effect_strength_speed, [this] { return &settings()->speed.max; });
    bindFloat(m_ui->speed_effect_strength_exponent, [this] { return &settings()->speed.exp; });
    bindFloat(m_ui->min_effect_strength_angle, [this] { return &settings()->aoa.min; });
    bindFloat(m_ui->max_effect_strength_angle, [this] { return &settings()->aoa.max; });
    bindFloat(m_ui->angle_effect_strength_exponent, [this] { return &settings()->aoa.exp; });
    bindFloat(m_ui->min_effect_frequency, [this] { return &settings()->frequency.min; });
    bindFloat(m_ui->max_effect_frequency, [this] { return &settings()->frequency.max; });
    bindFloat(m_ui->frequency_exponent, [this] { return &settings()->frequency.exp; });
}

AoAShakerSettingsWidget::~AoAShakerSettingsWidget()
{
    delete m_ui;
}

void AoAShakerSettingsWidget::setSettings(AoAShakerSettings *settings)
{
    bindBlock(settings);
}

void AoAShakerSettingsWidget::on_min_effect_strength_speed_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_strength_speed, value);
}

void AoAShakerSettingsWidget::on_max_effect_strength_speed_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_strength_speed, value);
}

void AoAShakerSettingsWidget::on_min_effect_strength_angle_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_strength_angle, value);
}

void AoAShakerSettingsWidget::on_max_effect_strength_angle_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_strength_angle, value);
}

void AoAShakerSettingsWidget::on_min_effect_frequency_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_frequency, value);
}

void AoAShakerSettingsWidget::on_max_effect_frequency_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_frequency, value);
}
