#include "comboitems.h"
#include "fulleffectsettingswidget.h"
#include "mainwindow.h"
#include "settingsuibackgroundthread.h"
#include "virtualusbtransport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

namespace {

constexpr BusyWaitTiming FastWait{1, 2000};
const QString ProgramName = QStringLiteral("kestrox-setup");

int kindOf(int productId)
{
    return int(std::find(KestroxProductIds.begin(), KestroxProductIds.end(), productId) -
               KestroxProductIds.begin());
}

} // namespace

class TestSetupMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startOptions_data();
    void startOptions();
    void deviceListPlaceholders();
    void selectedDeviceDisappears();
    void selectAndDeselect();
    void pagesPerDeviceType_data();
    void pagesPerDeviceType();
    void gpioModesHiddenPerPin_data();
    void gpioModesHiddenPerPin();
    void hardwareRecordFromAllPages();
    void everyHardwarePageSendsTheWholeRecord_data();
    void everyHardwarePageSendsTheWholeRecord();
    void effectsReadApplySaveAndProfile();
    void writesWaitForTheSelectedDevicesSettings();
    void advancedMode_data();
    void advancedMode();
    void language_data();
    void language();
    void rebootAndDfu();
    void spiRecommendations();

private:
    void startWindow(const QStringList &arguments = {ProgramName});
    // One poll on the worker's thread; returns once the window has seen it.
    void poll();
    void select(int productId);
    void waitForSettings();
    template<typename T = QWidget>
    T *element(const QString &name) const
    {
        auto *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no element %s", qPrintable(name));
        return found;
    }
    template<typename T = QWidget>
    T *element(const char *name) const
    {
        return element<T>(QLatin1String(name));
    }
    QComboBox *deviceList() const { return element<QComboBox>("devices_combo_box"); }
    QTabWidget *tabs() const { return element<QTabWidget>("main_tab_widget"); }
    int visibleTabs() const;
    bool deviceButtonsShown() const
    {
        return !element("dfu_mode_button")->isHidden() && !element("reboot_button")->isHidden();
    }

    QString m_startDir;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<VirtualUsbTransport> m_bus;
    std::unique_ptr<MainWindow> m_window;
};

void TestSetupMainWindow::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false"));
}

void TestSetupMainWindow::init()
{
    m_startDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_bus = std::make_unique<VirtualUsbTransport>();
}

void TestSetupMainWindow::cleanup()
{
    m_window.reset();
    QCOMPARE(m_bus->openHandleCount(), 0);
    QCOMPARE(m_bus->misuseCount(), 0);
    m_bus.reset();
    QDir::setCurrent(m_startDir);
    m_dir.reset();
}

void TestSetupMainWindow::startWindow(const QStringList &arguments)
{
    m_window = std::make_unique<MainWindow>(m_bus.get(), arguments);
    m_window->worker()->setBusyWaitTiming(FastWait);
}

void TestSetupMainWindow::poll()
{
    auto seen = std::make_shared<std::atomic<bool>>(false);
    MainWindow *window = m_window.get();
    QMetaObject::invokeMethod(m_window->worker(), [worker = m_window->worker(), window, seen] {
        worker->checkDeviceConnections();
        // Queued behind the device list the poll just sent to the window.
        QMetaObject::invokeMethod(window, [seen] { *seen = true; });
    });
    QTRY_VERIFY(*seen);
}

void TestSetupMainWindow::select(int productId)
{
    const int kind = kindOf(productId);
    deviceList()->setCurrentIndex(kind);
    emit deviceList()->activated(kind);
}

void TestSetupMainWindow::waitForSettings()
{
    QTRY_VERIFY(element("apply_effect_settings_button")->isEnabled());
    QTRY_VERIFY(element("apply_hardware_settings_button_1")->isEnabled());
}

int TestSetupMainWindow::visibleTabs() const
{
    int visible = 0;
    for (int tab = 0; tab < tabs()->count(); ++tab)
        visible += tabs()->isTabVisible(tab) ? 1 : 0;
    return visible;
}

