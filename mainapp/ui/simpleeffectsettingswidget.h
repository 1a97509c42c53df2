#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class SimpleEffectSettingsWidget;
}

// Total strength of an effect that has no other setting (elevator weight,
// IL-2 shaker) and of each curve spring.
class SimpleEffectSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit SimpleEffectSettingsWidget(QWidget *parent = nullptr);
    ~SimpleEffectSettingsWidget() override;

    void setSettings(SimpleEffectSettings *settings);

private:
    SimpleEffectSettings *settings() const { return blockAs<SimpleEffectSettings>(); }

    Ui::SimpleEffectSettingsWidget *m_ui;
};
