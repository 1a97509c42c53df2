#include "mainwindow.h"

#include "comboitems.h"
#include "fulleffectsettingswidget.h"
#include "fullhardwaresettingswidget.h"
#include "settingsuibackgroundthread.h"
#include "setuplogging.h"
#include "ui_mainwindow.h"

#include "desktopintegration.h"
#include "usbtransport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QTimer>

#include <utility>

namespace {

constexpr int KindCount = 4;
constexpr int GpioPinCount = 10;
constexpr int ButtonCount = 32;

// GPIO modes a pin does not offer, by pin (Pin 1 .. Pin 8, Encoder Z0, Z1).
// They stay in the box so that every mode keeps its value.
enum GpioMode
{
    GenericButton = 1,
    Analog = 2,
    BrakingPwm = 9,
};
const std::array<QList<int>, GpioPinCount> GpioModesNotOffered{{
    {BrakingPwm},
    {BrakingPwm},
    {BrakingPwm},
    {Analog, BrakingPwm},
    {Analog, BrakingPwm},
    {Analog, BrakingPwm},
    {Analog, BrakingPwm},
    {Analog},
    {GenericButton, Analog, BrakingPwm},
    {GenericButton, Analog, BrakingPwm},
}};

template<typename T>
T *child(QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    Q_ASSERT_X(found, "MainWindow", qPrintable(name));
    return found;
}

} // namespace

SetupStartOptions setupStartOptions(const QStringList &arguments)
{
    SetupStartOptions options;
    if (arguments.size() >= 2) {
        options.advanced = arguments.at(1) == QLatin1String("advanced");
        options.readSettingsFile = false;
    }
    return options;
}

MainWindow::MainWindow(UsbTransport *usb, const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_usb(usb)
{
    for (int kind = 0; kind < KindCount; ++kind)
        m_kindMap.insert(kind, KestroxProductIds[kind]);
    for (int kind = 0; kind < KindCount; ++kind)
        m_deviceNames.insert(kind, QLatin1String(KestroxDeviceNames[kind]));
    m_worker = new SettingsUiBackgroundThread(m_kindMap.values(), KestroxVendorId, m_usb);

    m_windowIcon = DesktopIntegration::applicationIcon(QStringLiteral("kestrox_hardware_icon.png"),
                                                       QStringLiteral("com.kestrox.Setup"));
    m_windowTitle = QStringLiteral("Kestrox Setup (%1)").arg(BuildNumber);

    if (const int result = m_usb->init(); result < 0)
        qCWarning(lcSetup) << "the device transport did not start:" << libusb_error_name(result);

    const SetupStartOptions options = setupStartOptions(arguments);
    m_advanced = options.advanced;
    if (options.readSettingsFile) {
        const QSettings settings(QDir::currentPath() + QStringLiteral("/config.ini"), QSettings::IniFormat);
        const QString language = settings.value(QStringLiteral("UI/lang")).toString();
        if (!language.isEmpty() && language != QLatin1String("en"))
            loadTranslation(language);
    }

    m_ui->setupUi(this);
    setWindowIcon(m_windowIcon);
    setWindowTitle(m_windowTitle);
    m_effects = m_ui->effects_settings_widget;
    m_hardware = m_ui->hardware_settings_widget;

    buildGpioPage();
    buildButtonsPage();
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        m_analogAxes[i] = {child<QSpinBox>(this, QStringLiteral("lowerDeadZoneSpinBox_") + n),
                           child<QSpinBox>(this, QStringLiteral("upperDeadZoneSpinBox_") + n),
                           child<QSpinBox>(this, QStringLiteral("analogSmoothingSpinBox_") + n),
                           child<QSpinBox>(this, QStringLiteral("analogButtonLowSpinBox_") + n),
                           child<QSpinBox>(this, QStringLiteral("analogButtonHighSpinBox_") + n),
                           child<QCheckBox>(this, QStringLiteral("analogAxisInvert_") + n)};
    }

    setTabsVisible(false);

    for (int kind = 0; kind < KindCount; ++kind) {
        m_ui->devices_combo_box->addItem(QString());
        setComboItemHidden(m_ui->devices_combo_box, kind, true);
    }
    m_ui->devices_combo_box->setCurrentIndex(-1);
    m_ui->devices_combo_box->setPlaceholderText(tr("No compatible devices connected"));

    buildStatusLine();
    connectRequestButtons();
    startWorker();

    QTimer::singleShot(0, this, [this] { resize(minimumSizeHint()); });
    setDeviceButtonsVisible(false);
}

