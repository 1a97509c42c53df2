#include "effectsettingspanel.h"

#include <QSpinBox>

#include <cmath>
#include <limits>

EffectSettingsPanel::EffectSettingsPanel(QWidget *parent) : QWidget(parent)
{}

int EffectSettingsPanel::displayedValue(double value)
{
    // Files may hold any float; converting one beyond int would be undefined.
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (truncated >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(truncated);
}

void EffectSettingsPanel::refresh()
{
    if (!m_block)
        return;
    m_updating = true;
    for (const Row &row : m_rows)
        row.spinBox->setValue(row.read());
    m_updating = false;
}

void EffectSettingsPanel::bindBlock(SimpleEffectSettings *block)
{
    m_block = block;
    refresh();
}

void EffectSettingsPanel::bindRow(QSpinBox *spinBox, std::function<int()> read,
                                  std::function<void(int)> write)
{
    m_rows.push_back({spinBox, std::move(read)});
    connect(spinBox, &QSpinBox::valueChanged, this, [this, write = std::move(write)](int value) {
        if (m_updating || !m_block)
            return;
        write(value);
        emit settingsChanged();
    });
}

void EffectSettingsPanel::bindFloat(QSpinBox *spinBox, std::function<float *()> field)
{
    bindRow(
        spinBox, [field] { return displayedValue(*field()); },
        [field](int value) { *field() = static_cast<float>(value); });
}

void EffectSettingsPanel::pushMaximumAbove(QSpinBox *maximum, int minimumValue)
{
    if (minimumValue >= maximum->value())
        maximum->setValue(minimumValue + 1);
}

void EffectSettingsPanel::pushMinimumBelow(QSpinBox *minimum, int maximumValue)
{
    if (minimum->value() >= maximumValue)
        minimum->setValue(maximumValue - 1);
}
