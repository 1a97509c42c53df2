#include "profilefile.h"
#include "threeaxiseffectswidget.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Each case runs in a fresh working directory, where the page keeps "effect_profiles".
struct Workspace
{
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    Workspace() { QDir::setCurrent(dir.path()); }
    ~Workspace() { QDir::setCurrent(previous); }

    void writeProfile(const QString &fileName, int source, const QString &module, const QString &comment = {},
                      void (*edit)(EffectsSettings &) = nullptr)
    {
        QDir().mkpath(QStringLiteral("effect_profiles"));
        EffectsProfile profile;
        profile.metadata = {source, module, comment};
        if (edit)
            edit(profile.settings);
        QVERIFY(writeProfileFile(profile, QStringLiteral("effect_profiles/") + fileName));
    }
};

struct Page
{
    ThreeAxisEffectsWidget widget;
    QSignalSpy sudden{&widget, &ThreeAxisEffectsWidget::suddenValueChange};
    QSignalSpy moderate{&widget, &ThreeAxisEffectsWidget::moderateValueChange};
    QComboBox *profiles = widget.findChild<QComboBox *>(QStringLiteral("profile_combo"));
    QComboBox *games = widget.findChild<QComboBox *>(QStringLiteral("game_combo"));

    void activateRow(int row)
    {
        QMetaObject::invokeMethod(&widget, "on_profile_combo_activated", Q_ARG(int, row));
    }
    int emitted() const { return int(sudden.count() + moderate.count()); }
};

bool anyActive(const AxisEffectsSettings &axis)
{
    const SimpleEffectSettings *effects[] = {
        &axis.airflow_spring, &axis.simple_spring,  &axis.elevator_weight, &axis.aoa_shaker,
        &axis.gear_shaker,    &axis.flaps_shaker,   &axis.airbrake_shaker, &axis.on_ground_shaker,
        &axis.landing_jolt,   &axis.il2_shaker,     &axis.direct_x,        &axis.condor_shaker,
        &axis.smart_damper,   &axis.g_force_spring, &axis.aoa_spring};
    return std::any_of(std::begin(effects), std::end(effects),
                       [](const SimpleEffectSettings *e) { return e->active; });
}

void activeDirectX(EffectsSettings &settings)
{
    for (AxisEffectsSettings &axis : settings.axes) {
        axis.direct_x.active = true;
        axis.direct_x.total_effect_strength = 70;
    }
}

} // namespace

class TestThreeAxisEffectsWidget : public QObject
{
    Q_OBJECT

private slots:
    void allowedEffectsPerSource()
    {
        QCOMPARE(ThreeAxisEffectsWidget::allowedEffects(0).size(), 14);
        QVERIFY(
            !ThreeAxisEffectsWidget::allowedEffects(1).contains(EffectsProfile::EFFECT_TYPE_DIRECT_X_FFB));
        QVERIFY(
            !ThreeAxisEffectsWidget::allowedEffects(4).contains(EffectsProfile::EFFECT_TYPE_LANDING_JOLT));
        QCOMPARE(ThreeAxisEffectsWidget::allowedEffects(5), (QSet<int>{0, 1, 2, 3, 5, 7, 12, 13, 14}));
        // X-Plane: everything its fields feed (gear, airbrake, on ground, sideslip), no DirectX.
        QCOMPARE(ThreeAxisEffectsWidget::allowedEffects(6),
                 (QSet<int>{0, 1, 2, 4, 5, 6, 7, 8, 9, 12, 13, 14, 16}));
        // Trim and autopilot following: MSFS, X-Plane and no simulator only.
        for (int source = 0; source < 7; ++source)
            QCOMPARE(ThreeAxisEffectsWidget::allowedEffects(source).contains(
                         EffectsProfile::EFFECT_TYPE_TRIM_FOLLOWING),
                     source == 0 || source == 1 || source == 6);
        for (int source = 0; source < 7; ++source) {
            QVERIFY(!ThreeAxisEffectsWidget::allowedEffects(source).contains(
                EffectsProfile::EFFECT_TYPE_IL2_SHAKING));
            QVERIFY(!ThreeAxisEffectsWidget::allowedEffects(source).contains(
                EffectsProfile::EFFECT_TYPE_CONDOR_SHAKER));
        }
    }

