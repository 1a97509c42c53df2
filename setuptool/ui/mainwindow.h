#pragma once

#include "settingsprotocol.h"
#include "settingsrecords.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QThread>
#include <QTranslator>

#include <array>
#include <memory>
#include <optional>

class FullEffectSettingsWidget;
class FullHardwareSettingsWidget;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class SettingsUiBackgroundThread;
class UsbTransport;

namespace Ui {
class MainWindow;
}

// What the command line asks of the window. `arguments` is the program name
// followed by the plain (non-option) arguments: any such argument skips the
// settings file, and only a first argument of exactly "advanced" switches on
// advanced mode.
struct SetupStartOptions
{
    bool advanced = false;
    bool readSettingsFile = true;
};
SetupStartOptions setupStartOptions(const QStringList &arguments);

// The setup tool's window: the device list, the five settings pages (three of
// them its own: GPIO, Buttons, Analog axes) and the reboot and DFU buttons.
// Every device request is posted to the worker's thread; results come back
// through the worker's signals.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `usb` is not owned and must outlive the window, which initialises it
    // and exits it again when it is destroyed.
    MainWindow(UsbTransport *usb, const QStringList &arguments, QWidget *parent = nullptr);
    ~MainWindow() override;

    static constexpr int BuildNumber = 240719;

    bool isAdvanced() const { return m_advanced; }
    // Product id of the selected device, -1 when none is.
    int currentDevice() const { return m_currentDevice; }
    SettingsUiBackgroundThread *worker() const { return m_worker; }
    // The record every hardware apply or save sends: the Hardware page's
    // fields plus the GPIO, Buttons and Analog axes pages.
    HardwareSettingsTypeDef hardwareSettings() const;

public slots:
    void on_devices_combo_box_activated(int index);
    void on_spiModeCombo_activated(int index);
    void updateConnectedDevices(const QMap<int, DeviceInfoTypeDef> &devices);
    void on_dfu_mode_button_clicked();

private slots:
    void settingsWriteEnded(int pid, SettingsWrite write, BusyWaitResult result);

private:
    struct AnalogAxisElements
    {
        QSpinBox *lowerDeadZone;
        QSpinBox *upperDeadZone;
        QSpinBox *smoothing;
        QSpinBox *buttonLow;
        QSpinBox *buttonHigh;
        QCheckBox *invert;
    };

    void loadTranslation(const QString &language);
    void buildGpioPage();
    void buildButtonsPage();
    void connectRequestButtons();
    void buildStatusLine();
    void startWorker();

    void selectDevice(int productId);
    void clearSelection();
    void showPagesFor(int deviceType);
    void setTabsVisible(bool visible);
    void setDeviceButtonsVisible(bool visible);
    void updateRequestButtons();

    // Status line under the pages: what the device is doing and what did
    // not happen. A read failure offers to read again.
    enum class StatusKind
    {
        None,
        Busy,
        WriteResult,
        ReadFailed,
        Notice,
    };
    void showStatus(StatusKind kind, const QString &text);
    void readFailed(int pid);
    void readAgain();

    template<typename Request>
    void post(Request request);
    void requestEnded();
    template<typename Write>
    void postWrite(SettingsWrite write, Write request);
    void requestEffectSettings(int pid);
    void requestHardwareSettings(int pid);
    void effectSettingsReadEnded(int pid);
    void hardwareSettingsReadEnded(int pid);
    void showHardwareSettings(const HardwareSettingsTypeDef &settings);

    std::unique_ptr<Ui::MainWindow> m_ui;
    UsbTransport *const m_usb;
    QMap<int, int> m_kindMap;         // kind index -> product id
    QMap<int, QString> m_deviceNames; // kind index -> name in the device list
    SettingsUiBackgroundThread *m_worker = nullptr;
    QThread m_workerThread;
    QMap<int, DeviceInfoTypeDef> m_connectedDevices;
    int m_currentDevice = -1;
    QIcon m_windowIcon;
    QString m_windowTitle;
    bool m_advanced = false;
    QList<QComboBox *> m_gpioBoxes;
    QList<QComboBox *> m_buttonBoxes;
    std::array<AnalogAxisElements, 3> m_analogAxes{};
    QTranslator m_translator;
    bool m_translatorInstalled = false;
    FullEffectSettingsWidget *m_effects = nullptr;
    FullHardwareSettingsWidget *m_hardware = nullptr;

    // Records that arrived from the worker and wait for the end of their
    // read, which says which device they belong to.
    std::optional<EffectSettingsTypeDef> m_receivedEffects;
    std::optional<HardwareSettingsTypeDef> m_receivedHardware;
    // Whether the pages show settings of the selected device; until they do,
    // apply and save would write another device's or made-up values.
    bool m_effectsLoaded = false;
    bool m_hardwareLoaded = false;
    QList<QPushButton *> m_effectsWriteButtons;
    QList<QPushButton *> m_hardwareWriteButtons;
    QString m_loggedDevices;
    // Whether the user was told that the transport takes the devices away
    // from the system.
    bool m_takenNoticeShown = false;

    // Apply and save requests posted and not yet ended.
    int m_pendingWrites = 0;
    // Requests of any kind posted and not yet ended; meanwhile no other
    // request is offered, so that none waits behind a busy device.
    int m_runningRequests = 0;
    QList<QPushButton *> m_requestButtons;
    // Reads of the selected device that delivered nothing.
    bool m_effectsReadFailed = false;
    bool m_hardwareReadFailed = false;
    StatusKind m_statusKind = StatusKind::None;
    QWidget *m_statusLine = nullptr;
    QProgressBar *m_busyIndicator = nullptr;
    QLabel *m_statusText = nullptr;
    QPushButton *m_readAgainButton = nullptr;
    QList<QPushButton *> m_readButtons;
};
