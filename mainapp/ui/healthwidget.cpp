#include "healthwidget.h"

#include "devicechecks.h"
#include "healthreport.h"
#include "supportbundle.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column
{
    StatusColumn,
    SummaryColumn,
    FixColumn
};

QString sourceName(Telemetry::Source source)
{
    switch (source) {
    case Telemetry::TELEMETRY_SOURCE_MSFS:
        return QStringLiteral("MSFS");
    case Telemetry::TELEMETRY_SOURCE_DCS:
        return QStringLiteral("DCS World");
    case Telemetry::TELEMETRY_SOURCE_IL2:
        return QStringLiteral("IL-2 Sturmovik");
    case Telemetry::TELEMETRY_SOURCE_WARTHUNDER:
        return QStringLiteral("War Thunder");
    case Telemetry::TELEMETRY_SOURCE_CONDOR:
        return QStringLiteral("Condor 2");
    case Telemetry::TELEMETRY_SOURCE_XPLANE:
        return QStringLiteral("X-Plane");
    case Telemetry::TELEMETRY_SOURCE_NONE:
        break;
    }
    return {};
}

QString ago(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    if (seconds < 2)
        return QStringLiteral("now");
    if (seconds < 120)
        return QStringLiteral("%1 s ago").arg(seconds);
    if (seconds < 7200)
        return QStringLiteral("%1 min ago").arg(seconds / 60);
    return QStringLiteral("%1 h ago").arg(seconds / 3600);
}

QIcon statusIcon(const QWidget *widget, HealthCheck::Status status)
{
    switch (status) {
    case HealthCheck::Status::Ok:
        return widget->style()->standardIcon(QStyle::SP_DialogApplyButton);
    case HealthCheck::Status::Warning:
        return widget->style()->standardIcon(QStyle::SP_MessageBoxWarning);
    case HealthCheck::Status::Problem:
        break;
    }
    return widget->style()->standardIcon(QStyle::SP_MessageBoxCritical);
}

QColor statusColour(HealthCheck::Status status)
{
    switch (status) {
    case HealthCheck::Status::Ok:
        return QColor(0x2e, 0x7d, 0x32);
    case HealthCheck::Status::Warning:
        return QColor(0xb2, 0x6a, 0x00);
    case HealthCheck::Status::Problem:
        break;
    }
    return QColor(0xc6, 0x28, 0x28);
}

} // namespace

HealthWidget::HealthWidget(QWidget *parent, HealthEnvironment environment, MillisecondClock clock)
    : QWidget(parent), m_environment(std::move(environment)), m_clock(std::move(clock)),
      m_program(QCoreApplication::applicationFilePath()), m_view(new QTreeWidget(this)),
      m_rerun(new QPushButton(tr("Re-run checks"), this)),
      m_bundle(new QPushButton(tr("Save support bundle..."), this)), m_lastRun(new QLabel(this)),
      m_output(new QPlainTextEdit(this)), m_timer(new QTimer(this)), m_thread(new QThread),
      m_worker(new QObject)
{
    m_view->setObjectName(QStringLiteral("health_view"));
    m_view->setColumnCount(3);
    m_view->setHeaderLabels({tr("Check"), tr("What was found"), tr("Fix")});
    m_view->setRootIsDecorated(true);
    m_view->setWordWrap(true);
    m_view->header()->setSectionResizeMode(SummaryColumn, QHeaderView::Stretch);
    m_view->header()->setStretchLastSection(false);
    m_rerun->setObjectName(QStringLiteral("health_rerun"));
    m_bundle->setObjectName(QStringLiteral("support_bundle_button"));
    m_lastRun->setObjectName(QStringLiteral("health_last_run"));
    m_output->setObjectName(QStringLiteral("health_fix_output"));
    m_output->setReadOnly(true);
    m_output->setMaximumHeight(120);
    m_output->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_rerun);
    buttons->addWidget(m_lastRun, 1);
    buttons->addWidget(m_bundle);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_output);
    layout->addLayout(buttons);

    connect(m_rerun, &QPushButton::clicked, this, &HealthWidget::rerun);
    connect(m_bundle, &QPushButton::clicked, this, &HealthWidget::saveSupportBundle);
    m_timer->setInterval(RerunIntervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        // A minimised window keeps its tab "shown": nobody reads it.
        if (!window()->isMinimized())
            rerun();
    });

    m_chooseBundlePath = [this] {
        const QString name =
            QStringLiteral("kestrox-support-%1.tar.gz")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        // The bundle refuses an existing file itself, with its reason.
        return QFileDialog::getSaveFileName(this, tr("Save support bundle"), QDir::home().filePath(name),
                                            tr("Support bundles (*.tar.gz)"), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    };

    m_thread->setObjectName(QStringLiteral("health"));
    m_worker->moveToThread(m_thread);
    m_thread->start(QThread::LowPriority);
}

