#pragma once

#include "effectssettings.h"

#include <QWidget>

#include <functional>
#include <vector>

class QSpinBox;

// Common ground of the effect settings panels. A panel edits one effect
// block in place; it never owns it. Each spin box is bound to one field:
// refresh() shows the fields (truncated toward zero) under the updating flag,
// and a spin box change outside a refresh writes its field and emits
// settingsChanged(). Until a block is bound nothing is shown or written.
class EffectSettingsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit EffectSettingsPanel(QWidget *parent = nullptr);

    // Shows the bound block's values without writing anything back.
    virtual void refresh();

    bool isBound() const { return m_block != nullptr; }
    bool isUpdating() const { return m_updating; }

    // The value a spin box shows for a stored float: truncated toward zero,
    // saturated at the int limits.
    static int displayedValue(double value);

signals:
    void settingsChanged();

protected:
    // Stores the block and refreshes.
    void bindBlock(SimpleEffectSettings *block);
    template<typename Block>
    Block *blockAs() const
    {
        return static_cast<Block *>(m_block);
    }

    // Binds a spin box through a reader and a writer that are only called
    // while a block is bound.
    void bindRow(QSpinBox *spinBox, std::function<int()> read, std::function<void(int)> write);
    // Binds a spin box to a float field, given as the field's address in the
    // bound block.
    void bindFloat(QSpinBox *spinBox, std::function<float *()> field);

    // Minimum-below-maximum rule of a pair of spin boxes: a minimum raised to
    // the maximum pushes the maximum one above it, and the other way round.
    // A spin box clamps, so at the end of its range the pair may end equal.
    static void pushMaximumAbove(QSpinBox *maximum, int minimumValue);
    static void pushMinimumBelow(QSpinBox *minimum, int maximumValue);

private:
    struct Row
    {
        QSpinBox *spinBox;
        std::function<int()> read;
    };

    SimpleEffectSettings *m_block = nullptr;
    std::vector<Row> m_rows;
    bool m_updating = false;
};
