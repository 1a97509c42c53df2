#pragma once

#include "effectsettingspanel.h"

// Common part of the panels whose block is or extends GenericShakerSettings:
// the generic, AoA and landing jolt shakers. Their forms share the strength,
// speed range and frequency range rows under the same object names; this
// binds those rows and keeps each range's minimum below its maximum. The
// slots connect by name when the subclass sets up its form.
class ShakerSettingsPanel : public EffectSettingsPanel
{
    Q_OBJECT

protected:
    explicit ShakerSettingsPanel(QWidget *parent = nullptr);

    // Binds the shared rows of the form; call once, after setupUi().
    void bindShakerRows();

private slots:
    void on_min_effect_strength_speed_valueChanged(int value);
    void on_max_effect_strength_speed_valueChanged(int value);
    void on_min_effect_frequency_valueChanged(int value);
    void on_max_effect_frequency_valueChanged(int value);

private:
    GenericShakerSettings *shaker() const { return blockAs<GenericShakerSettings>(); }
    QSpinBox *row(const char *objectName) const;

    QSpinBox *m_minSpeed = nullptr;
    QSpinBox *m_maxSpeed = nullptr;
    QSpinBox *m_minFrequency = nullptr;
    QSpinBox *m_maxFrequency = nullptr;
};
