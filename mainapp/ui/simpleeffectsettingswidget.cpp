#include "simpleeffectsettingswidget.h"
#include "ui_simpleeffectsettingswidget.h"

SimpleEffectSettingsWidget::SimpleEffectSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::SimpleEffectSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
}

SimpleEffectSettingsWidget::~SimpleEffectSettingsWidget()
{
    delete m_ui;
}

void SimpleEffectSettingsWidget::setSettings(SimpleEffectSettings *settings)
{
    bindBlock(settings);
}
