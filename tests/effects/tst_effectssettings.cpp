#include "effectsmetatypes.h"
#include "effectsprofile.h"
#include "effectssettings.h"
#include "effectstestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QTest>

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

class TestEffectsSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaultsAndReset();
    void singleActiveEffectRoundTrip();
    void inactiveEffectKeepsParameters();
    void effectTime_data();
    void effectTime();
    void condorRoundTrip();
    void curves();
    void mistypedMembers();
    void metaTypes();
};

void TestEffectsSettings::defaultsAndReset()
{
    AxisEffectsSettings axis;
    QCOMPARE(axis.airflow_spring.attenuation_strength, 100.0f);
    QCOMPARE(axis.airflow_spring.attenuation_curve, PointCurve());

    axis = everyEffectActive()[0];
    axis.landing_jolt.effect_time = 900;
    axis.reset();
    QCOMPARE(axis.airflow_spring.attenuation_strength, 0.0f);
    QCOMPARE(axis.airflow_spring.attenuation_curve.points[10], (CurvePoint{1.0f, 1.0f}));
    QCOMPARE(axis.landing_jolt.effect_time, std::uint64_t(250));
    QCOMPARE(axis.gear_shaker.speed, ExponentialRange());
    QCOMPARE(axis.simple_spring.curve, linearCurve()); // curves survive a reset
    QVERIFY(!axis.simple_spring.active && !axis.il2_shaker.active && !axis.smart_damper.active);
}

void TestEffectsSettings::singleActiveEffectRoundTrip()
{
    AxisEffectsSettings axis;
    axis.aoa_shaker.active = true;
    axis.aoa_shaker.total_effect_strength = 35.0f;
    axis.aoa_shaker.aoa = {8.0f, 16.0f, -20.0f};
    const QJsonObject json = axis.toJson();
    QCOMPARE(json.keys(), QStringList{QStringLiteral("aoa_shaker")});

    AxisEffectsSettings read = everyEffectActive()[1];
    read.fromJson(json);
    QCOMPARE(read.aoa_shaker, axis.aoa_shaker);
    QVERIFY(!read.airflow_spring.active && !read.landing_jolt.active && !read.g_force_spring.active);
    QCOMPARE(read.gear_shaker.total_effect_strength, 0.0f);
    QCOMPARE(read.airflow_spring.attenuation_curve.points[5], (CurvePoint{0.5f, 0.75f}));
}

void TestEffectsSettings::inactiveEffectKeepsParameters()
{
    AxisEffectsSettings axis;
    axis.fromJson(
        parse(R"({"airflow_spring": {"active": false, "total_effect_strength": 40, "airspeed_force": 70}})"));
    QVERIFY(!axis.airflow_spring.active);
    QCOMPARE(axis.airflow_spring.total_effect_strength, 40.0f);
    QCOMPARE(axis.airflow_spring.airspeed_force, 70.0f);
    QCOMPARE(axis.airflow_spring.attenuation_strength, 0.0f); // missing, not the in-class 100
    QVERIFY(axis.toJson().isEmpty());
}

void TestEffectsSettings::effectTime_data()
{
    QTest::addColumn<QByteArray>("member");
    QTest::addColumn<std::uint64_t>("expected");
    QTest::newRow("whole") << QByteArray(R"(, "effect_time": 400)") << std::uint64_t(400);
    QTest::newRow("fraction") << QByteArray(R"(, "effect_time": 400.7)") << std::uint64_t(0);
    QTest::newRow("missing") << QByteArray() << std::uint64_t(250);
    QTest::newRow("string") << QByteArray(R"(, "effect_time": "400")") << std::uint64_t(250);
    QTest::newRow("beyond 32 bits") << QByteArray(R"(, "effect_time": 3000000000)") << std::uint64_t(0);
    QTest::newRow("negative") << QByteArray(R"(, "effect_time": -5)") << std::uint64_t(0);
}

void TestEffectsSettings::effectTime()
{
    QFETCH(QByteArray, member);
    QFETCH(std::uint64_t, expected);
    LandingJoltSettings jolt;
    jolt.fromJson(QJsonDocument::fromJson("{\"active\": true" + member + "}").object());
    QCOMPARE(jolt.effect_time, expected);
    QCOMPARE(jolt.toJson().value(QLatin1StringView("effect_time")).toInteger(), qint64(expected));
}

