#include "effectmath.h"
#include "effectslogging.h"
#include "effectstestsupport.h"
#include "springs.h"

#include <QTest>

#include <limits>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

bool near(float actual, float expected)
{
    return std::abs(actual - expected) < 1e-4f;
}

} // namespace

class TestSprings : public QObject
{
    Q_OBJECT

private slots:
    void effectMath_data()
    {
        QTest::addColumn<float>("actual");
        QTest::addColumn<float>("expected");
        QTest::newRow("sine 30") << tableSine(30.0f) << 0.5f;
        QTest::newRow("sine 45, between entries") << tableSine(45.0f) << 0.7044f;
        QTest::newRow("sine -30") << tableSine(-30.0f) << -0.5f;
        QTest::newRow("sine 390") << tableSine(390.0f) << 0.5f;
        QTest::newRow("cosine 0") << tableCosine(0.0f) << 1.0f;
        // Reduces to 360 in float and would read past the table.
        QTest::newRow("sine of a tiny negative") << tableSine(-1.0e-6f) << 0.0f;
        QTest::newRow("sine 3e9, 120 past whole turns") << tableSine(3.0e9f) << 0.866f;
        QTest::newRow("sine NaN") << tableSine(NaN) << 0.0f;
        QTest::newRow("exponent 0") << exponentCurve(0.5f, 0.0f) << 0.5f;
        QTest::newRow("exponent 1") << exponentCurve(0.5f, 1.0f) << 0.125f;
        QTest::newRow("exponent -1") << exponentCurve(0.5f, -1.0f) << 0.875f;
        QTest::newRow("exponent 0.5") << exponentCurve(0.5f, 0.5f) << 0.3125f;
        QTest::newRow("exponent beyond -1") << exponentCurve(0.5f, -3.0f) << 0.875f;
        QTest::newRow("exponent NaN is linear") << exponentCurve(0.5f, NaN) << 0.5f;
        const PointCurve curve = linearCurve();
        QTest::newRow("sample inside") << sample(curve, 45.0f) << 4.5f;
        QTest::newRow("sample beyond the top") << sample(curve, 150.0f) << 10.0f;
        QTest::newRow("sample beyond the bottom") << sample(curve, -150.0f) << -10.0f;
        PointCurve step = curve; // equal `in` make a step, not a division by zero
        step.points[6] = {0.0f, 5.0f};
        QTest::newRow("sample after a step") << sample(step, 10.0f) << 4.75f;
        const PointCurve attenuation = AirflowSpringSettings::attenuationCurveFor(500.0f, 1000.0f);
        QTest::newRow("attenuation at half") << attenuationLookup(attenuation, 0.5f) << 0.75f;
        QTest::newRow("attenuation at the end") << attenuationLookup(attenuation, 1.0f) << 1.0f;
    }

    void effectMath()
    {
        QFETCH(float, actual);
        QFETCH(float, expected);
        QVERIFY2(near(actual, expected), qPrintable(QString::number(actual)));
    }

    void curveSpring()
    {
        const CurveSpringSettings spring{{true, 50.0f}, linearCurve()};
        AxisForces forces{1.0f, 0.0f, 7.0f};
        applyCurveSpring(forces, spring, 0.4f * 100.0f);
        QCOMPARE(forces, (AxisForces{-1.0f, 0.0f, 2.0f}));
        applyCurveSpring(forces, spring, -40.0f); // the spring keeps the magnitude
        QCOMPARE(forces, (AxisForces{1.0f, 0.0f, 2.0f}));

        // 300 lines a second: only when asked for.
        QVERIFY(!lcEffectsCurve().isDebugEnabled());
        QLoggingCategory::setFilterRules(QStringLiteral("kestrox.effects.curve.debug=true"));
        QTest::ignoreMessage(QtDebugMsg, "input 40 sample 4");
        applyCurveSpring(forces, spring, 40.0f);
        QLoggingCategory::setFilterRules(QString());
    }

    void airflowSpring_data()
    {
        // Forces of 100 and periodic 3 before the spring.
        const auto spring = [](const AirflowSpringSettings &settings, float position, float airspeed,
                               float thrust = 0.0f, float flowAngle = 0.0f) {
            AxisForces forces{100.0f, 3.0f, 0.0f};
            applyAirflowSpring(forces, settings, position, airspeed, thrust, flowAngle);
            return forces;
        };
        QTest::addColumn<AxisForces>("actual");
        QTest::addColumn<float>("force");
        QTest::addColumn<float>("spring");
        QTest::newRow("250 km/h") << spring(airflow(100, 0, 0), 0.5f, 250.0f) << -12.5f * 0.2578f * 2.0f
                                  << 12.5f;
        // x = 1 and L(1) = 1: the speed term is the airspeed force.
        QTest::newRow("above end, full attenuation")
            << spring(airflow(100, 0, 100, 800), 1.0f, 900.0f) << -100.0f << 100.0f;
        QTest::newRow("half attenuation") << spring(airflow(100, 0, 50), 1.0f, 750.0f) << -100.0f << 100.0f;
        QTest::newRow("propeller wash at rest")
            << spring(airflow(0, 100, 0), 1.0f, 0.0f, 100.0f) << -50.0f << 50.0f;
        QTest::newRow("wash beyond the end, unlimited")
            << spring(airflow(0, 100, 0, 800), 1.0f, 900.0f, 100.0f) << 6.25f << -6.25f;
        AirflowSpringSettings local = airflow(100, 0, 0);
        local.local_aoa_influence_strength = 100.0f;
        QTest::newRow("local flow angle") << spring(local, 0.5f, 500.0f, 0.0f, 45.0f) << 50.0f << 50.0f;
        AirflowSpringSettings fieldByField; // curve never computed: derived on the fly
        fieldByField.total_effect_strength = 100.0f;
        fieldByField.airspeed_force = 100.0f;
        QTest::newRow("in-class record") << spring(fieldByField, 1.0f, 1000.0f) << -100.0f << 100.0f;
    }

    void airflowSpring()
    {
        QFETCH(AxisForces, actual);
        QFETCH(float, force);
        QFETCH(float, spring);
        QVERIFY2(near(actual.force - 100.0f, force), qPrintable(QString::number(actual.force - 100.0f)));
        QVERIFY2(near(actual.spring, spring), qPrintable(QString::number(actual.spring)));
        QCOMPARE(actual.periodic, 3.0f);
    }

    void degenerateAirflowSpring()
    {
        for (const auto &[start, end] :
             {std::pair{0.0f, 1000.0f}, std::pair{500.0f, 500.0f}, std::pair{500.0f, 0.0f}}) {
            AirflowSpringSettings settings = airflow(100, 100, 100);
            settings.setAttenuation(start, end);
            for (const CurvePoint &point : settings.attenuation_curve.points)
                QVERIFY(std::isfinite(point.in) && std::isfinite(point.out));
            AxisForces forces{1.0f, 2.0f, 3.0f};
            applyAirflowSpring(forces, settings, 0.5f, 300.0f, 50.0f, 5.0f);
            QCOMPARE(forces, (AxisForces{1.0f, 2.0f, 3.0f}));
        }
    }
};

QTEST_APPLESS_MAIN(TestSprings)
#include "tst_springs.moc"
