// The Health tab on a temporary tree: its checks run only while it is
// shown, a fix runs its command and the checks again, telemetry is dated
// by the clock the test drives, and the support bundle is written from it.
#include "healthwidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString il2Cfg = QStringLiteral(
    "home/.local/share/Steam/steamapps/common/IL-2 Sturmovik Battle of Stalingrad/data/startup.cfg");

HealthCheck find(const QList<HealthCheck> &checks, const QString &id)
{
    for (const HealthCheck &check : checks)
        if (check.id == id)
            return check;
    return {};
}

} // namespace

class TestHealthWidget : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    qint64 m_now = 100000;

    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    HealthEnvironment environment() const
    {
        HealthEnvironment env;
        env.sysRoot = path(QStringLiteral("sys"));
        env.devRoot = path(QStringLiteral("dev"));
        env.procRoot = path(QStringLiteral("proc"));
        env.udevRuleFolders = {path(QStringLiteral("etc/udev/rules.d"))};
        env.etcRuleFolder = path(QStringLiteral("etc/udev/rules.d"));
        env.deviceRuleSource = path(QStringLiteral("share/60-kestrox.rules"));
        env.home = path(QStringLiteral("home"));
        env.dataFolder = path(QStringLiteral("home/.local/share/kestrox"));
        env.stateFolder = path(QStringLiteral("home/.local/state/kestrox"));
        env.runtimeFolder = path(QStringLiteral("run"));
        env.askKernelForListeners = false;
        env.simulators.home = env.home;
        env.simulators.dataFolder = env.dataFolder;
        return env;
    }

    std::unique_ptr<HealthWidget> widget()
    {
        auto health = std::make_unique<HealthWidget>(nullptr, environment(), [this] { return m_now; });
        health->setProgram(QStringLiteral("/bin/echo"));
        health->setPrivilegeProgram(QStringLiteral("/bin/echo"));
        return health;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        write(QStringLiteral("share/60-kestrox.rules"), "# rule\n");
        write(il2Cfg, "[KEY = graphics]\n\tfps = 60\n[END]\n");
        QDir().mkpath(path(QStringLiteral("proc")));
    }

    // Nothing runs while hidden; shown, the checks run and come again
    // every few seconds; hidden again, they stop.
    void runsOnlyWhileShown()
    {
        const auto health = widget();
        QSignalSpy shown(health.get(), &HealthWidget::checksShown);
        QVERIFY(!health->rerunsPeriodically());
        QCoreApplication::processEvents();
        QCOMPARE(shown.count(), 0);

        health->show();
        QVERIFY(health->rerunsPeriodically());
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(health->findChild<QTreeWidget *>(QStringLiteral("health_view"))->topLevelItemCount(),
                 health->checks().size());

        health->hide();
        QVERIFY(!health->rerunsPeriodically());
        health->findChild<QPushButton *>(QStringLiteral("health_rerun"))->click();
        QTRY_COMPARE(shown.count(), 2); // on demand, also while hidden
    }

    // A fix runs its command (here /bin/echo, which prints its arguments), shows its output, checks
    // again and has its button back; the device rule's runs pkexec with the install script.
    void fixRunsItsCommand_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("privilegeProgram"); // empty: /bin/echo
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("output"); // a pattern
        QTest::newRow("set up") << "fix_simulator.il2" << QString() << true << "--setup-simulator il2";
        QTest::newRow("device rule") << "fix_udev.rule" << QString() << true
                                     << QStringLiteral("/bin/sh -c set -e;.* sh ") +
                                            QRegularExpression::escape(
                                                path(QStringLiteral("share/60-kestrox.rules")) +
                                                QLatin1Char(' ') + path(QStringLiteral("etc/udev/rules.d")));
        // Without pkexec: said, with the line to type instead.
        QTest::newRow("device rule without pkexec")
            << "fix_udev.rule" << path(QStringLiteral("no/pkexec")) << false
            << QRegularExpression::escape(path(QStringLiteral("no/pkexec")) +
                                          QStringLiteral(" could not be started. By hand: install the device "
                                                         "rule: sudo cp -n ")) +
                   QStringLiteral(".*");
    }
    void fixRunsItsCommand()
    {
        QFETCH(QString, button);
        QFETCH(QString, privilegeProgram);
        QFETCH(bool, ok);
        QFETCH(QString, output);
        const auto health = widget();
        if (!privilegeProgram.isEmpty())
            health->setPrivilegeProgram(privilegeProgram);
        QSignalSpy shown(health.get(), &HealthWidget::checksShown);
        QSignalSpy finished(health.get(), &HealthWidget::actionFinished);
        health->show();
        QTRY_COMPARE(shown.count(), 1);
        QVERIFY(!health->findChild<QPushButton *>(
            QStringLiteral("fix_simulator.dcs"))); // not found: nothing to fix
        auto *fix = health->findChild<QPushButton *>(button);
        QVERIFY(fix);
        fix->click();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().at(0).toBool(), ok);
        const QString said = finished.first().at(1).toString();
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(output)).match(said).hasMatch(),
                 qPrintable(said));
        QCOMPARE(health->findChild<QPlainTextEdit *>(QStringLiteral("health_fix_output"))->toPlainText(),
                 said);
        QTRY_COMPARE(shown.count(), 2); // checked again, with the buttons anew
        QVERIFY(health->findChild<QPushButton *>(button)->isEnabled());
    }

    // Closing the window while a fix still runs: the fix ends, nothing
    // reaches the widgets that went before it.
    void closedWhileAFixRuns()
    {
        const QString slow = path(QStringLiteral("bin/slow-fix"));
        write(QStringLiteral("bin/slow-fix"), "#!/bin/sh\nexec sleep 60\n");
        QVERIFY(QFile::setPermissions(slow, QFile::ReadOwner | QFile::ExeOwner));
        auto health = widget();
        health->setProgram(slow);
        QSignalSpy shown(health.get(), &HealthWidget::checksShown);
        health->show();
        QTRY_COMPARE(shown.count(), 1);
        auto *fix = health->findChild<QPushButton *>(QStringLiteral("fix_simulator.il2"));
        QVERIFY(fix);
        fix->click();
        QVERIFY(!fix->isEnabled()); // running
        health.reset();
    }

    // When telemetry was last seen, by the clock the test drives.
    void telemetryLastSeen()
    {
        const auto health = widget();
        QSignalSpy shown(health.get(), &HealthWidget::checksShown);
        health->rerun();
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(find(health->checks(), QStringLiteral("telemetry")).summary,
                 QStringLiteral("no telemetry seen from any simulator since the start"));

        const auto telemetryNow = [&] {
            const int runs = shown.count();
            health->rerun();
            [&] { QTRY_COMPARE(shown.count(), runs + 1); }();
            return find(health->checks(), QStringLiteral("telemetry"));
        };
        health->changeTelemetrySource(Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16C_50"));
        m_now += 40000;
        health->endTelemetry();
        m_now += 3 * 60 * 1000 + 5000;
        QCOMPARE(telemetryNow().summary, QStringLiteral("telemetry last seen from DCS World: 3 min ago"));

        health->changeTelemetrySource(Telemetry::TELEMETRY_SOURCE_IL2, QString());
        m_now += 12000;
        // A new source ends the one before.
        health->changeTelemetrySource(Telemetry::TELEMETRY_SOURCE_CONDOR, QString());
        m_now += 7000;
        const HealthCheck telemetry = telemetryNow();
        QCOMPARE(telemetry.summary,
                 QStringLiteral("telemetry last seen from Condor 2: sending now; DCS World: 3 min "
                                "ago; IL-2 Sturmovik: 7 s ago"));
        QCOMPARE(telemetry.details,
                 QStringLiteral("MSFS: not seen since the start\nWar Thunder: not seen since the "
                                "start\nX-Plane: not seen since the start"));
    }

    // The bundle from the button, with the window's current profile; never over a file.
    void supportBundleButton()
    {
        const auto health = widget();
        const QString bundle = path(QStringLiteral("support.tar.gz"));
        health->setBundlePathChooser([bundle] { return bundle; });
        health->setCurrentProfileProvider([] {
            return std::pair{QStringLiteral("GENERIC__.json"), QByteArray("{}")};
        });
        QSignalSpy finished(health.get(), &HealthWidget::actionFinished);
        auto *button = health->findChild<QPushButton *>(QStringLiteral("support_bundle_button"));
        button->click();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.last().at(0).toBool(), true);
        QCOMPARE(finished.last().at(1).toString(), QStringLiteral("Support bundle saved: %1").arg(bundle));
        QVERIFY(QFileInfo(bundle).size() > 0);
        QTRY_VERIFY(button->isEnabled());
        button->click();
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(finished.last().at(0).toBool(), false);
        QVERIFY(finished.last().at(1).toString().contains(QStringLiteral("exists already")));

        health->setBundlePathChooser([] { return QString(); }); // cancelled
        button->click();
        QVERIFY(button->isEnabled()); // no bundle under way
    }
};

QTEST_MAIN(TestHealthWidget)
#include "tst_healthwidget.moc"
