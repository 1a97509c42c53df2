#include "airflowspringsettingswidget.h"
#include "aoashakersettingswidget.h"
#include "condorshakersettingswidget.h"
#include "directxsettingswidget.h"
#include "genericshakersettingswidget.h"
#include "landingjoltsettingswidget.h"
#include "simpleeffectsettingswidget.h"
#include "smartdampeningsettingswidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// A panel of the named class bound to its block of `axis` (the generic
// shaker to the gear shaker, the simple panel to the elevator weight).
std::unique_ptr<EffectSettingsPanel> makePanel(const QString &name, AxisEffectsSettings &axis)
{
    if (name == u"AirflowSpringSettingsWidget") {
        auto panel = std::make_unique<AirflowSpringSettingsWidget>();
        panel->setSettings(&axis.airflow_spring);
        return panel;
    }
    if (name == u"AoAShakerSettingsWidget") {
        auto panel = std::make_unique<AoAShakerSettingsWidget>();
        panel->setSettings(&axis.aoa_shaker);
        return panel;
    }
    if (name == u"GenericShakerSettingsWidget") {
        auto panel = std::make_unique<GenericShakerSettingsWidget>();
        panel->setSettings(&axis.gear_shaker);
        return panel;
    }
    if (name == u"LandingJoltSettingsWidget") {
        auto panel = std::make_unique<LandingJoltSettingsWidget>();
        panel->setSettings(&axis.landing_jolt);
        return panel;
    }
    if (name == u"SimpleEffectSettingsWidget") {
        auto panel = std::make_unique<SimpleEffectSettingsWidget>();
        panel->setSettings(&axis.elevator_weight);
        return panel;
    }
    if (name == u"CondorShakerSettingsWidget") {
        auto panel = std::make_unique<CondorShakerSettingsWidget>();
        panel->setSettings(&axis.condor_shaker);
        return panel;
    }
    if (name == u"DirectXSettingsWidget") {
        auto panel = std::make_unique<DirectXSettingsWidget>();
        panel->setSettings(&axis.direct_x);
        return panel;
    }
    auto panel = std::make_unique<SmartDampeningSettingsWidget>();
    panel->setSettings(&axis.smart_damper);
    return panel;
}

using Field = std::function<double(const AxisEffectsSettings &)>;

struct Row
{
    const char *panel;
    const char *label;
    const char *slider;
    const char *spinBox;
    int sliderMin, sliderMax, spinMin, spinMax;
    int value; // a value to write, inside the spin box's range
    Field field;
};

const char *const T = "Total effect strength (%)";