void TestSetupMainWindow::startOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<bool>("readSettingsFile");
    QTest::newRow("none") << QStringList{ProgramName} << false << true;
    QTest::newRow("advanced") << QStringList{ProgramName, QStringLiteral("advanced")} << true << false;
    QTest::newRow("case matters") << QStringList{ProgramName, QStringLiteral("Advanced")} << false << false;
    QTest::newRow("other argument") << QStringList{ProgramName, QStringLiteral("expert")} << false << false;
    QTest::newRow("advanced second") << QStringList{ProgramName, QStringLiteral("x"),
                                                    QStringLiteral("advanced")}
                                     << false << false;
}

void TestSetupMainWindow::startOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, advanced);
    QFETCH(bool, readSettingsFile);
    const SetupStartOptions options = setupStartOptions(arguments);
    QCOMPARE(options.advanced, advanced);
    QCOMPARE(options.readSettingsFile, readSettingsFile);
}

void TestSetupMainWindow::deviceListPlaceholders()
{
    startWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Kestrox Setup (240719)"));
    QCOMPARE(deviceList()->count(), 4);
    QCOMPARE(visibleTabs(), 0);
    QVERIFY(!deviceButtonsShown());

    poll();
    QCOMPARE(deviceList()->currentIndex(), -1);
    QCOMPARE(deviceList()->placeholderText(), QStringLiteral("No compatible devices connected"));
    for (int kind = 0; kind < 4; ++kind)
        QVERIFY(isComboItemHidden(deviceList(), kind));
    // No hidden item can be reached with the keyboard either.
    QTest::keyClick(deviceList(), Qt::Key_Down);
    QCOMPARE(deviceList()->currentIndex(), -1);
    QCOMPARE(m_window->currentDevice(), -1);

    m_bus->addDevice(JoystickProductId, DeviceType::Joystick, 240611);
    m_bus->addDevice(RudderProductId, DeviceType::Rudder, 17);
    poll();
    QCOMPARE(deviceList()->currentIndex(), -1);
    QCOMPARE(deviceList()->placeholderText(), QStringLiteral("Select compatible device (2 connected)"));
    QVERIFY(isComboItemHidden(deviceList(), kindOf(GenericProductId)));
    QVERIFY(isComboItemHidden(deviceList(), kindOf(WheelProductId)));
    QVERIFY(!isComboItemHidden(deviceList(), kindOf(JoystickProductId)));
    QCOMPARE(deviceList()->itemText(kindOf(JoystickProductId)),
             QStringLiteral("Kestrox Joystick (Version 240611)"));
    QCOMPARE(deviceList()->itemText(kindOf(RudderProductId)), QStringLiteral("Kestrox Rudder (Version 17)"));
    QCOMPARE(visibleTabs(), 0);
}

void TestSetupMainWindow::selectedDeviceDisappears()
{
    m_bus->addKestroxDevices();
    startWindow();
    poll();
    select(JoystickProductId);
    QCOMPARE(m_window->currentDevice(), JoystickProductId);
    QCOMPARE(visibleTabs(), 5);
    waitForSettings();

    m_bus->device(JoystickProductId)->unplug();
    poll();
    QCOMPARE(m_window->currentDevice(), -1);
    QCOMPARE(deviceList()->currentIndex(), -1);
    QCOMPARE(deviceList()->placeholderText(), QStringLiteral("Select compatible device (2 connected)"));
    QVERIFY(isComboItemHidden(deviceList(), kindOf(JoystickProductId)));
    QCOMPARE(visibleTabs(), 0);
    QVERIFY(!deviceButtonsShown());
}

