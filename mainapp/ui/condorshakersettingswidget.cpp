#include "condorshakersettingswidget.h"
#include "ui_condorshakersettingswidget.h"

CondorShakerSettingsWidget::CondorShakerSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::CondorShakerSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindFloat(m_ui->min_effect_frequency, [this] { return &settings()->frequency.min; });
    bindFloat(m_ui->max_effect_frequency, [this] { return &settings()->frequency.max; });
    bindFloat(m_ui->frequency_exponent, [this] { return &settings()->frequency.exp; });
}

CondorShakerSettingsWidget::~CondorShakerSettingsWidget()
{
    delete m_ui;
}

void CondorShakerSettingsWidget::setSettings(CondorShakerSettings *settings)
{
    bindBlock(settings);
}