MainWindow::~MainWindow()
{
    // A busy wait may hold the worker for up to 30 s: end it now. The worker
    // is deleted on its thread as the thread ends, closing its devices; only
    // then may the transport go.
    m_worker->cancelWaits();
    m_workerThread.quit();
    m_workerThread.wait();
    m_usb->exit();
    if (m_translatorInstalled)
        QCoreApplication::removeTranslator(&m_translator);
}

void MainWindow::loadTranslation(const QString &language)
{
    const QString name = QStringLiteral("hardware_settings_ui_") + language;
    // Beside the working directory's "i18n" also the one next to the program,
    // where the build puts the compiled translations, and the installed ones.
    const QString programDir = QCoreApplication::applicationDirPath();
    const bool loaded = m_translator.load(QStringLiteral("i18n/") + name) ||
                        m_translator.load(name, programDir + QStringLiteral("/i18n")) ||
                        m_translator.load(name, programDir + QStringLiteral("/" KESTROX_INSTALLED_I18N_DIR));
    if (loaded)
        qCDebug(lcSetup) << "translation loaded from" << m_translator.filePath();
    if (!loaded) {
        qCInfo(lcSetup) << "no translation" << name << "found; the interface stays in English";
        return;
    }
    m_translatorInstalled = QCoreApplication::installTranslator(&m_translator);
    qCInfo(lcSetup).noquote() << "interface language:" << language;
}

void MainWindow::buildGpioPage()
{
    const QStringList modes{tr("Disabled"),
                            tr("Generic button"),
                            tr("Analog"),
                            tr("SPI CS"),
                            tr("SPI SCK"),
                            tr("SPI MISO"),
                            tr("Enable effects switch"),
                            tr("Reset center button"),
                            tr("Reboot button"),
                            tr("Braking PWM")};
    for (int pin = 0; pin < GpioPinCount; ++pin) {
        auto *box = child<QComboBox>(this, QStringLiteral("gpioModeCombo_%1").arg(pin + 1));
        box->addItems(modes);
        for (const int mode : GpioModesNotOffered[pin])
            setComboItemHidden(box, mode, true);
        m_gpioBoxes.append(box);
    }
    m_ui->spi_recommendations->hide();
    // Chip and device names stay as they are in every language.
    m_ui->spiModeCombo->addItems({tr("Disabled"), QStringLiteral("SN74HC165N x 3"),
                                  QStringLiteral("C4021 x 3"), QStringLiteral("Thrustmaster"),
                                  QStringLiteral("VPC Flnkr"), QStringLiteral("VPC Alpha Prime"),
                                  QStringLiteral("VPC MongoosT")});
}

void MainWindow::buildButtonsPage()
{
    const QStringList modes{tr("Disabled"), tr("Normal"), tr("Inverted")};
    for (int button = 0; button < ButtonCount; ++button) {
        auto *box = child<QComboBox>(this, QStringLiteral("buttonMode_%1").arg(button + 1));
        box->addItems(modes);
        m_buttonBoxes.append(box);
    }
}

template<typename Request>
void MainWindow::post(Request request)
{
    ++m_runningRequests;
    updateRequestButtons();
    // What the request reports back is queued before its end.
    QMetaObject::invokeMethod(m_worker, [this, worker = m_worker, request] {
        request(worker);
        QMetaObject::invokeMethod(this, &MainWindow::requestEnded);
    });
}

void MainWindow::requestEnded()
{
    m_runningRequests = std::max(m_runningRequests - 1, 0);
    updateRequestButtons();
}

