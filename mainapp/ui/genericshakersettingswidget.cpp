#include "genericshakersettingswidget.h"
#include "ui_genericshakersettingswidget.h"

GenericShakerSettingsWidget::GenericShakerSettingsWidget(QWidget *parent)
    : ShakerSettingsPanel(parent), m_ui(new Ui::GenericShakerSettingsWidget)
{
    m_ui->setupUi(this);
    bindShakerRows();
}

GenericShakerSettingsWidget::~GenericShakerSettingsWidget()
{
    delete m_ui;
}

void GenericShakerSettingsWidget::setSettings(GenericShakerSettings *settings)
{
    bindBlock(settings);
}
