#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class CondorShakerSettingsWidget;
}

// Condor 2 specific shaker: strength (at most 99) and frequency range.
class CondorShakerSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit CondorShakerSettingsWidget(QWidget *parent = nullptr);
    ~CondorShakerSettingsWidget() override;

    void setSettings(CondorShakerSettings *settings);

private:
    CondorShakerSettings *settings() const { return blockAs<CondorShakerSettings>(); }

    Ui::CondorShakerSettingsWidget *m_ui;
};