void MainWindow::connectRequestButtons()
{
    connect(m_ui->read_effects_settings_button, &QPushButton::clicked, this,
            [this] { requestEffectSettings(m_currentDevice); });
    connect(m_ui->apply_effect_settings_button, &QPushButton::clicked, this, [this] {
        EffectSettingsTypeDef settings;
        m_effects->getSettings(settings);
        postWrite(SettingsWrite::Apply, [pid = m_currentDevice, settings](SettingsUiBackgroundThread *worker) {
            worker->applyEffectSettings(pid, settings);
        });
    });
    connect(m_ui->save_effects_settings_button, &QPushButton::clicked, this, [this] {
        EffectSettingsTypeDef settings;
        m_effects->getSettings(settings);
        postWrite(SettingsWrite::Save, [pid = m_currentDevice, settings](SettingsUiBackgroundThread *worker) {
            worker->saveEffectsSettings(pid, settings);
        });
    });
    m_effectsWriteButtons = {m_ui->apply_effect_settings_button, m_ui->save_effects_settings_button};
    m_readButtons = {m_ui->read_effects_settings_button};

    // The four hardware pages share one record, so their buttons do the same.
    for (int page = 1; page <= 4; ++page) {
        const QString n = QString::number(page);
        auto *read = child<QPushButton>(this, QStringLiteral("read_hardware_settings_button_") + n);
        auto *apply = child<QPushButton>(this, QStringLiteral("apply_hardware_settings_button_") + n);
        auto *save = child<QPushButton>(this, QStringLiteral("save_hardware_settings_button_") + n);
        connect(read, &QPushButton::clicked, this, [this] { requestHardwareSettings(m_currentDevice); });
        connect(apply, &QPushButton::clicked, this, [this] {
            postWrite(SettingsWrite::Apply,
                      [pid = m_currentDevice, settings = hardwareSettings()](SettingsUiBackgroundThread *worker) {
                          worker->applyHardwareSettings(pid, settings);
                      });
        });
        connect(save, &QPushButton::clicked, this, [this] {
            postWrite(SettingsWrite::Save,
                      [pid = m_currentDevice, settings = hardwareSettings()](SettingsUiBackgroundThread *worker) {
                          worker->saveHardwareSettings(pid, settings);
                      });
        });
        m_hardwareWriteButtons << apply << save;
        m_readButtons << read;
    }

    connect(m_ui->reboot_button, &QPushButton::clicked, this, [this] {
        post([pid = m_currentDevice](SettingsUiBackgroundThread *worker) {
            worker->rebootControllerRequest(pid);
        });
    });

    // A profile fills the whole effects record, so it may be applied as it is.
    connect(m_effects, &FullEffectSettingsWidget::profileApplied, this, [this] {
        if (m_currentDevice >= 0) {
            m_effectsLoaded = true;
            updateRequestButtons();
        }
    });
    connect(m_worker, &SettingsUiBackgroundThread::effectSettingsObtained, this,
            [this](const EffectSettingsTypeDef &settings) { m_receivedEffects = settings; });
    connect(m_worker, &SettingsUiBackgroundThread::hardwareSettingsObtained, this,
            [this](const HardwareSettingsTypeDef &settings) { m_receivedHardware = settings; });
    connect(m_worker, &SettingsUiBackgroundThread::connectedDevices, this,
            &MainWindow::updateConnectedDevices);
    connect(m_worker, &SettingsUiBackgroundThread::settingsWriteEnded, this, &MainWindow::settingsWriteEnded);
    m_requestButtons << m_readButtons << m_ui->reboot_button << m_ui->dfu_mode_button;
    updateRequestButtons();
}

void MainWindow::buildStatusLine()
{
    m_statusLine = new QWidget(m_ui->centralwidget);
    m_statusLine->setObjectName(QStringLiteral("device_status_line"));
    auto *layout = new QHBoxLayout(m_statusLine);
    layout->setContentsMargins(0, 0, 0, 0);
    // Writes run on the worker's thread and a flash write may take many
    // seconds: the window stays usable and shows that it is still waiting.
    m_busyIndicator = new QProgressBar(m_statusLine);
    m_busyIndicator->setObjectName(QStringLiteral("busy_indicator"));
    m_busyIndicator->setRange(0, 0);
    m_busyIndicator->setTextVisible(false);
    m_busyIndicator->setMaximumWidth(80);
    m_busyIndicator->hide();
    m_statusText = new QLabel(m_statusLine);
    m_statusText->setObjectName(QStringLiteral("device_status_text"));
    m_statusText->setWordWrap(true);
    m_statusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_readAgainButton = new QPushButton(tr("Read again"), m_statusLine);
    m_readAgainButton->setObjectName(QStringLiteral("read_again_button"));
    m_readAgainButton->hide();
    m_requestButtons << m_readAgainButton;
    connect(m_readAgainButton, &QPushButton::clicked, this, &MainWindow::readAgain);
    layout->addWidget(m_busyIndicator);
    layout->addWidget(m_statusText, 1);
    layout->addWidget(m_readAgainButton);
    m_ui->main_column->insertWidget(m_ui->main_column->indexOf(m_ui->main_tab_widget) + 1, m_statusLine);
    m_statusLine->hide();
}

