#include "shakersettingspanel.h"

#include <QSpinBox>

ShakerSettingsPanel::ShakerSettingsPanel(QWidget *parent) : EffectSettingsPanel(parent)
{}

QSpinBox *ShakerSettingsPanel::row(const char *objectName) const
{
    auto *spinBox = findChild<QSpinBox *>(QLatin1StringView(objectName));
    Q_ASSERT_X(spinBox, "ShakerSettingsPanel", objectName);
    return spinBox;
}

void ShakerSettingsPanel::bindShakerRows()
{
    m_minSpeed = row("min_effect_strength_speed");
    m_maxSpeed = row("max_effect_strength_speed");
    m_minFrequency = row("min_effect_frequency");
    m_maxFrequency = row("max_effect_frequency");
    bindFloat(row("total_effect_strength"), [this] { return &shaker()->total_effect_strength; });
    bindFloat(m_minSpeed, [this] { return &shaker()->speed.min; });
    bindFloat(m_maxSpeed, [this] { return &shaker()->speed.max; });
    bindFloat(row("speed_effect_strength_exponent"), [this] { return &shaker()->speed.exp; });
    bindFloat(m_minFrequency, [this] { return &shaker()->frequency.min; });
    bindFloat(m_maxFrequency, [this] { return &shaker()->frequency.max; });
    bindFloat(row("frequency_exponent"), [this] { return &shaker()->frequency.exp; });
}

void ShakerSettingsPanel::on_min_effect_strength_speed_valueChanged(int value)
{
    pushMaximumAbove(m_maxSpeed, value);
}

void ShakerSettingsPanel::on_max_effect_strength_speed_valueChanged(int value)
{
    pushMinimumBelow(m_minSpeed, value);
}

void ShakerSettingsPanel::on_min_effect_frequency_valueChanged(int value)
{
    pushMaximumAbove(m_maxFrequency, value);
}

void ShakerSettingsPanel::on_max_effect_frequency_valueChanged(int value)
{
    pushMinimumBelow(m_minFrequency, value);
}
