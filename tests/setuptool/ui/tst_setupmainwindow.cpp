#include "comboitems.h"
#include "fulleffectsettingswidget.h"
#include "mainwindow.h"
#include "settingsuibackgroundthread.h"
#include "setuptestsupport.h"
#include "virtualusbtransport.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QXmlStreamReader>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

namespace {

const QString ProgramName = QStringLiteral("kestrox-setup");

int kindOf(int productId)
{
    return int(std::find(KestroxProductIds.begin(), KestroxProductIds.end(), productId) -
               KestroxProductIds.begin());
}

// Busy-wait time that stands still until the test moves it on. A pause only
// yields briefly, so a device that stays busy keeps the worker waiting for as
// long as the test likes, and the 30 s bound passes in no real time.
class HeldClock final : public BusyWaitClock
{
public:
    qint64 nowMs() override { return m_now.load(); }
    void pauseMs(int) override { QThread::usleep(200); }
    void advance(qint64 ms) { m_now += ms; }

private:
    std::atomic<qint64> m_now = 0;
};

// The window's texts as the translation file has them: English source to
// its finished German translation (an unfinished one maps to nothing). The
// status texts a test sees are looked up here, so that a text changed in the
// code but not in the translation fails.
QHash<QString, QString> windowTranslations()
{
    QHash<QString, QString> texts;
    QFile file(QStringLiteral(KESTROX_SETUP_TS_FILE));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no translation file");
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            const QString translation = xml.readElementText();
            if (context == QLatin1String("MainWindow"))
                texts.insert(source, finished ? translation : QString());
        } else if (xml.name() != QLatin1String("TS") && xml.name() != QLatin1String("context") &&
                   xml.name() != QLatin1String("message")) {
            xml.skipCurrentElement();
        }
    }
    return texts;
}

} // namespace

class TestSetupMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false")); }

    void init()
    {
        m_german = false;
        m_dir = std::make_unique<TemporaryWorkingDirectory>();
        m_bus = std::make_unique<VirtualUsbTransport>();
    }

    void cleanup()
    {
        m_window.reset();
        QCOMPARE(m_bus->openHandleCount(), 0);
        QCOMPARE(m_bus->misuseCount(), 0);
        m_bus.reset();
        m_dir.reset();
    }

    void deviceListAndSelection()
    {
        startWindow();
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Kestrox Setup (240719)"));
        poll();
        QCOMPARE(deviceList()->placeholderText(), QStringLiteral("No compatible devices connected"));
        for (int kind = 0; kind < 4; ++kind)
            QVERIFY(isComboItemHidden(deviceList(), kind));
        // No hidden item can be reached with the keyboard either.
        QTest::keyClick(deviceList(), Qt::Key_Down);
        QCOMPARE(deviceList()->currentIndex(), -1);
        QCOMPARE(m_window->currentDevice(), -1);
        QCOMPARE(visibleTabs(), 0);
        QVERIFY(!deviceButtonsShown());

        m_bus->addDevice(JoystickProductId, DeviceType::Joystick, 240611);
        m_bus->addDevice(RudderProductId, DeviceType::Rudder, 17);
        m_bus->addDevice(WheelProductId, DeviceType::Wheel, 5);
        poll();
        verifyNothingSelected(3);
        QVERIFY(isComboItemHidden(deviceList(), kindOf(GenericProductId)));
        QCOMPARE(deviceList()->itemText(kindOf(JoystickProductId)),
                 QStringLiteral("Kestrox Joystick (Version 240611)"));
        QCOMPARE(deviceList()->itemText(kindOf(RudderProductId)),
                 QStringLiteral("Kestrox Rudder (Version 17)"));

        select(RudderProductId);
        QCOMPARE(m_window->currentDevice(), RudderProductId);
        QCOMPARE(visibleTabs(), 5);
        QVERIFY(deviceButtonsShown());
        waitForSettings();
        // The selection survives the following polls.
        poll();
        QCOMPARE(m_window->currentDevice(), RudderProductId);
        QCOMPARE(deviceList()->currentIndex(), kindOf(RudderProductId));

        // Another device switches straight over; choosing it again clears the selection.
        select(WheelProductId);
        QCOMPARE(m_window->currentDevice(), WheelProductId);
        waitForSettings();
        select(WheelProductId);
        verifyNothingSelected(3);

        // What the wheel hid comes back for the next device.
        select(JoystickProductId);
        waitForSettings();
        QVERIFY(!element("max_force_axis0")->isHidden());
        QVERIFY(!element("calibration_speed")->isHidden());
        QVERIFY(!isComboItemHidden(element<QComboBox>("calibration_mode"), 2));

        // A selected device that disappears is deselected.
        m_bus->device(JoystickProductId)->unplug();
        poll();
        verifyNothingSelected(2);
        QVERIFY(isComboItemHidden(deviceList(), kindOf(JoystickProductId)));
    }

    void pagesPerDeviceType_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("axes"); // 0: no settings pages at all
        QTest::newRow("generic") << GenericProductId << int(DeviceType::Generic) << 0;
        QTest::newRow("joystick") << JoystickProductId << int(DeviceType::Joystick) << 2;
        QTest::newRow("rudder") << RudderProductId << int(DeviceType::Rudder) << 1;
        QTest::newRow("wheel") << WheelProductId << int(DeviceType::Wheel) << 1;
        // The type comes from the device, never from the product id.
        QTest::newRow("wheel on the joystick id") << JoystickProductId << int(DeviceType::Wheel) << 1;
    }

    void pagesPerDeviceType()
    {
        QFETCH(int, productId);
        QFETCH(int, type);
        QFETCH(int, axes);
        VirtualKestroxDevice *device = m_bus->addDevice(quint16(productId), DeviceType(type), 1);
        HardwareSettingsTypeDef stored = device->hardwareSettings();
        stored.calibrationMode = 2; // the mode a wheel does not offer
        device->setHardwareSettings(stored);
        startAndSelect(productId); // the settings are read whatever the type
        QCOMPARE(visibleTabs(), axes ? 5 : 0);
        QVERIFY(deviceButtonsShown());
        if (axes == 0)
            return;

        QCOMPARE(findElement<QTabWidget>(element("effects_settings_widget"), "axis_tab")->isTabVisible(1),
                 axes == 2);
        QCOMPARE(findElement<QTabWidget>(element("hardware_settings_widget"), "axis_tab")->isTabVisible(1),
                 axes == 2);
        // A wheel has no max force, calibration speed or third calibration
        // mode; a stored mode 2 still shows and travels back.
        const bool wheel = type == int(DeviceType::Wheel);
        QCOMPARE(element("max_force_axis0")->isHidden(), wheel);
        QCOMPARE(element("max_force_axis1")->isHidden(), wheel);
        QCOMPARE(element("calibration_speed")->isHidden(), wheel);
        QCOMPARE(isComboItemHidden(element<QComboBox>("calibration_mode"), 2), wheel);
        QCOMPARE(element<QComboBox>("calibration_mode")->currentIndex(), 2);
        QCOMPARE(m_window->hardwareSettings().calibrationMode, quint8(2));
    }

    void gpioModesHiddenPerPin()
    {
        // Pin 1 .. Pin 8, Encoder Z0, Encoder Z1; 1 is "Generic button", 2 "Analog", 9 "Braking PWM".
        const QList<QList<int>> expected{{9},    {9},    {9}, {2, 9},    {2, 9},
                                         {2, 9}, {2, 9}, {2}, {1, 2, 9}, {1, 2, 9}};
        startWindow();
        QList<QList<int>> hidden;
        for (int pin = 1; pin <= 10; ++pin) {
            auto *box = element<QComboBox>(QStringLiteral("gpioModeCombo_%1").arg(pin));
            QCOMPARE(box->itemText(9), QStringLiteral("Braking PWM"));
            hidden.append(QList<int>());
            for (int mode = 0; mode < box->count(); ++mode) {
                if (isComboItemHidden(box, mode))
                    hidden.last() << mode;
            }
        }
        QCOMPARE(hidden, expected);
    }

    void hardwareRecordFromAllPages()
    {
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        HardwareSettingsTypeDef stored = joystick->hardwareSettings();
        stored.gpioModes[3] = 0x0C;            // no such mode
        stored.buttonModes[5] = 3;             // no such button mode
        stored.calibrationMode = 7;            // no such calibration mode
        stored.analogLowerDeadZone[1] = 40000; // above the entry's range
        stored.currentSenseGain = 3;           // kept although hidden in normal mode
        stored.spiExtensionMode = 2;
        stored.analogInvert[2] = 7;
        joystick->setHardwareSettings(stored);
        startAndSelect(JoystickProductId);

        QCOMPARE(element<QComboBox>("gpioModeCombo_4")->currentIndex(), -1);
        QCOMPARE(element<QComboBox>("buttonMode_6")->currentIndex(), -1);
        QCOMPARE(element<QSpinBox>("lowerDeadZoneSpinBox_2")->value(), 32767);
        QVERIFY(element<QComboBox>("amplifier_gain")->isHidden());
        QCOMPARE(element<QComboBox>("spiModeCombo")->currentText(), QStringLiteral("C4021 x 3"));
        QVERIFY(!element("spi_recommendations")->isHidden());

        HardwareSettingsTypeDef expected = stored;
        expected.gpioModes[3] = 0xFF;
        expected.buttonModes[5] = 0xFF;
        expected.calibrationMode = 0xFF;
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
        // Choosing no extension hides the recommendations.
        element<QComboBox>("spiModeCombo")->setCurrentIndex(0);
        emit element<QComboBox>("spiModeCombo")->activated(0);
        QVERIFY(element("spi_recommendations")->isHidden());
        expected.spiExtensionMode = 0;

        // Every hardware page applies, saves and reads the whole record.
        const int taken = joystick->recordsTaken();
        element<QPushButton>("apply_hardware_settings_button_2")->click();
        QTRY_COMPARE(joystick->recordsTaken(), taken + 1);
        QCOMPARE(recordBytes(joystick->hardwareSettings()).toHex(), recordBytes(expected).toHex());
        waitForIdle();
        element<QPushButton>("save_hardware_settings_button_3")->click();
        QTRY_COMPARE(joystick->saves(), 1);
        waitForIdle();
        QCOMPARE(recordBytes(joystick->savedHardwareSettings()).toHex(), recordBytes(expected).toHex());
        element<QComboBox>("gpioModeCombo_1")->setCurrentIndex(0);
        element<QPushButton>("read_hardware_settings_button_4")->click();
        QTRY_COMPARE(element<QComboBox>("gpioModeCombo_1")->currentIndex(), 2);
    }

    void effectsReadApplySave()
    {
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        startAndSelect(JoystickProductId);
        auto *motionRange = element<QSpinBox>("motion_range_axis0");
        motionRange->setValue(1500);
        EffectSettingsTypeDef expected;
        element<FullEffectSettingsWidget>("effects_settings_widget")->getSettings(expected);
        element<QPushButton>("apply_effect_settings_button")->click();
        QTRY_COMPARE(recordBytes(joystick->effectSettings()).toHex(), recordBytes(expected).toHex());
        QCOMPARE(joystick->saves(), 0);
        waitForIdle();

        // Reading again brings back what the device holds.
        expected.axes[0].motionRange = 40;
        joystick->setEffectSettings(expected);
        element<QPushButton>("read_effects_settings_button")->click();
        QTRY_COMPARE(motionRange->value(), 40);
        element<QPushButton>("save_effects_settings_button")->click();
        QTRY_COMPARE(joystick->saves(), 1);
        QCOMPARE(recordBytes(joystick->savedEffectSettings()).toHex(), recordBytes(expected).toHex());
    }

    void writesWaitForTheSelectedDevicesSettings()
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
            return std::count_if(buttons.cbegin(), buttons.cend(),
                                 [this](const QString &button) { return element(button)->isEnabled(); });
        };

        hold();
        select(JoystickProductId);
        QCOMPARE(enabled(effectWrites + hardwareWrites), 0);
        select(RudderProductId);
        // The rudder stops answering: its reads deliver nothing.
        m_bus->device(RudderProductId)->unplug();
        const QRegularExpression notRead(QStringLiteral("settings report 2[12] of device 5968 not read"));
        QTest::ignoreMessage(QtWarningMsg, notRead);
        QTest::ignoreMessage(QtWarningMsg, notRead);
        release();
        poll();
        // The joystick's late answers were not shown for the rudder.
        QCOMPARE(element<QSpinBox>("motion_range_axis0")->value(), 0);
        QCOMPARE(enabled(effectWrites + hardwareWrites), 0);

        // A profile is a whole effects record: once applied it may be written,
        // while the hardware record still waits for the device.
        m_bus->device(RudderProductId)->plug();
        poll();
        m_bus->device(RudderProductId)->setStalledSettingsReads(2);
        QTest::ignoreMessage(QtWarningMsg, notRead);
        QTest::ignoreMessage(QtWarningMsg, notRead);
        select(RudderProductId);
        waitForIdle();
        QCOMPARE(enabled(effectWrites + hardwareWrites), 0);
        element<QComboBox>("profile_combo_box")->setEditText(QStringLiteral("soft"));
        element<QPushButton>("profile_save_button")->click();
        element<FullEffectSettingsWidget>("effects_settings_widget")->applyProfile(QStringLiteral("soft"));
        QCOMPARE(enabled(effectWrites), 2);
        QCOMPARE(enabled(hardwareWrites), 0);
        // While a request runs, none is offered.
        hold();
        element<QPushButton>("read_again_button")->click();
        QCOMPARE(enabled(effectWrites + hardwareWrites), 0);
        release();
        waitForSettings();
        QCOMPARE(enabled(effectWrites + hardwareWrites), 4);
    }

    void startOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("language"); // UI/lang in config.ini
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<bool>("german");
        const QString de = QStringLiteral("de");
        QTest::newRow("UI/lang=de") << QStringList{ProgramName} << de << false << true;
        QTest::newRow("no such translation")
            << QStringList{ProgramName} << QStringLiteral("xx") << false << false;
        // Any argument skips config.ini; only a first "advanced" is advanced mode.
        QTest::newRow("advanced") << QStringList{ProgramName, QStringLiteral("advanced")} << de << true
                                  << false;
        QTest::newRow("case matters")
            << QStringList{ProgramName, QStringLiteral("Advanced")} << de << false << false;
        QTest::newRow("advanced second")
            << QStringList{ProgramName, QStringLiteral("x"), QStringLiteral("advanced")} << de << false
            << false;
    }

    void startOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, language);
        QFETCH(bool, advanced);
        QFETCH(bool, german);
        // The translation is looked up under the working directory.
        QVERIFY(QDir().mkpath(QStringLiteral("i18n")));
        QVERIFY(QFile::copy(QStringLiteral(KESTROX_SETUP_QM_DIR "/hardware_settings_ui_de.qm"),
                            QStringLiteral("i18n/hardware_settings_ui_de.qm")));
        QSettings(QDir::current().filePath(QStringLiteral("config.ini")), QSettings::IniFormat)
            .setValue(QStringLiteral("UI/lang"), language);
        m_bus->addKestroxDevices();
        startAndSelect(WheelProductId, arguments);
        QCOMPARE(m_window->isAdvanced(), advanced);
        QCOMPARE(!element("amplifier_gain")->isHidden(), advanced);
        QCOMPARE(!element("amplifier_gain_label")->isHidden(), advanced);
        // Shown or not, the device's value travels back unchanged.
        QCOMPARE(m_window->hardwareSettings().currentSenseGain,
                 m_bus->device(WheelProductId)->hardwareSettings().currentSenseGain);

        const auto text = [german](const char *english, const char *inGerman) {
            return german ? QString::fromUtf8(inGerman) : QLatin1String(english);
        };
        QCOMPARE(element<QPushButton>("reboot_button")->text(),
                 text("Reboot controller", "Controller neu starten"));
        QCOMPARE(tabs()->tabText(3), text("Buttons", "Tasten"));
        QCOMPARE(deviceList()->placeholderText(), text("Select compatible device (3 connected)",
                                                       "Kompatibles Gerät auswählen (3 angeschlossen)"));
        QCOMPARE(element<QComboBox>("gpioModeCombo_1")->itemText(1),
                 text("Generic button", "Allgemeine Taste"));
        // Chip names stay as they are.
        QCOMPARE(element<QComboBox>("spiModeCombo")->itemText(1), QStringLiteral("SN74HC165N x 3"));
    }

    // With a transport that takes the devices from the system (libusb on
    // Linux) the window says so once, when it first holds a device.
    void devicesTakenFromTheSystemSaidOnce()
    {
        m_bus->setTakesDevicesFromSystem(true);
        startWindow();
        poll();
        QVERIFY(element("device_status_line")->isHidden());
        m_bus->addKestroxDevices();
        poll();
        QVERIFY(!element("device_status_line")->isHidden());
        QCOMPARE(statusText(), QStringLiteral("While Kestrox Setup runs, its devices are taken from the system: the "
                                              "simulator and Kestrox Vantrell cannot use them until Kestrox Setup "
                                              "is closed."));
        select(JoystickProductId);
        waitForSettings();
        element<QPushButton>("apply_effect_settings_button")->click();
        QTRY_COMPARE(statusText(), QStringLiteral("Settings applied to the controller."));
        m_bus->device(JoystickProductId)->unplug();
        poll();
        m_bus->device(JoystickProductId)->plug();
        poll();
        QCOMPARE(statusText(), QStringLiteral("Settings applied to the controller."));
    }

    void rebootAndDfu()
    {
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *rudder = m_bus->device(RudderProductId);
        VirtualKestroxDevice *wheel = m_bus->device(WheelProductId);
        startAndSelect(RudderProductId);
        const quint64 connection = rudder->connection();
        waitForIdle();
        element<QPushButton>("reboot_button")->click();
        QTRY_VERIFY(rudder->connection() != connection);
        // The old handle is dead: the rudder leaves the list and comes back.
        poll();
        QCOMPARE(m_window->currentDevice(), -1);
        poll();
        QVERIFY(!isComboItemHidden(deviceList(), kindOf(RudderProductId)));

        select(WheelProductId);
        waitForIdle();
        element<QPushButton>("dfu_mode_button")->click();
        QTRY_VERIFY(wheel->isInDfuMode());
        poll();
        QVERIFY(isComboItemHidden(deviceList(), kindOf(WheelProductId)));
        QVERIFY(!rudder->isInDfuMode());
    }

    // What the user sees while the device is busy, and afterwards what did
    // not happen. The bound is the production one: 100 ms pauses, 30 s.
    void busyWaitSeenByUser_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("ending"); // "busy", "unplugged" or "ready"
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("waiting");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("saves");
        const QString save = QStringLiteral("save_effects_settings_button");
        const QString apply = QStringLiteral("apply_hardware_settings_button_1");
        const QString saving = QStringLiteral("Saving settings to the controller's permanent memory...");
        const QString applying = QStringLiteral("Applying settings to the controller...");
        const QString savedNot =
            QStringLiteral("The controller stayed busy: settings were not saved to the controller's permanent memory.");
        const QString goneNotSaved = QStringLiteral(
            "The controller is not connected: settings were not saved to the controller's permanent memory.");
        QTest::newRow("save, stays busy") << save << "busy" << false << saving << savedNot << 0;
        QTest::newRow("save, stays busy, German") << save << "busy" << true << saving << savedNot << 0;
        QTest::newRow("save, unplugged") << save << "unplugged" << false << saving << goneNotSaved << 0;
        QTest::newRow("save, unplugged, German") << save << "unplugged" << true << saving << goneNotSaved << 0;
        QTest::newRow("save, ready after 29.9 s")
            << save << "ready" << false << saving << "Settings saved to the controller's permanent memory." << 1;
        QTest::newRow("apply, stays busy")
            << apply << "busy" << false << applying
            << "The controller stayed busy: settings may not have been applied." << 0;
        QTest::newRow("apply, unplugged") << apply << "unplugged" << false << applying
                                          << "The controller is not connected: settings were not applied." << 0;
        QTest::newRow("apply, ready, German") << apply << "ready" << true << applying
                                              << "Settings applied to the controller." << 0;
    }

    void busyWaitSeenByUser()
    {
        QFETCH(QString, button);
        QFETCH(QString, ending);
        QFETCH(bool, german);
        QFETCH(QString, waiting);
        QFETCH(QString, outcome);
        QFETCH(int, saves);
        if (german)
            installGerman();
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        startAndSelect(JoystickProductId);
        HeldClock clock;
        m_window->worker()->setBusyWaitTiming(BusyWaitTiming{100, 30000, &clock});
        QVERIFY(element("device_status_line")->isHidden());

        joystick->setStuckBusy(true);
        if (ending == QLatin1String("busy"))
            QTest::ignoreMessage(QtWarningMsg, "device still busy after 30000 ms");
        element<QPushButton>(button)->click();
        QTRY_VERIFY(m_window->worker()->isBusy());
        QVERIFY(!element("busy_indicator")->isHidden());
        QCOMPARE(statusText(), expectedStatus(waiting));
        // The interface thread keeps serving events meanwhile.
        bool served = false;
        QTimer::singleShot(0, m_window.get(), [&served] { served = true; });
        QTRY_VERIFY(served);
        tabs()->setCurrentIndex(2);
        QCOMPARE(tabs()->currentIndex(), 2);
        // 29.9 s are still inside the bound.
        clock.advance(29900);
        QTest::qWait(20);
        QVERIFY(m_window->worker()->isBusy());
        QCOMPARE(statusText(), expectedStatus(waiting));

        if (ending == QLatin1String("busy"))
            clock.advance(100);
        else if (ending == QLatin1String("unplugged"))
            joystick->unplug();
        else
            joystick->setStuckBusy(false);
        QTRY_COMPARE(statusText(), expectedStatus(outcome));
        QVERIFY(!m_window->worker()->isBusy());
        QVERIFY(element("busy_indicator")->isHidden());
        QVERIFY(element("read_again_button")->isHidden());
        QCOMPARE(joystick->saves(), saves);
        if (ending == QLatin1String("unplugged")) {
            // The device leaves the list; what did not happen stays in view.
            poll();
            QCOMPARE(m_window->currentDevice(), -1);
            QVERIFY(!element("device_status_line")->isHidden());
            QCOMPARE(statusText(), expectedStatus(outcome));
        }
    }

    // A read that fails says so, and only so, and offers to read again.
    // Apply and save stay off until the device's settings are shown; a
    // failed re-read leaves them on, as the pages still show what was read.
    void failedReadOffersToReadAgain_data()
    {
        QTest::addColumn<int>("stalledReads"); // effects are read first, then hardware
        QTest::addColumn<bool>("reread");      // the failing read is a later one
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("message");
        const QString both = QStringLiteral("Reading the settings from the controller failed.");
        const QString effects = QStringLiteral("Reading the effects settings from the controller failed.");
        QTest::newRow("both") << 2 << false << false << both;
        QTest::newRow("both, German") << 2 << false << true << both;
        QTest::newRow("effects only") << 1 << false << false << effects;
        QTest::newRow("effects read again") << 1 << true << false << effects;
        QTest::newRow("effects read again, German") << 1 << true << true << effects;
    }

    void failedReadOffersToReadAgain()
    {
        QFETCH(int, stalledReads);
        QFETCH(bool, reread);
        QFETCH(bool, german);
        QFETCH(QString, message);
        if (german)
            installGerman();
        m_bus->addKestroxDevices();
        startWindow();
        poll();
        if (reread) {
            select(JoystickProductId);
            waitForSettings();
        }
        m_bus->device(JoystickProductId)->setStalledSettingsReads(stalledReads);
        const QRegularExpression notRead(QStringLiteral("settings report 2[12] of device 58f9 not read"));
        for (int i = 0; i < stalledReads; ++i)
            QTest::ignoreMessage(QtWarningMsg, notRead);
        if (reread)
            element<QPushButton>("read_effects_settings_button")->click();
        else
            select(JoystickProductId);
        QTRY_COMPARE(statusText(), expectedStatus(message));
        waitForIdle();
        QVERIFY(!element("read_again_button")->isHidden());
        QCOMPARE(element("apply_effect_settings_button")->isEnabled(), reread);
        QCOMPARE(element("save_effects_settings_button")->isEnabled(), reread);
        QCOMPARE(element("apply_hardware_settings_button_1")->isEnabled(), stalledReads < 2);
        QCOMPARE(element<QPushButton>("read_again_button")->text(), expectedStatus(QStringLiteral("Read again")));

        element<QPushButton>("read_again_button")->click();
        waitForSettings();
        QVERIFY(element("device_status_line")->isHidden());
        QCOMPARE(element<QSpinBox>("motion_range_axis0")->value(), 30); // the joystick's factory range
    }

    // The joystick leaves the bus after every possible number of answered
    // transfers of every sequence, busy waits included, 200 times: the
    // window keeps serving events, says what did not happen, the worker drops
    // the device and finds it again, and the list follows.
    void deviceGoneDuringEverySequence()
    {
        struct Sequence
        {
            const char *button;
            int transfers; // answered when nothing goes wrong
            const char *message; // shown once the device is gone; null: none
        };
        // Records: 384 bytes -> 7 packets + terminator, 512 -> 9 + terminator;
        // the virtual device answers busy twice after a write, so each wait
        // costs 3 state reads here.
        const Sequence sequences[] = {
            {"read_effects_settings_button", 1, "Reading the effects settings from the controller failed."},
            {"read_hardware_settings_button_2", 1, "Reading the hardware settings from the controller failed."},
            {"apply_effect_settings_button", 8 + 3, "The controller is not connected: settings were not applied."},
            {"save_effects_settings_button", 8 + 3 + 1 + 3,
             "The controller is not connected: settings were not saved to the controller's permanent memory."},
            {"apply_hardware_settings_button_3", 10 + 3,
             "The controller is not connected: settings were not applied."},
            {"save_hardware_settings_button_1", 10 + 3 + 1 + 3,
             "The controller is not connected: settings were not saved to the controller's permanent memory."},
            {"reboot_button", 1, nullptr},
            {"dfu_mode_button", 1, nullptr},
        };
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        startAndSelect(JoystickProductId);
        // Polls only when the test asks: a poll of the worker's own, on a
        // loaded machine, would meet the unplugging before the request does.
        QMetaObject::invokeMethod(
            m_window->worker(),
            [worker = m_window->worker()] {
                for (QTimer *timer : worker->findChildren<QTimer *>())
                    timer->stop();
            },
            Qt::BlockingQueuedConnection);
        QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false\nkestrox.setup.warning=false"));
        const auto restoreLogging = qScopeGuard(
            [] { QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false")); });

        constexpr int Rounds = 200;
        for (int round = 0; round < Rounds; ++round) {
            const Sequence &sequence = sequences[round % std::size(sequences)];
            const int answered = (round / int(std::size(sequences))) % sequence.transfers;
            const int before = joystick->transfersAnswered();
            joystick->setUnplugAfterTransfers(answered);
            element<QPushButton>(sequence.button)->click();
            if (sequence.message)
                QVERIFY2(settle([&] { return statusText() == QLatin1String(sequence.message); }),
                         qPrintable(QStringLiteral("round %1, %2 after %3 transfers: \"%4\"")
                                        .arg(round)
                                        .arg(QLatin1String(sequence.button))
                                        .arg(answered)
                                        .arg(statusText())));
            poll(); // queued behind the request on the worker's thread
            QCOMPARE(joystick->transfersAnswered() - before, answered);
            QVERIFY(!m_window->worker()->isBusy());
            QCOMPARE(m_window->currentDevice(), -1);
            QVERIFY(isComboItemHidden(deviceList(), kindOf(JoystickProductId)));
            QVERIFY(element("busy_indicator")->isHidden());

            joystick->plug();
            poll();
            QVERIFY(!isComboItemHidden(deviceList(), kindOf(JoystickProductId)));
            select(JoystickProductId);
            QVERIFY(settle([this] {
                return element("apply_effect_settings_button")->isEnabled() &&
                       element("apply_hardware_settings_button_1")->isEnabled();
            }));
        }
        QCOMPARE(m_bus->misuseCount(), 0);
    }

    // The translation file is finished, and what the program loads is built
    // from it: every text of the window in the file is translated the same
    // in the compiled translation. (The status texts the tests see are
    // looked up in the file, see expectedStatus().)
    void translationFileFinished()
    {
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(KESTROX_SETUP_QM_DIR "/hardware_settings_ui_de.qm")));
        const QHash<QString, QString> texts = windowTranslations();
        QVERIFY(texts.size() > 50);
        for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
            QVERIFY2(!it.value().isEmpty(), qPrintable(it.key()));
            QCOMPARE(german.translate("MainWindow", it.key().toUtf8().constData()), it.value());
        }
    }

    // A record of which a packet failed is dropped by the device: neither
    // applied nor saved, and the window says so.
    void recordPacketFailed_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("message");
        const QString notSaved = QStringLiteral(
            "The controller did not take the settings: they were not saved to the controller's permanent memory.");
        QTest::newRow("save") << "save_effects_settings_button" << false << notSaved;
        QTest::newRow("save, German") << "save_hardware_settings_button_2" << true << notSaved;
        QTest::newRow("apply") << "apply_hardware_settings_button_1" << false
                               << "The controller did not take the settings: they were not applied.";
    }

    void recordPacketFailed()
    {
        QFETCH(QString, button);
        QFETCH(bool, german);
        QFETCH(QString, message);
        if (german)
            installGerman();
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        startAndSelect(JoystickProductId);
        const QByteArray effects = recordBytes(joystick->effectSettings());
        const QByteArray hardware = recordBytes(joystick->hardwareSettings());
        element<QSpinBox>("motion_range_axis0")->setValue(1500);
        element<QSpinBox>("power_limit")->setValue(12);
        joystick->setStalledRecordPackets(1);
        element<QPushButton>(button)->click();
        QTRY_COMPARE(statusText(), expectedStatus(message));
        QCOMPARE(joystick->saves(), 0);
        QCOMPARE(joystick->recordsTaken(), 0);
        QCOMPARE(recordBytes(joystick->effectSettings()), effects);
        QCOMPARE(recordBytes(joystick->hardwareSettings()), hardware);
    }

    // One request at a time: while a save waits for a busy device, no button
    // sends another, so a later success cannot hide its failure, and the
    // polls go on once it ends.
    void oneRequestAtATime()
    {
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        startAndSelect(JoystickProductId);
        HeldClock clock;
        m_window->worker()->setBusyWaitTiming(BusyWaitTiming{100, 30000, &clock});
        joystick->setStuckBusy(true);
        QSignalSpy ended(m_window->worker(), &SettingsUiBackgroundThread::settingsWriteEnded);
        element<QPushButton>("save_effects_settings_button")->click();
        QTRY_VERIFY(m_window->worker()->isBusy());
        const QStringList requests{QStringLiteral("save_effects_settings_button"),
                                   QStringLiteral("apply_effect_settings_button"),
                                   QStringLiteral("read_effects_settings_button"),
                                   QStringLiteral("apply_hardware_settings_button_3"),
                                   QStringLiteral("read_hardware_settings_button_4"),
                                   QStringLiteral("reboot_button"),
                                   QStringLiteral("dfu_mode_button")};
        for (const QString &request : requests) {
            QVERIFY2(!element(request)->isEnabled(), qPrintable(request));
            element<QPushButton>(request)->click();
        }
        QVERIFY(!deviceList()->isEnabled());

        QTest::ignoreMessage(QtWarningMsg, "device still busy after 30000 ms");
        clock.advance(30000);
        const QString failed =
            QStringLiteral("The controller stayed busy: settings were not saved to the controller's permanent memory.");
        QTRY_COMPARE(statusText(), expectedStatus(failed));
        joystick->setStuckBusy(false);
        poll(); // behind whatever the worker still had to do
        QCOMPARE(statusText(), expectedStatus(failed));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(joystick->recordsTaken(), 1);
        QCOMPARE(joystick->connection(), quint64(1)); // neither rebooted nor in DFU mode
        QVERIFY(!joystick->isInDfuMode());
        waitForIdle();
        for (const QString &request : requests)
            QVERIFY2(element(request)->isEnabled(), qPrintable(request));
        QVERIFY(deviceList()->isEnabled());
    }

    // Closing the window during a busy wait ends the wait within ten of its
    // 100 ms pauses (a second) and gives the device back.
    void closingEndsTheBusyWait()
    {
        m_bus->addKestroxDevices();
        VirtualKestroxDevice *joystick = m_bus->device(JoystickProductId);
        startAndSelect(JoystickProductId);
        // Stands still, as long as the test lets it; after the close it
        // counts the pauses and, should the wait go on, ends it by the
        // bound so that the test does not hang.
        class ClosingClock final : public BusyWaitClock
        {
        public:
            qint64 nowMs() override { return m_now; }
            void pauseMs(int) override
            {
                QThread::usleep(200);
                if (closed && ++pausesAfterClose > 10)
                    m_now = 1'000'000;
            }
            std::atomic<bool> closed = false;
            std::atomic<int> pausesAfterClose = 0;

        private:
            std::atomic<qint64> m_now = 0;
        } clock;
        m_window->worker()->setBusyWaitTiming(BusyWaitTiming{100, 30000, &clock});
        joystick->setStuckBusy(true);
        element<QPushButton>("save_hardware_settings_button_1")->click();
        QTRY_VERIFY(m_window->worker()->isBusy());
        clock.closed = true;
        m_window.reset();
        QVERIFY2(clock.pausesAfterClose <= 10, qPrintable(QString::number(clock.pausesAfterClose)));
        QCOMPARE(m_bus->openHandleCount(), 0);
        QCOMPARE(joystick->saves(), 0);
    }

