#include "smartdampeningsettingswidget.h"
#include "ui_smartdampeningsettingswidget.h"

namespace {

void followSpinBox(QSlider *slider, int value)
{
    if (slider->maximum() < value)
        slider->setMaximum(value);
    if (slider->value() != value)
        slider->setValue(value);
}

void followSlider(QSpinBox *spinBox, int value)
{
    if (spinBox->value() != value)
        spinBox->setValue(value);
}

} // namespace

SmartDampeningSettingsWidget::SmartDampeningSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::SmartDampeningSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindFloat(m_ui->static_dampening_spinner, [this] { return &settings()->static_dampening; });
    bindFloat(m_ui->dynamic_dampening_spinner, [this] { return &settings()->dynamic_dampening; });
}

SmartDampeningSettingsWidget::~SmartDampeningSettingsWidget()
{
    delete m_ui;
}

void SmartDampeningSettingsWidget::setSettings(SmartDampeningSettings *settings)
{
    bindBlock(settings);
}

void SmartDampeningSettingsWidget::on_static_dampening_spinner_valueChanged(int value)
{
    followSpinBox(m_ui->static_dampening_slider, value);
}

void SmartDampeningSettingsWidget::on_dynamic_dampening_spinner_valueChanged(int value)
{
    followSpinBox(m_ui->dynamic_dampening_slider, value);
}

void SmartDampeningSettingsWidget::on_static_dampening_slider_valueChanged(int value)
{
    followSlider(m_ui->static_dampening_spinner, value);
}

void SmartDampeningSettingsWidget::on_dynamic_dampening_slider_valueChanged(int value)
{
    followSlider(m_ui->dynamic_dampening_spinner, value);
}
