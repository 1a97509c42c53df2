#include "landingjoltsettingswidget.h"
#include "ui_landingjoltsettingswidget.h"

#include <algorithm>

LandingJoltSettingsWidget::LandingJoltSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::LandingJoltSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindRow(
        m_ui->effect_time, [this] { return displayedValue(static_cast<double>(settings()->effect_time)); },
        [this](int value) { settings()->effect_time = static_cast<std::uint64_t>(std::max(value, 0)); });
    bindFloat(m_ui->min_effect_strength_speed, [this] { return &settings()->speed.min; });
    bindFloat(m_ui->max_effect_strength_speed, [this] { return &settings()->speed.max; });
    bindFloat(m_ui->speed_effect_strength_exponent, [this] { return &settings()->speed.exp; });
    bindFloat(m_ui->min_effect_frequency, [this] { return &settings()->frequency.min; });
    bindFloat(m_ui->max_effect_frequency, [this] { return &settings()->frequency.max; });
    bindFloat(m_ui->frequency_exponent, [this] { return &settings()->frequency.exp; });
}

LandingJoltSettingsWidget::~LandingJoltSettingsWidget()
{
    delete m_ui;
}

void LandingJoltSettingsWidget::setSettings(LandingJoltSettings *settings)
{
    bindBlock(settings);
}

void LandingJoltSettingsWidget::on_min_effect_strength_speed_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_strength_speed, value);
}

void LandingJoltSettingsWidget::on_max_effect_strength_speed_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_strength_speed, value);
}

void LandingJoltSettingsWidget::on_min_effect_frequency_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_frequency, value);
}

void LandingJoltSettingsWidget::on_max_effect_frequency_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_frequency, value);
}
