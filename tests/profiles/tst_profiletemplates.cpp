// The starter templates: valid profiles with forces a hand can meet, found and offered in order, and
// turned into profiles that carry only the effects their source allows.

#include "commontelemetryforcecalculator.h"
#include "profilefile.h"
#include "profiletemplates.h"
#include "telemetry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

const QString kTemplates = QStringLiteral(KESTROX_TEMPLATES_SOURCE_DIR);

QString templatePath(const QString &kind)
{
    return kTemplates + QLatin1Char('/') + kind + QStringLiteral(".json");
}

// By EffectsProfile::EffectType id.
QList<const SimpleEffectSettings *> effectsOf(const AxisEffectsSettings &axis)
{
    return {&axis.airflow_spring,  &axis.simple_spring,    &axis.elevator_weight, &axis.direct_x,
            &axis.landing_jolt,    &axis.aoa_shaker,       &axis.gear_shaker,     &axis.flaps_shaker,
            &axis.airbrake_shaker, &axis.on_ground_shaker, &axis.il2_shaker,      &axis.condor_shaker,
            &axis.smart_damper,    &axis.g_force_spring,   &axis.aoa_spring};
}

QSet<int> activeIds(const AxisEffectsSettings &axis)
{
    QSet<int> ids;
    const auto effects = effectsOf(axis);
    for (int id = 0; id < effects.size(); ++id) {
        if (effects[id]->active)
            ids.insert(id);
    }
    return ids;
}

bool usableRange(const ExponentialRange &range)
{
    return range.min < range.max && std::fabs(range.exp) <= 100;
}

bool usableCurve(const PointCurve &curve)
{
    for (int i = 1; i < PointCurve::PointCount; ++i) {
        if (!(curve.points[std::size_t(i - 1)].in < curve.points[std::size_t(i)].in))
            return false;
    }
    return curve.defined;
}

} // namespace

class TestProfileTemplates : public QObject
{
    Q_OBJECT

private slots:
    void templatesAreValidProfiles_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"jet", "propeller", "glider", "warthunder"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    // An ordinary profile of no simulator and no aircraft, driving all three axes with effects that work as set;
    // for whatever a simulator reports, every force finite, at most 20 kg steady and 10 kg shaking.
    void templatesAreValidProfiles()
    {
        QFETCH(QString, kind);
        EffectsProfile profile;
        QVERIFY(readProfileFile(profile, templatePath(kind)));
        QCOMPARE(profile.metadata.flight_data_source, 0);
        QCOMPARE(profile.metadata.flight_module, QString());
        QVERIFY(!profile.metadata.comment.isEmpty()); // what the chooser shows beside the kind
        const QSet<int> offeredWithoutSource{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14};
        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
            const AxisEffectsSettings &a = profile.settings[axis];
            const QSet<int> active = activeIds(a);
            QVERIFY2(active.size() >= 2, qPrintable(QString::number(axis)));
            QVERIFY(offeredWithoutSource.contains(active));
            QVERIFY(!(axis != 1 && a.elevator_weight.active));
            for (const SimpleEffectSettings *effect : effectsOf(a)) {
                if (effect->active)
                    QVERIFY(effect->total_effect_strength > 0 && effect->total_effect_strength <= 100);
            }
            for (const CurveSpringSettings *spring : {&a.simple_spring, &a.g_force_spring, &a.aoa_spring}) {
                if (spring->active)
                    QVERIFY(usableCurve(spring->curve));
            }
            const AirflowSpringSettings &airflow = a.airflow_spring;
            if (airflow.active) {
                QVERIFY(0 < airflow.attenuation_start_airspeed
                        && airflow.attenuation_start_airspeed < airflow.attenuation_end_airspeed);
                QVERIFY(airflow.airspeed_force > 0 && airflow.airspeed_force <= 100);
            }
            for (const GenericShakerSettings *shaker :
                 {static_cast<const GenericShakerSettings *>(&a.aoa_shaker), &a.gear_shaker, &a.flaps_shaker,
                  &a.airbrake_shaker, &a.on_ground_shaker,
                  static_cast<const GenericShakerSettings *>(&a.landing_jolt)}) {
                if (shaker->active)
                    QVERIFY(usableRange(shaker->speed) && usableRange(shaker->frequency) && shaker->frequency.min >= 1
                            && shaker->frequency.max <= 200);
            }
            if (a.aoa_shaker.active)
                QVERIFY(usableRange(a.aoa_shaker.aoa));
            if (a.landing_jolt.active)
                QVERIFY(a.landing_jolt.effect_time >= 100 && a.landing_jolt.effect_time <= 1000);
            QVERIFY(a.smart_damper.active);
        }

