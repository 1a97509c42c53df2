#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "desktopintegration.h"
#include "forcescontrols.h"
#include "healthwidget.h"
#include "liveviewwidget.h"
#include "noprofilenotice.h"
#include "profiletemplates.h"
#include "profilefile.h"
#include "programchecks.h"
#include "safetynotice.h"
#include "telemetryrecordingbar.h"
#include "uilogging.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace {

constexpr int UpdateTimeoutMs = 10000;

QString versionTitle()
{
    return QStringLiteral("Kestrox Vantrell (%1)").arg(MainWindow::Version);
}

} // namespace

QUrl MainWindow::updateManifestUrl()
{
    const QByteArray overridden = qgetenv("KESTROX_UPDATE_URL");
    if (!overridden.isEmpty())
        return QUrl(QString::fromUtf8(overridden));
    return QUrl(QStringLiteral("https://" KESTROX_UPDATE_HOST "/assets/firmware/version.json"));
}

QUrl MainWindow::downloadsPageUrl()
{
    return QUrl(QStringLiteral("https://" KESTROX_UPDATE_HOST "/docs/en/downloads.html"));
}

MainWindow::MainWindow(QWidget *parent, MainBackgroundThreadOptions workerOptions,
                       bool askForSafetyAcknowledgement)
    : QMainWindow(parent), m_ui(new Ui::MainWindow), m_icon(DesktopIntegration::applicationIcon(QStringLiteral("kestrox_logo_icon_inverted.png"),
                                                                      QStringLiteral("com.kestrox.Vantrell"))),
      m_network(new QNetworkAccessManager(this))
{
    if (askForSafetyAcknowledgement)
        workerOptions.forcesEnabledAtStart = false;
    m_forcesOn = workerOptions.forcesEnabledAtStart;
    m_forcesRequested = m_forcesOn;
    m_safetyPending = askForSafetyAcknowledgement;
    // The Health tab compares MSFS's listener with what this start dials.
    HealthEnvironment health = HealthEnvironment::system();
    if (workerOptions.telemetryEndpoints.msfsAddress)
        health.msfsDialledPort = workerOptions.telemetryEndpoints.msfsAddress->port;
    m_worker = new MainBackgroundThread(nullptr, std::move(workerOptions));

    m_ui->setupUi(this);
    setWindowIcon(m_icon);
    setWindowTitle(versionTitle());

    m_forces = new ForcesControls(this, m_icon);
    m_forces->setOn(m_forcesOn);
    connect(m_forces, &ForcesControls::switchRequested, this, &MainWindow::setForcesEnabled);
    connect(m_forces, &ForcesControls::showWindowRequested, this, [this] { DesktopIntegration::bringToFront(this); });
    connect(m_forces, &ForcesControls::quitRequested, qApp, &QCoreApplication::quit);
    connect(m_worker, &MainBackgroundThread::forcesEnabledChanged, this, [this](bool on) {
        m_forcesOn = on;
        m_forces->setOn(on);
    });
    if (askForSafetyAcknowledgement)
        QTimer::singleShot(0, this, &MainWindow::showSafetyNotice);

    StatusWidget *status = m_ui->status_widget;
    ThreeAxisEffectsWidget *effects = m_ui->effect_settings_widget;
    MainBackgroundThread *worker = m_worker;
    connect(status, &StatusWidget::telemetryOverrideDisabled, worker,
            &MainBackgroundThread::disableTelemetryOverride);
    connect(status, &StatusWidget::telemetryOverrideEnabled, worker,
            &MainBackgroundThread::enableTelemetryOverride);
    connect(status, &StatusWidget::telemetryOverrided, worker, &MainBackgroundThread::overrideTelemetry);
    connect(status, &StatusWidget::landed, worker, &MainBackgroundThread::setLanded);
    connect(status, &StatusWidget::profileActivationEnabled, effects,
            &ThreeAxisEffectsWidget::enableProfileActivation);
    connect(status, &StatusWidget::profileActivationDisabled, effects,
            &ThreeAxisEffectsWidget::disableProfileActivation);
    connect(effects, &ThreeAxisEffectsWidget::suddenValueChange, worker,
            &MainBackgroundThread::changeSettingsSuddenly);
    connect(effects, &ThreeAxisEffectsWidget::moderateValueChange, worker,
            &MainBackgroundThread::changeSettingsModerately);
    connect(worker, &MainBackgroundThread::telemetryChanged, status, &StatusWidget::changeTelemetry);
    connect(worker, &MainBackgroundThread::telemetrySourceChanged, status,
            &StatusWidget::changeTelemetrySource);
    connect(worker, &MainBackgroundThread::telemetryEnded, status, &StatusWidget::endTelemetry);
    connect(worker, &MainBackgroundThread::sourceProblemChanged, status, &StatusWidget::changeSourceProblem);
    connect(worker, &MainBackgroundThread::telemetrySourceChanged, effects,
            &ThreeAxisEffectsWidget::activateMatchingProfile);
    connect(worker, &MainBackgroundThread::joystickConnected, status, &StatusWidget::connectJoystick);
    connect(worker, &MainBackgroundThread::joystickDisconnected, status, &StatusWidget::disconnectJoystick);
    connect(worker, &MainBackgroundThread::rudderConnected, status, &StatusWidget::connectRudder);
    connect(worker, &MainBackgroundThread::rudderDisconnected, status, &StatusWidget::disconnectRudder);
    connect(worker, &MainBackgroundThread::positionChanged, status, &StatusWidget::changePosition);

    // An aircraft without a profile is said in the status bar, with a way to make one.
    m_noProfile = new NoProfileNotice(this, effects, ProfileTemplates::systemFolders());
    connect(worker, &MainBackgroundThread::telemetryEnded, m_noProfile, &NoProfileNotice::hide);

    // Recording and replay are the telemetry thread's; a recording or replay
    // begun from the command line reports itself once these are connected.
    TelemetryThread *telemetry = worker->telemetryWorker();
    m_recordingBar = new TelemetryRecordingBar(this);
    m_recordingBar->setObjectName(QStringLiteral("telemetry_recording_bar"));
    m_ui->status_column->addWidget(m_recordingBar);
    connect(m_recordingBar, &TelemetryRecordingBar::startRecording, telemetry, &TelemetryThread::startRecording);
    connect(m_recordingBar, &TelemetryRecordingBar::stopRecording, telemetry, &TelemetryThread::stopRecording);
    connect(m_recordingBar, &TelemetryRecordingBar::startReplay, telemetry, &TelemetryThread::startReplay);
    connect(m_recordingBar, &TelemetryRecordingBar::stopReplay, telemetry, &TelemetryThread::stopReplay);
    connect(telemetry, &TelemetryThread::recordingChanged, m_recordingBar, &TelemetryRecordingBar::changeRecording);
    connect(telemetry, &TelemetryThread::replayChanged, m_recordingBar, &TelemetryRecordingBar::changeReplay);
    QMetaObject::invokeMethod(telemetry, &TelemetryThread::reportRecordingAndReplay, Qt::QueuedConnection);

    m_liveView = new LiveViewWidget(this);
    m_liveView->setObjectName(QStringLiteral("live_view"));
    m_ui->tabWidget->addTab(m_liveView, tr("Live"));
    connect(worker, &MainBackgroundThread::liveBatchReady, m_liveView, &LiveViewWidget::addBatch);
    // Out of view the figures need the samples, not their pace: fewer batches, fewer wake-ups.
    connect(m_liveView, &LiveViewWidget::shownChanged, worker, &MainBackgroundThread::setLiveViewShown);

    m_health = new HealthWidget(this, health);
    m_health->setObjectName(QStringLiteral("health_tab"));
    m_ui->tabWidget->addTab(m_health, tr("Health"));
    connect(worker, &MainBackgroundThread::telemetrySourceChanged, m_health, &HealthWidget::changeTelemetrySource);
    connect(worker, &MainBackgroundThread::telemetryEnded, m_health, &HealthWidget::endTelemetry);
    m_health->setCurrentProfileProvider([effects] {
        const EffectsProfile &profile = effects->currentProfile();
        return std::pair{profileFileName(profile.metadata), QJsonDocument(profileToJson(profile)).toJson()};
    });

    QTimer::singleShot(0, worker, [worker] { worker->start(); });
    m_workerThread = new QThread;
    m_workerThread->setObjectName(QStringLiteral("output"));
    m_workerThread->start(QThread::InheritPriority);
    worker->moveToThread(m_workerThread);

    requestUpdateManifest();
}