void MainWindow::showStatus(StatusKind kind, const QString &text)
{
    m_statusKind = kind;
    m_statusText->setText(text);
    m_readAgainButton->setVisible(kind == StatusKind::ReadFailed);
    m_busyIndicator->setVisible(m_pendingWrites > 0);
    m_statusLine->setVisible(kind != StatusKind::None || m_pendingWrites > 0);
}

template<typename Write>
void MainWindow::postWrite(SettingsWrite write, Write request)
{
    ++m_pendingWrites;
    showStatus(StatusKind::Busy, write == SettingsWrite::Save
                                     ? tr("Saving settings to the controller's permanent memory...")
                                     : tr("Applying settings to the controller..."));
    post(request);
}

void MainWindow::settingsWriteEnded(int pid, SettingsWrite write, BusyWaitResult result)
{
    m_pendingWrites = std::max(m_pendingWrites - 1, 0);
    qCDebug(lcSetup) << "write to device" << Qt::hex << pid << "ended";
    const bool save = write == SettingsWrite::Save;
    switch (result) {
    case BusyWaitResult::Ready:
        showStatus(StatusKind::WriteResult, save ? tr("Settings saved to the controller's permanent memory.")
                                                 : tr("Settings applied to the controller."));
        return;
    case BusyWaitResult::RecordFailed:
        showStatus(StatusKind::WriteResult,
                   save ? tr("The controller did not take the settings: they were not saved to the controller's "
                             "permanent memory.")
                        : tr("The controller did not take the settings: they were not applied."));
        return;
    case BusyWaitResult::Cancelled: // the window is closing
        return;
    case BusyWaitResult::TimedOut:
        showStatus(StatusKind::WriteResult,
                   save ? tr("The controller stayed busy: settings were not saved to the controller's "
                             "permanent memory.")
                        : tr("The controller stayed busy: settings may not have been applied."));
        return;
    case BusyWaitResult::DeviceGone:
        showStatus(StatusKind::WriteResult,
                   save ? tr("The controller is not connected: settings were not saved to the controller's "
                             "permanent memory.")
                        : tr("The controller is not connected: settings were not applied."));
        return;
    }
}

void MainWindow::readFailed(int pid)
{
    qCInfo(lcSetup) << "settings of device" << Qt::hex << pid << "could not be read";
    // Only what happened: whether apply and save are offered depends on
    // whether the pages still show settings read from this device.
    QString text;
    if (m_effectsReadFailed && m_hardwareReadFailed)
        text = tr("Reading the settings from the controller failed.");
    else if (m_effectsReadFailed)
        text = tr("Reading the effects settings from the controller failed.");
    else
        text = tr("Reading the hardware settings from the controller failed.");
    showStatus(StatusKind::ReadFailed, text);
}

void MainWindow::readAgain()
{
    if (m_currentDevice < 0)
        return;
    showStatus(StatusKind::None, QString());
    if (m_effectsReadFailed)
        requestEffectSettings(m_currentDevice);
    if (m_hardwareReadFailed)
        requestHardwareSettings(m_currentDevice);
}

