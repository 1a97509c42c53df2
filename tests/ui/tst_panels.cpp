#include "airflowspringsettingswidget.h"
#include "aoashakersettingswidget.h"
#include "condorshakersettingswidget.h"
#include "directxsettingswidget.h"
#include "genericshakersettingswidget.h"
#include "landingjoltsettingswidget.h"
#include "simpleeffectsettingswidget.h"
#include "smartdampeningsettingswidget.h"

#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <memory>
#include <string_view>

namespace {

template<typename Panel, typename Block>
std::unique_ptr<EffectSettingsPanel> bound(Block &block)
{
    auto panel = std::make_unique<Panel>();
    panel->setSettings(&block);
    return panel;
}

// A panel of the named class bound to its block of `axis` (the generic
// shaker to the gear shaker, the simple panel to the elevator weight).
std::unique_ptr<EffectSettingsPanel> makePanel(std::string_view name, AxisEffectsSettings &axis)
{
    if (name == "AirflowSpringSettingsWidget")
        return bound<AirflowSpringSettingsWidget>(axis.airflow_spring);
    if (name == "AoAShakerSettingsWidget")
        return bound<AoAShakerSettingsWidget>(axis.aoa_shaker);
    if (name == "GenericShakerSettingsWidget")
        return bound<GenericShakerSettingsWidget>(axis.gear_shaker);
    if (name == "LandingJoltSettingsWidget")
        return bound<LandingJoltSettingsWidget>(axis.landing_jolt);
    if (name == "SimpleEffectSettingsWidget")
        return bound<SimpleEffectSettingsWidget>(axis.elevator_weight);
    if (name == "CondorShakerSettingsWidget")
        return bound<CondorShakerSettingsWidget>(axis.condor_shaker);
    if (name == "DirectXSettingsWidget")
        return bound<DirectXSettingsWidget>(axis.direct_x);
    return bound<SmartDampeningSettingsWidget>(axis.smart_damper);
}

template<typename T = QSpinBox>
T *child(QObject *parent, QAnyStringView name)
{
    T *widget = parent->findChild<T *>(name.toString());
    if (!widget)
        qFatal("no %s", qPrintable(name.toString()));
    return widget;
}

void typeInto(QSpinBox *spinBox, const QString &text)
{
    spinBox->setFocus();
    QTest::keyClick(spinBox, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spinBox, text);
}

// Enters the values of `rows` ("name=value name=value ...") into the spin
// boxes of a panel bound to `axis`.
void setRows(std::string_view panel, AxisEffectsSettings &axis, const char *rows)
{
    auto widget = makePanel(panel, axis);
    QSignalSpy changed(widget.get(), &EffectSettingsPanel::settingsChanged);
    const QStringList typed = QString::fromLatin1(rows).split(u' ');
    for (const QString &row : typed)
        child(widget.get(), row.section(u'=', 0, 0))->setValue(row.section(u'=', 1).toInt());
    QVERIFY(changed.size() >= typed.size());
}

} // namespace

