#include "axiseffectswidget.h"
#include "ui_axiseffectswidget.h"

#include "effectsprofile.h"

#include <QListView>
#include <QStandardItemModel>

namespace {

struct EffectDescription
{
    int order;
    const char *name;
};

// In EffectsProfile::EffectType order.
constexpr std::array<EffectDescription, AxisEffectsWidget::EffectCount> kEffects = {{
    {4, "Natural airflow spring"},
    {1, "Simple spring"},
    {5, "Elevator weight"},
    {0, "Standard FFB (DirectX)"},
    {6, "Landing jolt shaker"},
    {8, "AoA shaker"},
    {9, "Extended gear shaker"},
    {10, "Extended flaps shaker"},
    {11, "Extended airbrakes shaker"},
    {7, "Rolling on ground shakeer"},
    {12, "IL2 Sturmovik specific shaker"},
    {13, "Condor 2 specific shaker"},
    {14, "Smart dampers"},
    {2, "GForce spring"},
    {3, "AOA spring"},
    {15, "Trim and autopilot following"}, // type 16
}};

// Eleven evenly spaced points from (inMin, -100) to (inMax, 100).
void giveStraightCurve(PointCurve &curve, float inMin, float inMax)
{
    if (curve.defined)
        return;
    PointCurve::Points points;
    for (int i = 0; i < PointCurve::PointCount; ++i) {
        const auto step = static_cast<float>(i);
        points[static_cast<std::size_t>(i)] = {inMin + (inMax - inMin) / 10.0f * step,
                                               -100.0f + 20.0f * step};
    }
    curve.setPoints(points);
}

} // namespace

AxisEffectsWidget::AxisEffectsWidget(QWidget *parent)
    : QWidget(parent), m_ui(new Ui::AxisEffectsWidget), m_effectsModel(new QStandardItemModel(this)),
      m_activeEffectsModel(new QStandardItemModel(this))
{
    m_ui->setupUi(this);

    const std::array<QLabel *, EffectCount> labels = {m_ui->natural_airflow_label,
                                                      m_ui->simple_spring_label,
                                                      m_ui->elevator_weight_label,
                                                      m_ui->direct_x_label,
                                                      m_ui->landing_jolt_label,
                                                      m_ui->aoa_shaker_label,
                                                      m_ui->extended_gear_shaker_label,
                                                      m_ui->extended_flaps_shaker_label,
                                                      m_ui->extended_airbrake_shaker_label,
                                                      m_ui->on_ground_rolling_shaker_label,
                                                      m_ui->il2_shaker_label,
                                                      m_ui->condor_shaker_label,
                                                      m_ui->smart_damper_label,
                                                      m_ui->g_force_spring_label,
                                                      m_ui->aoa_spring_label,
                                                      m_ui->trim_following_label};
    const std::array<EffectSettingsPanel *, EffectCount> panels = {m_ui->natural_airflow_widget,
                                                                   m_ui->simple_spring_widget,
                                                                   m_ui->elevator_weight_widget,
                                                                   m_ui->direct_x_widget,
                                                                   m_ui->landing_jolt_widget,
                                                                   m_ui->aoa_shaker_widget,
                                                                   m_ui->extended_gear_shaker_widget,
                                                                   m_ui->extended_flaps_shaker_widget,
                                                                   m_ui->extended_airbrake_shaker_widget,
                                                                   m_ui->on_ground_rolling_shaker_widget,
                                                                   m_ui->il2_shaker_widget,
                                                                   m_ui->condor_shaker_widget,
                                                                   m_ui->smart_damper_widget,
                                                                   m_ui->g_force_spring_widget,
                                                                   m_ui->aoa_spring_widget,
                                                                   m_ui->trim_following_widget};

    for (std::size_t index = 0; index < std::size_t(EffectCount); ++index) {
        const EffectDescription &description = kEffects[index];
        EffectEntry &effect = m_effectEntries[index];
        effect.order = description.order;
        effect.type = index < std::size_t(EmptyPage) ? int(index) : EffectsProfile::EFFECT_TYPE_TRIM_FOLLOWING;
        effect.name = QString::fromLatin1(description.name);
        effect.panel = panels[index];
        labels[index]->setText(effect.name);
        connect(effect.panel, &EffectSettingsPanel::settingsChanged, this,
                &AxisEffectsWidget::moderateSettingsChange);
    }

    m_ui->effects_combo->setModel(m_effectsModel);
    m_ui->active_effects_list->setModel(m_activeEffectsModel);
    connect(m_ui->active_effects_list, &QListView::clicked, this, &AxisEffectsWidget::listClicked);

    m_ui->simple_spring_widget->setTitle(
        QStringLiteral("Strength of spring (kg) depending on control deflection (%)"));
    m_ui->simple_spring_widget->setLabels(QStringLiteral("deflection (%)"), QStringLiteral("strength (kg)"));
    m_ui->simple_spring_widget->setXRange(-100.0f, 100.0f);
    m_ui->simple_spring_widget->setYRange(-100.0f, 100.0f);
    m_ui->g_force_spring_widget->setTitle(QStringLiteral("Strength of spring (kg) depending on GForce (G)"));
    m_ui->g_force_spring_widget->setLabels(QStringLiteral("g force (G)"), QStringLiteral("strength (kg)"));
    m_ui->g_force_spring_widget->setXRange(-10.0f, 10.0f);
    m_ui->g_force_spring_widget->setYRange(-100.0f, 100.0f);
    m_ui->aoa_spring_widget->setTitle(QStringLiteral("Strength of spring (kg) depending on AoA (degrees)"));
    m_ui->aoa_spring_widget->setLabels(QStringLiteral("aoa (degrees)"), QStringLiteral("strength (kg)"));
    m_ui->aoa_spring_widget->setXRange(-90.0f, 90.0f);
    m_ui->aoa_spring_widget->setYRange(-100.0f, 100.0f);

    std::array<QStandardItem *, EffectCount> rows{};
    std::array<QStandardItem *, EffectCount> activeRows{};
    for (const EffectEntry &effect : m_effectEntries) {
        for (auto *row : {&rows, &activeRows}) {
            auto *item = new QStandardItem(effect.name);
            item->setData(effect.type, EffectTypeRole);
            (*row)[static_cast<std::size_t>(effect.order)] = item;
        }
    }
    for (int row = 0; row < EffectCount; ++row) {
        m_effectsModel->appendRow(rows[static_cast<std::size_t>(row)]);
        m_activeEffectsModel->appendRow(activeRows[static_cast<std::size_t>(row)]);
    }

    // Nothing is allowed until the owner says otherwise.
    refreshLists();
}