void TestSetupMainWindow::selectAndDeselect()
{
    m_bus->addKestroxDevices();
    startWindow();
    poll();
    select(RudderProductId);
    QCOMPARE(m_window->currentDevice(), RudderProductId);
    QVERIFY(deviceButtonsShown());
    waitForSettings();

    // The selection survives the following polls.
    poll();
    QCOMPARE(m_window->currentDevice(), RudderProductId);
    QCOMPARE(deviceList()->currentIndex(), kindOf(RudderProductId));

    // Another device switches straight over.
    select(WheelProductId);
    QCOMPARE(m_window->currentDevice(), WheelProductId);

    // Choosing the selected device again clears the selection.
    select(WheelProductId);
    QCOMPARE(m_window->currentDevice(), -1);
    QCOMPARE(visibleTabs(), 0);
    QVERIFY(!deviceButtonsShown());
    poll();
    QCOMPARE(deviceList()->currentIndex(), -1);
    QCOMPARE(deviceList()->placeholderText(), QStringLiteral("Select compatible device (3 connected)"));
}

void TestSetupMainWindow::pagesPerDeviceType_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("tabCount");
    QTest::addColumn<bool>("secondAxis");
    QTest::addColumn<bool>("maxForce");
    QTest::addColumn<bool>("thirdCalibrationMode");
    QTest::newRow("generic") << GenericProductId << int(DeviceType::Generic) << 0 << true << true << true;
    QTest::newRow("joystick") << JoystickProductId << int(DeviceType::Joystick) << 5 << true << true << true;
    QTest::newRow("rudder") << RudderProductId << int(DeviceType::Rudder) << 5 << false << true << true;
    QTest::newRow("wheel") << WheelProductId << int(DeviceType::Wheel) << 5 << false << false << false;
    // The type comes from the device, never from the product id.
    QTest::newRow("wheel on the joystick id")
        << JoystickProductId << int(DeviceType::Wheel) << 5 << false << false << false;
}

void TestSetupMainWindow::pagesPerDeviceType()
{
    QFETCH(int, productId);
    QFETCH(int, type);
    QFETCH(int, tabCount);
    QFETCH(bool, secondAxis);
    QFETCH(bool, maxForce);
    QFETCH(bool, thirdCalibrationMode);
    m_bus->addDevice(quint16(productId), DeviceType(type), 1);
    m_bus->setRecording(true);
    startWindow();
    poll();
    m_bus->clearTransfers();
    select(productId);
    waitForSettings();

    QCOMPARE(visibleTabs(), tabCount);
    QVERIFY(deviceButtonsShown());
    // The settings are read whatever the type.
    QList<int> reports;
    for (const VirtualTransfer &transfer : m_bus->transfers()) {
        if (transfer.requestType == 0xA1 && (transfer.value & 0xFF) != 0x25)
            reports << (transfer.value & 0xFF);
    }
    QCOMPARE(reports, (QList<int>{0x22, 0x21}));
    if (tabCount == 0)
        return;

    const auto *effectTabs = element<FullEffectSettingsWidget>("effects_settings_widget")
                                 ->findChild<QTabWidget *>(QStringLiteral("axis_tab"));
    QCOMPARE(effectTabs->isTabVisible(1), secondAxis);
    QCOMPARE(!element("max_force_axis0")->isHidden(), maxForce);
    QCOMPARE(!element("max_force_axis1")->isHidden(), maxForce);
    QCOMPARE(!isComboItemHidden(element<QComboBox>("calibration_mode"), 2), thirdCalibrationMode);
}

void TestSetupMainWindow::gpioModesHiddenPerPin_data()
{
    QTest::addColumn<int>("pin");
    QTest::addColumn<QList<int>>("hidden");
    const QList<int> onlyBrakingPwm{9};
    const QList<int> analogAndBrakingPwm{2, 9};
    for (int pin = 1; pin <= 3; ++pin)
        QTest::addRow("Pin %d", pin) << pin << onlyBrakingPwm;
    for (int pin = 4; pin <= 7; ++pin)
        QTest::addRow("Pin %d", pin) << pin << analogAndBrakingPwm;
    QTest::newRow("Pin 8") << 8 << QList<int>{2};
    QTest::newRow("Encoder Z0") << 9 << QList<int>{1, 2, 9};
    QTest::newRow("Encoder Z1") << 10 << QList<int>{1, 2, 9};
}

