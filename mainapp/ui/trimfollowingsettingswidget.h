#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class TrimFollowingSettingsWidget;
}

// Trim and autopilot following: how much of the trim moves the springs'
// centre, whether the autopilot's control position does while it flies, and
// whether the trim runs the other way.
class TrimFollowingSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit TrimFollowingSettingsWidget(QWidget *parent = nullptr);
    ~TrimFollowingSettingsWidget() override;

    void setSettings(TrimFollowingSettings *settings);
    void refresh() override;

private:
    TrimFollowingSettings *settings() const { return blockAs<TrimFollowingSettings>(); }

    Ui::TrimFollowingSettingsWidget *m_ui;
};
