#include "fullhardwaresettingswidget.h"

#include "comboitems.h"
#include "settingspages.h"
#include "ui_fullhardwaresettingswidget.h"

#include <cmath>

FullHardwareSettingsWidget::FullHardwareSettingsWidget(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::FullHardwareSettingsWidget>())
{
    m_ui->setupUi(this);
    mirrorSliderAndSpinBox(m_ui->horizontalSlider_11, m_ui->power_limit);
    mirrorSliderAndSpinBox(m_ui->horizontalSlider_15, m_ui->calibration_magnitude);
    mirrorSliderAndSpinBox(m_ui->calibration_speed_slider, m_ui->calibration_speed);
    mirrorSliderAndSpinBox(m_ui->calibration_current_slider, m_ui->calibration_current);
    mirrorSliderAndSpinBox(m_ui->braking_slider, m_ui->braking_limit);
    mirrorSliderAndSpinBox(m_ui->speed_sample_buffer_size_slider, m_ui->speed_sample_buffer_size);
    mirrorSliderAndSpinBox(m_ui->position_smoothing_slider, m_ui->position_smoothing);
}

FullHardwareSettingsWidget::~FullHardwareSettingsWidget() = default;

QString FullHardwareSettingsWidget::gainText(float gain)
{
    return QString::number(double(gain), 'g', 6);
}

float FullHardwareSettingsWidget::parseGain(const QString &text)
{
    bool ok = false;
    const float gain = text.trimmed().toFloat(&ok);
    // "nan" and "inf" parse, but must never reach a motor controller.
    return ok && std::isfinite(gain) ? gain : 0.0f;
}

void FullHardwareSettingsWidget::setSettings(const HardwareSettingsTypeDef &settings)
{
    m_ui->calibration_mode->clear();
    m_ui->calibration_mode->addItems(
        {tr("None"), tr("Calibration start angle as the center"), tr("Automatic center of range search")});
    // A wheel cannot search its centre; a stored 2 still shows as selected.
    setComboItemHidden(m_ui->calibration_mode, 2, m_deviceType == int(DeviceType::Wheel));

    showAxisTabsFor(m_ui->axis_tab, m_deviceType);

    m_ui->force_enable->setChecked(settings.forceEnabled != 0);
    m_ui->debug_forces->setChecked(settings.debugForces != 0);
    // Values outside a list leave the box empty; they are sent back as 0xFF.
    m_ui->amplifier_gain->setCurrentIndex(settings.currentSenseGain);
    m_ui->calibration_mode->setCurrentIndex(settings.calibrationMode);

    m_ui->power_limit->setValue(settings.powerLimit);
    m_ui->braking_limit->setValue(settings.brakingResistorLimit);
    m_ui->calibration_magnitude->setValue(settings.calibrationMagnitude);
    m_ui->calibration_speed->setValue(settings.calibrationSpeed);
    m_ui->calibration_current->setValue(settings.calibrationStopCurrent);
    m_ui->position_smoothing->setValue(settings.positionSmoothing);
    m_ui->speed_sample_buffer_size->setValue(settings.speedSampleBufferSize);

    const HardwareAxisTypeDef &axis0 = settings.axes[0];
    m_ui->axis0_encoder_direction->setChecked(axis0.encoderDirection == 1);
    m_ui->axis0_force_direction->setChecked(axis0.forceDirection == 1);
    m_ui->axis0_encoder_CPR->setValue(axis0.encoderCpr);
    m_ui->axis0_pole_pair->setValue(axis0.motorPolePairs);
    m_ui->axis0_p_gain->setText(gainText(axis0.pGain));
    m_ui->axis0_i_gain->setText(gainText(axis0.iGain));

    const HardwareAxisTypeDef &axis1 = settings.axes[1];
    m_ui->axis1_encoder_direction->setChecked(axis1.encoderDirection == 1);
    m_ui->axis1_force_direction->setChecked(axis1.forceDirection == 1);
    m_ui->axis1_encoder_CPR->setValue(axis1.encoderCpr);
    m_ui->axis1_pole_pair->setValue(axis1.motorPolePairs);
    m_ui->axis1_p_gain->setText(gainText(axis1.pGain));
    m_ui->axis1_i_gain->setText(gainText(axis1.iGain));
}