void MainWindow::setForcesEnabled(bool on)
{
    if (on && m_safetyPending) {
        // The switch shows what the output loop does, not what was clicked.
        m_forces->setOn(m_forcesOn);
        showSafetyNotice();
        return;
    }
    m_forcesRequested = on;
    MainBackgroundThread *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, on] { worker->setForcesEnabled(on); });
}

void MainWindow::toggleForces()
{
    setForcesEnabled(!m_forcesRequested);
}

void MainWindow::showSafetyNotice()
{
    if (m_safetyNotice) {
        DesktopIntegration::bringToFront(this);
        m_safetyNotice->raise();
        return;
    }
    auto *notice = new QMessageBox(QMessageBox::Warning, versionTitle(), tr("A force-feedback stick is a motor in your hand."),
                                   QMessageBox::NoButton, this);
    notice->setObjectName(QStringLiteral("safety_notice"));
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setInformativeText(
        tr("Kestrox Vantrell moves the stick and the rudder with their motors. Hold the controls, keep your "
           "hands and anything else clear of their travel, and keep the forces switch at hand: \"Forces on\" / "
           "\"Forces off\" at the bottom of this window, %1, the tray icon's menu, or "
           "\"kestrox-vantrell --forces off\" bound to a key of your desktop. Forces ramp in over two seconds.\n\n"
           "The forces stay off until you turn them on here.")
            .arg(QLatin1String(ForcesControls::Shortcut)));
    QPushButton *on = notice->addButton(tr("Turn forces on"), QMessageBox::AcceptRole);
    on->setObjectName(QStringLiteral("acknowledge_safety"));
    QPushButton *off = notice->addButton(tr("Keep forces off"), QMessageBox::RejectRole);
    off->setObjectName(QStringLiteral("keep_forces_off"));
    notice->setDefaultButton(off);
    connect(notice, &QMessageBox::buttonClicked, this, [this, on](QAbstractButton *clicked) {
        if (clicked != on) {
            setForcesEnabled(false);
            return;
        }
        m_safetyPending = false;
        SafetyNotice::acknowledge();
        setForcesEnabled(true);
    });
    notice->setWindowModality(Qt::WindowModal);
    m_safetyNotice = notice;
    notice->open();
}

