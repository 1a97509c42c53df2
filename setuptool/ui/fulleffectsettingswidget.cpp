#include "fulleffectsettingswidget.h"

#include "settingspages.h"
#include "setuplogging.h"
#include "ui_fulleffectsettingswidget.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

const QString ProfileDirectoryName = QStringLiteral("device_effects_profiles");

// Spin box to slider where the spin box reaches further: the slider grows
// so that both always show the same value.
void followWithGrowth(QSlider *slider, int value)
{
    if (slider->maximum() < value)
        slider->setMaximum(value);
    if (slider->value() != value)
        slider->setValue(value);
}

void follow(QSpinBox *spinBox, int value)
{
    if (spinBox->value() != value)
        spinBox->setValue(value);
}

// Device names that Windows opens as devices whatever the folder; refused
// everywhere so that profile folders can be copied between machines.
bool isReservedDeviceName(const QString &name)
{
    const QString base = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList fixed{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                   QStringLiteral("NUL")};
    if (fixed.contains(base))
        return true;
    return base.size() == 4 &&
           (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
           base.at(3) >= QLatin1Char('1') && base.at(3) <= QLatin1Char('9');
}

} // namespace

FullEffectSettingsWidget::FullEffectSettingsWidget(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::FullEffectSettingsWidget>())
{
    m_ui->setupUi(this);

    m_axes[0] = {m_ui->motion_range_axis0,
                 m_ui->total_effect_scale_axis0,
                 m_ui->soft_stop_strength_axis0,
                 m_ui->soft_stop_range_axis0,
                 m_ui->static_dampening_axis0,
                 m_ui->dynamic_dampening_axis0,
                 m_ui->soft_stop_dampening_axis0,
                 m_ui->max_force_axis0,
                 m_ui->motion_range_slider_axis0,
                 {m_ui->max_force_label_axis0, m_ui->max_force_slider_axis0, m_ui->max_force_axis0}};
    m_axes[1] = {m_ui->motion_range_axis1,
                 m_ui->total_effect_scale_axis1,
                 m_ui->soft_stop_strength_axis1,
                 m_ui->soft_stop_range_axis1,
                 m_ui->static_dampening_axis1,
                 m_ui->dynamic_dampening_axis1,
                 m_ui->soft_stop_dampening_axis1,
                 m_ui->max_force_axis1,
                 m_ui->motion_range_slider_axis1,
                 {m_ui->max_force_label_axis1, m_ui->max_force_slider_axis1, m_ui->max_force_axis1}};

    // Rows whose slider and spin box share one range; the others grow
    // through the named slots.
    mirrorSliderAndSpinBox(m_ui->horizontalSlider_2, m_ui->total_effect_scale_axis0);
    mirrorSliderAndSpinBox(m_ui->soft_stop_strength_slider_axis0, m_ui->soft_stop_strength_axis0);
    mirrorSliderAndSpinBox(m_ui->soft_stop_range_slider_axis0, m_ui->soft_stop_range_axis0);
    mirrorSliderAndSpinBox(m_ui->max_force_slider_axis0, m_ui->max_force_axis0);
    mirrorSliderAndSpinBox(m_ui->horizontalSlider_3, m_ui->total_effect_scale_axis1);
    mirrorSliderAndSpinBox(m_ui->soft_stop_strength_slider_axis1, m_ui->soft_stop_strength_axis1);
    mirrorSliderAndSpinBox(m_ui->soft_stop_range_slider_axis1, m_ui->soft_stop_range_axis1);
    mirrorSliderAndSpinBox(m_ui->max_force_slider_axis1, m_ui->max_force_axis1);
    mirrorSliderAndSpinBox(m_ui->direct_x_spring_slider, m_ui->direct_x_spring_strength);
    mirrorSliderAndSpinBox(m_ui->direct_x_constant_strength_slider, m_ui->direct_x_constant_strength);
    mirrorSliderAndSpinBox(m_ui->direct_x_periodic_strength_slider, m_ui->direct_x_periodic_strength);

    m_ui->profile_message_label->hide();

    QDir current = QDir::current();
    if (!current.mkpath(ProfileDirectoryName))
        qCWarning(lcSetup) << "cannot create" << current.filePath(ProfileDirectoryName);
    // Kept even when it does not exist: a directory that could not be made
    // must never fall back to the working directory itself.
    m_profileDir.setPath(current.absoluteFilePath(ProfileDirectoryName));
    readProfiles();
}