HealthWidget::~HealthWidget()
{
    // A fix still running ends with the window; its end must not reach the
    // widgets, which go before it.
    if (m_process) {
        m_process->disconnect(this);
        delete m_process;
    }
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

bool HealthWidget::rerunsPeriodically() const
{
    return m_timer->isActive();
}

void HealthWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer->start();
    rerun();
}

void HealthWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}

void HealthWidget::rerun()
{
    if (m_running) {
        m_rerunWanted = true;
        return;
    }
    m_running = true;
    m_rerun->setEnabled(false);
    QMetaObject::invokeMethod(m_worker, [this, env = m_environment] {
        const QList<HealthCheck> checks = HealthReport::runAll(env);
        // The widget waits for this thread before it goes, so it is there.
        QMetaObject::invokeMethod(
            this, [this, checks] { showChecks(checks); }, Qt::QueuedConnection);
    });
}

void HealthWidget::showChecks(const QList<HealthCheck> &checks)
{
    m_running = false;
    m_rerun->setEnabled(true);
    m_checks = checks;
    m_checks.append(telemetryCheck());

    // Rows of checks whose details the pilot opened stay open.
    QStringList expanded;
    for (int i = 0; i < m_view->topLevelItemCount(); ++i)
        if (m_view->topLevelItem(i)->isExpanded())
            expanded.append(m_view->topLevelItem(i)->data(StatusColumn, Qt::UserRole).toString());
    m_view->clear();
    for (const HealthCheck &check : std::as_const(m_checks)) {
        auto *item = new QTreeWidgetItem(m_view);
        item->setData(StatusColumn, Qt::UserRole, check.id);
        item->setIcon(StatusColumn, statusIcon(this, check.status));
        item->setText(StatusColumn, check.id);
        item->setToolTip(StatusColumn, HealthReport::statusName(check.status));
        item->setForeground(StatusColumn, statusColour(check.status));
        item->setText(SummaryColumn, check.summary);
        item->setToolTip(SummaryColumn, check.fix.isEmpty()
                                            ? check.details
                                            : check.details + QStringLiteral("\n\nFix: ") + check.fix);
        if (!check.details.isEmpty() || !check.fix.isEmpty()) {
            auto *details = new QTreeWidgetItem(item);
            QString text = check.details;
            if (!check.fix.isEmpty())
                text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + tr("Fix: %1").arg(check.fix);
            details->setText(SummaryColumn, text);
            details->setToolTip(SummaryColumn, text);
        }
        if (check.action != HealthCheck::FixAction::None) {
            auto *button = new QPushButton(check.action == HealthCheck::FixAction::InstallDeviceRule
                                               ? tr("Install device rule")
                                               : tr("Set up"),
                                           m_view);
            button->setObjectName(QStringLiteral("fix_") + check.id);
            button->setToolTip(check.fix);
            button->setEnabled(m_process == nullptr);
            connect(button, &QPushButton::clicked, this, [this, check] { applyFix(check); });
            m_view->setItemWidget(item, FixColumn, button);
        }
        item->setExpanded(expanded.contains(check.id));
    }
    m_view->resizeColumnToContents(StatusColumn);
    m_lastRun->setText(tr("Checked at %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    emit checksShown();
    if (m_rerunWanted) {
        m_rerunWanted = false;
        rerun();
    }
}

void HealthWidget::changeTelemetrySource(Telemetry::Source source, const QString &)
{
    endTelemetry();
    m_sending = source;
}

void HealthWidget::endTelemetry()
{
    if (m_sending != Telemetry::TELEMETRY_SOURCE_NONE)
        m_lastSeen.insert(m_sending, m_clock());
    m_sending = Telemetry::TELEMETRY_SOURCE_NONE;
}

HealthCheck HealthWidget::telemetryCheck() const
{
    HealthCheck check;
    check.id = QStringLiteral("telemetry");
    const qint64 now = m_clock();
    QStringList seen;
    QStringList details;
    if (m_sending != Telemetry::TELEMETRY_SOURCE_NONE)
        seen.append(QStringLiteral("%1: sending now").arg(sourceName(m_sending)));
    for (auto it = m_lastSeen.cbegin(); it != m_lastSeen.cend(); ++it)
        if (it.key() != m_sending)
            seen.append(QStringLiteral("%1: %2").arg(sourceName(it.key()), ago(now - it.value())));
    for (Telemetry::Source source :
         {Telemetry::TELEMETRY_SOURCE_DCS, Telemetry::TELEMETRY_SOURCE_IL2,
          Telemetry::TELEMETRY_SOURCE_CONDOR, Telemetry::TELEMETRY_SOURCE_MSFS,
          Telemetry::TELEMETRY_SOURCE_WARTHUNDER, Telemetry::TELEMETRY_SOURCE_XPLANE})
        if (source != m_sending && !m_lastSeen.contains(source))
            details.append(QStringLiteral("%1: not seen since the start").arg(sourceName(source)));
    check.summary = seen.isEmpty() ? tr("no telemetry seen from any simulator since the start")
                                   : tr("telemetry last seen from %1").arg(seen.join(QStringLiteral("; ")));
    check.details = details.join(QLatin1Char('\n'));
    return check;
}

void HealthWidget::applyFix(const HealthCheck &check)
{
    if (check.action == HealthCheck::FixAction::InstallDeviceRule) {
        const PrivilegedCommand command = DeviceChecks::deviceRuleInstallCommand(
            m_environment.deviceRuleSource, m_environment.etcRuleFolder);
        runCommand(m_privilegeProgram, command.arguments, check.fix);
    } else if (check.action == HealthCheck::FixAction::RunCommand) {
        runCommand(m_program, check.fixArguments, check.fix);
    }
}

void HealthWidget::runCommand(const QString &program, const QStringList &arguments, const QString &byHand)
{
    if (m_process)
        return;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    const auto buttons = m_view->findChildren<QPushButton *>();
    for (QPushButton *button : buttons)
        button->setEnabled(false);
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QString output = QString::fromLocal8Bit(m_process->readAll());
        m_process->deleteLater();
        m_process = nullptr;
        report(status == QProcess::NormalExit && code == 0,
               output.trimmed().isEmpty() ? tr("Finished with exit status %1.").arg(code) : output.trimmed());
        rerun();
    });
    connect(m_process, &QProcess::errorOccurred, this, [this, program, byHand](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_process->deleteLater();
        m_process = nullptr;
        report(false, tr("%1 could not be started. By hand: %2").arg(program, byHand));
        rerun();
    });
    m_process->start(program, arguments);
}

void HealthWidget::report(bool ok, const QString &output)
{
    m_output->setPlainText(output);
    m_output->show();
    emit actionFinished(ok, output);
}

void HealthWidget::saveSupportBundle()
{
    const QString path = m_chooseBundlePath ? m_chooseBundlePath() : QString();
    if (path.isEmpty())
        return;
    SupportBundleOptions options;
    options.path = path;
    options.environment = m_environment;
    options.profileFolders = SupportBundle::defaultProfileFolders(m_environment);
    if (m_currentProfile)
        std::tie(options.currentProfileName, options.currentProfileJson) = m_currentProfile();
    const HealthCheck telemetry = telemetryCheck();
    m_bundle->setEnabled(false);
    QMetaObject::invokeMethod(m_worker, [this, options, telemetry]() mutable {
        options.checks = HealthReport::runAll(options.environment);
        options.checks.append(telemetry);
        QString error;
        const bool ok = SupportBundle::write(options, &error);
        const QString message = ok ? tr("Support bundle saved: %1").arg(options.path) : error;
        QMetaObject::invokeMethod(
            this,
            [this, ok, message] {
                m_bundle->setEnabled(true);
                report(ok, message);
            },
            Qt::QueuedConnection);
    });
}