MainWindow::~MainWindow()
{
    // A motor must not be left at its last force: release it before the
    // worker's thread ends, then let the worker go with it.
    QMetaObject::invokeMethod(m_worker, &MainBackgroundThread::shutdown, Qt::BlockingQueuedConnection);
    connect(m_workerThread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_workerThread->quit();
    m_workerThread->wait();
    delete m_workerThread;
    delete m_ui;
}

void MainWindow::requestUpdateManifest()
{
    m_updateRequest.setUrl(updateManifestUrl());
    m_updateRequest.setTransferTimeout(UpdateTimeoutMs);
    m_updateReply = m_network->get(m_updateRequest);
    connect(m_updateReply, &QNetworkReply::finished, this, &MainWindow::onUpdateReplyFinished);
}

void MainWindow::onUpdateReplyFinished()
{
    QNetworkReply *reply = m_updateReply;
    m_updateReply = nullptr;
    reply->deleteLater();

    // Kept for the Health tab, --doctor and support bundles.
    UpdateCheckResult result;
    result.at = QDateTime::currentDateTimeUtc();
    if (reply->error() != QNetworkReply::NoError) {
        const char *error = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(reply->error());
        qCDebug(lcUi) << "error" << error;
        result.outcome = UpdateCheckResult::Outcome::Failed;
        result.error = QString::fromLatin1(error);
        result.write(HealthEnvironment::defaultStateFolder());
        return;
    }
    const QJsonObject vantrell =
        QJsonDocument::fromJson(reply->readAll()).object().value(QLatin1String("vantrell")).toObject();
    const double published = vantrell.value(QLatin1String("version")).toDouble(0.0);
    // Compared as a whole number: 240626.9 is still 240626.
    const bool newer = std::trunc(published) > Version;
    result.outcome = newer ? UpdateCheckResult::Outcome::Newer : UpdateCheckResult::Outcome::Current;
    result.published = published;
    // An answer without a version says nothing about being up to date.
    if (!(published > 0)) {
        result.outcome = UpdateCheckResult::Outcome::Failed;
        result.error = QStringLiteral("the answer names no version");
    }
    result.write(HealthEnvironment::defaultStateFolder());
    if (!newer)
        return;

    QMessageBox box;
    box.setWindowTitle(versionTitle());
    box.setTextFormat(Qt::MarkdownText);
    box.setText(tr("**New version of Kestrox Vantrell is available!**"));
    QString details = QStringLiteral("Version %1\n\n").arg(published, 0, 'g', 6);
    const QJsonArray notes = vantrell.value(QLatin1String("whats_new")).toArray();
    for (const QJsonValue &note : notes)
        details += QStringLiteral("- %1\n").arg(note.toString());
    box.setDetailedText(details);
    box.setStandardButtons(QMessageBox::Cancel);
    QPushButton *download = box.addButton(tr("Download and update"), QMessageBox::ActionRole);
    box.setSizeGripEnabled(true);

    if (auto *editor = box.findChild<QTextEdit *>()) {
        editor->setLineWrapMode(QTextEdit::NoWrap);
        if (QWidget *area = editor->parentWidget()) {
            area->setFixedWidth(int(editor->document()->idealWidth() + editor->document()->documentMargin() +
                                    editor->verticalScrollBar()->width()));
        }
        editor->setFixedHeight(300);
    }
    const auto buttons = box.findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button != download && box.buttonRole(button) == QMessageBox::ActionRole) {
            button->click(); // open the details before the box shows
            break;
        }
    }
    download->setFocus();

    box.exec();
    if (box.clickedButton() == download)
        QDesktopServices::openUrl(downloadsPageUrl());
}
