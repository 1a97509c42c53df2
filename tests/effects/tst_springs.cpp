#include "effectmath.h"
#include "effectslogging.h"
#include "effectstestsupport.h"
#include "springs.h"

#include <QTest>

#include <limits>

namespace {

AirflowSpringSettings airflow(float airspeedForce, float thrustForce, float attenuation, float end = 1000.0f)
{
    AirflowSpringSettings settings;
    settings.reset();
    settings.total_effect_strength = 100.0f;
    settings.airspeed_force = airspeedForce;
    settings.thrust_force = thrustForce;
    settings.attenuation_strength = attenuation;
    settings.setAttenuation(500.0f, end);
    return settings;
}

bool near(float actual, float expected)
{
    return std::abs(actual - expected) < 1e-4f;
}

} // namespace

Q_DECLARE_METATYPE(AirflowSpringSettings)

class TestSprings : public QObject
{
    Q_OBJECT

private slots:
    void tableSine_data();
    void tableSine();
    void exponentCurve_data();
    void exponentCurve();
    void sampleAndAttenuationCurve();
    void curveSpring();
    void airflowSpring_data();
    void airflowSpring();
    void degenerateAirflowSpring();
};

void TestSprings::tableSine_data()
{
    QTest::addColumn<float>("degrees");
    QTest::addColumn<float>("expected");
    QTest::newRow("30") << 30.0f << 0.5f;
    QTest::newRow("45 halfway") << 45.0f << 0.7044f;
    QTest::newRow("-30 reduced to 330") << -30.0f << -0.5f;
    QTest::newRow("390") << 390.0f << 0.5f;
    QTest::newRow("cosine of 0") << 90.0f << 1.0f;
    // Reduces to 360 in float and would read past the table.
    QTest::newRow("tiny negative") << -1.0e-6f << 0.0f;
    QTest::newRow("120 past whole turns") << 3.0e9f << 0.866f;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 0.0f;
}

void TestSprings::tableSine()
{
    QFETCH(float, degrees);
    QFETCH(float, expected);
    QVERIFY2(near(::tableSine(degrees), expected), qPrintable(QString::number(::tableSine(degrees))));
    QCOMPARE(tableCosine(0.0f), 1.0f);
}

void TestSprings::exponentCurve_data()
{
    QTest::addColumn<float>("exponent");
    QTest::addColumn<float>("expected");
    QTest::newRow("linear") << 0.0f << 0.5f;
    QTest::newRow("slow start") << 1.0f << 0.125f;
    QTest::newRow("fast start") << -1.0f << 0.875f;
    QTest::newRow("half slow") << 0.5f << 0.3125f;
    QTest::newRow("beyond -1") << -3.0f << 0.875f;
    QTest::newRow("NaN is linear") << std::numeric_limits<float>::quiet_NaN() << 0.5f;
}

void TestSprings::exponentCurve()
{
    QFETCH(float, exponent);
    QFETCH(float, expected);
    QCOMPARE(::exponentCurve(0.5f, exponent), expected);
}

void TestSprings::sampleAndAttenuationCurve()
{
    const PointCurve curve = linearCurve();
    QCOMPARE(sample(curve, -100.0f), -10.0f);
    QCOMPARE(sample(curve, 45.0f), 4.5f);
    QCOMPARE(sample(curve, 150.0f), 10.0f);
    QCOMPARE(sample(curve, -150.0f), -10.0f);
    PointCurve step = curve; // equal in values make a step, not a division by zero
    step.points[6] = {0.0f, 5.0f};
    QCOMPARE(sample(step, 10.0f), 4.75f);

    AirflowSpringSettings settings;
    settings.setAttenuation(500.0f, 1000.0f);
    QCOMPARE(settings.attenuation_curve.points[5], (CurvePoint{0.5f, 0.75f}));
    QCOMPARE(settings.attenuation_curve.points[10], (CurvePoint{1.0f, 1.0f}));
    QCOMPARE(attenuationLookup(settings.attenuation_curve, 1.0f), 1.0f);
    QCOMPARE(attenuationLookup(settings.attenuation_curve, 0.5f), 0.75f);
    settings.setAttenuation(500.0f, 500.0f);
    for (const CurvePoint &point : settings.attenuation_curve.points)
        QVERIFY(std::isfinite(point.in) && std::isfinite(point.out));
}