const std::vector<Row> &rows()
{
    using A = const AxisEffectsSettings &;
    static const std::vector<Row> table = {
        {"AirflowSpringSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 100, 0, 100, 70,
         [](A a) { return a.airflow_spring.total_effect_strength; }},
        {"AirflowSpringSettingsWidget", "Speed force effect (%)", "airspeed_force_slider",
         "airspeed_force_spinner", 0, 100, 0, 100, 45, [](A a) { return a.airflow_spring.airspeed_force; }},
        {"AirflowSpringSettingsWidget", "Thrust force effect (%)", "thrust_force_slider",
         "thrust_force_spinner", 0, 100, 0, 100, 35, [](A a) { return a.airflow_spring.thrust_force; }},
        {"AirflowSpringSettingsWidget", "Effect attenuation strength (%)", "horizontalSlider_2",
         "attenuation_strength", 0, 100, 0, 100, 25,
         [](A a) { return a.airflow_spring.attenuation_strength; }},
        {"AirflowSpringSettingsWidget", "Effect attenuation start speed (km/h)",
         "attenuation_start_airspeed_slider", "attenuation_start_airspeed_spinner", 0, 500, 0, 500, 200,
         [](A a) { return a.airflow_spring.attenuation_start_airspeed; }},
        {"AirflowSpringSettingsWidget", "Effect attenuation end speed (km/h)",
         "attenuation_end_airspeed_slider", "attenuation_end_airspeed_spinner", 1, 1000, 0, 1000, 900,
         [](A a) { return a.airflow_spring.attenuation_end_airspeed; }},
        {"AirflowSpringSettingsWidget", "Local AoA influence (%)", "horizontalSlider_4",
         "local_aoa_influence_strength", 0, 100, 0, 100, 15,
         [](A a) { return a.airflow_spring.local_aoa_influence_strength; }},

        {"AoAShakerSettingsWidget", T, "horizontalSlider_8", "total_effect_strength", 0, 100, 0, 100, 60,
         [](A a) { return a.aoa_shaker.total_effect_strength; }},
        {"AoAShakerSettingsWidget", "Min effect strength at speed (km/h)", "horizontalSlider",
         "min_effect_strength_speed", 0, 1000, 0, 1000, 40, [](A a) { return a.aoa_shaker.speed.min; }},
        {"AoAShakerSettingsWidget", "Max effect strength at speed (km/h)", "horizontalSlider_6",
         "max_effect_strength_speed", 0, 1000, 0, 1000, 700, [](A a) { return a.aoa_shaker.speed.max; }},
        {"AoAShakerSettingsWidget", "Speed effect strength exponent (%)", "horizontalSlider_10",
         "speed_effect_strength_exponent", -100, 100, -100, 100, -40,
         [](A a) { return a.aoa_shaker.speed.exp; }},
        {"AoAShakerSettingsWidget", "Min effect strength at angle (degrees)", "horizontalSlider_5",
         "min_effect_strength_angle", 0, 90, 0, 90, 10, [](A a) { return a.aoa_shaker.aoa.min; }},
        {"AoAShakerSettingsWidget", "Max effect strength at angle (degrees)", "horizontalSlider_7",
         "max_effect_strength_angle", 0, 90, 0, 90, 30, [](A a) { return a.aoa_shaker.aoa.max; }},
        {"AoAShakerSettingsWidget", "Angle effect strength exponent (%)", "horizontalSlider_4",
         "angle_effect_strength_exponent", -100, 100, -100, 100, 25,
         [](A a) { return a.aoa_shaker.aoa.exp; }},
        {"AoAShakerSettingsWidget", "Min effect frequency (Hz)", "horizontalSlider_2", "min_effect_frequency",
         0, 100, 0, 100, 5, [](A a) { return a.aoa_shaker.frequency.min; }},
        {"AoAShakerSettingsWidget", "Max effect frequency (Hz)", "horizontalSlider_3", "max_effect_frequency",
         0, 100, 0, 100, 60, [](A a) { return a.aoa_shaker.frequency.max; }},
        {"AoAShakerSettingsWidget", "Frequency exponent (%)", "horizontalSlider_9", "frequency_exponent",
         -100, 100, -100, 100, -70, [](A a) { return a.aoa_shaker.frequency.exp; }},

        {"GenericShakerSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 100, 0, 100, 55,
         [](A a) { return a.gear_shaker.total_effect_strength; }},
        {"GenericShakerSettingsWidget", "Min effect strength at speed (km/h)", "horizontalSlider_3",
         "min_effect_strength_speed", 0, 1000, 0, 1000, 50, [](A a) { return a.gear_shaker.speed.min; }},
        {"GenericShakerSettingsWidget", "Max effect strength at speed (km/h)", "horizontalSlider_2",
         "max_effect_strength_speed", 0, 1000, 0, 1000, 650, [](A a) { return a.gear_shaker.speed.max; }},
        {"GenericShakerSettingsWidget", "Speed effect strength exponent (%)", "horizontalSlider_10",
         "speed_effect_strength_exponent", -100, 100, -100, 100, 20,
         [](A a) { return a.gear_shaker.speed.exp; }},
        {"GenericShakerSettingsWidget", "Min effect frequency (Hz)", "horizontalSlider_4",
         "min_effect_frequency", 0, 100, 0, 100, 8, [](A a) { return a.gear_shaker.frequency.min; }},
        {"GenericShakerSettingsWidget", "Max effect frequency (Hz)", "horizontalSlider_5",
         "max_effect_frequency", 0, 100, 0, 100, 80, [](A a) { return a.gear_shaker.frequency.max; }},
        {"GenericShakerSettingsWidget", "Frequency exponent (%)", "horizontalSlider_9", "frequency_exponent",
         -100, 100, -100, 100, 33, [](A a) { return a.gear_shaker.frequency.exp; }},

        {"LandingJoltSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 100, 0, 100, 90,
         [](A a) { return a.landing_jolt.total_effect_strength; }},
        {"LandingJoltSettingsWidget", "Effect duration (ms)", "horizontalSlider_6", "effect_time", 0, 1000, 0,
         1000, 400, [](A a) { return static_cast<double>(a.landing_jolt.effect_time); }},
        {"LandingJoltSettingsWidget", "Min effect strength at speed (km/h)", "horizontalSlider_3",
         "min_effect_strength_speed", 0, 1000, 0, 1000, 60, [](A a) { return a.landing_jolt.speed.min; }},
        {"LandingJoltSettingsWidget", "Max effect strength at speed (km/h)", "horizontalSlider_2",
         "max_effect_strength_speed", 0, 1000, 0, 1000, 300, [](A a) { return a.landing_jolt.speed.max; }},
        {"LandingJoltSettingsWidget", "Speed effect strength exponent (%)", "horizontalSlider_10",
         "speed_effect_strength_exponent", -100, 100, -100, 100, -10,
         [](A a) { return a.landing_jolt.speed.exp; }},
        {"LandingJoltSettingsWidget", "Min effect frequency (Hz)", "horizontalSlider_9",
         "min_effect_frequency", 0, 100, 0, 100, 12, [](A a) { return a.landing_jolt.frequency.min; }},
        {"LandingJoltSettingsWidget", "Max effect frequency (Hz)", "horizontalSlider_12",
         "max_effect_frequency", 0, 100, 0, 100, 70, [](A a) { return a.landing_jolt.frequency.max; }},
        {"LandingJoltSettingsWidget", "Frequency exponent (%)", "horizontalSlider_13", "frequency_exponent",
         -100, 100, -100, 100, 45, [](A a) { return a.landing_jolt.frequency.exp; }},

        {"SimpleEffectSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 100, 0, 100, 40,
         [](A a) { return a.elevator_weight.total_effect_strength; }},

        {"CondorShakerSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 99, 0, 99, 99,
         [](A a) { return a.condor_shaker.total_effect_strength; }},
        {"CondorShakerSettingsWidget", "Min effect frequency (Hz)", "horizontalSlider_4",
         "min_effect_frequency", 0, 100, 0, 100, 5, [](A a) { return a.condor_shaker.frequency.min; }},
        {"CondorShakerSettingsWidget", "Max effect frequency (Hz)", "horizontalSlider_5",
         "max_effect_frequency", 0, 100, 0, 100, 30, [](A a) { return a.condor_shaker.frequency.max; }},
        {"CondorShakerSettingsWidget", "Frequency exponent (%)", "horizontalSlider_9", "frequency_exponent",
         -100, 100, -100, 100, 20, [](A a) { return a.condor_shaker.frequency.exp; }},

        {"DirectXSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 100, 0, 100, 100,
         [](A a) { return a.direct_x.total_effect_strength; }},
        {"DirectXSettingsWidget", "Spring effects strength (%)", "horizontalSlider_2",
         "spring_effect_strength", 0, 100, 0, 100, 20, [](A a) { return a.direct_x.force; }},
        {"DirectXSettingsWidget", "Periodic effect strength (%)", "horizontalSlider_5",
         "periodic_effect_strength", 0, 100, 0, 100, 30, [](A a) { return a.direct_x.periodic; }},
        {"DirectXSettingsWidget", "Trimmer effect strength (%)", "horizontalSlider_4",
         "trimmer_effect_strength", 0, 100, 0, 100, 40, [](A a) { return a.direct_x.trimmer; }},

        {"SmartDampeningSettingsWidget", T, "horizontalSlider", "total_effect_strength", 0, 100, 0, 100, 75,
         [](A a) { return a.smart_damper.total_effect_strength; }},
        {"SmartDampeningSettingsWidget", "Static dampening (%)", "static_dampening_slider",
         "static_dampening_spinner", 0, 100, 0, 500, 80, [](A a) { return a.smart_damper.static_dampening; }},
        {"SmartDampeningSettingsWidget", "Dynamic dampening (%)", "dynamic_dampening_slider",
         "dynamic_dampening_spinner", 0, 100, 0, 500, 65,
         [](A a) { return a.smart_damper.dynamic_dampening; }},
    };
    return table;
}