FullEffectSettingsWidget::~FullEffectSettingsWidget() = default;

void FullEffectSettingsWidget::setSettings(const EffectSettingsTypeDef &settings)
{
    m_ui->invert_constant_force->setChecked(settings.invertConstantForce > 0);
    m_ui->direct_x_spring_strength->setValue(settings.directXSpringStrength);
    m_ui->direct_x_constant_strength->setValue(settings.directXConstantStrength);
    m_ui->direct_x_periodic_strength->setValue(settings.directXPeriodicStrength);
    for (int a = 0; a < 2; ++a) {
        const EffectAxisTypeDef &axis = settings.axes[a];
        const AxisElements &ui = m_axes[a];
        ui.motionRange->setValue(axis.motionRange);
        ui.totalEffectStrength->setValue(axis.totalEffectStrength);
        ui.softStopStrength->setValue(axis.softStopStrength);
        ui.softStopRange->setValue(axis.softStopRange);
        ui.staticDampening->setValue(axis.staticDampening);
        ui.dynamicDampening->setValue(axis.dynamicDampening);
        ui.softStopDampening->setValue(axis.softStopDampening);
        // Truncated toward zero; a value that is no number shows as 0 rather
        // than reaching an undefined float-to-int conversion.
        const float stored = axis.maxForce; // copied out: the record is packed
        const float force = std::isfinite(stored) ? std::clamp(stored, 0.0f, 100.0f) : 0.0f;
        ui.maxForce->setValue(int(force));
    }
}

void FullEffectSettingsWidget::getSettings(EffectSettingsTypeDef &settings) const
{
    settings.invertConstantForce = m_ui->invert_constant_force->isChecked() ? 1 : -1;
    settings.directXSpringStrength = quint8(m_ui->direct_x_spring_strength->value());
    settings.directXConstantStrength = quint8(m_ui->direct_x_constant_strength->value());
    settings.directXPeriodicStrength = quint8(m_ui->direct_x_periodic_strength->value());
    for (int a = 0; a < 2; ++a) {
        EffectAxisTypeDef &axis = settings.axes[a];
        const AxisElements &ui = m_axes[a];
        axis.motionRange = quint16(ui.motionRange->value());
        axis.totalEffectStrength = quint8(ui.totalEffectStrength->value());
        axis.softStopStrength = quint8(ui.softStopStrength->value());
        axis.softStopRange = quint8(ui.softStopRange->value());
        axis.staticDampening = quint16(ui.staticDampening->value());
        axis.dynamicDampening = quint16(ui.dynamicDampening->value());
        axis.softStopDampening = quint16(ui.softStopDampening->value());
        axis.maxForce = float(ui.maxForce->value());
    }
}

void FullEffectSettingsWidget::setDeviceType(int deviceType)
{
    m_deviceType = deviceType;
    disableUnsupportedElements();
    showAxisTabsFor(m_ui->axis_tab, deviceType);
}