void TestSetupMainWindow::gpioModesHiddenPerPin()
{
    QFETCH(int, pin);
    QFETCH(QList<int>, hidden);
    startWindow();
    auto *box = element<QComboBox>(QStringLiteral("gpioModeCombo_%1").arg(pin));
    QCOMPARE(box->count(), 10);
    QCOMPARE(box->itemText(9), QStringLiteral("Braking PWM"));
    QList<int> actual;
    for (int mode = 0; mode < box->count(); ++mode) {
        if (isComboItemHidden(box, mode))
            actual << mode;
    }
    QCOMPARE(actual, hidden);
}

void TestSetupMainWindow::hardwareRecordFromAllPages()
{
    m_bus->addKestroxDevices();
    VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
    HardwareSettingsTypeDef stored = joystick->hardwareSettings();
    stored.gpioModes[3] = 0x0C;            // no such mode
    stored.buttonModes[5] = 3;             // no such button mode
    stored.analogLowerDeadZone[1] = 40000; // above the entry's range
    stored.currentSenseGain = 3;           // kept although hidden in normal mode
    stored.spiExtensionMode = 2;
    stored.analogInvert[2] = 7;
    joystick->setHardwareSettings(stored);
    startWindow();
    poll();
    select(JoystickProductId);
    waitForSettings();

    QCOMPARE(element<QComboBox>("gpioModeCombo_4")->currentIndex(), -1);
    QCOMPARE(element<QComboBox>("buttonMode_6")->currentIndex(), -1);
    QCOMPARE(element<QSpinBox>("lowerDeadZoneSpinBox_2")->value(), 32767);
    QVERIFY(element<QComboBox>("amplifier_gain")->isHidden());
    QCOMPARE(element<QComboBox>("spiModeCombo")->currentText(), QStringLiteral("C4021 x 3"));
    QVERIFY(!element("spi_recommendations")->isHidden());

    HardwareSettingsTypeDef expected = stored;
    expected.gpioModes[3] = 0xFF;
    expected.buttonModes[5] = 0xFF;
    expected.analogLowerDeadZone[1] = 32767;
    expected.analogInvert[2] = 1;
    QCOMPARE(recordBytes(m_window->hardwareSettings()).toHex(), recordBytes(expected).toHex());

    // What the user changes on any page ends up in the record.
    element<QComboBox>("gpioModeCombo_1")->setCurrentIndex(2);
    element<QComboBox>("buttonMode_32")->setCurrentIndex(2);
    element<QSpinBox>("upperDeadZoneSpinBox_3")->setValue(30000);
    element<QSpinBox>("analogButtonLowSpinBox_1")->setValue(5);
    element<QSpinBox>("analogButtonHighSpinBox_2")->setValue(95);
    element<QSpinBox>("analogSmoothingSpinBox_3")->setValue(33);
    element<QSpinBox>("power_limit")->setValue(55);
    element<QLineEdit>("axis1_p_gain")->setText(QStringLiteral("0.00012345678"));
    expected.gpioModes[0] = 2;
    expected.buttonModes[31] = 2;
    expected.analogUpperDeadZone[2] = 30000;
    expected.analogButtonLow[0] = 5;
    expected.analogButtonHigh[1] = 95;
    expected.analogSmoothing[2] = 33;
    expected.powerLimit = 55;
    expected.axes[1].pGain = 0.00012345678f;

    const int taken = joystick->recordsTaken();
    element<QPushButton>("save_hardware_settings_button_3")->click();
    QTRY_COMPARE(joystick->saves(), 1);
    QCOMPARE(joystick->recordsTaken(), taken + 1);
    QCOMPARE(recordBytes(joystick->savedHardwareSettings()).toHex(), recordBytes(expected).toHex());
}

