#pragma once

#include "settingsrecords.h"

#include <QDir>
#include <QWidget>

#include <array>
#include <memory>

class QSlider;
class QSpinBox;

namespace Ui {
class FullEffectSettingsWidget;
}

// The "Effects" page of the setup window: shows and edits one
// EffectSettingsTypeDef and keeps named snapshots of it as device effect
// profiles, 384-byte record files in "device_effects_profiles" under the
// working directory. The page never talks to a device.
class FullEffectSettingsWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FullEffectSettingsWidget(QWidget *parent = nullptr);
    ~FullEffectSettingsWidget() override;

    void setSettings(const EffectSettingsTypeDef &settings);
    // Writes the page into `settings`, which the caller has zero-filled.
    void getSettings(EffectSettingsTypeDef &settings) const;
    // Shows what the device type supports; also resets the motion range sliders.
    void setDeviceType(int deviceType);

    QDir profileDirectory() const { return m_profileDir; }
    // Why `name` cannot be a profile file name, or an empty string when it can.
    // Only checks the name; the file system may still refuse it.
    static QString profileNameProblem(const QString &name);

signals:
    void profileApplied();

public slots:
    void disableUnsupportedElements();
    void on_profile_combo_box_activated(int index);
    void on_profile_save_button_clicked();
    void on_profile_delete_button_clicked();
    void applyProfile(const QString &name);
    void readProfiles();

    void on_motion_range_axis0_valueChanged(int value);
    void on_motion_range_axis1_valueChanged(int value);
    void on_motion_range_slider_axis0_valueChanged(int value);
    void on_motion_range_slider_axis1_valueChanged(int value);
    void on_static_dampening_axis0_valueChanged(int value);
    void on_dynamic_dampening_axis0_valueChanged(int value);
    void on_soft_stop_dampening_axis0_valueChanged(int value);
    void on_static_dampening_slider_axis0_valueChanged(int value);
    void on_dynamic_dampening_slider_axis0_valueChanged(int value);
    void on_soft_stop_dampening_slider_axis0_valueChanged(int value);
    void on_static_dampening_axis1_valueChanged(int value);
    void on_dynamic_dampening_axis1_valueChanged(int value);
    void on_soft_stop_dampening_axis1_valueChanged(int value);
    void on_static_dampening_slider_axis1_valueChanged(int value);
    void on_dynamic_dampening_slider_axis1_valueChanged(int value);
    void on_soft_stop_dampening_slider_axis1_valueChanged(int value);

private:
    struct AxisElements
    {
        QSpinBox *motionRange;
        QSpinBox *totalEffectStrength;
        QSpinBox *softStopStrength;
        QSpinBox *softStopRange;
        QSpinBox *staticDampening;
        QSpinBox *dynamicDampening;
        QSpinBox *softStopDampening;
        QSpinBox *maxForce;
        QSlider *motionRangeSlider;
        QList<QWidget *> maxForceRow;
    };

    // Resolves `name` inside the profile directory, or reports why it cannot.
    QString profilePath(const QString &name);
    void showMessage(const QString &message);

    std::unique_ptr<Ui::FullEffectSettingsWidget> m_ui;
    std::array<AxisElements, 2> m_axes;
    QDir m_profileDir;
    int m_deviceType = -1;
};