void FullEffectSettingsWidget::disableUnsupportedElements()
{
    m_ui->direct_x_group_box->show();
    for (const AxisElements &axis : m_axes) {
        axis.motionRange->setMaximum(9999);
        // A slider that grew past its range is clamped back; its spin box follows.
        axis.motionRangeSlider->setMaximum(1080);
    }
    const QList<QWidget *> alwaysShown{
        m_ui->static_dampening_label_axis0,
        m_ui->static_dampening_slider_axis0,
        m_ui->static_dampening_axis0,
        m_ui->dynamic_dampening_label_axis0,
        m_ui->dynamic_dampening_slider_axis0,
        m_ui->dynamic_dampening_axis0,
        m_ui->soft_stop_strength_label_axis0,
        m_ui->soft_stop_strength_slider_axis0,
        m_ui->soft_stop_strength_axis0,
        m_ui->soft_stop_range_label_axis0,
        m_ui->soft_stop_range_slider_axis0,
        m_ui->soft_stop_range_axis0,
        m_ui->static_dampening_label_axis1,
        m_ui->static_dampening_slider_axis1,
        m_ui->static_dampening_axis1,
        m_ui->dynamic_dampening_label_axis1,
        m_ui->dynamic_dampening_slider_axis1,
        m_ui->dynamic_dampening_axis1,
        m_ui->soft_stop_strength_label_axis1,
        m_ui->soft_stop_strength_slider_axis1,
        m_ui->soft_stop_strength_axis1,
        m_ui->soft_stop_range_label_axis1,
        m_ui->soft_stop_range_slider_axis1,
        m_ui->soft_stop_range_axis1,
        m_ui->direct_x_spring_label,
        m_ui->direct_x_spring_slider,
        m_ui->direct_x_spring_strength,
        m_ui->direct_x_constant_label,
        m_ui->direct_x_constant_strength_slider,
        m_ui->direct_x_constant_strength,
        m_ui->direct_x_periodic_label,
        m_ui->direct_x_periodic_strength_slider,
        m_ui->direct_x_periodic_strength,
        m_ui->profile_group,
    };
    for (QWidget *widget : alwaysShown)
        widget->show();
    const bool maxForce = m_deviceType != int(DeviceType::Wheel);
    for (const AxisElements &axis : m_axes) {
        for (QWidget *widget : axis.maxForceRow)
            widget->setVisible(maxForce);
    }
}

QString FullEffectSettingsWidget::profileNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return tr("Enter a profile name.");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return tr("A profile name cannot contain \"/\" or \"\\\".");
    // Also refuses "." and "..", and hidden files the list would not show.
    if (name.startsWith(QLatin1Char('.')))
        return tr("A profile name cannot start with a dot.");
    // A NUL would cut the file name short where it reaches the system.
    const bool control =
        std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
    if (control)
        return tr("A profile name cannot contain control characters.");
    if (isReservedDeviceName(name))
        return tr("\"%1\" is reserved by the system.").arg(name);
    return {};
}

QString FullEffectSettingsWidget::profilePath(const QString &name)
{
    if (const QString problem = profileNameProblem(name); !problem.isEmpty()) {
        showMessage(problem);
        return {};
    }
    return m_profileDir.filePath(name);
}

void FullEffectSettingsWidget::showMessage(const QString &message)
{
    m_ui->profile_message_label->setText(message);
    m_ui->profile_message_label->setVisible(!message.isEmpty());
}

void FullEffectSettingsWidget::on_profile_combo_box_activated(int index)
{
    applyProfile(m_ui->profile_combo_box->itemText(index));
}

void FullEffectSettingsWidget::on_profile_save_button_clicked()
{
    const QString name = m_ui->profile_combo_box->currentText();
    bool saved = false;
    if (const QString path = profilePath(name); !path.isEmpty()) {
        EffectSettingsTypeDef settings;
        getSettings(settings);
        const QByteArray bytes = recordBytes(settings);
        // A link could lead the write out of the profile directory.
        if (QFileInfo(path).isSymLink()) {
            showMessage(tr("Profile \"%1\" was not saved: the file is a link.").arg(name));
        } else {
            // Written aside and renamed, so a failed write leaves an existing
            // profile intact.
            QSaveFile file(path);
            saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
            if (saved)
                showMessage({});
            else
                showMessage(tr("Profile \"%1\" was not saved: %2").arg(name, file.errorString()));
        }
    }
    readProfiles();
    m_ui->profile_combo_box->setCurrentIndex(m_ui->profile_combo_box->findText(name, Qt::MatchFixedString));
    // Keep a refused name in the field so that it can be corrected.
    if (!saved)
        m_ui->profile_combo_box->setEditText(name);
}

void FullEffectSettingsWidget::on_profile_delete_button_clicked()
{
    const QString name = m_ui->profile_combo_box->currentText();
    if (const QString path = profilePath(name); !path.isEmpty()) {
        const QFileInfo info(path);
        // A link is removed itself, never what it points to.
        if (info.isFile() || info.isSymLink()) {
            QFile file(path);
            if (file.remove())
                showMessage({});
            else
                showMessage(tr("Profile \"%1\" was not deleted: %2").arg(name, file.errorString()));
        }
    }
    readProfiles();
}