void TestEffectsSettings::condorRoundTrip()
{
    const QJsonObject object = parse(
        R"({"active": true, "total_effect_strength": 60, "frequency": {"min": 5, "max": 30, "exp": 20}})");
    AxisEffectsSettings axis;
    axis.fromJson(QJsonObject{{QStringLiteral("condor_shaker"), object}});
    QVERIFY(axis.condor_shaker.active);
    QCOMPARE(axis.condor_shaker.total_effect_strength, 60.0f);
    QCOMPARE(axis.condor_shaker.frequency, (ExponentialRange{5.0f, 30.0f, 20.0f}));
    QCOMPARE(axis.toJson(), QJsonObject({{QStringLiteral("condor_shaker"), object}}));
}

void TestEffectsSettings::curves()
{
    CurveSpringSettings spring;
    spring.curve = linearCurve();
    spring.fromJson(parse(R"({"active": true})"));
    QCOMPARE(spring.curve, linearCurve()); // no "curve": kept

    spring.fromJson(parse(R"({"curve": [{"in": -50, "out": -3}, {"in": 0}, {"in": 50, "out": 3}]})"));
    QVERIFY(spring.curve.defined);
    QCOMPARE(spring.curve.points[0], (CurvePoint{-50.0f, -3.0f}));
    QCOMPARE(spring.curve.points[1], (CurvePoint{0.0f, 0.0f}));
    QCOMPARE(spring.curve.points[2], (CurvePoint{50.0f, 3.0f}));
    for (std::size_t i = 3; i < spring.curve.points.size(); ++i)
        QCOMPARE(spring.curve.points[i], CurvePoint());
    QCOMPARE(spring.toJson().value(QLatin1StringView("curve")).toArray().size(), 11);

    spring.curve = PointCurve();
    QVERIFY(!spring.toJson().contains(QLatin1StringView("curve"))); // undefined curves are not written
    spring.fromJson(parse(R"({"curve": []})"));
    QVERIFY(spring.curve.defined);
}

void TestEffectsSettings::mistypedMembers()
{
    AxisEffectsSettings axis = everyEffectActive()[2];
    axis.fromJson(parse(R"({
        "gear_shaker": {"active": 1, "total_effect_strength": "50", "speed": 5, "frequency": {"max": "x", "exp": 30}},
        "flaps_shaker": 3,
        "direct_x": {"active": true, "trimmer": 80, "force": null},
        "smart_damper": {"active": true, "static_dampening": 1e300}
    })"));
    QVERIFY(!axis.gear_shaker.active);
    QCOMPARE(axis.gear_shaker.total_effect_strength, 0.0f);
    QCOMPARE(axis.gear_shaker.speed, ExponentialRange());
    QCOMPARE(axis.gear_shaker.frequency, (ExponentialRange{0.0f, 100.0f, 30.0f}));
    QCOMPARE(axis.flaps_shaker, GenericShakerSettings());
    QCOMPARE(axis.direct_x.trimmer, 80.0f);
    QCOMPARE(axis.direct_x.force, 0.0f);
    QCOMPARE(axis.smart_damper.static_dampening, std::numeric_limits<float>::max());
}

void TestEffectsSettings::metaTypes()
{
    registerEffectsMetaTypes();
    for (const char *name : {"EffectsSettings", "PointCurve", "Forces", "EffectsProfile::EffectType"})
        QVERIFY2(QMetaType::fromName(name).isValid(), name);

    EffectsSettings settings = everyEffectActive();
    QCOMPARE(QVariant::fromValue(settings).value<EffectsSettings>(), settings);

    const QMetaEnum types = QMetaEnum::fromType<EffectsProfile::EffectType>();
    QCOMPARE(types.keyCount(), 16);
    QCOMPARE(types.valueToKey(EffectsProfile::EFFECT_TYPE_AOA_SPRING), "EFFECT_TYPE_AOA_SPRING");
    QCOMPARE(types.valueToKey(3), "EFFECT_TYPE_DIRECT_X_FFB");
}

QTEST_APPLESS_MAIN(TestEffectsSettings)
#include "tst_effectssettings.moc"