class TestPanels : public QObject
{
    Q_OBJECT

private slots:
    void rowsAreBoundToTheirFields()
    {
        AxisEffectsSettings axis;
        axis.reset();
        setRows("AirflowSpringSettingsWidget", axis,
                "total_effect_strength=70 airspeed_force_spinner=45 thrust_force_spinner=35 "
                "attenuation_strength=25 attenuation_start_airspeed_spinner=200 "
                "attenuation_end_airspeed_spinner=900 local_aoa_influence_strength=15");
        const PointCurve curve = AirflowSpringSettings::attenuationCurveFor(200.0f, 900.0f);
        QCOMPARE(axis.airflow_spring,
                 (AirflowSpringSettings{{false, 70.0f}, 45.0f, 35.0f, 25.0f, 15.0f, curve, 200.0f, 900.0f}));

        setRows("AoAShakerSettingsWidget", axis,
                "total_effect_strength=60 min_effect_strength_speed=40 max_effect_strength_speed=700 "
                "speed_effect_strength_exponent=-40 min_effect_strength_angle=10 "
                "max_effect_strength_angle=30 angle_effect_strength_exponent=25 min_effect_frequency=5 "
                "max_effect_frequency=60 frequency_exponent=-70");
        QCOMPARE(axis.aoa_shaker,
                 (AoAShakerSettings{{{false, 60.0f}, {40.0f, 700.0f, -40.0f}, {5.0f, 60.0f, -70.0f}},
                                    {10.0f, 30.0f, 25.0f}}));

        setRows("GenericShakerSettingsWidget", axis,
                "total_effect_strength=55 min_effect_strength_speed=50 max_effect_strength_speed=650 "
                "speed_effect_strength_exponent=20 min_effect_frequency=8 max_effect_frequency=80 "
                "frequency_exponent=33");
        QCOMPARE(axis.gear_shaker,
                 (GenericShakerSettings{{false, 55.0f}, {50.0f, 650.0f, 20.0f}, {8.0f, 80.0f, 33.0f}}));

        setRows("LandingJoltSettingsWidget", axis,
                "total_effect_strength=90 effect_time=400 min_effect_strength_speed=60 "
                "max_effect_strength_speed=300 speed_effect_strength_exponent=-10 min_effect_frequency=12 "
                "max_effect_frequency=70 frequency_exponent=45");
        QCOMPARE(
            axis.landing_jolt,
            (LandingJoltSettings{{{false, 90.0f}, {60.0f, 300.0f, -10.0f}, {12.0f, 70.0f, 45.0f}}, 400}));

        setRows("SimpleEffectSettingsWidget", axis, "total_effect_strength=40");
        QCOMPARE(axis.elevator_weight, (SimpleEffectSettings{false, 40.0f}));

        // The Condor shaker's strength stops at 99.
        setRows(
            "CondorShakerSettingsWidget", axis,
            "total_effect_strength=100 min_effect_frequency=5 max_effect_frequency=30 frequency_exponent=20");
        QCOMPARE(axis.condor_shaker, (CondorShakerSettings{{false, 99.0f}, {5.0f, 30.0f, 20.0f}}));

        setRows("DirectXSettingsWidget", axis,
                "total_effect_strength=100 spring_effect_strength=20 periodic_effect_strength=30 "
                "trimmer_effect_strength=40");
        QCOMPARE(axis.direct_x, (DirectXSettings{{false, 100.0f}, 40.0f, 20.0f, 30.0f}));

        setRows("SmartDampeningSettingsWidget", axis,
                "total_effect_strength=75 static_dampening_spinner=80 dynamic_dampening_spinner=65");
        QCOMPARE(axis.smart_damper, (SmartDampeningSettings{{false, 75.0f}, 80.0f, 65.0f}));
    }

    void refreshShowsWithoutWriting()
    {
        AoAShakerSettingsWidget unbound;
        QSignalSpy unboundChanged(&unbound, &EffectSettingsPanel::settingsChanged);
        child(&unbound, "total_effect_strength")->setValue(50);
        unbound.refresh();
        QCOMPARE(unboundChanged.size(), 0);

        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel("AoAShakerSettingsWidget", axis);
        axis.aoa_shaker.total_effect_strength = 33.7f;
        axis.aoa_shaker.speed = {500.0f, 400.0f, -33.7f}; // minimum above maximum, as a file may hold it
        axis.aoa_shaker.aoa.max = 3.0e9f;                 // beyond int
        const AxisEffectsSettings stored = axis;
        QSignalSpy changed(panel.get(), &EffectSettingsPanel::settingsChanged);
        panel->refresh();
        const auto shown = [&panel](const char *name) { return child(panel.get(), name)->value(); };
        QCOMPARE(shown("total_effect_strength"), 33);
        QCOMPARE(shown("speed_effect_strength_exponent"), -33);
        QCOMPARE(shown("max_effect_strength_angle"), 90);
        // The stored pair shows adjusted on screen, but stays until edited.
        QCOMPARE(shown("min_effect_strength_speed"), 399);
        QCOMPARE(shown("max_effect_strength_speed"), 400);
        QCOMPARE(changed.size(), 0);
        QVERIFY(axis == stored);

        child(panel.get(), "total_effect_strength")->setValue(40);
        QCOMPARE(axis.aoa_shaker.speed, stored.aoa_shaker.speed);
        QCOMPARE(changed.size(), 1);
    }