void FullEffectSettingsWidget::applyProfile(const QString &name)
{
    const QString path = profilePath(name);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.exists()) {
        showMessage(tr("There is no profile \"%1\".").arg(name));
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(tr("Profile \"%1\" could not be read: %2").arg(name, file.errorString()));
        return;
    }
    const QByteArray bytes = file.read(sizeof(EffectSettingsTypeDef));
    if (bytes.size() < qsizetype(sizeof(EffectSettingsTypeDef))) {
        showMessage(tr("Profile \"%1\" is incomplete and was not applied.").arg(name));
        return;
    }
    setSettings(recordFromBytes<EffectSettingsTypeDef>(bytes.constData()));
    showMessage({});
    emit profileApplied();
}

void FullEffectSettingsWidget::readProfiles()
{
    m_ui->profile_combo_box->clear();
    m_ui->profile_combo_box->addItems(m_profileDir.entryList(QDir::Files, QDir::Unsorted));
    m_ui->profile_combo_box->setCurrentIndex(-1);
}

void FullEffectSettingsWidget::on_motion_range_axis0_valueChanged(int value)
{
    followWithGrowth(m_ui->motion_range_slider_axis0, value);
}

void FullEffectSettingsWidget::on_motion_range_axis1_valueChanged(int value)
{
    followWithGrowth(m_ui->motion_range_slider_axis1, value);
}

void FullEffectSettingsWidget::on_motion_range_slider_axis0_valueChanged(int value)
{
    follow(m_ui->motion_range_axis0, value);
}

void FullEffectSettingsWidget::on_motion_range_slider_axis1_valueChanged(int value)
{
    follow(m_ui->motion_range_axis1, value);
}

void FullEffectSettingsWidget::on_static_dampening_axis0_valueChanged(int value)
{
    followWithGrowth(m_ui->static_dampening_slider_axis0, value);
}

void FullEffectSettingsWidget::on_dynamic_dampening_axis0_valueChanged(int value)
{
    followWithGrowth(m_ui->dynamic_dampening_slider_axis0, value);
}

void FullEffectSettingsWidget::on_soft_stop_dampening_axis0_valueChanged(int value)
{
    followWithGrowth(m_ui->soft_stop_dampening_slider_axis0, value);
}

void FullEffectSettingsWidget::on_static_dampening_slider_axis0_valueChanged(int value)
{
    follow(m_ui->static_dampening_axis0, value);
}

void FullEffectSettingsWidget::on_dynamic_dampening_slider_axis0_valueChanged(int value)
{
    follow(m_ui->dynamic_dampening_axis0, value);
}

void FullEffectSettingsWidget::on_soft_stop_dampening_slider_axis0_valueChanged(int value)
{
    follow(m_ui->soft_stop_dampening_axis0, value);
}

void FullEffectSettingsWidget::on_static_dampening_axis1_valueChanged(int value)
{
    followWithGrowth(m_ui->static_dampening_slider_axis1, value);
}

void FullEffectSettingsWidget::on_dynamic_dampening_axis1_valueChanged(int value)
{
    followWithGrowth(m_ui->dynamic_dampening_slider_axis1, value);
}

void FullEffectSettingsWidget::on_soft_stop_dampening_axis1_valueChanged(int value)
{
    followWithGrowth(m_ui->soft_stop_dampening_slider_axis1, value);
}

void FullEffectSettingsWidget::on_static_dampening_slider_axis1_valueChanged(int value)
{
    follow(m_ui->static_dampening_axis1, value);
}

void FullEffectSettingsWidget::on_dynamic_dampening_slider_axis1_valueChanged(int value)
{
    follow(m_ui->dynamic_dampening_axis1, value);
}

void FullEffectSettingsWidget::on_soft_stop_dampening_slider_axis1_valueChanged(int value)
{
    follow(m_ui->soft_stop_dampening_axis1, value);
}
