#include "comboitems.h"
#include "fullhardwaresettingswidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace {

// Only fields of this page; the GPIO, button, SPI and analog fields are the window's.
HardwareSettingsTypeDef sampleSettings()
{
    HardwareSettingsTypeDef record;
    record.forceEnabled = 1;
    record.debugForces = 1;
    record.calibrationMode = 2;
    record.currentSenseGain = 3;
    record.powerLimit = 91;
    record.brakingResistorLimit = 42;
    record.calibrationMagnitude = 43;
    record.calibrationSpeed = 44;
    record.calibrationStopCurrent = 45;
    record.positionSmoothing = 46;
    record.speedSampleBufferSize = 31;
    record.axes[0] = {1, -1, 14, 65535, {}, 2.5f, 0.0001f, {}};
    record.axes[1] = {-1, 1, 99, 1024, {}, 12.25f, 0.5f, {}};
    return record;
}

} // namespace

class TestFullHardwareSettingsWidget : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_page = std::make_unique<FullHardwareSettingsWidget>(); }
    void cleanup() { m_page.reset(); }

    void recordRoundTrip();
    void directionBytes_data();
    void directionBytes();
    void gainText_data();
    void gainText();
    void gainParse_data();
    void gainParse();
    void gainShownAndSentRounded();
    void outOfListValuesSentAsFF();
    void currentSenseGainKeptInNormalMode_data();
    void currentSenseGainKeptInNormalMode();
    void wheel();
    void encoderCprStopsAt65535();

private:
    template<typename T>
    T *element(const char *name) const
    {
        auto *found = m_page->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no element %s", name);
        return found;
    }
    HardwareSettingsTypeDef shown() const
    {
        HardwareSettingsTypeDef record;
        m_page->getSettings(record);
        return record;
    }

    std::unique_ptr<FullHardwareSettingsWidget> m_page;
};

void TestFullHardwareSettingsWidget::recordRoundTrip()
{
    // Before anything arrives the calibration box is empty.
    QCOMPARE(element<QComboBox>("calibration_mode")->count(), 0);
    m_page->setDeviceType(int(DeviceType::Joystick), false);
    const HardwareSettingsTypeDef sent = sampleSettings();
    m_page->setSettings(sent);
    QCOMPARE(element<QComboBox>("calibration_mode")->count(), 3);
    QCOMPARE(element<QSlider>("horizontalSlider_11")->value(), 91);
    QCOMPARE(element<QSlider>("speed_sample_buffer_size_slider")->value(), 31);
    QCOMPARE(element<QLineEdit>("axis1_p_gain")->text(), QStringLiteral("12.25"));
    QCOMPARE(recordBytes(shown()).toHex(), recordBytes(sent).toHex());

    // The grid's sliders write through their spin boxes.
    element<QSlider>("braking_slider")->setValue(7);
    QCOMPARE(shown().brakingResistorLimit, quint8(7));
}

void TestFullHardwareSettingsWidget::directionBytes_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("sent");
    QTest::newRow("1") << 0x01 << true << 0x01;
    QTest::newRow("0xFF") << 0xFF << false << 0xFF;
    QTest::newRow("0") << 0x00 << false << 0xFF;
    QTest::newRow("2") << 0x02 << false << 0xFF;
}

void TestFullHardwareSettingsWidget::directionBytes()
{
    QFETCH(int, stored);
    QFETCH(bool, checked);
    QFETCH(int, sent);
    HardwareSettingsTypeDef record = sampleSettings();
    for (HardwareAxisTypeDef &axis : record.axes) {
        axis.encoderDirection = qint8(quint8(stored));
        axis.forceDirection = qint8(quint8(stored));
    }
    m_page->setSettings(record);
    for (const char *box : {"axis0_encoder_direction", "axis0_force_direction", "axis1_encoder_direction",
                            "axis1_force_direction"})
        QVERIFY2(element<QCheckBox>(box)->isChecked() == checked, box);
    const HardwareSettingsTypeDef back = shown();
    for (const HardwareAxisTypeDef &axis : back.axes) {
        QCOMPARE(quint8(axis.encoderDirection), quint8(sent));
        QCOMPARE(quint8(axis.forceDirection), quint8(sent));
    }
}

void TestFullHardwareSettingsWidget::gainText_data()
{
    QTest::addColumn<float>("gain");
    QTest::addColumn<QString>("text");
    QTest::newRow("six digits") << 0.00012345678f << QStringLiteral("0.000123457");
    QTest::newRow("short") << 2.5f << QStringLiteral("2.5");
    QTest::newRow("small") << 0.0001f << QStringLiteral("0.0001");
    QTest::newRow("exponent") << 0.00001f << QStringLiteral("1e-05");
    QTest::newRow("large") << 1234567.0f << QStringLiteral("1.23457e+06");
    QTest::newRow("zero") << 0.0f << QStringLiteral("0");
}

void TestFullHardwareSettingsWidget::gainText()
{
    QFETCH(float, gain);
    QFETCH(QString, text);
    QCOMPARE(FullHardwareSettingsWidget::gainText(gain), text);
}

