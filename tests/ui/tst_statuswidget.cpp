#include "statuswidget.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

namespace {

QString text(const StatusWidget &panel, const char *name)
{
    auto *edit = panel.findChild<QLineEdit *>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

template<typename T>
T *child(const StatusWidget &panel, const char *name)
{
    T *widget = panel.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no %s", name);
    return widget;
}

} // namespace

class TestStatusWidget : public QObject
{
    Q_OBJECT

private slots:
    void startsWithNothingDetected()
    {
        StatusWidget panel;
        for (const char *name :
             {"joystick_state", "rudder_state", "bassShakerState", "telemetry_data_source", "flight_module"})
            QCOMPARE(text(panel, name), QStringLiteral("Not detected"));
        for (const char *name : {"airspeed_field", "aoa_field", "g_force_field", "vertical_speed_field"})
            QCOMPARE(text(panel, name), QStringLiteral("0"));
        QCOMPARE(text(panel, "on_ground_state_field"), QStringLiteral("NO"));
        QVERIFY(child<QCheckBox>(panel, "profile_activation")->isChecked());
        QVERIFY(!child<QSlider>(panel, "airspeed_slider")->isEnabled());
        QVERIFY(!child<QPushButton>(panel, "reset_telemetry_button")->isEnabled());
        QCOMPARE(child<QSlider>(panel, "aoa_slider")->minimum(), -180);
        QCOMPARE(child<QSlider>(panel, "roll_rate_slider")->maximum(), 360);
    }

    void devicesSourcesAndPositions()
    {
        StatusWidget panel;
        panel.connectJoystick(260);
        QCOMPARE(text(panel, "joystick_state"), QStringLiteral("Connected (Version 260)"));
        panel.connectRudder(131365);
        QCOMPARE(text(panel, "rudder_state"), QStringLiteral("Connected (Version 131365)"));
        panel.disconnectJoystick();
        QCOMPARE(text(panel, "joystick_state"), QStringLiteral("Not detected"));

        panel.changeTelemetrySource(Telemetry::TELEMETRY_SOURCE_IL2, QStringLiteral("Generic warbird"));
        QCOMPARE(text(panel, "telemetry_data_source"), QStringLiteral("Il2 Shturmovik"));
        QCOMPARE(text(panel, "flight_module"), QStringLiteral("Generic warbird"));
        panel.changeTelemetrySource(Telemetry::Source(6), QStringLiteral("C172"));
        QCOMPARE(text(panel, "telemetry_data_source"), QStringLiteral("X-Plane"));
        panel.changeTelemetrySource(Telemetry::Source(42), QString());
        QCOMPARE(text(panel, "telemetry_data_source"), QStringLiteral("Warthunder"));
        panel.endTelemetry();
        QCOMPARE(text(panel, "flight_module"), QStringLiteral("Not detected"));

        panel.changePosition({0.25f, -1.0f, 0.1234567f});
        QCOMPARE(text(panel, "roll_input"), QStringLiteral("0.25"));
        QCOMPARE(text(panel, "pitch_input"), QStringLiteral("-1"));
        QCOMPARE(text(panel, "yaw_input"), QStringLiteral("0.123457"));
    }