void TestSetupMainWindow::everyHardwarePageSendsTheWholeRecord_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("Hardware") << 1;
    QTest::newRow("GPIO") << 2;
    QTest::newRow("Buttons") << 3;
    QTest::newRow("Analog axes") << 4;
}

void TestSetupMainWindow::everyHardwarePageSendsTheWholeRecord()
{
    QFETCH(int, page);
    m_bus->addKestroxDevices();
    VirtualKestroxDevice *rudder = m_bus->device(RudderProductId);
    startWindow();
    poll();
    select(RudderProductId);
    waitForSettings();

    element<QComboBox>("gpioModeCombo_8")->setCurrentIndex(9);
    element<QCheckBox>("analogAxisInvert_1")->setChecked(true);
    element<QSpinBox>("axis0_pole_pair")->setValue(21);
    const HardwareSettingsTypeDef sent = m_window->hardwareSettings();
    QCOMPARE(sent.gpioModes[7], quint8(9));
    element<QPushButton>(QStringLiteral("apply_hardware_settings_button_%1").arg(page))->click();
    QTRY_COMPARE(recordBytes(rudder->hardwareSettings()).toHex(), recordBytes(sent).toHex());
    QCOMPARE(rudder->saves(), 0);

    // Read brings back what the device holds, on every page.
    element<QComboBox>("gpioModeCombo_8")->setCurrentIndex(0);
    element<QPushButton>(QStringLiteral("read_hardware_settings_button_%1").arg(page))->click();
    QTRY_COMPARE(element<QComboBox>("gpioModeCombo_8")->currentIndex(), 9);
}

void TestSetupMainWindow::effectsReadApplySaveAndProfile()
{
    m_bus->addKestroxDevices();
    VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
    EffectSettingsTypeDef stored = joystick->effectSettings();
    stored.axes[1].staticDampening = 300;
    joystick->setEffectSettings(stored);
    startWindow();
    poll();
    select(JoystickProductId);
    waitForSettings();
    auto *page = element<FullEffectSettingsWidget>("effects_settings_widget");
    QCOMPARE(element<QSpinBox>("static_dampening_axis1")->value(), 300);

    element<QSpinBox>("motion_range_axis0")->setValue(1500);
    EffectSettingsTypeDef expected;
    page->getSettings(expected);
    QCOMPARE(quint16(expected.axes[0].motionRange), quint16(1500));
    element<QPushButton>("apply_effect_settings_button")->click();
    QTRY_COMPARE(recordBytes(joystick->effectSettings()).toHex(), recordBytes(expected).toHex());
    QCOMPARE(joystick->saves(), 0);

    // A profile fills only the page; reading again brings back the device's values.
    element<QComboBox>("profile_combo_box")->setEditText(QStringLiteral("wide"));
    element<QPushButton>("profile_save_button")->click();
    element<QSpinBox>("motion_range_axis0")->setValue(20);
    page->applyProfile(QStringLiteral("wide"));
    QCOMPARE(element<QSpinBox>("motion_range_axis0")->value(), 1500);
    EffectSettingsTypeDef other = expected;
    other.axes[0].motionRange = 40;
    joystick->setEffectSettings(other);
    QCOMPARE(recordBytes(joystick->effectSettings()).toHex(), recordBytes(other).toHex());
    element<QPushButton>("read_effects_settings_button")->click();
    QTRY_COMPARE(element<QSpinBox>("motion_range_axis0")->value(), 40);

    element<QPushButton>("save_effects_settings_button")->click();
    QTRY_COMPARE(joystick->saves(), 1);
    QCOMPARE(recordBytes(joystick->savedEffectSettings()).toHex(), recordBytes(other).toHex());
}