void TestSprings::curveSpring()
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

void TestSprings::airflowSpring_data()
{
    QTest::addColumn<AirflowSpringSettings>("settings");
    QTest::addColumn<float>("position");
    QTest::addColumn<float>("airspeed");
    QTest::addColumn<float>("thrust");
    QTest::addColumn<float>("flowAngle");
    QTest::addColumn<float>("force");
    QTest::addColumn<float>("spring");
    QTest::newRow("250 km/h") << airflow(100, 0, 0) << 0.5f << 250.0f << 0.0f << 0.0f
                              << -12.5f * 0.2578f * 2.0f << 12.5f;
    // x = 1 and L(1) = 1: the speed term is the airspeed force.
    QTest::newRow("above end, full attenuation")
        << airflow(100, 0, 100, 800) << 1.0f << 900.0f << 0.0f << 0.0f << -100.0f << 100.0f;
    QTest::newRow("half attenuation")
        << airflow(100, 0, 50) << 1.0f << 750.0f << 0.0f << 0.0f << -100.0f << 100.0f;
    QTest::newRow("propeller wash at rest")
        << airflow(0, 100, 0) << 1.0f << 0.0f << 100.0f << 0.0f << -50.0f << 50.0f;
    QTest::newRow("wash beyond the end, unlimited")
        << airflow(0, 100, 0, 800) << 1.0f << 900.0f << 100.0f << 0.0f << 6.25f << -6.25f;
    AirflowSpringSettings local = airflow(100, 0, 0);
    local.local_aoa_influence_strength = 100.0f;
    QTest::newRow("local flow angle") << local << 0.5f << 500.0f << 0.0f << 45.0f << 50.0f << 50.0f;
    AirflowSpringSettings fieldByField; // curve never computed: derived on the fly
    fieldByField.total_effect_strength = 100.0f;
    fieldByField.airspeed_force = 100.0f;
    QTest::newRow("in-class record") << fieldByField << 1.0f << 1000.0f << 0.0f << 0.0f << -100.0f << 100.0f;
}

void TestSprings::airflowSpring()
{
    QFETCH(AirflowSpringSettings, settings);
    QFETCH(float, position);
    QFETCH(float, airspeed);
    QFETCH(float, thrust);
    QFETCH(float, flowAngle);
    QFETCH(float, force);
    QFETCH(float, spring);
    AxisForces forces{100.0f, 3.0f, 0.0f};
    applyAirflowSpring(forces, settings, position, airspeed, thrust, flowAngle);
    QVERIFY2(near(forces.force - 100.0f, force), qPrintable(QString::number(forces.force - 100.0f)));
    QVERIFY2(near(forces.spring, spring), qPrintable(QString::number(forces.spring)));
    QCOMPARE(forces.periodic, 3.0f);
}

void TestSprings::degenerateAirflowSpring()
{
    for (const auto &[start, end] :
         {std::pair{0.0f, 1000.0f}, std::pair{500.0f, 500.0f}, std::pair{500.0f, 0.0f}}) {
        AirflowSpringSettings settings = airflow(100, 100, 100);
        settings.setAttenuation(start, end);
        AxisForces forces{1.0f, 2.0f, 3.0f};
        applyAirflowSpring(forces, settings, 0.5f, 300.0f, 50.0f, 5.0f);
        QCOMPARE(forces, (AxisForces{1.0f, 2.0f, 3.0f}));
    }
}

QTEST_APPLESS_MAIN(TestSprings)
#include "tst_springs.moc"