        CommonTelemetryForceCalculator calculator;
        std::uint64_t time = 1000;
        float steady = 0;
        float shaking = 0;
        for (int speed = 0; speed <= 1000; speed += 50) {
            for (float g : {-10.0f, -3.0f, 0.0f, 1.0f, 5.0f, 9.0f, 10.0f}) {
                for (float aoa : {-20.0f, 0.0f, 12.0f, 20.0f, 30.0f}) {
                    Telemetry t;
                    t.airspeed = float(speed);
                    t.gForce = g;
                    t.aoa = aoa;
                    t.sideslip = aoa / 2;
                    t.propAirflow = 100;
                    t.gear = t.flaps = t.airbrake = 100;
                    t.onGround = speed < 300;
                    calculator.touchdown(time, t.clampedAirspeed(), 15.0f, profile.settings);
                    for (float position : {-1.0f, -0.5f, 0.0f, 0.3f, 1.0f}) {
                        time += 7;
                        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
                            AxisForces forces;
                            calculator.composeAxis(forces, axis, time, position, t, profile.settings);
                            QVERIFY(isFinite(forces));
                            steady = std::max(steady, std::fabs(forces.force));
                            shaking = std::max(shaking, std::fabs(forces.periodic));
                        }
                    }
                }
            }
        }
        QVERIFY2(steady <= 20.0f, qPrintable(QString::number(steady)));
        QVERIFY2(shaking <= 10.0f, qPrintable(QString::number(shaking)));
    }

    // The feel the templates promise (docs/profile-templates.md), worked out by hand from the effect formulas.
    void forcesAsDocumented_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("axis");
        QTest::addColumn<float>("position");
        QTest::addColumn<float>("airspeed");
        QTest::addColumn<float>("gForce");
        QTest::addColumn<float>("thrust");
        QTest::addColumn<float>("force");
        // Jet: 10 kg at full deflection on the curve, 80 % on the elevator; 1.2 kg per G above 1 G, at 100 %.
        QTest::newRow("jet elevator, full back, 1 G") << "jet" << 1 << 1.0f << 400.0f << 1.0f << 0.0f << -8.0f;
        QTest::newRow("jet elevator, centred, 5 G") << "jet" << 1 << 0.0f << 400.0f << 5.0f << 0.0f << -4.8f;
        // Half deflection: 4.4 kg on the curve, 60 % on the ailerons.
        QTest::newRow("jet ailerons, half") << "jet" << 0 << 0.5f << 400.0f << 1.0f << 0.0f << -2.64f;
        // Propeller: speed term 50 at the attenuation start (250 km/h), 100 from its end (600 km/h); elevator 15 %.
        QTest::newRow("propeller elevator, 250 km/h") << "propeller" << 1 << 1.0f << 250.0f << 1.0f << 0.0f << -7.5f;
        QTest::newRow("propeller elevator, 700 km/h") << "propeller" << 1 << 1.0f << 700.0f << 1.0f << 0.0f << -15.0f;
        // Standing still at full throttle: prop wash 60 x 0.5 = 30 at 15 %.
        QTest::newRow("propeller rudder, prop wash") << "propeller" << 2 << 1.0f << 0.0f << 1.0f << 100.0f << -4.5f;
        QTest::newRow("propeller ailerons, no prop wash") << "propeller" << 0 << 1.0f << 0.0f << 1.0f << 100.0f << 0.0f;
        // Glider: speed term 50 at 120 km/h, 7 % on the ailerons; 2 G in a thermal: 1 kg more on the elevator.
        QTest::newRow("glider ailerons, full, 120 km/h") << "glider" << 0 << 1.0f << 120.0f << 1.0f << 0.0f << -3.5f;
        QTest::newRow("glider elevator, centred, 2 G") << "glider" << 1 << 0.0f << 120.0f << 2.0f << 0.0f << -1.0f;
        QTest::newRow("warthunder elevator, full, 300 km/h")
            << "warthunder" << 1 << 1.0f << 300.0f << 1.0f << 0.0f << -6.0f;
    }
    void forcesAsDocumented()
    {
        QFETCH(QString, kind);
        QFETCH(int, axis);
        QFETCH(float, position);
        QFETCH(float, airspeed);
        QFETCH(float, gForce);
        QFETCH(float, thrust);
        QFETCH(float, force);
        EffectsProfile profile;
        QVERIFY(readProfileFile(profile, templatePath(kind)));
        Telemetry telemetry;
        telemetry.airspeed = airspeed;
        telemetry.gForce = gForce;
        telemetry.propAirflow = thrust;
        AxisForces forces;
        CommonTelemetryForceCalculator().composeAxis(forces, axis, 1000, position, telemetry, profile.settings);
        QVERIFY2(std::fabs(forces.force - force) < 0.01f, qPrintable(QString::number(forces.force)));
    }

    // Only the folder KESTROX_TEMPLATES_DIR names; else installed, in the build tree, then the data folders.
    void folders()
    {
        QCOMPARE(ProfileTemplates::foldersFor(
                     QStringLiteral("/opt/k/bin"),
                     {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share/")}, QString()),
                 (QStringList{QStringLiteral("/opt/k/share/kestrox/templates"),
                              QStringLiteral("/opt/k/bin/templates"),
                              QStringLiteral("/usr/local/share/kestrox/templates"),
                              QStringLiteral("/usr/share/kestrox/templates")}));
        QCOMPARE(ProfileTemplates::foldersFor(QStringLiteral("/opt/k/bin"), {QStringLiteral("/usr/share")},
                                              QStringLiteral("/home/p/tpl/")),
                 QStringList{QStringLiteral("/home/p/tpl")});
    }

    void fittingTemplateFirst_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QStringList>("kinds");
        const QString jet = QStringLiteral("jet"), propeller = QStringLiteral("propeller"),
                      glider = QStringLiteral("glider"), warthunder = QStringLiteral("warthunder");
        QTest::newRow("DCS") << 2 << QStringList{jet, propeller, glider, warthunder};
        QTest::newRow("MSFS") << 1 << QStringList{propeller, jet, glider, warthunder};
        QTest::newRow("IL-2") << 3 << QStringList{propeller, jet, glider, warthunder};
        QTest::newRow("War Thunder") << 4 << QStringList{warthunder, jet, propeller, glider};
        QTest::newRow("Condor 2") << 5 << QStringList{glider, jet, propeller, warthunder};
        QTest::newRow("X-Plane") << 6 << QStringList{propeller, jet, glider, warthunder};
    }
    void fittingTemplateFirst()
    {
        QFETCH(int, source);
        QFETCH(QStringList, kinds);
        QStringList found;
        for (const ProfileTemplates::Template &entry : ProfileTemplates::find({kTemplates}, source)) {
            found << entry.kind;
            QCOMPARE(entry.path, QDir(kTemplates).absoluteFilePath(entry.kind + QStringLiteral(".json")));
        }
        QCOMPARE(found, kinds);
    }

    // A kind comes from the first folder that has it; what is not a profile is left out.
    void firstFolderWins()
    {
        QTemporaryDir own;
        QTemporaryDir shipped;
        const auto write = [](const QString &path, const QByteArray &text) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        write(own.filePath(QStringLiteral("jet.json")), R"({"metadata": {"comment": "mine"}})");
        write(own.filePath(QStringLiteral("broken.json")), "not a profile");
        write(own.filePath(QStringLiteral("readme.txt")), "{}");
        write(shipped.filePath(QStringLiteral("jet.json")), R"({"metadata": {"comment": "shipped"}})");
        write(shipped.filePath(QStringLiteral("aerobatic.json")), R"({"metadata": {"comment": "loops"}})");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("broken.json.*is not a profile")));
        const auto found =
            ProfileTemplates::find({own.path(), QStringLiteral("/nonexistent"), shipped.path()}, 2);
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].kind, QStringLiteral("jet"));
        QCOMPARE(found[0].description, QStringLiteral("mine"));
        QCOMPARE(found[1].kind, QStringLiteral("aerobatic"));
        QVERIFY(ProfileTemplates::named(found, QStringLiteral("glider")).path.isEmpty());
    }

    // The profile made for a source carries only what the editor offers for it.
    void madeProfileKeepsAllowedEffects_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("source");
        QTest::addColumn<QList<int>>("allowed");  // the editor's set for the source
        QTest::addColumn<QList<int>>("elevator"); // what the elevator keeps
        QTest::newRow("jet in War Thunder: no landing jolt")
            << "jet" << 4 << QList<int>{0, 1, 2, 3, 5, 6, 7, 8, 12, 13, 14} << QList<int>{1, 5, 6, 8, 12, 13};
        QTest::newRow("glider in Condor 2: no airbrakes")
            << "glider" << 5 << QList<int>{0, 1, 2, 3, 5, 7, 12, 13, 14} << QList<int>{0, 5, 12, 13};
    }
    void madeProfileKeepsAllowedEffects()
    {
        QFETCH(QString, kind);
        QFETCH(int, source);
        QFETCH(QList<int>, allowed);
        QFETCH(QList<int>, elevator);
        const EffectsProfileMetadata metadata{source, QStringLiteral("Generic warbird"), QString()};
        const QSet<int> keep(allowed.begin(), allowed.end());
        EffectsProfile profile;
        QString error;
        QVERIFY(ProfileTemplates::profileFromTemplate(profile, templatePath(kind), metadata, keep, &error));
        QCOMPARE(profile.metadata, metadata);
        QCOMPARE(activeIds(profile.settings[1]), QSet<int>(elevator.begin(), elevator.end()));
        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
            const auto effects = effectsOf(profile.settings[axis]);
            for (int id = 0; id < effects.size(); ++id) {
                if (!allowed.contains(id))
                    QCOMPARE(*effects[id], (SimpleEffectSettings{false, 0.0f}));
            }
        }

        // Elevator weight set anywhere stays on the elevator only; trim following, offered for none of these, goes.
        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis)
            profile.settings[axis].elevator_weight = {true, 30.0f};
        profile.settings[1].trim_following.active = true;
        profile.settings[1].trim_following.total_effect_strength = 100;
        ProfileTemplates::keepAllowedEffects(profile.settings, keep);
        QVERIFY(!profile.settings[0].elevator_weight.active && !profile.settings[2].elevator_weight.active);
        QCOMPARE(profile.settings[1].elevator_weight, (SimpleEffectSettings{true, 30.0f}));
        QVERIFY(!profile.settings[1].trim_following.active);
        QCOMPARE(profile.settings[1].trim_following.total_effect_strength, 0.0f);

        const QString none = kTemplates + QStringLiteral("/none.json");
        QVERIFY(!ProfileTemplates::profileFromTemplate(profile, none, metadata, {}, &error));
        QCOMPARE(error, QStringLiteral("the template %1 cannot be read as a profile").arg(none));
    }
};

QTEST_GUILESS_MAIN(TestProfileTemplates)
#include "tst_profiletemplates.moc"
