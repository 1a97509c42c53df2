#include "directxsettingswidget.h"
#include "ui_directxsettingswidget.h"

DirectXSettingsWidget::DirectXSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::DirectXSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    bindFloat(m_ui->spring_effect_strength, [this] { return &settings()->force; });
    bindFloat(m_ui->periodic_effect_strength, [this] { return &settings()->periodic; });
    bindFloat(m_ui->trimmer_effect_strength, [this] { return &settings()->trimmer; });
}

DirectXSettingsWidget::~DirectXSettingsWidget()
{
    delete m_ui;
}

void DirectXSettingsWidget::setSettings(DirectXSettings *settings)
{
    bindBlock(settings);
}
