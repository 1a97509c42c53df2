#include "aoashakersettingswidget.h"
#include "ui_aoashakersettingswidget.h"

AoAShakerSettingsWidget::AoAShakerSettingsWidget(QWidget *parent)
    : ShakerSettingsPanel(parent), m_ui(new Ui::AoAShakerSettingsWidget)
{
    m_ui->setupUi(this);
    bindShakerRows();
    bindFloat(m_ui->min_effect_strength_angle, [this] { return &settings()->aoa.min; });
    bindFloat(m_ui->max_effect_strength_angle, [this] { return &settings()->aoa.max; });
    bindFloat(m_ui->angle_effect_strength_exponent, [this] { return &settings()->aoa.exp; });
}

AoAShakerSettingsWidget::~AoAShakerSettingsWidget()
{
    delete m_ui;
}

void AoAShakerSettingsWidget::setSettings(AoAShakerSettings *settings)
{
    bindBlock(settings);
}

void AoAShakerSettingsWidget::on_min_effect_strength_angle_valueChanged(int value)
{
    pushMaximumAbove(m_ui->max_effect_strength_angle, value);
}

void AoAShakerSettingsWidget::on_max_effect_strength_angle_valueChanged(int value)
{
    pushMinimumBelow(m_ui->min_effect_strength_angle, value);
}