private:
    // The text the status line shows for `english`, as the translation file
    // has it in the language the window runs in.
    QString expectedStatus(const QString &english) const
    {
        const QHash<QString, QString> texts = windowTranslations();
        if (!texts.contains(english))
            return QStringLiteral("<not in the translation file: %1>").arg(english);
        if (texts.value(english).isEmpty())
            return QStringLiteral("<not translated: %1>").arg(english);
        return m_german ? texts.value(english) : english;
    }

    void waitForIdle()
    {
        QTRY_VERIFY(element("reboot_button")->isEnabled());
    }

    void installGerman()
    {
        m_german = true;
        QVERIFY(QDir().mkpath(QStringLiteral("i18n")));
        QVERIFY(QFile::copy(QStringLiteral(KESTROX_SETUP_QM_DIR "/hardware_settings_ui_de.qm"),
                            QStringLiteral("i18n/hardware_settings_ui_de.qm")));
        QSettings(QDir::current().filePath(QStringLiteral("config.ini")), QSettings::IniFormat)
            .setValue(QStringLiteral("UI/lang"), QStringLiteral("de"));
    }

    // Serves the window's events until `done` holds, without the 50 ms steps
    // of QTRY, so that hundreds of rounds take seconds.
    template<typename Done>
    static bool settle(Done done)
    {
        // Only a safety net: a machine under load may take long for a sequence.
        QDeadlineTimer deadline(30000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(100);
        }
        return true;
    }

    QString statusText() const { return element<QLabel>("device_status_text")->text(); }

    void startWindow(const QStringList &arguments = {ProgramName})
    {
        m_window = std::make_unique<MainWindow>(m_bus.get(), arguments);
        m_window->worker()->setBusyWaitTiming(BusyWaitTiming{1, 2000});
    }

    // One poll on the worker's thread; returns once the window has seen it.
    void poll()
    {
        auto seen = std::make_shared<std::atomic<bool>>(false);
        MainWindow *window = m_window.get();
        QMetaObject::invokeMethod(m_window->worker(), [worker = m_window->worker(), window, seen] {
            worker->checkDeviceConnections();
            // Queued behind the device list the poll just sent to the window.
            QMetaObject::invokeMethod(window, [seen] { *seen = true; });
        });
        QVERIFY(settle([&seen] { return seen->load(); }));
    }

    void select(int productId)
    {
        const int kind = kindOf(productId);
        deviceList()->setCurrentIndex(kind);
        emit deviceList()->activated(kind);
    }

    void waitForSettings()
    {
        QTRY_VERIFY(element("apply_effect_settings_button")->isEnabled());
        QTRY_VERIFY(element("apply_hardware_settings_button_1")->isEnabled());
    }

    // Starts the window and selects a device; returns once its settings are shown.
    void startAndSelect(int productId, const QStringList &arguments = {ProgramName})
    {
        startWindow(arguments);
        poll();
        select(productId);
        waitForSettings();
    }

    void verifyNothingSelected(int connected)
    {
        QCOMPARE(m_window->currentDevice(), -1);
        QCOMPARE(deviceList()->currentIndex(), -1);
        QCOMPARE(deviceList()->placeholderText(),
                 QStringLiteral("Select compatible device (%1 connected)").arg(connected));
        QCOMPARE(visibleTabs(), 0);
        QVERIFY(!deviceButtonsShown());
    }

    template<typename T = QWidget>
    T *element(const ElementName &name) const
    {
        return findElement<T>(m_window.get(), name);
    }
    QComboBox *deviceList() const { return element<QComboBox>("devices_combo_box"); }
    QTabWidget *tabs() const { return element<QTabWidget>("main_tab_widget"); }
    int visibleTabs() const
    {
        int visible = 0;
        for (int tab = 0; tab < tabs()->count(); ++tab)
            visible += tabs()->isTabVisible(tab) ? 1 : 0;
        return visible;
    }

    bool deviceButtonsShown() const
    {
        return !element("dfu_mode_button")->isHidden() && !element("reboot_button")->isHidden();
    }

    std::unique_ptr<TemporaryWorkingDirectory> m_dir;
    std::unique_ptr<VirtualUsbTransport> m_bus;
    std::unique_ptr<MainWindow> m_window;
    bool m_german = false;
};

QTEST_MAIN(TestSetupMainWindow)
#include "tst_setupmainwindow.moc"