AxisEffectsWidget::~AxisEffectsWidget()
{
    delete m_ui;
}

int AxisEffectsWidget::typeAtRow(int row) const
{
    return m_effectsModel->index(row, 0).data(EffectTypeRole).toInt();
}

void AxisEffectsWidget::setSettings(AxisEffectsSettings &settings)
{
    m_settings = &settings;
    const std::array<SimpleEffectSettings *, EffectCount> blocks = {
        &settings.airflow_spring,   &settings.simple_spring,  &settings.elevator_weight,
        &settings.direct_x,         &settings.landing_jolt,   &settings.aoa_shaker,
        &settings.gear_shaker,      &settings.flaps_shaker,   &settings.airbrake_shaker,
        &settings.on_ground_shaker, &settings.il2_shaker,     &settings.condor_shaker,
        &settings.smart_damper,     &settings.g_force_spring, &settings.aoa_spring,
        &settings.trim_following};
    for (std::size_t index = 0; index < std::size_t(EffectCount); ++index)
        m_effectEntries[index].settings = blocks[index];

    m_ui->natural_airflow_widget->setSettings(&settings.airflow_spring);
    m_ui->simple_spring_widget->setSettings(&settings.simple_spring);
    m_ui->elevator_weight_widget->setSettings(&settings.elevator_weight);
    m_ui->direct_x_widget->setSettings(&settings.direct_x);
    m_ui->landing_jolt_widget->setSettings(&settings.landing_jolt);
    m_ui->aoa_shaker_widget->setSettings(&settings.aoa_shaker);
    m_ui->extended_gear_shaker_widget->setSettings(&settings.gear_shaker);
    m_ui->extended_flaps_shaker_widget->setSettings(&settings.flaps_shaker);
    m_ui->extended_airbrake_shaker_widget->setSettings(&settings.airbrake_shaker);
    m_ui->on_ground_rolling_shaker_widget->setSettings(&settings.on_ground_shaker);
    m_ui->il2_shaker_widget->setSettings(&settings.il2_shaker);
    m_ui->condor_shaker_widget->setSettings(&settings.condor_shaker);
    m_ui->smart_damper_widget->setSettings(&settings.smart_damper);
    m_ui->g_force_spring_widget->setSettings(&settings.g_force_spring);
    m_ui->aoa_spring_widget->setSettings(&settings.aoa_spring);
    m_ui->trim_following_widget->setSettings(&settings.trim_following);
}

void AxisEffectsWidget::setEnabledEffects(const QSet<int> &effects)
{
    m_enabledEffects = effects;
    for (EffectEntry &effect : m_effectEntries) {
        if (!m_enabledEffects.contains(effect.type) && effect.settings) {
            effect.settings->active = false;
            effect.settings->total_effect_strength = 0.0f;
        }
    }
    refresh();
}

void AxisEffectsWidget::refresh()
{
    refreshLists();
    giveDefaultCurves();
    for (const EffectEntry &effect : m_effectEntries)
        effect.panel->refresh();
}

