#include "fullhardwaresettingswidget.h"
#include "setuptestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

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

class TestFullHardwareSettingsWidget
    : public QObject,
      private PageUnderTest<FullHardwareSettingsWidget, HardwareSettingsTypeDef>
{
    Q_OBJECT

private slots:
    void init() { m_page = std::make_unique<FullHardwareSettingsWidget>(); }
    void cleanup() { m_page.reset(); }

    void recordRoundTrip()
    {
        // Before anything arrives the calibration box is empty.
        QCOMPARE(element<QComboBox>("calibration_mode")->count(), 0);
        m_page->setDeviceType(int(DeviceType::Joystick), false);
        const HardwareSettingsTypeDef sent = sampleSettings();
        m_page->setSettings(sent);
        QCOMPARE(element<QComboBox>("calibration_mode")->count(), 3);
        // Hidden for every type, yet its value travels unchanged.
        QVERIFY(element("calibration_current")->isHidden());
        QCOMPARE(recordBytes(shown()).toHex(), recordBytes(sent).toHex());

        // The grid's sliders write through their spin boxes.
        element<QSlider>("braking_slider")->setValue(7);
        QCOMPARE(shown().brakingResistorLimit, quint8(7));
    }

    void directionBytes_data()
    {
        signByteData({0x01}); // only exactly 1 reads as inverted
    }

    void directionBytes()
    {
        QFETCH(int, stored);
        QFETCH(bool, checked);
        HardwareSettingsTypeDef record = sampleSettings();
        for (HardwareAxisTypeDef &axis : record.axes)
            axis.encoderDirection = axis.forceDirection = qint8(quint8(stored));
        m_page->setSettings(record);
        for (const char *box : {"axis0_encoder_direction", "axis0_force_direction", "axis1_encoder_direction",
                                "axis1_force_direction"})
            QVERIFY2(element<QCheckBox>(box)->isChecked() == checked, box);
        for (const HardwareAxisTypeDef &axis : shown().axes) {
            QCOMPARE(quint8(axis.encoderDirection), signByteSent(checked));
            QCOMPARE(quint8(axis.forceDirection), signByteSent(checked));
        }
    }

    void gainShownAndSentRounded()
    {
        HardwareSettingsTypeDef record = sampleSettings();
        record.axes[0].pGain = 0.00012345678f;
        m_page->setSettings(record);
        QCOMPARE(element<QLineEdit>("axis0_p_gain")->text(), QStringLiteral("0.000123457"));
        QCOMPARE(float(shown().axes[0].pGain), 0.000123457f);

        // Entered text: surrounding spaces are fine; what is no finite number is sent as 0.
        auto *iGain = element<QLineEdit>("axis1_i_gain");
        iGain->setText(QStringLiteral(" 0.25 "));
        QCOMPARE(float(shown().axes[1].iGain), 0.25f);
        for (const char *text : {"fast", "nan", "inf"}) {
            iGain->setText(QLatin1String(text));
            QVERIFY2(shown().axes[1].iGain == 0.0f, text);
        }
    }

    void encoderCprStopsAt65535()
    {
        // The field is 16 bits: a larger entry must not wrap around.
        auto *cpr = element<QSpinBox>("axis1_encoder_CPR");
        cpr->setValue(99999);
        QCOMPARE(quint16(shown().axes[1].encoderCpr), quint16(65535));
    }
};

QTEST_MAIN(TestFullHardwareSettingsWidget)
#include "tst_fullhardwaresettingswidget.moc"
