#pragma once

#include "healthcheck.h"
#include "healthenvironment.h"
#include "millisecondclock.h"
#include "telemetry.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QProcess;
class QPushButton;
class QThread;
class QTimer;
class QTreeWidget;

// The "Health" tab: what stands between the pilot and the forces, one row
// per check with its fix as a button where one can be applied, re-run on
// demand and every few seconds while the tab is shown (never while hidden),
// when telemetry was last seen from each simulator, and the support bundle.
// The checks run on a thread of their own, not on the output loop's.
class HealthWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RerunIntervalMs = 5000;

    explicit HealthWidget(QWidget *parent = nullptr,
                          HealthEnvironment environment = HealthEnvironment::system(),
                          MillisecondClock clock = steadyMillisecondClock());
    ~HealthWidget() override;

    // The program the set-up fixes run (kestrox-vantrell), and the one that
    // runs the device rule's installation with more rights (pkexec).
    void setProgram(const QString &program) { m_program = program; }
    void setPrivilegeProgram(const QString &program) { m_privilegeProgram = program; }
    // Asks for the support bundle's file; an empty answer cancels. The
    // default asks with a file dialog.
    void setBundlePathChooser(std::function<QString()> chooser) { m_chooseBundlePath = std::move(chooser); }
    // The window's current profile for the bundle: its file name and JSON.
    void setCurrentProfileProvider(std::function<std::pair<QString, QByteArray>()> provider)
    {
        m_currentProfile = std::move(provider);
    }

    QList<HealthCheck> checks() const { return m_checks; }
    bool isRunning() const { return m_running; }
    bool rerunsPeriodically() const;

public slots:
    void rerun();
    void saveSupportBundle();
    // From the output worker: the simulator now sending, and the end of its
    // telemetry. Rare signals: the tab needs no signal per record.
    void changeTelemetrySource(Telemetry::Source source, const QString &flightModule);
    void endTelemetry();

signals:
    // After each run of the checks has been shown.
    void checksShown();
    // After a fix's command or a support bundle has finished; its output is shown.
    void actionFinished(bool ok, QString output);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showChecks(const QList<HealthCheck> &checks);
    HealthCheck telemetryCheck() const;
    void applyFix(const HealthCheck &check);
    // byHand: what to do when the program cannot be started.
    void runCommand(const QString &program, const QStringList &arguments, const QString &byHand);
    void report(bool ok, const QString &output);

    HealthEnvironment m_environment;
    MillisecondClock m_clock;
    QString m_program;
    QString m_privilegeProgram = QStringLiteral("pkexec");
    std::function<QString()> m_chooseBundlePath;
    std::function<std::pair<QString, QByteArray>()> m_currentProfile;

    QTreeWidget *m_view;
    QPushButton *m_rerun;
    QPushButton *m_bundle;
    QLabel *m_lastRun;
    QPlainTextEdit *m_output;
    QTimer *m_timer;
    QThread *m_thread;
    QObject *m_worker; // lives on m_thread
    QProcess *m_process = nullptr;

    QList<HealthCheck> m_checks;
    bool m_running = false;
    bool m_rerunWanted = false;
    Telemetry::Source m_sending = Telemetry::TELEMETRY_SOURCE_NONE;
    QMap<Telemetry::Source, qint64> m_lastSeen; // clock milliseconds, when it stopped sending
};