void TestFullHardwareSettingsWidget::gainParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("gain");
    QTest::newRow("number") << QStringLiteral("1.5") << 1.5f;
    QTest::newRow("spaces") << QStringLiteral(" 0.25 ") << 0.25f;
    QTest::newRow("exponent") << QStringLiteral("1e-05") << 1e-05f;
    QTest::newRow("negative") << QStringLiteral("-2") << -2.0f;
    QTest::newRow("empty") << QString() << 0.0f;
    QTest::newRow("text") << QStringLiteral("fast") << 0.0f;
    QTest::newRow("decimal comma") << QStringLiteral("1,5") << 0.0f;
    QTest::newRow("nan") << QStringLiteral("nan") << 0.0f;
    QTest::newRow("inf") << QStringLiteral("inf") << 0.0f;
    QTest::newRow("overflow") << QStringLiteral("1e39") << 0.0f;
}

void TestFullHardwareSettingsWidget::gainParse()
{
    QFETCH(QString, text);
    QFETCH(float, gain);
    element<QLineEdit>("axis0_i_gain")->setText(text);
    QCOMPARE(float(shown().axes[0].iGain), gain);
}

void TestFullHardwareSettingsWidget::gainShownAndSentRounded()
{
    HardwareSettingsTypeDef record = sampleSettings();
    record.axes[0].pGain = 0.00012345678f;
    m_page->setSettings(record);
    QCOMPARE(element<QLineEdit>("axis0_p_gain")->text(), QStringLiteral("0.000123457"));
    QCOMPARE(float(shown().axes[0].pGain), 0.000123457f);
    QVERIFY(shown().axes[0].pGain != 0.00012345678f);
}

void TestFullHardwareSettingsWidget::outOfListValuesSentAsFF()
{
    HardwareSettingsTypeDef record = sampleSettings();
    record.currentSenseGain = 4;
    record.calibrationMode = 0xFF;
    m_page->setSettings(record);
    QCOMPARE(element<QComboBox>("amplifier_gain")->currentIndex(), -1);
    QCOMPARE(element<QComboBox>("calibration_mode")->currentIndex(), -1);
    QCOMPARE(shown().currentSenseGain, quint8(0xFF));
    QCOMPARE(shown().calibrationMode, quint8(0xFF));
}

void TestFullHardwareSettingsWidget::currentSenseGainKeptInNormalMode_data()
{
    QTest::addColumn<bool>("advanced");
    QTest::newRow("normal") << false;
    QTest::newRow("advanced") << true;
}

void TestFullHardwareSettingsWidget::currentSenseGainKeptInNormalMode()
{
    QFETCH(bool, advanced);
    m_page->setDeviceType(int(DeviceType::Joystick), advanced);
    HardwareSettingsTypeDef record = sampleSettings();
    record.currentSenseGain = 2;
    m_page->setSettings(record);
    QCOMPARE(element<QComboBox>("amplifier_gain")->isHidden(), !advanced);
    QCOMPARE(element<QLabel>("amplifier_gain_label")->isHidden(), !advanced);
    QCOMPARE(shown().currentSenseGain, quint8(2));
    // Hidden for every type, yet its value travels unchanged.
    QVERIFY(element<QSpinBox>("calibration_current")->isHidden());
    QVERIFY(element<QLabel>("calibration_current_label")->isHidden());
    QCOMPARE(shown().calibrationStopCurrent, quint8(45));
}

void TestFullHardwareSettingsWidget::wheel()
{
    m_page->setDeviceType(int(DeviceType::Wheel), false);
    HardwareSettingsTypeDef record = sampleSettings();
    record.calibrationMode = 2;
    m_page->setSettings(record);
    auto *calibration = element<QComboBox>("calibration_mode");
    QVERIFY(!isComboItemHidden(calibration, 0));
    QVERIFY(!isComboItemHidden(calibration, 1));
    QVERIFY(isComboItemHidden(calibration, 2));
    QCOMPARE(calibration->currentIndex(), 2);
    QCOMPARE(shown().calibrationMode, quint8(2));
    QVERIFY(element<QSpinBox>("calibration_speed")->isHidden());
    QVERIFY(element<QSlider>("calibration_speed_slider")->isHidden());
    auto *tabs = element<QTabWidget>("axis_tab");
    QVERIFY(!tabs->isTabVisible(1));

    // A joystick afterwards gets everything back.
    m_page->setDeviceType(int(DeviceType::Joystick), false);
    m_page->setSettings(record);
    QVERIFY(!isComboItemHidden(calibration, 2));
    QVERIFY(!element<QSpinBox>("calibration_speed")->isHidden());
    QVERIFY(tabs->isTabVisible(1));
}

void TestFullHardwareSettingsWidget::encoderCprStopsAt65535()
{
    auto *cpr = element<QSpinBox>("axis1_encoder_CPR");
    QCOMPARE(cpr->maximum(), 65535);
    cpr->setValue(99999);
    QCOMPARE(quint16(shown().axes[1].encoderCpr), quint16(65535));
    cpr->setValue(65534);
    QCOMPARE(quint16(shown().axes[1].encoderCpr), quint16(65534));
}

QTEST_MAIN(TestFullHardwareSettingsWidget)
#include "tst_fullhardwaresettingswidget.moc"
