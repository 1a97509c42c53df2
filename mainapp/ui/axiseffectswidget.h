#pragma once

#include "effectssettings.h"

#include <QModelIndex>
#include <QSet>
#include <QWidget>

#include <array>

class EffectSettingsPanel;
class QStandardItemModel;

namespace Ui {
class AxisEffectsWidget;
}

// Editor of the effects of one control axis. It is bound to the owner's
// AxisEffectsSettings and edits it in place: it lists the active effects,
// offers the allowed ones for adding, removes effects and shows one settings
// panel per effect kind. Adding an effect is reported as a sudden change;
// removing one or editing any value as a moderate change.
//
// Both item models keep all sixteen effects, one row each in selector order;
// rows are hidden and shown, never removed. Row data: the effect name
// (display role) and its EffectsProfile::EffectType (EffectTypeRole). The
// page of an effect in effect_stack is its type: 0 to 14, then the empty
// page (15), then trim following (16).
class AxisEffectsWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int EffectTypeRole = Qt::UserRole + 1;
    static constexpr int EffectCount = 16;
    // Page of effect_stack shown while no effect is listed.
    static constexpr int EmptyPage = 15;

    explicit AxisEffectsWidget(QWidget *parent = nullptr);
    ~AxisEffectsWidget() override;

    // Binds the editor and its panels to one axis. The settings must outlive
    // the widget; the lists follow with the next setEnabledEffects().
    void setSettings(AxisEffectsSettings &settings);
    // The effect ids (EffectsProfile::EffectType values) that may be used on
    // this axis. Effects outside the set are switched off at strength 0, then
    // everything is refreshed. Emits nothing.
    void setEnabledEffects(const QSet<int> &effects);
    QSet<int> enabledEffects() const { return m_enabledEffects; }

    // Shows the bound settings again: lists, default curves for springs that
    // have none, every panel. Call after the bound settings were replaced.
    void refresh();

signals:
    void suddenSettingsChange();
    void moderateSettingsChange();

private slots:
    void on_activate_effect_button_clicked();
    void on_natural_airflow_disable_button_clicked();
    void on_simple_spring_disable_button_clicked();
    void on_elevator_weight_disable_button_clicked();
    void on_landing_jolt_disable_button_clicked();
    void on_aoa_shaker_disble_button_clicked();
    void on_extended_gear_shaker_disable_button_clicked();
    void on_extended_flaps_shaker_disable_button_clicked();
    void on_extended_airbrake_shaker_disable_button_clicked();
    void on_on_ground_rolling_shaker_disable_button_clicked();
    void on_il2_shaker_disable_button_clicked();
    void on_direct_x_disable_button_clicked();
    void on_condor_shaker_disable_button_clicked();
    void on_smart_damper_disable_button_clicked();
    void on_g_force_spring_disable_button_clicked();
    void on_aoa_spring_disble_button_clicked();
    void on_trim_following_disable_button_clicked();
    void listClicked(QModelIndex index);

private:
    struct EffectEntry
    {
        int order = 0; // row in both lists
        int type = 0;  // EffectsProfile::EffectType, also the page index
        QString name;
        SimpleEffectSettings *settings = nullptr;
        EffectSettingsPanel *panel = nullptr;
    };

    // Entries in type order; trim following (16) follows the fifteen first.
    static std::size_t indexOf(int type) { return static_cast<std::size_t>(type < EmptyPage ? type : type - 1); }
    EffectEntry &entry(int type) { return m_effectEntries[indexOf(type)]; }
    int typeAtRow(int row) const;
    void removeEffect(int type);
    void refreshLists();
    void giveDefaultCurves();

    Ui::AxisEffectsWidget *m_ui;
    std::array<EffectEntry, EffectCount> m_effectEntries;
    AxisEffectsSettings *m_settings = nullptr;
    QSet<int> m_enabledEffects;
    QStandardItemModel *m_effectsModel;
    QStandardItemModel *m_activeEffectsModel;
};
