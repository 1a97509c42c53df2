#include "trimfollowingsettingswidget.h"
#include "ui_trimfollowingsettingswidget.h"

#include <QSignalBlocker>

TrimFollowingSettingsWidget::TrimFollowingSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::TrimFollowingSettingsWidget)
{
    m_ui->setupUi(this);
    bindFloat(m_ui->total_effect_strength, [this] { return &settings()->total_effect_strength; });
    for (auto [box, field] : {std::pair{m_ui->autopilot, &TrimFollowingSettings::autopilot},
                              std::pair{m_ui->reverse, &TrimFollowingSettings::reverse}}) {
        connect(box, &QCheckBox::toggled, this, [this, field](bool checked) {
            if (!isBound() || isUpdating())
                return;
            settings()->*field = checked;
            emit settingsChanged();
        });
    }
}

TrimFollowingSettingsWidget::~TrimFollowingSettingsWidget()
{
    delete m_ui;
}

void TrimFollowingSettingsWidget::setSettings(TrimFollowingSettings *settings)
{
    bindBlock(settings);
}

void TrimFollowingSettingsWidget::refresh()
{
    EffectSettingsPanel::refresh();
    if (!isBound())
        return;
    const QSignalBlocker autopilot(m_ui->autopilot);
    const QSignalBlocker reverse(m_ui->reverse);
    m_ui->autopilot->setChecked(settings()->autopilot);
    m_ui->reverse->setChecked(settings()->reverse);
}