template<typename T>
T *child(QObject *parent, const QString &name)
{
    T *widget = parent->findChild<T *>(name);
    if (!widget)
        qFatal("no %s", qPrintable(name));
    return widget;
}

template<typename T>
T *child(QObject *parent, const char *name)
{
    return child<T>(parent, QString::fromLatin1(name));
}

// The widget in `column` of the grid row that holds `widget`.
QWidget *besideInGrid(QWidget *widget, int column)
{
    auto *grid = qobject_cast<QGridLayout *>(widget->parentWidget()->layout());
    int row = -1, ignored = 0;
    grid->getItemPosition(grid->indexOf(widget), &row, &ignored, &ignored, &ignored);
    QLayoutItem *item = grid->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

} // namespace

class TestPanels : public QObject
{
    Q_OBJECT

private slots:
    void rowsAreBoundToTheirFields_data()
    {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < rows().size(); ++i)
            QTest::addRow("%s %s", rows()[i].panel, rows()[i].spinBox) << static_cast<int>(i);
    }

    void rowsAreBoundToTheirFields()
    {
        QFETCH(int, index);
        const Row &row = rows()[static_cast<std::size_t>(index)];
        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel(QString::fromLatin1(row.panel), axis);
        auto *slider = child<QSlider>(panel.get(), row.slider);
        auto *spinBox = child<QSpinBox>(panel.get(), row.spinBox);

        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->minimum(), row.sliderMin);
        QCOMPARE(slider->maximum(), row.sliderMax);
        QCOMPARE(spinBox->minimum(), row.spinMin);
        QCOMPARE(spinBox->maximum(), row.spinMax);
        QCOMPARE(besideInGrid(spinBox, 1), slider);
        auto *label = qobject_cast<QLabel *>(besideInGrid(spinBox, 0));
        QVERIFY(label);
        QCOMPARE(label->text(), QString::fromLatin1(row.label));

        QSignalSpy changed(panel.get(), &EffectSettingsPanel::settingsChanged);
        spinBox->setValue(row.value);
        QCOMPARE(row.field(axis), static_cast<double>(row.value));
        QVERIFY(changed.size() >= 1);
        QCOMPARE(slider->value(), row.value);

        // Moving the slider writes through the spin box.
        // (Even: an odd attenuation end below twice the start is rounded down.)
        const int other = row.value > row.sliderMin + 1 ? row.value - 2 : row.value + 2;
        slider->setValue(other);
        QCOMPARE(spinBox->value(), other);
        QCOMPARE(row.field(axis), static_cast<double>(other));
    }

    void refreshShowsWithoutWriting()
    {
        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel(QStringLiteral("AoAShakerSettingsWidget"), axis);
        axis.aoa_shaker.total_effect_strength = 33.7f;
        axis.aoa_shaker.speed.exp = -33.7f;
        axis.aoa_shaker.speed.min = 500.0f; // above its maximum, as a file may hold it
        axis.aoa_shaker.speed.max = 400.0f;
        axis.aoa_shaker.aoa.max = 3.0e9f; // beyond int
        QSignalSpy changed(panel.get(), &EffectSettingsPanel::settingsChanged);

        panel->refresh();
        QCOMPARE(changed.size(), 0);
        QCOMPARE(child<QSpinBox>(panel.get(), "total_effect_strength")->value(), 33);
        QCOMPARE(child<QSlider>(panel.get(), "horizontalSlider_8")->value(), 33);
        QCOMPARE(child<QSpinBox>(panel.get(), "speed_effect_strength_exponent")->value(), -33);
        QCOMPARE(child<QSpinBox>(panel.get(), "max_effect_strength_angle")->value(), 90);
        QCOMPARE(axis.aoa_shaker.total_effect_strength, 33.7f);

        // The stored pair shows adjusted on screen, but stays until edited.
        QCOMPARE(child<QSpinBox>(panel.get(), "min_effect_strength_speed")->value(), 399);
        QCOMPARE(child<QSpinBox>(panel.get(), "max_effect_strength_speed")->value(), 400);
        child<QSpinBox>(panel.get(), "total_effect_strength")->setValue(40);
        QCOMPARE(axis.aoa_shaker.speed.min, 500.0f);
        QCOMPARE(axis.aoa_shaker.speed.max, 400.0f);
        QCOMPARE(axis.aoa_shaker.speed.exp, -33.7f);
        QCOMPARE(changed.size(), 1);
    }

    void unboundPanelWritesNothing()
    {
        AoAShakerSettingsWidget panel;
        QSignalSpy changed(&panel, &EffectSettingsPanel::settingsChanged);
        child<QSpinBox>(&panel, "total_effect_strength")->setValue(50);
        panel.refresh();
        QCOMPARE(changed.size(), 0);
        QVERIFY(!panel.isBound());
    }

    void attenuationEndStaysTwiceTheStart_data()
    {
        QTest::addColumn<QString>("spinBox");
        QTest::addColumn<int>("value");
        QTest::addColumn<QPoint>("stored"); // start, end
        QTest::addColumn<QPoint>("expected");
        const QString start = QStringLiteral("attenuation_start_airspeed_spinner");
        const QString end = QStringLiteral("attenuation_end_airspeed_spinner");
        QTest::newRow("start 300 pushes the end") << start << 300 << QPoint(100, 500) << QPoint(300, 600);
        QTest::newRow("end 400 pulls the start") << end << 400 << QPoint(300, 500) << QPoint(200, 400);
        QTest::newRow("start 200 leaves the end") << start << 200 << QPoint(100, 500) << QPoint(200, 500);
        QTest::newRow("end 800 leaves the start") << end << 800 << QPoint(240, 500) << QPoint(240, 800);
    }

    void attenuationEndStaysTwiceTheStart()
    {
        QFETCH(QString, spinBox);
        QFETCH(int, value);
        QFETCH(QPoint, stored);
        QFETCH(QPoint, expected);
        AxisEffectsSettings axis;
        axis.reset();
        axis.airflow_spring.setAttenuation(static_cast<float>(stored.x()), static_cast<float>(stored.y()));
        auto panel = makePanel(QStringLiteral("AirflowSpringSettingsWidget"), axis);

        child<QSpinBox>(panel.get(), spinBox)->setValue(value);
        QCOMPARE(child<QSpinBox>(panel.get(), "attenuation_start_airspeed_spinner")->value(), expected.x());
        QCOMPARE(child<QSpinBox>(panel.get(), "attenuation_end_airspeed_spinner")->value(), expected.y());
        QCOMPARE(axis.airflow_spring.attenuation_start_airspeed, static_cast<float>(expected.x()));
        QCOMPARE(axis.airflow_spring.attenuation_end_airspeed, static_cast<float>(expected.y()));
        // Written through the setter: the derived curve follows.
        AirflowSpringSettings reference;
        reference.setAttenuation(static_cast<float>(expected.x()), static_cast<float>(expected.y()));
        QCOMPARE(axis.airflow_spring.attenuation_curve, reference.attenuation_curve);
    }

    void minimumStaysBelowMaximum_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("pair");
        const QStringList pairs = {QStringLiteral("effect_strength_speed"),
                                   QStringLiteral("effect_frequency")};
        for (const char *panel :
             {"AoAShakerSettingsWidget", "GenericShakerSettingsWidget", "LandingJoltSettingsWidget"}) {
            for (const QString &pair : pairs)
                QTest::addRow("%s %s", panel, qPrintable(pair)) << QString::fromLatin1(panel) << pair;
        }
        QTest::newRow("AoAShakerSettingsWidget angle")
            << QStringLiteral("AoAShakerSettingsWidget") << QStringLiteral("effect_strength_angle");
    }

    void minimumStaysBelowMaximum()
    {
        QFETCH(QString, panel);
        QFETCH(QString, pair);
        AxisEffectsSettings axis;
        axis.reset();
        auto widget = makePanel(panel, axis);
        auto *minimum = child<QSpinBox>(widget.get(), QStringLiteral("min_") + pair);
        auto *maximum = child<QSpinBox>(widget.get(), QStringLiteral("max_") + pair);
        minimum->setValue(20);
        maximum->setValue(50);

        minimum->setValue(50);
        QCOMPARE(maximum->value(), 51);
        maximum->setValue(30);
        QCOMPARE(minimum->value(), 29);

        // At the top of the range the pair may end equal.
        maximum->setValue(maximum->maximum());
        minimum->setValue(minimum->maximum());
        QCOMPARE(maximum->value(), maximum->maximum());
        QCOMPARE(minimum->value(), maximum->maximum());
    }

    void typingIntoACoupledSpinBoxKeepsThePartner_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("typedInto");
        QTest::addColumn<QString>("partner");
        QTest::newRow("speed maximum")
            << QStringLiteral("GenericShakerSettingsWidget") << QStringLiteral("max_effect_strength_speed")
            << QStringLiteral("min_effect_strength_speed");
        QTest::newRow("attenuation end") << QStringLiteral("AirflowSpringSettingsWidget")
                                         << QStringLiteral("attenuation_end_airspeed_spinner")
                                         << QStringLiteral("attenuation_start_airspeed_spinner");
    }

    void typingIntoACoupledSpinBoxKeepsThePartner()
    {
        // The first digit of 800 alone would push the partner down to 7 or 4.
        QFETCH(QString, panel);
        QFETCH(QString, typedInto);
        QFETCH(QString, partner);
        AxisEffectsSettings axis;
        axis.reset();
        auto widget = makePanel(panel, axis);
        widget->show();
        auto *spinBox = child<QSpinBox>(widget.get(), typedInto);
        child<QSpinBox>(widget.get(), partner)->setValue(300);
        spinBox->setFocus();
        QTest::keyClick(spinBox, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spinBox, QStringLiteral("800"));
        QTest::keyClick(spinBox, Qt::Key_Return);
        QCOMPARE(spinBox->value(), 800);
        QCOMPARE(child<QSpinBox>(widget.get(), partner)->value(), 300);
    }

    void minimumPushesAreWritten()
    {
        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel(QStringLiteral("GenericShakerSettingsWidget"), axis);
        QSignalSpy changed(panel.get(), &EffectSettingsPanel::settingsChanged);
        child<QSpinBox>(panel.get(), "min_effect_frequency")->setValue(100);
        QCOMPARE(axis.gear_shaker.frequency.min, 100.0f);
        QCOMPARE(axis.gear_shaker.frequency.max, 100.0f); // clamped: no room above
        child<QSpinBox>(panel.get(), "max_effect_frequency")->setValue(40);
        QCOMPARE(axis.gear_shaker.frequency.min, 39.0f);
        QCOMPARE(axis.gear_shaker.frequency.max, 40.0f);
        QCOMPARE(changed.size(), 3);
    }

    void typedDampeningGrowsTheSlider()
    {
        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel(QStringLiteral("SmartDampeningSettingsWidget"), axis);
        panel->show();
        auto *spinBox = child<QSpinBox>(panel.get(), "static_dampening_spinner");
        auto *slider = child<QSlider>(panel.get(), "static_dampening_slider");
        spinBox->setFocus();
        QTest::keyClick(spinBox, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spinBox, QStringLiteral("250"));
        QCOMPARE(spinBox->value(), 250);
        QCOMPARE(slider->maximum(), 250);
        QCOMPARE(slider->value(), 250);
        QCOMPARE(axis.smart_damper.static_dampening, 250.0f);

        // The slider keeps its grown range and drives the spin box.
        spinBox->setValue(40);
        QCOMPARE(slider->maximum(), 250);
        QCOMPARE(slider->value(), 40);
        slider->setValue(180);
        QCOMPARE(spinBox->value(), 180);
        QCOMPARE(axis.smart_damper.static_dampening, 180.0f);
        QCOMPARE(child<QSlider>(panel.get(), "dynamic_dampening_slider")->maximum(), 100);

        // A stored value beyond 100 grows the slider on refresh, without a write.
        axis.smart_damper.dynamic_dampening = 420.5f;
        QSignalSpy changed(panel.get(), &EffectSettingsPanel::settingsChanged);
        panel->refresh();
        QCOMPARE(child<QSlider>(panel.get(), "dynamic_dampening_slider")->value(), 420);
        QCOMPARE(axis.smart_damper.dynamic_dampening, 420.5f);
        QCOMPARE(changed.size(), 0);
    }

    void condorStrengthStopsAt99()
    {
        AxisEffectsSettings axis;
        axis.reset();
        auto panel = makePanel(QStringLiteral("CondorShakerSettingsWidget"), axis);
        child<QSpinBox>(panel.get(), "total_effect_strength")->setValue(100);
        QCOMPARE(axis.condor_shaker.total_effect_strength, 99.0f);
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