void TestSetupMainWindow::writesWaitForTheSelectedDevicesSettings()
{
    m_bus->addKestroxDevices();
    EffectSettingsTypeDef joystickEffects = m_bus->device(JoystickProductId)->effectSettings();
    joystickEffects.axes[0].motionRange = 111;
    m_bus->device(JoystickProductId)->setEffectSettings(joystickEffects);
    startWindow();
    poll();

    // Holds the worker so that selections are made before it reads.
    QSemaphore gate;
    bool held = false;
    const auto hold = [&] {
        QMetaObject::invokeMethod(m_window->worker(), [&gate] { gate.acquire(); });
        held = true;
    };
    const auto release = [&] {
        if (std::exchange(held, false))
            gate.release();
    };
    const auto releaseOnFailure = qScopeGuard(release);
    const QStringList effectWrites{QStringLiteral("apply_effect_settings_button"),
                                   QStringLiteral("save_effects_settings_button")};
    const QStringList hardwareWrites{QStringLiteral("apply_hardware_settings_button_2"),
                                     QStringLiteral("save_hardware_settings_button_4")};
    const auto enabled = [this](const QStringList &buttons) {
        return std::all_of(buttons.cbegin(), buttons.cend(),
                           [this](const QString &button) { return element(button)->isEnabled(); });
    };
    const auto disabled = [this](const QStringList &buttons) {
        return std::none_of(buttons.cbegin(), buttons.cend(),
                            [this](const QString &button) { return element(button)->isEnabled(); });
    };

    hold();
    select(JoystickProductId);
    QVERIFY(disabled(effectWrites + hardwareWrites));
    select(RudderProductId);
    // The rudder stops answering: its reads deliver nothing.
    m_bus->device(RudderProductId)->unplug();
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("settings report 22 of device 5968 not read")));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("settings report 21 of device 5968 not read")));
    release();
    poll();
    // The joystick's late answers were not shown for the rudder.
    QCOMPARE(element<QSpinBox>("motion_range_axis0")->value(), 0);
    QVERIFY(disabled(effectWrites + hardwareWrites));

    // A profile is a whole effects record: once applied it may be written,
    // while the hardware record still waits for the device.
    m_bus->device(RudderProductId)->plug();
    poll();
    QVERIFY(!isComboItemHidden(deviceList(), kindOf(RudderProductId)));
    hold();
    select(RudderProductId);
    element<QComboBox>("profile_combo_box")->setEditText(QStringLiteral("soft"));
    element<QPushButton>("profile_save_button")->click();
    element<FullEffectSettingsWidget>("effects_settings_widget")->applyProfile(QStringLiteral("soft"));
    QVERIFY(enabled(effectWrites));
    QVERIFY(disabled(hardwareWrites));
    release();
    waitForSettings();
    QVERIFY(enabled(effectWrites + hardwareWrites));
}

void TestSetupMainWindow::advancedMode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("advanced");
    QTest::newRow("normal") << QStringList{ProgramName} << false;
    QTest::newRow("advanced") << QStringList{ProgramName, QStringLiteral("advanced")} << true;
    QTest::newRow("another argument") << QStringList{ProgramName, QStringLiteral("--advanced")} << false;
}

void TestSetupMainWindow::advancedMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, advanced);
    m_bus->addKestroxDevices();
    startWindow(arguments);
    QCOMPARE(m_window->isAdvanced(), advanced);
    poll();
    select(WheelProductId);
    waitForSettings();
    QCOMPARE(!element("amplifier_gain")->isHidden(), advanced);
    QCOMPARE(!element("amplifier_gain_label")->isHidden(), advanced);
    QCOMPARE(m_window->hardwareSettings().currentSenseGain,
             m_bus->device(WheelProductId)->hardwareSettings().currentSenseGain);
}

void TestSetupMainWindow::language_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("german");
    const QStringList none{ProgramName};
    QTest::newRow("de") << QStringLiteral("de") << none << true;
    QTest::newRow("de with an argument")
        << QStringLiteral("de") << QStringList{ProgramName, QStringLiteral("advanced")} << false;
    QTest::newRow("en") << QStringLiteral("en") << none << false;
    QTest::newRow("unset") << QString() << none << false;
    QTest::newRow("no such translation") << QStringLiteral("xx") << none << false;
}

