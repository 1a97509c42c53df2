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

// Straight curves through the origin, a different slope for each spring.
void giveCurves(EffectsProfile &profile, float slope)
{
    for (AxisEffectsSettings &axis : profile.settings.axes) {
        for (CurveSpringSettings *spring : {&axis.simple_spring, &axis.g_force_spring, &axis.aoa_spring}) {
            PointCurve::Points points;
            for (std::size_t i = 0; i < points.size(); ++i) {
                const float in = 20.0f * static_cast<float>(i) - 100.0f;
                points[i] = {in, slope * in};
            }
            spring->curve.setPoints(points);
            slope *= 1.5f;
        }
    }
}

// A profile as the editor leaves it: reset, some effects raised on each axis,
// fractional values included, inactive springs with curves of their own.
EffectsProfile sampleProfile()
{
    EffectsProfile profile;
    resetProfile(profile);
    profile.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F/A-18C Hornet"),
                        QStringLiteral("carrier ops \u00e9")};
    giveCurves(profile, 0.5f);
    profile.settings[0].simple_spring.active = true;
    profile.settings[0].direct_x = {{true, 100.0f}, 12.5f, 20.0f, 0.0f};
    profile.settings[1].elevator_weight = {true, 33.7f};
    profile.settings[1].aoa_shaker.active = true;
    profile.settings[1].aoa_shaker.aoa = {8.0f, 18.0f, 0.1f};
    profile.settings[1].airflow_spring.active = true;
    profile.settings[1].airflow_spring.setAttenuation(250.0f, 800.0f);
    profile.settings[2].landing_jolt.active = true;
    profile.settings[2].landing_jolt.effect_time = 400;
    profile.settings[2].smart_damper = {{true, 0.0f}, 250.0f, 0.0f};
    profile.settings[2].g_force_spring.active = true;
    return profile;
}

