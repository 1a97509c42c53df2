#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

// Beside the status panel: records what the simulators send, or replays a
// recording in their place. Talks to the telemetry thread only through its
// signals and slots.
class TelemetryRecordingBar : public QWidget
{
    Q_OBJECT

public:
    explicit TelemetryRecordingBar(QWidget *parent = nullptr);

    // Where a new recording goes: recordings/<date-time>.kxrec in the
    // program's data folder (the working directory).
    static QString newRecordingPath();

    // Asks for the file to replay; empty when the user cancelled.
    std::function<QString()> chooseRecording;

signals:
    void startRecording(QString path);
    void stopRecording();
    void startReplay(QString path, double speed, bool loop);
    void stopReplay();

public slots:
    void changeRecording(bool recording, const QString &path, const QString &failure);
    void changeReplay(bool replaying, const QString &message);

private:
    QPushButton *m_record;
    QLineEdit *m_file;
    QPushButton *m_open;
    bool m_replaying = false;
};