    // A port held by another program is named while no simulator is live.
    void sourceProblems()
    {
        StatusWidget panel;
        panel.changeSourceProblem(Telemetry::TELEMETRY_SOURCE_IL2,
                                  QStringLiteral("port 29777 in use by another program"));
        QCOMPARE(text(panel, "telemetry_data_source"),
                 QStringLiteral("Not detected (port 29777 in use by another program)"));
        panel.changeTelemetrySource(Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16C_50"));
        QCOMPARE(text(panel, "telemetry_data_source"), QStringLiteral("DCS"));
        panel.endTelemetry();
        QCOMPARE(text(panel, "telemetry_data_source"),
                 QStringLiteral("Not detected (port 29777 in use by another program)"));
        panel.changeSourceProblem(Telemetry::TELEMETRY_SOURCE_IL2, QString());
        QCOMPARE(text(panel, "telemetry_data_source"), QStringLiteral("Not detected"));
    }

    void liveTelemetryAndOverride()
    {
        StatusWidget panel;
        QSignalSpy enabled(&panel, &StatusWidget::telemetryOverrideEnabled);
        QSignalSpy disabled(&panel, &StatusWidget::telemetryOverrideDisabled);
        QSignalSpy overrided(&panel, &StatusWidget::telemetryOverrided);

        Telemetry live;
        live.airspeed = 1200;
        live.onGround = true;
        panel.changeTelemetry(live);
        QCOMPARE(text(panel, "airspeed_field"), QStringLiteral("1000"));
        QCOMPARE(text(panel, "on_ground_state_field"), QStringLiteral("YES"));

        auto *box = child<QCheckBox>(panel, "telemetry_override");
        box->setChecked(true);
        QCOMPARE(enabled.count(), 1);
        QCOMPARE(overrided.count(), 0); // nothing until a control moves
        QCOMPARE(text(panel, "airspeed_field"), QStringLiteral("0"));
        QVERIFY(child<QSlider>(panel, "airspeed_slider")->isEnabled());

        panel.changeTelemetry(live); // ignored while overriding
        QCOMPARE(text(panel, "airspeed_field"), QStringLiteral("0"));

        child<QSlider>(panel, "airspeed_slider")->setValue(300);
        QCOMPARE(overrided.count(), 1);
        QCOMPARE(overrided.last().at(0).value<Telemetry>().airspeed, 300.0f);
        QCOMPARE(text(panel, "airspeed_field"), QStringLiteral("300"));

        // Unchecking: the slider's return to 0, the reset's own record, then the switch-off.
        QStringList order;
        connect(&panel, &StatusWidget::telemetryOverrided, this,
                [&] { order << QStringLiteral("overrided"); });
        connect(&panel, &StatusWidget::telemetryOverrideDisabled, this,
                [&] { order << QStringLiteral("disabled"); });
        box->setChecked(false);
        QCOMPARE(order, (QStringList{QStringLiteral("overrided"), QStringLiteral("overrided"),
                                     QStringLiteral("disabled")}));
        QCOMPARE(overrided.last().at(0).value<Telemetry>().airspeed, 0.0f);
        QCOMPARE(disabled.count(), 1);
    }

    void handMadeTouchdown()
    {
        StatusWidget panel;
        child<QCheckBox>(panel, "telemetry_override")->setChecked(true);
        child<QSlider>(panel, "vertical_speed_slider")->setValue(-3);
        child<QSlider>(panel, "airspeed_slider")->setValue(200);
        QSignalSpy landed(&panel, &StatusWidget::landed);
        QSignalSpy overrided(&panel, &StatusWidget::telemetryOverrided);
        auto *button = child<QPushButton>(panel, "on_ground_state_button");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(text(panel, "on_ground_state_field"), QStringLiteral("YES"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(text(panel, "on_ground_state_field"), QStringLiteral("NO"));
        QCOMPARE(landed.count(), 1);
        QCOMPARE(landed.at(0).at(0).toFloat(), -3.0f);
        QCOMPARE(landed.at(0).at(1).toFloat(), 200.0f);
        QCOMPARE(overrided.count(), 2);
    }

    void profileActivationSwitch()
    {
        StatusWidget panel;
        QSignalSpy on(&panel, &StatusWidget::profileActivationEnabled);
        QSignalSpy off(&panel, &StatusWidget::profileActivationDisabled);
        auto *box = child<QCheckBox>(panel, "profile_activation");
        box->setChecked(false);
        box->setChecked(true);
        QCOMPARE(off.count(), 1);
        QCOMPARE(on.count(), 1);
    }
};

QTEST_MAIN(TestStatusWidget)
#include "tst_statuswidget.moc"
