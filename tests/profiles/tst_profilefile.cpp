#include "profilefile.h"
#include "telemetry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

PointCurve curveWithSlope(float slope)
{
    PointCurve curve;
    PointCurve::Points points;
    for (int i = 0; i < PointCurve::PointCount; ++i) {
        const float in = -100.0f + 20.0f * static_cast<float>(i);
        points[static_cast<std::size_t>(i)] = {in, slope * in};
    }
    curve.setPoints(points);
    return curve;
}

// A profile as the editor leaves it: reset, some effects raised on each axis,
// fractional values included, one inactive spring with a curve of its own.
EffectsProfile sampleProfile()
{
    EffectsProfile profile;
    resetProfile(profile);
    profile.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F/A-18C Hornet"),
                        QStringLiteral("carrier ops \u00e9")};
    for (AxisEffectsSettings &axis : profile.settings.axes) {
        axis.simple_spring.curve = curveWithSlope(0.5f);
        axis.g_force_spring.curve = curveWithSlope(0.25f);
        axis.aoa_spring.curve = curveWithSlope(0.75f);
    }

    AxisEffectsSettings &ailerons = profile.settings[0];
    ailerons.simple_spring.active = true;
    ailerons.simple_spring.total_effect_strength = 45.0f;
    ailerons.direct_x = {};
    ailerons.direct_x.active = true;
    ailerons.direct_x.total_effect_strength = 100.0f;
    ailerons.direct_x.force = 20.0f;
    ailerons.direct_x.trimmer = 12.5f;

    AxisEffectsSettings &elevator = profile.settings[1];
    elevator.elevator_weight = {true, 33.7f};
    elevator.aoa_shaker.active = true;
    elevator.aoa_shaker.total_effect_strength = 60.0f;
    elevator.aoa_shaker.speed = {100.0f, 400.0f, -20.0f};
    elevator.aoa_shaker.aoa = {8.0f, 18.0f, 0.1f};
    elevator.airflow_spring.active = true;
    elevator.airflow_spring.total_effect_strength = 70.0f;
    elevator.airflow_spring.airspeed_force = 50.0f;
    elevator.airflow_spring.setAttenuation(250.0f, 800.0f);

    AxisEffectsSettings &rudder = profile.settings[2];
    rudder.landing_jolt.active = true;
    rudder.landing_jolt.total_effect_strength = 80.0f;
    rudder.landing_jolt.effect_time = 400;
    rudder.smart_damper = {};
    rudder.smart_damper.active = true;
    rudder.smart_damper.static_dampening = 250.0f;
    rudder.g_force_spring.active = true;
    rudder.g_force_spring.total_effect_strength = 30.0f;
    return profile;
}

// A receiving profile that differs everywhere: other metadata, other active
// effects, other curves.
EffectsProfile differentProfile()
{
    EffectsProfile profile;
    profile.metadata = {Telemetry::TELEMETRY_SOURCE_MSFS, QStringLiteral("C172"), QStringLiteral("old")};
    for (AxisEffectsSettings &axis : profile.settings.axes) {
        axis.gear_shaker.active = true;
        axis.gear_shaker.total_effect_strength = 90.0f;
        axis.simple_spring.curve = curveWithSlope(-1.0f);
        axis.g_force_spring.curve = curveWithSlope(-0.5f);
        axis.aoa_spring.curve = curveWithSlope(-0.25f);
    }
    return profile;
}

