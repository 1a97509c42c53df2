#include "../telemetry/httptestserver.h"
#include "forcescontrols.h"
#include "healthwidget.h"
#include "mainwindow.h"
#include "noprofilenotice.h"
#include "templatechooserdialog.h"
#include "threeaxiseffectswidget.h"
#include "virtualhidtransport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTabWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {

MainBackgroundThreadOptions virtualWorker()
{
    MainBackgroundThreadOptions options;
    options.hid = VirtualHidTransport::withJoystickAndRudder();
    options.telemetryEndpoints = {.dcsPort = 0, .il2Port = 0, .condor2Port = 0, .warthunderStateUrl = QUrl(QStringLiteral("http://127.0.0.1:9/state")), .simConnect = {}, .msfsAddress = {}};
    return options;
}

// What the update box showed, read while it runs.
struct SeenBox
{
    bool shown = false;
    QString title;
    QString text;
    QString details;
    bool detailsVisible = false;
    QString focused;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    HttpTestServer m_server;

    // Serves a manifest, builds a window and records any box it shows.
    SeenBox runUpdateCheck(const QByteArray &manifest)
    {
        m_server.body = manifest;
        const int before = m_server.requests;
        SeenBox seen;
        QTimer inspector;
        inspector.setInterval(20);
        connect(&inspector, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.shown = true;
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.details = box->detailedText();
            const auto *editor = box->findChild<QTextEdit *>();
            seen.detailsVisible = editor && editor->isVisible();
            if (auto *button = qobject_cast<QPushButton *>(box->focusWidget()))
                seen.focused = button->text();
            box->reject();
        });
        inspector.start();
        {
            MainWindow window(nullptr, virtualWorker());
            [&] { QTRY_COMPARE(m_server.requests, before + 1); }();
            QTest::qWait(300); // the answer's handler runs, and a box would show
        }
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir::setCurrent(m_dir.path());
        qputenv("KESTROX_TEMPLATES_DIR", KESTROX_TEMPLATES_SOURCE_DIR);
        qputenv("KESTROX_UPDATE_URL",
                m_server.url(QStringLiteral("/assets/firmware/version.json")).toEncoded());
        // The update check's result is kept here, not in the user's state folder.
        qputenv("XDG_STATE_HOME", m_dir.filePath(QStringLiteral("state")).toUtf8());
    }

    void windowShape()
    {
        MainWindow window(nullptr, virtualWorker());
        QCOMPARE(window.windowTitle(), QStringLiteral("Kestrox Vantrell (240626)"));
        QCOMPARE(window.size(), QSize(909, 539));
        QVERIFY(window.findChild<QWidget *>(QStringLiteral("effect_settings_widget")));
        QVERIFY(window.findChild<QWidget *>(QStringLiteral("status_widget")));
        QCOMPARE(MainWindow::updateManifestUrl().path(), QStringLiteral("/assets/firmware/version.json"));
        QCOMPARE(MainWindow::downloadsPageUrl().path(), QStringLiteral("/docs/en/downloads.html"));
        // Beside "Effects" and "Live", the "Health" tab; its checks wait until it is shown.
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i)
            names.append(tabs->tabText(i));
        QCOMPARE(names, (QStringList{QStringLiteral("Effects"), QStringLiteral("Live"), QStringLiteral("Health")}));
        auto *health = window.findChild<HealthWidget *>(QStringLiteral("health_tab"));
        QCOMPARE(tabs->indexOf(health), 2); // -1 for none
        QVERIFY(!health->rerunsPeriodically());
        QVERIFY(health->checks().isEmpty());
    }

    void workerFeedsTheStatusPanel()
    {
        MainWindow window(nullptr, virtualWorker());
        auto *joystick = window.findChild<QLineEdit *>(QStringLiteral("joystick_state"));
        QTRY_COMPARE(joystick->text(), QStringLiteral("Connected (Version 131365)"));
    }

    // A recording that cannot start at start-up is said in the window, not
    // only on stderr, however early the telemetry thread found out.
    void startUpRecordingFailureReachesTheWindow()
    {
        MainBackgroundThreadOptions options = virtualWorker();
        options.recordPath = m_dir.filePath(QStringLiteral("missing/folder/flight.kxrec"));
        const int requests = m_server.requests;
        MainWindow window(nullptr, options);
        QTRY_COMPARE(m_server.requests, requests + 1); // its update check, done before the next test's
        auto *file = window.findChild<QLineEdit *>(QStringLiteral("recording_file"));
        QVERIFY(file);
        QTRY_VERIFY(file->text().startsWith(QLatin1String("Recording failed: cannot create ")));
        QVERIFY(file->text().contains(QLatin1String("missing/folder/flight.kxrec")));
    }

    // The forces switch, always in sight: the status bar's button says the
    // state in words, Ctrl+F switches, and the tray menu holds the same
    // switch, "Show window" and "Quit".
    void forcesSwitch()
    {
        const int requests = m_server.requests;
        MainWindow window(nullptr, virtualWorker());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *button = window.findChild<QPushButton *>(QStringLiteral("forces_switch"));
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->text(), QStringLiteral("Forces on"));
        QSignalSpy switched(window.worker(), &MainBackgroundThread::forcesEnabledChanged);
        button->click();
        QTRY_COMPARE(switched.count(), 1);
        QTRY_COMPARE(button->text(), QStringLiteral("Forces off"));
        QVERIFY(!button->isChecked());
        QMenu *menu = window.forcesControls()->trayMenu();
        QStringList items;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                items << action->text();
        }
        QCOMPARE(items, (QStringList{QStringLiteral("Forces off"), QStringLiteral("Show window"), QStringLiteral("Quit")}));
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(switched.count(), 2);
        QTRY_COMPARE(button->text(), QStringLiteral("Forces on"));
        window.forcesControls()->trayAction()->trigger();
        QTRY_COMPARE(switched.count(), 3);
        QCOMPARE(switched.last().at(0).toBool(), false);
        // Two toggles quicker than the output loop confirms (a desktop key
        // pressed twice): on, then off again.
        window.toggleForces();
        window.toggleForces();
        QTRY_COMPARE(switched.count(), 5);
        QCOMPARE(switched.at(3).at(0).toBool(), true);
        QCOMPARE(switched.at(4).at(0).toBool(), false);
        QTRY_COMPARE(m_server.requests, requests + 1);
    }

    // "No profile for …" in the status bar, left of the forces switch, while
    // the reported aircraft has no profile; "Create from template…" offers the
    // templates, the simulator's first, and makes, saves and loads the
    // profile. Never while a profile was found or activation is off, a
    // refusal said in a box (the page's tests keep the file), and gone when
    // the telemetry ends.
    void noProfileNotice()
    {
        QDir(m_dir.filePath(QStringLiteral("effect_profiles"))).removeRecursively();
        const int requests = m_server.requests;
        MainWindow window(nullptr, virtualWorker());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *notice = window.findChild<QLabel *>(QStringLiteral("no_profile_notice"));
        auto *create = window.findChild<QPushButton *>(QStringLiteral("create_from_template"));
        auto *forces = window.findChild<QPushButton *>(QStringLiteral("forces_switch"));
        auto *effects = window.findChild<ThreeAxisEffectsWidget *>(QStringLiteral("effect_settings_widget"));
        QVERIFY(notice && create && forces && effects);
        QVERIFY(!notice->isVisible() && !create->isVisible());
        QSignalSpy activations(effects, &ThreeAxisEffectsWidget::unmatchedAircraftChanged);
        MainBackgroundThread *worker = window.worker();
        // As the worker reports, from its own thread.
        const auto detect = [&](const QString &aircraft) {
            const qsizetype before = activations.count();
            QMetaObject::invokeMethod(worker, [worker, aircraft] {
                emit worker->telemetrySourceChanged(Telemetry::TELEMETRY_SOURCE_DCS, aircraft);
            });
            QTRY_COMPARE(activations.count(), before + 1);
        };

        detect(QStringLiteral("F-16C_50"));
        QVERIFY(notice->isVisible() && create->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("No profile for F-16C_50 [DCS]"));
        QCOMPARE(create->text(), QStringLiteral("Create from template\u2026"));
        QVERIFY(create->mapTo(&window, QPoint()).x() < forces->mapTo(&window, QPoint()).x());

        create->click();
        TemplateChooserDialog *chooser = window.noProfileNotice()->chooser();
        QVERIFY(chooser && chooser->isVisible());
        auto *list = chooser->findChild<QListWidget *>(QStringLiteral("template_list"));
        QCOMPARE(list->count(), 4);
        QVERIFY(list->item(0)->text().startsWith(QLatin1String("jet")));
        QCOMPARE(list->currentRow(), 0);
        QSignalSpy sent(effects, &ThreeAxisEffectsWidget::suddenValueChange);
        chooser->accept();
        QVERIFY(!notice->isVisible() && !create->isVisible());
        QCOMPARE(sent.count(), 1);
        QCOMPARE(effects->currentProfile().metadata,
                 (EffectsProfileMetadata{2, QStringLiteral("F-16C_50"), QString()}));
        QVERIFY(effects->currentProfile().settings[1].g_force_spring.active); // the jet's

        // Found: activated, no notice.
        detect(QStringLiteral("F-16C_50"));
        QCOMPARE(sent.count(), 2);
        QVERIFY(!notice->isVisible());

        // Another aircraft whose profile would take that file's name: refused.
        detect(QStringLiteral("F-16C 50"));
        QVERIFY(notice->isVisible());
        create->click();
        window.noProfileNotice()->chooser()->accept();
        QMessageBox *refusal = window.noProfileNotice()->message();
        QVERIFY(refusal && refusal->isVisible());
        QCOMPARE(
            refusal->text(),
            QStringLiteral("No profile was created: a profile file named DCS_F_16C_50.json already exists."));
        QCOMPARE(sent.count(), 2);
        QVERIFY(notice->isVisible());
        refusal->close();

        // Cancelling makes nothing.
        create->click();
        window.noProfileNotice()->chooser()->reject();
        QCOMPARE(
            QDir(m_dir.filePath(QStringLiteral("effect_profiles"))).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("DCS_F_16C_50.json")});

        // The telemetry ends: the notice goes.
        QMetaObject::invokeMethod(worker, [worker] { emit worker->telemetryEnded(); });
        QTRY_VERIFY(!notice->isVisible());
        // The status panel's switch turns activation off: nothing is said.
        window.findChild<QCheckBox *>(QStringLiteral("profile_activation"))->click();
        detect(QStringLiteral("A-10C"));
        QVERIFY(!notice->isVisible());
        QTRY_COMPARE(m_server.requests, requests + 1);
    }

    void sameOrOlderVersionShowsNothing_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::newRow("same") << QByteArray(R"({"vantrell": {"version": 240626, "whats_new": ["x"]}})");
        QTest::newRow("same with a fraction") << QByteArray(R"({"vantrell": {"version": 240626.9}})");
        QTest::newRow("older") << QByteArray(R"({"vantrell": {"version": 230101}})");
        QTest::newRow("not json") << QByteArray("<html>");
        QTest::newRow("text version") << QByteArray(R"({"vantrell": {"version": "999999"}})");
    }
    void sameOrOlderVersionShowsNothing()
    {
        QFETCH(QByteArray, manifest);
        QVERIFY(!runUpdateCheck(manifest).shown);
    }

    void newerVersionShowsTheBox()
    {
        const SeenBox seen = runUpdateCheck(
            R"({"vantrell": {"version": 240627, "whats_new": ["Smoother ramps", "New shakers"]}})");
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("Kestrox Vantrell (240626)"));
        QCOMPARE(seen.text, QStringLiteral("**New version of Kestrox Vantrell is available!**"));
        QCOMPARE(seen.details, QStringLiteral("Version 240627\n\n- Smoother ramps\n- New shakers\n"));
        QVERIFY(seen.detailsVisible);
        QCOMPARE(seen.focused, QStringLiteral("Download and update"));

        const SeenBox empty = runUpdateCheck(R"({"vantrell": {"version": 250101, "whats_new": []}})");
        QCOMPARE(empty.details, QStringLiteral("Version 250101\n\n"));
        QVERIFY(empty.detailsVisible);
    }

    // The update check's result is kept for the Health tab, --doctor and support bundles.
    void updateResultKept_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<double>("published");
        QTest::newRow("same") << QByteArray(R"({"vantrell": {"version": 240626}})") << "current" << 240626.0;
        QTest::newRow("newer") << QByteArray(R"({"vantrell": {"version": 240627}})") << "newer" << 240627.0;
        QTest::newRow("no version") << QByteArray(R"({"setup": {"version": 240627}})") << "failed" << 0.0;
    }
    void updateResultKept()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, outcome);
        QFETCH(double, published);
        runUpdateCheck(manifest);
        QFile file(m_dir.filePath(QStringLiteral("state/kestrox/update-check.json")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(kept.value(QLatin1String("outcome")).toString(), outcome);
        QCOMPARE(kept.value(QLatin1String("published")).toDouble(), published);
        QVERIFY(QDateTime::fromString(kept.value(QLatin1String("at")).toString(), Qt::ISODateWithMs).isValid());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