// A receiving profile that differs everywhere: metadata, effects, curves.
EffectsProfile differentProfile()
{
    EffectsProfile profile;
    profile.metadata = {Telemetry::TELEMETRY_SOURCE_MSFS, QStringLiteral("C172"), QStringLiteral("old")};
    giveCurves(profile, -1.0f);
    for (AxisEffectsSettings &axis : profile.settings.axes)
        axis.gear_shaker = {{true, 90.0f}, {}, {}};
    return profile;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
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
        QTest::newRow("x-plane") << 6 << QStringLiteral("C172") << QStringLiteral("G1000")
                                 << QStringLiteral("XPLANE_C172_G1000.json");
        QTest::newRow("cyrillic") << 0 << QStringLiteral("\u042f\u043a-3") << QString()
                                  << QStringLiteral("GENERIC____3.json");
        QTest::newRow("outside the BMP counts once")
            << 4 << QStringLiteral("A\U0001F680B") << QString() << QStringLiteral("WARTHUNDER_A_B.json");
        QTest::newRow("il2 keeps its blank")
            << 3 << QStringLiteral("Bf 109") << QString() << QStringLiteral("IL2 SHTURMOVIK_Bf_109.json");
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
        const EffectsProfile written = sampleProfile();
        const QString path = dir.filePath(profileFileName(written.metadata));
        QVERIFY(writeProfileFile(written, path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("DCS_F_A_18C_Hornet_carrier_ops__.json")});
        // Qt's indented writer, floats as doubles.
        const QByteArray text = readAll(path);
        QVERIFY(text.startsWith("{\n    \"effects\": {\n        \"ailerons\": {"));
        QVERIFY(text.contains("\"total_effect_strength\": 33.70000076293945"));

        EffectsProfile read = differentProfile();
        const EffectsProfile before = read;
        QVERIFY(readProfileFile(read, path));
        // Inactive springs keep the receiving profile's curves: theirs are not written.
        EffectsProfile expected = written;
        for (int axis = 0; axis < EffectsSettings::AxisCount; ++axis) {
            for (auto spring : {&AxisEffectsSettings::simple_spring, &AxisEffectsSettings::g_force_spring,
                                &AxisEffectsSettings::aoa_spring}) {
                if (!(expected.settings[axis].*spring).active)
                    (expected.settings[axis].*spring).curve = (before.settings[axis].*spring).curve;
            }
        }
        QVERIFY(read == expected);
    }

    void similarNamesShareTheFile()
    {
        QTemporaryDir dir;
        EffectsProfile first;
        first.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16"), QString()};
        first.settings[0].elevator_weight = {true, 10.0f};
        EffectsProfile second;
        resetProfile(second);
        second.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F 16"), QString()};
        QCOMPARE(profileFileName(first.metadata), QStringLiteral("DCS_F_16.json"));
        QCOMPARE(profileFileName(second.metadata), profileFileName(first.metadata));

        const QString path = dir.filePath(profileFileName(first.metadata));
        QVERIFY(writeProfileFile(first, path));
        QVERIFY(writeProfileFile(second, path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        EffectsProfile read;
        readProfileFile(read, path);
        QCOMPARE(read, second);
    }

    // A new profile takes a free name only: a file already there, even one
    // of another profile that shares the name, stays as it was.
    void newFileNeverReplaces()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("DCS_F_16.json"));
        QString error;
        QVERIFY2(writeNewProfileFile(sampleProfile(), path, &error), qPrintable(error));
        EffectsProfile read;
        QVERIFY(readProfileFile(read, path));
        QCOMPARE(read.metadata, sampleProfile().metadata);
        QVERIFY(QFileInfo(path).permissions().testFlag(QFileDevice::ReadOther));
        const QByteArray first = readAll(path);

        EffectsProfile other;
        other.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F 16"), QString()};
        QVERIFY(!writeNewProfileFile(other, path, &error));
        QCOMPARE(error, path + QStringLiteral(" already exists"));
        QCOMPARE(readAll(path), first);
        // No half-written or temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("DCS_F_16.json")});

        const QString nowhere = dir.filePath(QStringLiteral("missing/GENERIC.json"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot create a profile in")));
        QVERIFY(!writeNewProfileFile(other, nowhere, &error));
        QVERIFY(error.startsWith(QStringLiteral("cannot write in ")));
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    void damagedFileReadsAsReset_data()
    {
        QTest::addColumn<QByteArray>("text"); // null: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("empty array") << QByteArray("[]");
        QTest::newRow("not json") << QByteArray("effects: all of them");
        QTest::newRow("members of the wrong type") << QByteArray("{\"metadata\": [], \"effects\": \"none\"}");
        QTest::newRow("axes of the wrong type")
            << QByteArray("{\"effects\": {\"ailerons\": 1, \"elevator\": [], \"rudder\": null}}");
    }

    void damagedFileReadsAsReset()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("damaged.json"));
        QFile file(path);
        if (!text.isNull())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush());

        EffectsProfile profile = differentProfile();
        EffectsProfile expected = profile;
        resetProfile(expected); // the curves stay
        readProfileFile(profile, path);
        QCOMPARE(profile, expected);
    }

    void source_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.0") << QJsonValue(2.0) << 2;
        QTest::newRow("5") << QJsonValue(5) << 5;
        QTest::newRow("string 2") << QJsonValue(QStringLiteral("2")) << 0;
        QTest::newRow("2.5") << QJsonValue(2.5) << 0;
        QTest::newRow("x-plane") << QJsonValue(6) << 6;
        QTest::newRow("above the known sources") << QJsonValue(7) << 0;
        QTest::newRow("negative") << QJsonValue(-1) << 0;
        QTest::newRow("beyond 32 bits") << QJsonValue(4294967298.0) << 0;
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 0;
    }

    void source()
    {
        // Beside each source, a flight module given as a number reads empty.
        QFETCH(QJsonValue, value);
        QFETCH(int, expected);
        QJsonObject metadata{{QStringLiteral("flight_module"), 172},
                             {QStringLiteral("comment"), QStringLiteral("c")}};
        if (!value.isUndefined())
            metadata.insert(QStringLiteral("flight_data_source"), value);
        EffectsProfile profile = differentProfile();
        profileFromJson(profile, QJsonObject{{QStringLiteral("metadata"), metadata}});
        QCOMPARE(profile.metadata, (EffectsProfileMetadata{expected, QString(), QStringLiteral("c")}));
    }

    void missingAxesAreReset()
    {
        const QJsonObject document = QJsonDocument::fromJson(R"({"effects": {"elevator":
            {"elevator_weight": {"active": true, "total_effect_strength": 40}}}})")
                                         .object();
        EffectsProfile profile = differentProfile();
        EffectsProfile expected = profile;
        resetProfile(expected);
        expected.settings[1].elevator_weight = {true, 40.0f};
        profileFromJson(profile, document);
        QCOMPARE(profile, expected);
    }

    void failedWrites()
    {
        QTemporaryDir dir;
        const QRegularExpression warning(QStringLiteral("cannot write profile"));
        const QString nowhere = dir.filePath(QStringLiteral("missing/GENERIC.json"));
        QTest::ignoreMessage(QtWarningMsg, warning);
        QVERIFY(!writeProfileFile(EffectsProfile(), nowhere));
        QVERIFY(!QFileInfo::exists(nowhere));

        // A failed replacement leaves the old file as it was.
        const QString path = dir.filePath(QStringLiteral("GENERIC.json"));
        QVERIFY(writeProfileFile(sampleProfile(), path));
        const QByteArray old = readAll(path);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool writable = QFileInfo(dir.path()).isWritable();
        if (!writable) {
            QTest::ignoreMessage(QtWarningMsg, warning);
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