void FullHardwareSettingsWidget::getSettings(HardwareSettingsTypeDef &settings) const
{
    settings.forceEnabled = m_ui->force_enable->isChecked() ? 1 : 0;
    settings.debugForces = m_ui->debug_forces->isChecked() ? 1 : 0;
    settings.currentSenseGain = quint8(m_ui->amplifier_gain->currentIndex());
    settings.calibrationMode = quint8(m_ui->calibration_mode->currentIndex());

    settings.powerLimit = quint8(m_ui->power_limit->value());
    settings.brakingResistorLimit = quint8(m_ui->braking_limit->value());
    settings.calibrationMagnitude = quint8(m_ui->calibration_magnitude->value());
    settings.calibrationSpeed = quint8(m_ui->calibration_speed->value());
    settings.calibrationStopCurrent = quint8(m_ui->calibration_current->value());
    settings.positionSmoothing = quint8(m_ui->position_smoothing->value());
    settings.speedSampleBufferSize = quint8(m_ui->speed_sample_buffer_size->value());

    HardwareAxisTypeDef &axis0 = settings.axes[0];
    axis0.encoderDirection = m_ui->axis0_encoder_direction->isChecked() ? 1 : -1;
    axis0.forceDirection = m_ui->axis0_force_direction->isChecked() ? 1 : -1;
    axis0.encoderCpr = quint16(m_ui->axis0_encoder_CPR->value());
    axis0.motorPolePairs = quint8(m_ui->axis0_pole_pair->value());
    axis0.pGain = parseGain(m_ui->axis0_p_gain->text());
    axis0.iGain = parseGain(m_ui->axis0_i_gain->text());

    HardwareAxisTypeDef &axis1 = settings.axes[1];
    axis1.encoderDirection = m_ui->axis1_encoder_direction->isChecked() ? 1 : -1;
    axis1.forceDirection = m_ui->axis1_force_direction->isChecked() ? 1 : -1;
    axis1.encoderCpr = quint16(m_ui->axis1_encoder_CPR->value());
    axis1.motorPolePairs = quint8(m_ui->axis1_pole_pair->value());
    axis1.pGain = parseGain(m_ui->axis1_p_gain->text());
    axis1.iGain = parseGain(m_ui->axis1_i_gain->text());
}

void FullHardwareSettingsWidget::setDeviceType(int deviceType, bool advanced)
{
    m_deviceType = deviceType;
    disableUnsupportedElements(advanced);
}

void FullHardwareSettingsWidget::disableUnsupportedElements(bool advanced)
{
    const QList<QWidget *> alwaysShown{
        m_ui->axis0_p_gain_label,
        m_ui->axis0_p_gain,
        m_ui->axis0_i_gain_label,
        m_ui->axis0_i_gain,
        m_ui->axis1_p_gain_label,
        m_ui->axis1_p_gain,
        m_ui->axis1_i_gain_label,
        m_ui->axis1_i_gain,
        m_ui->speed_sample_buffer_size_label,
        m_ui->speed_sample_buffer_size_slider,
        m_ui->speed_sample_buffer_size,
        m_ui->position_smoothing_label,
        m_ui->position_smoothing_slider,
        m_ui->position_smoothing,
    };
    for (QWidget *widget : alwaysShown)
        widget->show();

    const bool calibrationSpeed = m_deviceType != int(DeviceType::Wheel);
    m_ui->calibration_speed_label->setVisible(calibrationSpeed);
    m_ui->calibration_speed_slider->setVisible(calibrationSpeed);
    m_ui->calibration_speed->setVisible(calibrationSpeed);

    // Not for the user to change; the value read from the device travels back unchanged.
    m_ui->calibration_current_label->hide();
    m_ui->calibration_current_slider->hide();
    m_ui->calibration_current->hide();

    // Only for those who know the amplifier; the value still travels in the record.
    m_ui->amplifier_gain_label->setVisible(advanced);
    m_ui->amplifier_gain->setVisible(advanced);
}
