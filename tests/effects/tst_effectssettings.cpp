#include "effectsmetatypes.h"
#include "effectsprofile.h"
#include "effectssettings.h"
#include "effectstestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QTest>

namespace {

QJsonObject parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestEffectsSettings : public QObject
{
    Q_OBJECT

private slots:
    void resetKeepsTheCurves()
    {
        AxisEffectsSettings axis = everyEffectActive()[0];
        axis.landing_jolt.effect_time = 900;
        axis.reset();
        QVERIFY(axis.toJson().isEmpty()); // nothing active
        QCOMPARE(axis.simple_spring.curve, linearCurve());
        QCOMPARE(axis.landing_jolt.effect_time, std::uint64_t(250));
        QCOMPARE(axis.airflow_spring.attenuation_strength, 0.0f); // in-class 100
        QCOMPARE(axis.airflow_spring.attenuation_curve,
                 AirflowSpringSettings::attenuationCurveFor(500, 1000));
    }

    void singleActiveEffectRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("aoa shaker") << QByteArray(
            R"({"aoa_shaker": {"active": true, "total_effect_strength": 35,
            "speed": {"min": 0, "max": 100, "exp": 0}, "frequency": {"min": 0, "max": 100, "exp": 0},
            "aoa": {"min": 8, "max": 16, "exp": -20}}})");
        QTest::newRow("condor shaker") << QByteArray(R"({"condor_shaker": {"active": true,
            "total_effect_strength": 60, "frequency": {"min": 5, "max": 30, "exp": 20}}})");
        QTest::newRow("trim following") << QByteArray(R"({"trim_following": {"active": true,
            "total_effect_strength": 40, "autopilot": true, "reverse": false}})");
    }

    void singleActiveEffectRoundTrip()
    {
        // Read over every effect active: the others switch off and are not written.
        QFETCH(QByteArray, json);
        AxisEffectsSettings axis = everyEffectActive()[1];
        axis.fromJson(parse(json));
        QCOMPARE(axis.toJson(), parse(json));
    }

    void effectTime_data()
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

    void effectTime()
    {
        QFETCH(QByteArray, member);
        QFETCH(std::uint64_t, expected);
        LandingJoltSettings jolt;
        jolt.fromJson(parse("{\"active\": true" + member + "}"));
        QCOMPARE(jolt.effect_time, expected);
        QCOMPARE(jolt.toJson().value(QLatin1StringView("effect_time")).toInteger(), qint64(expected));
    }

    void curves()
    {
        CurveSpringSettings spring;
        spring.curve = linearCurve();
        spring.fromJson(parse(R"({"active": true})"));
        QCOMPARE(spring.curve, linearCurve()); // no "curve": kept

        // Short arrays and missing members read as zeros.
        spring.fromJson(parse(R"({"curve": [{"in": -50, "out": -3}, {"in": 0}, {"in": 50, "out": 3}]})"));
        PointCurve expected;
        expected.setPoints({CurvePoint{-50.0f, -3.0f}, CurvePoint{}, CurvePoint{50.0f, 3.0f}});
        QCOMPARE(spring.curve, expected);
        QCOMPARE(spring.toJson().value(QLatin1StringView("curve")).toArray().size(), 11);

        spring.curve = PointCurve();
        QVERIFY(!spring.toJson().contains(QLatin1StringView("curve"))); // undefined curves are not written
    }

    void missingAndMistypedMembers()
    {
        AxisEffectsSettings axis = everyEffectActive()[2];
        axis.fromJson(parse(R"({
            "airflow_spring": {"active": false, "total_effect_strength": 40},
            "gear_shaker": {"active": 1, "total_effect_strength": "50", "speed": 5, "frequency": {"max": "x", "exp": 30}},
            "flaps_shaker": 3,
            "direct_x": {"active": true, "trimmer": 80, "force": null},
            "smart_damper": {"active": true, "static_dampening": 1e300}
        })"));
        // An inactive effect keeps its parameters; missing ones read as reset values.
        QCOMPARE(axis.airflow_spring.total_effect_strength, 40.0f);
        QCOMPARE(axis.airflow_spring.attenuation_strength, 0.0f);
        QCOMPARE(axis.gear_shaker, (GenericShakerSettings{{false, 0.0f}, {}, {0.0f, 100.0f, 30.0f}}));
        QCOMPARE(axis.flaps_shaker, GenericShakerSettings());
        QCOMPARE(axis.direct_x, (DirectXSettings{{true, 0.0f}, 80.0f, 0.0f, 0.0f}));
        QCOMPARE(axis.smart_damper.static_dampening, std::numeric_limits<float>::max());
        QCOMPARE(axis.toJson().keys(),
                 (QStringList{QStringLiteral("direct_x"), QStringLiteral("smart_damper")}));
        // No "trim_following": reset, inactive; mistyped flags read false.
        QCOMPARE(axis.trim_following, TrimFollowingSettings());
        axis.fromJson(parse(R"({"trim_following": {"active": true, "total_effect_strength": 50,
                                "autopilot": "yes", "reverse": 1}})"));
        QCOMPARE(axis.trim_following, (TrimFollowingSettings{{true, 50.0f}, false, false}));
    }

    void metaTypes()
    {
        registerEffectsMetaTypes();
        for (const char *name : {"EffectsSettings", "PointCurve", "Forces", "EffectsProfile::EffectType"})
            QVERIFY2(QMetaType::fromName(name).isValid(), name);
        const EffectsSettings settings = everyEffectActive();
        QCOMPARE(QVariant::fromValue(settings).value<EffectsSettings>(), settings);
        QCOMPARE(QMetaEnum::fromType<EffectsProfile::EffectType>().valueToKey(3), "EFFECT_TYPE_DIRECT_X_FFB");
    }
};

QTEST_APPLESS_MAIN(TestEffectsSettings)
#include "tst_effectssettings.moc"
