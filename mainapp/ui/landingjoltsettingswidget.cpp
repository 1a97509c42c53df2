#include "landingjoltsettingswidget.h"
#include "ui_landingjoltsettingswidget.h"

#include <algorithm>

LandingJoltSettingsWidget::LandingJoltSettingsWidget(QWidget *parent)
    : ShakerSettingsPanel(parent), m_ui(new Ui::LandingJoltSettingsWidget)
{
    m_ui->setupUi(this);
    bindShakerRows();
    bindRow(
        m_ui->effect_time, [this] { return displayedValue(static_cast<double>(settings()->effect_time)); },
        [this](int value) { settings()->effect_time = static_cast<std::uint64_t>(std::max(value, 0)); });
}

LandingJoltSettingsWidget::~LandingJoltSettingsWidget()
{
    delete m_ui;
}

void LandingJoltSettingsWidget::setSettings(LandingJoltSettings *settings)
{
    bindBlock(settings);
}