    void displayText_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("text");
        QTest::newRow("all") << 2 << QStringLiteral("F-16C_50") << QStringLiteral("carrier")
                             << QStringLiteral("F-16C_50 (carrier)[DCS]");
        QTest::newRow("comment only") << 0 << QString() << QStringLiteral("test") << QStringLiteral("test ");
        QTest::newRow("comment equals module")
            << 1 << QStringLiteral("C172") << QStringLiteral("C172") << QStringLiteral("C172 [MSFS]");
        QTest::newRow("empty") << 0 << QString() << QString() << QString();
    }
    void displayText()
    {
        QFETCH(int, source);
        QFETCH(QString, module);
        QFETCH(QString, comment);
        QFETCH(QString, text);
        QCOMPARE(ThreeAxisEffectsWidget::profileDisplayText({source, module, comment}), text);
    }

    void startsOnAnEmptyDirectory()
    {
        Workspace ws;
        Page page;
        QVERIFY(QDir(QStringLiteral("effect_profiles")).exists());
        QCOMPARE(page.profiles->count(), 0);
        QCOMPARE(page.profiles->currentIndex(), -1);
        QCOMPARE(page.games->currentIndex(), 0);
        QCOMPARE(page.games->itemText(3), QStringLiteral("IL2 SHTURMOVIK"));
        for (const AxisEffectsSettings &axis : page.widget.currentProfile().settings.axes)
            QVERIFY(!anyActive(axis));
        QCOMPARE(page.emitted(), 0);
    }

    void unreadableFileListsAsAnEmptyRowThatResets()
    {
        Workspace ws;
        ws.writeProfile(QStringLiteral("DCS_Jet.json"), 2, QStringLiteral("Jet"), {}, activeDirectX);
        QFile readme(QStringLiteral("effect_profiles/readme.txt"));
        QVERIFY(readme.open(QIODevice::WriteOnly));
        readme.write("Put your profiles here.\n");
        readme.close();

        Page page;
        QCOMPARE(page.profiles->count(), 2);
        QCOMPARE(page.profiles->itemText(0), QString()); // sorted: the empty text first
        QCOMPARE(page.profiles->itemText(1), QStringLiteral("Jet [DCS]"));
        page.activateRow(1);
        QVERIFY(page.widget.currentProfile().settings[0].direct_x.active);
        page.activateRow(0);
        QCOMPARE(page.sudden.count(), 2);
        const auto settings = page.sudden.last().at(0).value<EffectsSettings>();
        for (const AxisEffectsSettings &axis : settings.axes)
            QVERIFY(!anyActive(axis));
        QCOMPARE(page.games->currentIndex(), 0);
    }

    void savingHighlightsWithoutEmitting()
    {
        Workspace ws;
        Page page;
        page.games->setCurrentIndex(1);
        QTest::keyClicks(page.widget.findChild<QLineEdit *>(QStringLiteral("flight_module_input")),
                         QStringLiteral("C172"));
        QTest::mouseClick(page.widget.findChild<QPushButton *>(QStringLiteral("save_profile")),
                          Qt::LeftButton);
        QVERIFY(QFile::exists(QStringLiteral("effect_profiles/MSFS_C172.json")));
        QCOMPARE(page.profiles->currentText(), QStringLiteral("C172 [MSFS]"));
        QCOMPARE(page.emitted(), 0);

        // Deleting removes the file, resets the profile, and still emits nothing.
        QTest::mouseClick(page.widget.findChild<QPushButton *>(QStringLiteral("delete_profile")),
                          Qt::LeftButton);
        QVERIFY(!QFile::exists(QStringLiteral("effect_profiles/MSFS_C172.json")));
        QCOMPARE(page.profiles->count(), 0);
        QCOMPARE(page.widget.currentProfile().metadata.flight_module, QString());
        QCOMPARE(page.emitted(), 0);
    }

    void switchingToMsfsDropsDirectX()
    {
        Workspace ws;
        ws.writeProfile(QStringLiteral("DCS_Jet.json"), 2, QStringLiteral("Jet"), {}, activeDirectX);
        Page page;
        page.activateRow(0);
        QCOMPARE(page.sudden.count(), 1);
        QVERIFY(page.sudden.last().at(0).value<EffectsSettings>()[1].direct_x.active);

        page.games->setCurrentIndex(1);
        for (const AxisEffectsSettings &axis : page.widget.currentProfile().settings.axes) {
            QVERIFY(!axis.direct_x.active);
            QCOMPARE(axis.direct_x.total_effect_strength, 0.0f);
        }
        QCOMPARE(page.emitted(), 1);
    }

    void elevatorWeightOnlyOnTheElevator()
    {
        Workspace ws;
        ws.writeProfile(QStringLiteral("DCS_Jet.json"), 2, QStringLiteral("Jet"), {}, [](EffectsSettings &s) {
            for (AxisEffectsSettings &axis : s.axes) {
                axis.elevator_weight.active = true;
                axis.elevator_weight.total_effect_strength = 40;
            }
        });
        Page page;
        page.activateRow(0);
        // Emitted as read; the editor then switches it off where it does not belong.
        QVERIFY(page.sudden.last().at(0).value<EffectsSettings>()[0].elevator_weight.active);
        const EffectsSettings &shown = page.widget.currentProfile().settings;
        QVERIFY(!shown[0].elevator_weight.active);
        QVERIFY(shown[1].elevator_weight.active);
        QVERIFY(!shown[2].elevator_weight.active);
    }

    void automaticActivation()
    {
        Workspace ws;
        ws.writeProfile(QStringLiteral("DCS_F_16C_50.json"), 2, QStringLiteral("F-16C_50"),
                        QStringLiteral("day"));
        ws.writeProfile(QStringLiteral("DCS_F_16C_50_night.json"), 2, QStringLiteral("F-16C_50"),
                        QStringLiteral("night"));
        ws.writeProfile(QStringLiteral("MSFS.json"), 1, QString(), QStringLiteral("any"));
        ws.writeProfile(QStringLiteral("GENERIC.json"), 0, QString());
        Page page;

        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16C_50"));
        QCOMPARE(page.sudden.count(), 1);
        QCOMPARE(page.widget.currentProfile().metadata.comment, QStringLiteral("day")); // lower file name
        QCOMPARE(page.profiles->currentText(), QStringLiteral("F-16C_50 (day)[DCS]"));

        // No fall-back from an aircraft to a source-only profile; source 0 never loads.
        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_MSFS, QStringLiteral("C172"));
        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_NONE, QString());
        QCOMPARE(page.sudden.count(), 1);
        QCOMPARE(page.widget.currentProfile().metadata.comment, QStringLiteral("day"));
        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_MSFS, QString());
        QCOMPARE(page.widget.currentProfile().metadata.comment, QStringLiteral("any"));

        page.widget.disableProfileActivation();
        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16C_50"));
        QCOMPARE(page.sudden.count(), 2);
        page.widget.enableProfileActivation();
        QCOMPARE(page.sudden.count(), 2); // switching on does not re-run a detection
    }

    // After each activation the page says which reported aircraft found no
    // profile; a winner, source none or activation switched off say none,
    // and so does a profile saved for that aircraft.
    void unmatchedAircraftIsSaid()
    {
        Workspace ws;
        ws.writeProfile(QStringLiteral("DCS_F_16C_50.json"), 2, QStringLiteral("F-16C_50"));
        Page page;
        QSignalSpy said(&page.widget, &ThreeAxisEffectsWidget::unmatchedAircraftChanged);
        const auto saidLast = [&] {
            return std::pair(said.last().at(0).value<Telemetry::Source>(), said.last().at(1).toString());
        };
        const std::pair none(Telemetry::TELEMETRY_SOURCE_NONE, QString());
        const std::pair a10(Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("A-10C"));
        const auto dcs = [&](const QString &aircraft) {
            page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_DCS, aircraft);
        };

        dcs(QStringLiteral("F-16C_50"));
        QCOMPARE(saidLast(), none);
        dcs(QStringLiteral("A-10C"));
        QCOMPARE(saidLast(), a10);
        QCOMPARE(page.sudden.count(), 1); // the rules are unchanged: nothing loads
        dcs(QStringLiteral("A-10C"));
        QCOMPARE(said.count(), 3); // said again at each detection
        QCOMPARE(saidLast(), a10);
        dcs(QStringLiteral("f-16c_50")); // case matters, as it does for activation
        QCOMPARE(saidLast(), std::pair(Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("f-16c_50")));

        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_NONE, QString());
        QCOMPARE(saidLast(), none);
        dcs(QStringLiteral("A-10C"));
        page.widget.disableProfileActivation(); // the pilot chooses by hand from now on
        QCOMPARE(saidLast(), none);
        dcs(QStringLiteral("A-10C"));
        QCOMPARE(saidLast(), none);
        page.widget.enableProfileActivation();
        dcs(QStringLiteral("A-10C"));
        QCOMPARE(saidLast(), a10);
        const qsizetype before = said.count();
        // A profile for another aircraft leaves it unmatched; one for it does not.
        page.games->setCurrentIndex(2);
        auto *module = page.widget.findChild<QLineEdit *>(QStringLiteral("flight_module_input"));
        auto *save = page.widget.findChild<QPushButton *>(QStringLiteral("save_profile"));
        module->setText(QStringLiteral("A-10C II"));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(said.count(), before);
        module->setText(QStringLiteral("A-10C"));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(said.count(), before + 1);
        QCOMPARE(saidLast(), none);
    }

    // A profile made from a template is saved under the name its metadata
    // gives, listed, loaded and sent, with only what its source allows; the
    // next detection activates it by the usual rule. An existing file name
    // is refused and the file left as it was.
    void profileFromTemplate()
    {
        Workspace ws;
        Page page;
        QSignalSpy said(&page.widget, &ThreeAxisEffectsWidget::unmatchedAircraftChanged);
        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_CONDOR,
                                            QStringLiteral("Generic glider"));
        QCOMPARE(said.last().at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_CONDOR);

        QString error;
        QVERIFY2(page.widget.createProfileFromTemplate(
                     QStringLiteral(KESTROX_TEMPLATES_SOURCE_DIR "/glider.json"),
                     Telemetry::TELEMETRY_SOURCE_CONDOR, QStringLiteral("Generic glider"), &error),
                 qPrintable(error));
        const QString path = QStringLiteral("effect_profiles/CONDOR2_Generic_glider.json");
        EffectsProfile written;
        QVERIFY(readProfileFile(written, path));
        QCOMPARE(written.metadata, (EffectsProfileMetadata{5, QStringLiteral("Generic glider"), QString()}));
        QVERIFY(written.settings[1].airflow_spring.active);
        QVERIFY(!written.settings[1].airbrake_shaker.active); // Condor 2 reports no airbrakes
        QCOMPARE(page.profiles->count(), 1);
        QCOMPARE(page.profiles->currentText(), QStringLiteral("Generic glider [CONDOR2]"));
        QCOMPARE(page.games->currentIndex(), 5);
        QCOMPARE(page.sudden.count(), 1);
        // What was sent is what was written (the active effects; the rest is not in the file).
        QCOMPARE(settingsToJson(page.sudden.last().at(0).value<EffectsSettings>()),
                 settingsToJson(written.settings));
        QCOMPARE(said.last().at(0).value<Telemetry::Source>(), Telemetry::TELEMETRY_SOURCE_NONE);

        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_CONDOR,
                                            QStringLiteral("Generic glider"));
        QCOMPARE(page.sudden.count(), 2);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QVERIFY(!page.widget.createProfileFromTemplate(
            QStringLiteral(KESTROX_TEMPLATES_SOURCE_DIR "/jet.json"), Telemetry::TELEMETRY_SOURCE_CONDOR,
            QStringLiteral("Generic glider"), &error));
        QCOMPARE(error, path + QStringLiteral(" already exists"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(page.sudden.count(), 2);
        QCOMPARE(page.profiles->count(), 1);
    }

    void xplaneProfilesActivateAndList()
    {
        Workspace ws;
        ws.writeProfile(QStringLiteral("XPLANE_C172_G1000.json"), 6, QStringLiteral("C172"),
                        QStringLiteral("G1000"));
        Page page;
        QVERIFY(page.widget.findChild<QComboBox *>(QStringLiteral("game_combo"))
                    ->findText(QStringLiteral("XPLANE")) == 6);
        page.widget.activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_XPLANE, QStringLiteral("C172"));
        QCOMPARE(page.sudden.count(), 1);
        QCOMPARE(page.profiles->currentText(), QStringLiteral("C172 (G1000)[XPLANE]"));
    }
};

QTEST_MAIN(TestThreeAxisEffectsWidget)
#include "tst_threeaxiseffectswidget.moc"