bool anyEffectActive(const AxisEffectsSettings &axis)
{
    return !axis.toJson().isEmpty();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void sourceNames()
    {
        const QStringList expected = {QStringLiteral("DISABLED"),   QStringLiteral("MSFS"),
                                      QStringLiteral("DCS"),        QStringLiteral("IL2 SHTURMOVIK"),
                                      QStringLiteral("WARTHUNDER"), QStringLiteral("CONDOR2")};
        for (int source = 0; source < Telemetry::SourceCount; ++source)
            QCOMPARE(sourceName(source), expected.at(source));
        QVERIFY(sourceName(-1).isEmpty());
        QVERIFY(sourceName(6).isEmpty());
    }

    void fileName_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("expected");

        QTest::newRow("generic") << 0 << QString() << QString() << QStringLiteral("GENERIC.json");
        QTest::newRow("dcs hornet") << 2 << QStringLiteral("F/A-18C Hornet") << QStringLiteral("carrier ops")
                                    << QStringLiteral("DCS_F_A_18C_Hornet_carrier_ops.json");
        QTest::newRow("comment only")
            << 1 << QString() << QStringLiteral("test") << QStringLiteral("MSFS_test.json");
        QTest::newRow("condor") << 5 << QStringLiteral("ASK 21") << QString()
                                << QStringLiteral("CONDOR2_ASK_21.json");
        QTest::newRow("cyrillic") << 0 << QStringLiteral("\u042f\u043a-3") << QString()
                                  << QStringLiteral("GENERIC____3.json");
        QTest::newRow("outside the BMP counts once")
            << 4 << QStringLiteral("A\U0001F680B") << QString() << QStringLiteral("WARTHUNDER_A_B.json");
        QTest::newRow("il2 keeps its blank") << 3 << QStringLiteral("Bf 109 G-6") << QString()
                                             << QStringLiteral("IL2 SHTURMOVIK_Bf_109_G_6.json");
        QTest::newRow("no path separators") << 0 << QStringLiteral("../../etc") << QStringLiteral("a\\b")
                                            << QStringLiteral("GENERIC_______etc_a_b.json");
    }

    void fileName()
    {
        QFETCH(int, source);
        QFETCH(QString, module);
        QFETCH(QString, comment);
        QFETCH(QString, expected);
        QCOMPARE(profileFileName({source, module, comment}), expected);
    }

    void writtenAndReadBack()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const EffectsProfile written = sampleProfile();
        const QString path = dir.filePath(profileFileName(written.metadata));
        QVERIFY(writeProfileFile(written, path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("DCS_F_A_18C_Hornet_carrier_ops__.json")});

        EffectsProfile read = differentProfile();
        const EffectsProfile before = read;
        QVERIFY(readProfileFile(read, path));

        // Active effects come back as written; the inactive springs keep the
        // receiving profile's curves because their curves were not written.
        EffectsProfile expected = written;
        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
            for (CurveSpringSettings AxisEffectsSettings::*spring :
                 {&AxisEffectsSettings::simple_spring, &AxisEffectsSettings::g_force_spring,
                  &AxisEffectsSettings::aoa_spring}) {
                if (!(expected.settings[axis].*spring).active)
                    (expected.settings[axis].*spring).curve = (before.settings[axis].*spring).curve;
            }
        }
        QCOMPARE(read.metadata, written.metadata);
        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis)
            QVERIFY2(read.settings[axis] == expected.settings[axis], qPrintable(QString::number(axis)));
        QCOMPARE(read.settings[1].elevator_weight.total_effect_strength, 33.7f);
    }

    void documentLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("layout.json"));
        QVERIFY(writeProfileFile(sampleProfile(), path));
        const QByteArray text = readAll(path);

        // Qt's indented writer: four spaces a level, keys in ascending order.
        QVERIFY(text.startsWith("{\n    \"effects\": {\n        \"ailerons\": {"));
        QVERIFY(text.indexOf("\"effects\"") < text.indexOf("\"metadata\""));
        QVERIFY(text.indexOf("\"ailerons\"") < text.indexOf("\"elevator\""));
        QVERIFY(text.indexOf("\"elevator\"") < text.indexOf("\"rudder\""));
        QVERIFY(text.contains("\"flight_data_source\": 2,"));
        QVERIFY(text.contains("\"total_effect_strength\": 45\n"));
        QVERIFY(text.contains("\"total_effect_strength\": 33.70000076293945"));

        // Every metadata member is written, empty strings included.
        EffectsProfile empty;
        QVERIFY(writeProfileFile(empty, path));
        const QJsonObject metadata =
            QJsonDocument::fromJson(readAll(path)).object().value(u"metadata").toObject();
        QCOMPARE(metadata.keys(),
                 (QStringList{QStringLiteral("comment"), QStringLiteral("flight_data_source"),
                              QStringLiteral("flight_module")}));
        QCOMPARE(metadata.value(u"comment"), QJsonValue(QString()));
    }

    void sameNameReplacesTheFile()
    {
        QTemporaryDir dir;
        EffectsProfile first;
        first.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16"), QString()};
        first.settings[0].elevator_weight = {true, 10.0f};
        EffectsProfile second;
        second.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F 16"), QString()};
        second.settings[1].elevator_weight = {true, 20.0f};

        QCOMPARE(profileFileName(first.metadata), QStringLiteral("DCS_F_16.json"));
        QCOMPARE(profileFileName(second.metadata), profileFileName(first.metadata));
        const QString path = dir.filePath(profileFileName(first.metadata));
        QVERIFY(writeProfileFile(first, path));
        QVERIFY(writeProfileFile(second, path));

        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        EffectsProfile read;
        readProfileFile(read, path);
        QCOMPARE(read.metadata.flight_module, QStringLiteral("F 16"));
        QVERIFY(!read.settings[0].elevator_weight.active);
        QCOMPARE(read.settings[1].elevator_weight.total_effect_strength, 20.0f);
    }

    void damagedFileReadsAsReset_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty array") << QByteArray("[]");
        QTest::newRow("not json") << QByteArray("effects: all of them");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated") << QByteArray("{\"metadata\": {\"flight_data_source\": 2, \"flight_mod");
        QTest::newRow("members of the wrong type") << QByteArray("{\"metadata\": [], \"effects\": \"none\"}");
        QTest::newRow("axes of the wrong type")
            << QByteArray("{\"effects\": {\"ailerons\": 1, \"elevator\": [], \"rudder\": null}}");
    }

    void damagedFileReadsAsReset()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("damaged.json"));
        QVERIFY(writeText(path, text));

        EffectsProfile profile = differentProfile();
        const EffectsProfile before = profile;
        readProfileFile(profile, path);

        EffectsProfile expected = before;
        resetProfile(expected);
        QVERIFY(profile == expected);
        QCOMPARE(profile.metadata, EffectsProfileMetadata());
        for (const AxisEffectsSettings &axis : profile.settings.axes)
            QVERIFY(!anyEffectActive(axis));
        QCOMPARE(profile.settings[1].simple_spring.curve, before.settings[1].simple_spring.curve);
    }

    void missingFileReadsAsReset()
    {
        QTemporaryDir dir;
        EffectsProfile profile = differentProfile();
        QVERIFY(!readProfileFile(profile, dir.filePath(QStringLiteral("absent.json"))));
        QCOMPARE(profile.metadata, EffectsProfileMetadata());
        QVERIFY(!anyEffectActive(profile.settings[0]));
    }

    void source_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.0") << QJsonValue(2.0) << 2;
        QTest::newRow("5") << QJsonValue(5) << 5;
        QTest::newRow("string 2") << QJsonValue(QStringLiteral("2")) << 0;
        QTest::newRow("2.5") << QJsonValue(2.5) << 0;
        QTest::newRow("above the known sources") << QJsonValue(6) << 0;
        QTest::newRow("negative") << QJsonValue(-1) << 0;
        QTest::newRow("beyond 32 bits") << QJsonValue(4294967298.0) << 0;
        QTest::newRow("boolean") << QJsonValue(true) << 0;
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 0;
    }

    void source()
    {
        QFETCH(QJsonValue, value);
        QFETCH(int, expected);
        QJsonObject metadata{{QStringLiteral("flight_module"), QStringLiteral("Su-27")}};
        if (!value.isUndefined())
            metadata.insert(QStringLiteral("flight_data_source"), value);
        EffectsProfile profile = differentProfile();
        profileFromJson(profile, QJsonObject{{QStringLiteral("metadata"), metadata}});
        QCOMPARE(profile.metadata.flight_data_source, expected);
        QCOMPARE(profile.metadata.flight_module, QStringLiteral("Su-27"));
    }

    void mistypedStringsReadEmpty()
    {
        const QJsonObject document{
            {QStringLiteral("metadata"),
             QJsonObject{{QStringLiteral("flight_data_source"), 1},
                         {QStringLiteral("flight_module"), 172},
                         {QStringLiteral("comment"), QJsonArray{QStringLiteral("x")}}}}};
        EffectsProfile profile = differentProfile();
        profileFromJson(profile, document);
        QCOMPARE(profile.metadata, (EffectsProfileMetadata{1, QString(), QString()}));
    }

    void missingAxesAreReset()
    {
        QJsonObject elevator{
            {QStringLiteral("elevator_weight"),
             QJsonObject{{QStringLiteral("active"), true}, {QStringLiteral("total_effect_strength"), 40}}}};
        EffectsProfile profile = differentProfile();
        profileFromJson(profile, QJsonObject{{QStringLiteral("effects"),
                                              QJsonObject{{QStringLiteral("elevator"), elevator}}}});
        QVERIFY(!anyEffectActive(profile.settings[0]));
        QVERIFY(!anyEffectActive(profile.settings[2]));
        QVERIFY(profile.settings[1].elevator_weight.active);
        QVERIFY(!profile.settings[1].gear_shaker.active);
        QCOMPARE(profile.settings[1].elevator_weight.total_effect_strength, 40.0f);
    }

    void failedWriteReportsAndCreatesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing/GENERIC.json"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot write profile")));
        QVERIFY(!writeProfileFile(EffectsProfile(), path));
        QVERIFY(!QFileInfo::exists(path));
    }

    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("GENERIC.json"));
        QVERIFY(writeProfileFile(sampleProfile(), path));
        const QByteArray old = readAll(path);

        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool writable = QFileInfo(dir.path()).isWritable();
        if (!writable) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot write profile")));
            QVERIFY(!writeProfileFile(EffectsProfile(), path));
        }
        QFile::setPermissions(dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (writable)
            QSKIP("the directory stays writable for this user (root)");
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
