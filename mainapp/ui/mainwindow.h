#pragma once

#include "mainbackgroundthread.h"

#include <QIcon>
#include <QMainWindow>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

class QMessageBox;
class QNetworkAccessManager;
class ForcesControls;
class HealthWidget;
class LiveViewWidget;
class NoProfileNotice;
class TelemetryRecordingBar;
class QNetworkReply;
class QThread;

namespace Ui {
class MainWindow;
}

// The main application's window: the effects page beside the status panel,
// wired to the force output worker, which runs on a thread of its own. At
// start it asks the update host once whether a newer release exists.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int Version = KESTROX_RELEASE;

    // The manifest of published releases; KESTROX_UPDATE_URL overrides it.
    static QUrl updateManifestUrl();
    static QUrl downloadsPageUrl();

    // With askForSafetyAcknowledgement the forces stay off until the pilot
    // has acknowledged the safety notice, which the window then shows.
    explicit MainWindow(QWidget *parent = nullptr, MainBackgroundThreadOptions workerOptions = {},
                        bool askForSafetyAcknowledgement = false);
    // Leaves the motors at rest and stops the worker's thread.
    ~MainWindow() override;

    MainBackgroundThread *worker() const { return m_worker; }
    ForcesControls *forcesControls() const { return m_forces; }
    NoProfileNotice *noProfileNotice() const { return m_noProfile; }

public slots:
    // Asks the output loop to switch the forces. Until the pilot has
    // acknowledged the safety notice, a request to switch them on (the
    // button, the tray, Ctrl+F, --forces) shows the notice instead.
    void setForcesEnabled(bool on);
    void toggleForces();

private slots:
    void onUpdateReplyFinished();

private:
    void requestUpdateManifest();
    void showSafetyNotice();

    Ui::MainWindow *m_ui;
    TelemetryRecordingBar *m_recordingBar;
    LiveViewWidget *m_liveView;
    HealthWidget *m_health;
    QIcon m_icon;
    QNetworkReply *m_updateReply = nullptr;
    QNetworkAccessManager *m_network;
    QNetworkRequest m_updateRequest;
    MainBackgroundThread *m_worker;
    ForcesControls *m_forces;
    NoProfileNotice *m_noProfile;
    bool m_forcesOn = true;        // as the output loop last confirmed
    bool m_forcesRequested = true; // as last asked, so that two quick toggles are two
    bool m_safetyPending = false;  // the notice is not acknowledged yet
    QPointer<QMessageBox> m_safetyNotice;
    QThread *m_workerThread;
};