void AxisEffectsWidget::giveDefaultCurves()
{
    if (!m_settings)
        return;
    giveStraightCurve(m_settings->simple_spring.curve, -100.0f, 100.0f);
    giveStraightCurve(m_settings->g_force_spring.curve, -10.0f, 10.0f);
    giveStraightCurve(m_settings->aoa_spring.curve, -90.0f, 90.0f);
}

void AxisEffectsWidget::refreshLists()
{
    QComboBox *combo = m_ui->effects_combo;
    QListView *list = m_ui->active_effects_list;
    auto *popup = qobject_cast<QListView *>(combo->view());
    combo->setCurrentIndex(-1);

    for (int row = 0; row < EffectCount; ++row) {
        const int type = typeAtRow(row);
        SimpleEffectSettings *block = entry(type).settings;
        QStandardItem *comboItem = m_effectsModel->item(row);
        const bool allowed = m_enabledEffects.contains(type);
        if (popup)
            popup->setRowHidden(row, !allowed);
        if (allowed) {
            const bool active = block && block->active;
            comboItem->setEnabled(!active);
            list->setRowHidden(row, !active);
        } else {
            // Disabled as well as hidden: the wheel and the arrow keys of a
            // closed combo box step over disabled items only.
            comboItem->setEnabled(false);
            list->setRowHidden(row, true);
            if (block)
                block->active = false;
        }
    }

    int shownRow = -1;
    for (int row = 0; row < EffectCount && shownRow < 0; ++row) {
        if (!list->isRowHidden(row))
            shownRow = row;
    }
    if (shownRow >= 0) {
        list->setCurrentIndex(m_activeEffectsModel->index(shownRow, 0));
        m_ui->effect_stack->setCurrentIndex(typeAtRow(shownRow));
    } else {
        m_ui->effect_stack->setCurrentIndex(EmptyPage);
    }
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth());
}

void AxisEffectsWidget::on_activate_effect_button_clicked()
{
    const int row = m_ui->effects_combo->currentIndex();
    if (row >= 0 && row < EffectCount) {
        const int type = typeAtRow(row);
        SimpleEffectSettings *block = entry(type).settings;
        if (block && m_enabledEffects.contains(type)) {
            // A new effect always starts at strength 0; the user raises it.
            block->active = false;
            block->total_effect_strength = 0.0f;
            block->active = true;
            refresh();
            m_ui->effect_stack->setCurrentIndex(type);
            m_ui->active_effects_list->setCurrentIndex(m_activeEffectsModel->index(row, 0));
        }
    }
    emit suddenSettingsChange();
}

void AxisEffectsWidget::removeEffect(int type)
{
    if (SimpleEffectSettings *block = entry(type).settings) {
        block->active = false;
        block->total_effect_strength = 0.0f;
    }
    emit moderateSettingsChange();
    refresh();
}

void AxisEffectsWidget::on_natural_airflow_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_NATURAL_AIRFLOW);
}

void AxisEffectsWidget::on_simple_spring_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_SIMPLE_SPRING);
}

void AxisEffectsWidget::on_elevator_weight_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_ELEVATOR_WEIGHT);
}

void AxisEffectsWidget::on_landing_jolt_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_LANDING_JOLT);
}

void AxisEffectsWidget::on_aoa_shaker_disble_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_AOA_SHAKER);
}

void AxisEffectsWidget::on_extended_gear_shaker_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_EXTENDED_GEAR_SHAKER);
}

void AxisEffectsWidget::on_extended_flaps_shaker_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_EXTENDED_FLAPS_SHAKER);
}

void AxisEffectsWidget::on_extended_airbrake_shaker_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_EXTENDED_AIRBRAKES_SHAKER);
}

void AxisEffectsWidget::on_on_ground_rolling_shaker_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_ON_GROUND_ROLLING_SHAKER);
}

void AxisEffectsWidget::on_il2_shaker_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_IL2_SHAKING);
}

void AxisEffectsWidget::on_direct_x_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_DIRECT_X_FFB);
}

void AxisEffectsWidget::on_condor_shaker_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_CONDOR_SHAKER);
}

void AxisEffectsWidget::on_smart_damper_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_SMART_DAMPER);
}

void AxisEffectsWidget::on_g_force_spring_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_G_FORCE_SPRING);
}

void AxisEffectsWidget::on_aoa_spring_disble_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_AOA_SPRING);
}

void AxisEffectsWidget::on_trim_following_disable_button_clicked()
{
    removeEffect(EffectsProfile::EFFECT_TYPE_TRIM_FOLLOWING);
}

void AxisEffectsWidget::listClicked(QModelIndex index)
{
    if (index.isValid())
        m_ui->effect_stack->setCurrentIndex(index.data(EffectTypeRole).toInt());
}
