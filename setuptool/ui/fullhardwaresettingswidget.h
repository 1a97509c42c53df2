#pragma once

#include "settingsrecords.h"

#include <QWidget>

#include <memory>

namespace Ui {
class FullHardwareSettingsWidget;
}

// The "Hardware" page of the setup window: the motor, encoder, calibration
// and force-output part of a HardwareSettingsTypeDef. The GPIO, button, SPI
// and analog-axis fields belong to the window's own pages. The page never
// talks to a device.
class FullHardwareSettingsWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FullHardwareSettingsWidget(QWidget *parent = nullptr);
    ~FullHardwareSettingsWidget() override;

    void setSettings(const HardwareSettingsTypeDef &settings);
    // Writes this page's fields into `settings`, which the caller has
    // zero-filled; the window's pages write the rest.
    void getSettings(HardwareSettingsTypeDef &settings) const;
    void setDeviceType(int deviceType, bool advanced);

    // A gain as the page shows it: up to 6 significant digits.
    static QString gainText(float gain);
    // A gain as the page sends it: 0.0 for text that is not a finite number.
    static float parseGain(const QString &text);

public slots:
    void disableUnsupportedElements(bool advanced);

private:
    std::unique_ptr<Ui::FullHardwareSettingsWidget> m_ui;
    int m_deviceType = -1;
};