void TestSetupMainWindow::language()
{
    QFETCH(QString, language);
    QFETCH(QStringList, arguments);
    QFETCH(bool, german);
    // The translation is looked up under the working directory.
    QVERIFY(QDir().mkpath(QStringLiteral("i18n")));
    QVERIFY(QFile::copy(QStringLiteral(KESTROX_SETUP_QM_DIR "/hardware_settings_ui_de.qm"),
                        QStringLiteral("i18n/hardware_settings_ui_de.qm")));
    if (!language.isNull()) {
        QSettings config(QDir::current().filePath(QStringLiteral("config.ini")), QSettings::IniFormat);
        config.setValue(QStringLiteral("UI/lang"), language);
    }
    m_bus->addKestroxDevices();
    startWindow(arguments);
    poll();

    const auto text = [german](const char *english, const char *inGerman) {
        return german ? QString::fromUtf8(inGerman) : QLatin1String(english);
    };
    QCOMPARE(element<QPushButton>("reboot_button")->text(),
             text("Reboot controller", "Controller neu starten"));
    QCOMPARE(tabs()->tabText(0), text("Effects", "Effekte"));
    QCOMPARE(tabs()->tabText(3), text("Buttons", "Tasten"));
    QCOMPARE(deviceList()->placeholderText(),
             text("Select compatible device (3 connected)", "Kompatibles Gerät auswählen (3 angeschlossen)"));
    QCOMPARE(element<QComboBox>("gpioModeCombo_1")->itemText(1), text("Generic button", "Allgemeine Taste"));
    QCOMPARE(element<QComboBox>("spiModeCombo")->itemText(0), text("Disabled", "Deaktiviert"));
    QCOMPARE(element<QComboBox>("spiModeCombo")->itemText(1), QStringLiteral("SN74HC165N x 3"));
    QCOMPARE(element<QPushButton>("profile_save_button")->text(), text("Save", "Speichern"));
    QCOMPARE(
        element<QLabel>("amplifier_gain_label")->text(),
        text("Current sense gain (Require reboot)", "Verstärkung der Strommessung (Neustart erforderlich)"));
}

void TestSetupMainWindow::rebootAndDfu()
{
    m_bus->addKestroxDevices();
    VirtualKestroxDevice *rudder = m_bus->device(RudderProductId);
    VirtualKestroxDevice *wheel = m_bus->device(WheelProductId);
    startWindow();
    poll();
    select(RudderProductId);
    const quint64 connection = rudder->connection();
    element<QPushButton>("reboot_button")->click();
    QTRY_VERIFY(rudder->connection() != connection);
    // The old handle is dead: the rudder leaves the list and comes back.
    poll();
    QCOMPARE(m_window->currentDevice(), -1);
    poll();
    QVERIFY(!isComboItemHidden(deviceList(), kindOf(RudderProductId)));

    select(WheelProductId);
    element<QPushButton>("dfu_mode_button")->click();
    QTRY_VERIFY(wheel->isInDfuMode());
    poll();
    QVERIFY(isComboItemHidden(deviceList(), kindOf(WheelProductId)));
    QVERIFY(!rudder->isInDfuMode());
}

void TestSetupMainWindow::spiRecommendations()
{
    startWindow();
    auto *spi = element<QComboBox>("spiModeCombo");
    QCOMPARE(spi->count(), 7);
    QVERIFY(element("spi_recommendations")->isHidden());
    spi->setCurrentIndex(4);
    emit spi->activated(4);
    QVERIFY(!element("spi_recommendations")->isHidden());
    spi->setCurrentIndex(0);
    emit spi->activated(0);
    QVERIFY(element("spi_recommendations")->isHidden());
}

QTEST_MAIN(TestSetupMainWindow)
#include "tst_setupmainwindow.moc"