    void attenuationEndStaysTwiceTheStart()
    {
        // Spin box, typed value, stored start and end, expected start and end.
        const std::tuple<const char *, int, QPointF, QPointF> cases[] = {
            {"attenuation_start_airspeed_spinner", 300, {100, 500}, {300, 600}}, // pushes the end
            {"attenuation_end_airspeed_spinner", 400, {300, 500}, {200, 400}},   // pulls the start
            {"attenuation_start_airspeed_spinner", 200, {100, 500}, {200, 500}},
            {"attenuation_end_airspeed_spinner", 800, {240, 500}, {240, 800}}};
        for (const auto &[spinBox, value, stored, expected] : cases) {
            AxisEffectsSettings axis;
            axis.reset();
            axis.airflow_spring.setAttenuation(float(stored.x()), float(stored.y()));
            auto panel = makePanel("AirflowSpringSettingsWidget", axis);
            child(panel.get(), spinBox)->setValue(value);
            // Written through the setter: the derived curve follows.
            AirflowSpringSettings reference = axis.airflow_spring;
            reference.setAttenuation(float(expected.x()), float(expected.y()));
            QVERIFY2(axis.airflow_spring == reference, spinBox);
        }
    }

    void minimumStaysBelowMaximum_data()
    {
        QTest::addColumn<QByteArray>("panel");
        QTest::addColumn<QByteArray>("pair");
        for (const char *panel :
             {"AoAShakerSettingsWidget", "GenericShakerSettingsWidget", "LandingJoltSettingsWidget"}) {
            for (const char *pair : {"effect_strength_speed", "effect_frequency"})
                QTest::addRow("%s %s", panel, pair) << QByteArray(panel) << QByteArray(pair);
        }
        QTest::newRow("AoAShakerSettingsWidget angle")
            << QByteArray("AoAShakerSettingsWidget") << QByteArray("effect_strength_angle");
    }

    void minimumStaysBelowMaximum()
    {
        QFETCH(QByteArray, panel);
        QFETCH(QByteArray, pair);
        AxisEffectsSettings axis;
        axis.reset();
        auto widget = makePanel(panel.toStdString(), axis);
        QSpinBox *minimum = child(widget.get(), "min_" + pair);
        QSpinBox *maximum = child(widget.get(), "max_" + pair);
        minimum->setValue(20);
        maximum->setValue(50);

        minimum->setValue(50);
        QCOMPARE(maximum->value(), 51);
        maximum->setValue(30);
        QCOMPARE(minimum->value(), 29);
        // The pushed partner is written too: a refresh shows the same.
        widget->refresh();
        QCOMPARE(minimum->value(), 29);
        QCOMPARE(maximum->value(), 30);

        // At the top of the range the pair may end equal.
        maximum->setValue(maximum->maximum());
        minimum->setValue(minimum->maximum());
        QCOMPARE(maximum->value(), maximum->maximum());
        QCOMPARE(minimum->value(), maximum->maximum());
    }

    void typingIntoACoupledSpinBoxKeepsThePartner()
    {
        // The first digit of 800 alone would push the partner down to 7 or 4.
        for (const auto &[panel, typedInto, partner] :
             {std::tuple{"GenericShakerSettingsWidget", "max_effect_strength_speed",
                         "min_effect_strength_speed"},
              std::tuple{"AirflowSpringSettingsWidget", "attenuation_end_airspeed_spinner",
                         "attenuation_start_airspeed_spinner"}}) {
            AxisEffectsSettings axis;
            auto widget = makePanel(panel, axis);
            widget->show();
            child(widget.get(), partner)->setValue(300);
            QSpinBox *spinBox = child(widget.get(), typedInto);
            typeInto(spinBox, QStringLiteral("800"));
            QTest::keyClick(spinBox, Qt::Key_Return);
            QCOMPARE(spinBox->value(), 800);
            QCOMPARE(child(widget.get(), partner)->value(), 300);
        }
    }

    void typedDampeningGrowsTheSlider()
    {
        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel("SmartDampeningSettingsWidget", axis);
        panel->show();
        QSpinBox *spinBox = child(panel.get(), "static_dampening_spinner");
        auto *slider = child<QSlider>(panel.get(), "static_dampening_slider");
        typeInto(spinBox, QStringLiteral("250"));
        QCOMPARE(slider->maximum(), 250);
        QCOMPARE(slider->value(), 250);
        QCOMPARE(axis.smart_damper.static_dampening, 250.0f);
        spinBox->setValue(40); // the grown range stays
        QCOMPARE(slider->maximum(), 250);

        // A stored value beyond 100 grows the slider on refresh, without a write.
        axis.smart_damper.dynamic_dampening = 420.5f;
        QSignalSpy changed(panel.get(), &EffectSettingsPanel::settingsChanged);
        panel->refresh();
        QCOMPARE(child<QSlider>(panel.get(), "dynamic_dampening_slider")->value(), 420);
        QCOMPARE(axis.smart_damper.dynamic_dampening, 420.5f);
        QCOMPARE(changed.size(), 0);
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