void MainWindow::startWorker()
{
    m_worker->moveToThread(&m_workerThread);
    connect(&m_workerThread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_workerThread.start(QThread::InheritPriority);
    // Runs on the worker's thread once the window's event loop is running.
    // The first poll follows at once instead of a second later, so that the
    // list fills as soon as the window is up.
    QTimer::singleShot(0, m_worker, [worker = m_worker] {
        worker->start();
        worker->checkDeviceConnections();
    });
}

// A read reports its record through the worker's signal, which carries no
// product id. The call queued after it on the same thread arrives after the
// record and tells which device it came from, so that a late answer for a
// device no longer selected is not shown.
void MainWindow::requestEffectSettings(int pid)
{
    post([this, pid](SettingsUiBackgroundThread *worker) {
        worker->readEffectSettings(pid);
        QMetaObject::invokeMethod(this, [this, pid] { effectSettingsReadEnded(pid); });
    });
}

void MainWindow::requestHardwareSettings(int pid)
{
    post([this, pid](SettingsUiBackgroundThread *worker) {
        worker->readHardwareSettings(pid);
        QMetaObject::invokeMethod(this, [this, pid] { hardwareSettingsReadEnded(pid); });
    });
}

void MainWindow::effectSettingsReadEnded(int pid)
{
    const std::optional<EffectSettingsTypeDef> settings = std::exchange(m_receivedEffects, std::nullopt);
    if (pid != m_currentDevice)
        return;
    m_effectsReadFailed = !settings;
    if (!settings) {
        readFailed(pid);
        return;
    }
    m_effects->setSettings(*settings);
    m_effectsLoaded = true;
    updateRequestButtons();
    if (m_statusKind == StatusKind::ReadFailed && !m_hardwareReadFailed)
        showStatus(StatusKind::None, QString());
}

void MainWindow::hardwareSettingsReadEnded(int pid)
{
    const std::optional<HardwareSettingsTypeDef> settings = std::exchange(m_receivedHardware, std::nullopt);
    if (pid != m_currentDevice)
        return;
    m_hardwareReadFailed = !settings;
    if (!settings) {
        readFailed(pid);
        return;
    }
    showHardwareSettings(*settings);
    m_hardwareLoaded = true;
    updateRequestButtons();
    if (m_statusKind == StatusKind::ReadFailed && !m_effectsReadFailed)
        showStatus(StatusKind::None, QString());
}

void MainWindow::showHardwareSettings(const HardwareSettingsTypeDef &settings)
{
    // A value outside a box's list leaves the box empty.
    for (int i = 0; i < GpioPinCount; ++i)
        m_gpioBoxes[i]->setCurrentIndex(settings.gpioModes[i]);
    for (int i = 0; i < ButtonCount; ++i)
        m_buttonBoxes[i]->setCurrentIndex(settings.buttonModes[i]);
    for (int i = 0; i < 3; ++i) {
        // Spin boxes clamp what is out of range; that value is sent back.
        const AnalogAxisElements &axis = m_analogAxes[i];
        axis.lowerDeadZone->setValue(settings.analogLowerDeadZone[i]);
        axis.upperDeadZone->setValue(settings.analogUpperDeadZone[i]);
        axis.smoothing->setValue(settings.analogSmoothing[i]);
        axis.buttonHigh->setValue(settings.analogButtonHigh[i]);
        axis.buttonLow->setValue(settings.analogButtonLow[i]);
        axis.invert->setChecked(settings.analogInvert[i] != 0);
    }
    m_ui->spiModeCombo->setCurrentIndex(settings.spiExtensionMode);
    m_ui->spi_recommendations->setVisible(settings.spiExtensionMode != 0);
    m_hardware->setSettings(settings);
}

HardwareSettingsTypeDef MainWindow::hardwareSettings() const
{
    HardwareSettingsTypeDef settings;
    m_hardware->getSettings(settings);
    // An empty box (-1) goes out as 0xFF, as the device would have sent it.
    for (int i = 0; i < GpioPinCount; ++i)
        settings.gpioModes[i] = quint8(m_gpioBoxes[i]->currentIndex());
    for (int i = 0; i < ButtonCount; ++i)
        settings.buttonModes[i] = quint8(m_buttonBoxes[i]->currentIndex());
    settings.spiExtensionMode = quint8(m_ui->spiModeCombo->currentIndex());
    for (int i = 0; i < 3; ++i) {
        const AnalogAxisElements &axis = m_analogAxes[i];
        settings.analogLowerDeadZone[i] = quint16(axis.lowerDeadZone->value());
        settings.analogUpperDeadZone[i] = quint16(axis.upperDeadZone->value());
        settings.analogSmoothing[i] = quint8(axis.smoothing->value());
        settings.analogButtonLow[i] = quint8(axis.buttonLow->value());
        settings.analogButtonHigh[i] = quint8(axis.buttonHigh->value());
        settings.analogInvert[i] = axis.invert->isChecked() ? 1 : 0;
    }
    return settings;
}

void MainWindow::updateConnectedDevices(const QMap<int, DeviceInfoTypeDef> &devices)
{
    m_connectedDevices = devices;
    if (!devices.contains(m_currentDevice))
        clearSelection();

    QStringList listed;
    for (int kind = 0; kind < KindCount; ++kind) {
        const int pid = m_kindMap.value(kind);
        const bool connected = devices.contains(pid);
        if (connected) {
            const QString text =
                tr("%1 (Version %2)").arg(m_deviceNames.value(kind)).arg(devices.value(pid).firmwareVersion);
            m_ui->devices_combo_box->setItemText(kind, text);
            listed << text;
        }
        setComboItemHidden(m_ui->devices_combo_box, kind, !connected);
    }

    // Said once, as soon as a device is held: the user may wonder why the
    // simulator lost the stick.
    if (!devices.isEmpty() && m_usb->takesDevicesFromSystem() && !m_takenNoticeShown) {
        m_takenNoticeShown = true;
        qCInfo(lcSetup) << "devices are taken from the system while the tool runs";
        showStatus(StatusKind::Notice,
                   tr("While Kestrox Setup runs, its devices are taken from the system: the simulator and "
                      "Kestrox Vantrell cannot use them until Kestrox Setup is closed."));
    }

    const QString logged = listed.isEmpty() ? QStringLiteral("none") : listed.join(QStringLiteral(", "));
    if (logged != m_loggedDevices) {
        qCInfo(lcSetup).noquote() << "device list:" << logged;
        m_loggedDevices = logged;
    }
}

void MainWindow::clearSelection()
{
    m_currentDevice = -1;
    m_ui->devices_combo_box->setCurrentIndex(-1);
    const qsizetype connected = m_connectedDevices.size();
    m_ui->devices_combo_box->setPlaceholderText(
        connected > 0 ? tr("Select compatible device (%1 connected)").arg(connected)
                      : tr("No compatible devices connected"));
    setTabsVisible(false);
    setDeviceButtonsVisible(false);
    // What a write did not do stays in view; a failed read of a device no
    // longer selected does not matter any more.
    m_effectsReadFailed = m_hardwareReadFailed = false;
    if (m_statusKind == StatusKind::ReadFailed)
        showStatus(StatusKind::None, QString());
}

void MainWindow::on_devices_combo_box_activated(int index)
{
    const int pid = m_kindMap.value(index, -1);
    // Only a listed device can be chosen; choosing the selected one again
    // clears the selection.
    if (pid >= 0 && pid != m_currentDevice && m_connectedDevices.contains(pid))
        selectDevice(pid);
    else
        clearSelection();
}

void MainWindow::selectDevice(int productId)
{
    m_currentDevice = productId;
    m_effectsLoaded = false;
    m_hardwareLoaded = false;
    m_effectsReadFailed = m_hardwareReadFailed = false;
    if (m_statusKind == StatusKind::ReadFailed)
        showStatus(StatusKind::None, QString());
    updateRequestButtons();
    showPagesFor(m_connectedDevices.value(productId).deviceType);
    requestEffectSettings(productId);
    requestHardwareSettings(productId);
    setDeviceButtonsVisible(true);
}

void MainWindow::showPagesFor(int deviceType)
{
    if (deviceType == int(DeviceType::Generic)) {
        setTabsVisible(false);
        return;
    }
    setTabsVisible(true);
    m_effects->setDeviceType(deviceType);
    m_hardware->setDeviceType(deviceType, m_advanced);
}

void MainWindow::setTabsVisible(bool visible)
{
    for (int tab = 0; tab < m_ui->main_tab_widget->count(); ++tab)
        m_ui->main_tab_widget->setTabVisible(tab, visible);
}

void MainWindow::setDeviceButtonsVisible(bool visible)
{
    m_ui->dfu_mode_button->setVisible(visible);
    m_ui->reboot_button->setVisible(visible);
}

void MainWindow::updateRequestButtons()
{
    const bool idle = m_runningRequests == 0;
    for (QPushButton *button : std::as_const(m_effectsWriteButtons))
        button->setEnabled(idle && m_effectsLoaded);
    for (QPushButton *button : std::as_const(m_hardwareWriteButtons))
        button->setEnabled(idle && m_hardwareLoaded);
    for (QPushButton *button : std::as_const(m_requestButtons))
        button->setEnabled(idle);
    // Choosing a device reads its settings: a request too.
    m_ui->devices_combo_box->setEnabled(idle);
}

void MainWindow::on_spiModeCombo_activated(int index)
{
    m_ui->spi_recommendations->setVisible(index >= 1);
}

void MainWindow::on_dfu_mode_button_clicked()
{
    post([pid = m_currentDevice](SettingsUiBackgroundThread *worker) { worker->switchtoDfuRequest(pid); });
}
