#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class DirectXSettingsWidget;
}

// Scaling of the device's own DirectX forces.
class DirectXSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit DirectXSettingsWidget(QWidget *parent = nullptr);
    ~DirectXSettingsWidget() override;

    void setSettings(DirectXSettings *settings);

private:
    DirectXSettings *settings() const { return blockAs<DirectXSettings>(); }

    Ui::DirectXSettingsWidget *m_ui;
};
