#pragma once

#include "mainbackgroundthread.h"

#include <QIcon>
#include <QMainWindow>
#include <QNetworkRequest>
#include <QUrl>

class QNetworkAccessManager;
class LiveViewWidget;
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

    explicit MainWindow(QWidget *parent = nullptr, MainBackgroundThreadOptions workerOptions = {});
    // Leaves the motors at rest and stops the worker's thread.
    ~MainWindow() override;

    MainBackgroundThread *worker() const { return m_worker; }

private slots:
    void onUpdateReplyFinished();

private:
    void requestUpdateManifest();

    Ui::MainWindow *m_ui;
    TelemetryRecordingBar *m_recordingBar;
    LiveViewWidget *m_liveView;
    QIcon m_icon;
    QNetworkReply *m_updateReply = nullptr;
    QNetworkAccessManager *m_network;
    QNetworkRequest m_updateRequest;
    MainBackgroundThread *m_worker;
    QThread *m_workerThread;
};
