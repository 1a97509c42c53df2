#include "telemetryrecordingbar.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

TelemetryRecordingBar::TelemetryRecordingBar(QWidget *parent)
    : QWidget(parent), m_record(new QPushButton(tr("Record telemetry"), this)), m_file(new QLineEdit(this)),
      m_open(new QPushButton(tr("Open recording…"), this))
{
    m_record->setObjectName(QStringLiteral("record_telemetry"));
    m_record->setCheckable(true);
    m_file->setObjectName(QStringLiteral("recording_file"));
    m_file->setReadOnly(true);
    m_file->setPlaceholderText(tr("Not recording"));
    m_open->setObjectName(QStringLiteral("open_recording"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_record);
    layout->addWidget(m_file, 1);
    layout->addWidget(m_open);

    chooseRecording = [this] {
        return QFileDialog::getOpenFileName(this, tr("Open recording"), QDir::current().filePath(QStringLiteral("recordings")),
                                            tr("Telemetry recordings (*.kxrec);;All files (*)"));
    };
    connect(m_record, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            emit startRecording(newRecordingPath());
        else
            emit stopRecording();
    });
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_replaying) {
            emit stopReplay();
            return;
        }
        const QString path = chooseRecording();
        if (!path.isEmpty())
            emit startReplay(path, 1.0, false);
    });
}

QString TelemetryRecordingBar::newRecordingPath()
{
    QDir().mkpath(QStringLiteral("recordings"));
    const QString name = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString path = QDir::current().filePath(QStringLiteral("recordings/%1.kxrec").arg(name));
    // Two recordings started in one second: never the same file.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir::current().filePath(QStringLiteral("recordings/%1-%2.kxrec").arg(name).arg(n));
    return path;
}

void TelemetryRecordingBar::changeRecording(bool recording, const QString &path, const QString &failure)
{
    const QSignalBlocker blocker(m_record);
    m_record->setChecked(recording);
    // A replay would end the recording's data: one at a time.
    m_open->setEnabled(!recording);
    m_open->setToolTip(recording ? tr("Stop the recording to open a replay") : QString());
    if (!failure.isEmpty())
        m_file->setText(tr("Recording failed: %1").arg(failure));
    else if (recording)
        m_file->setText(path);
    else
        m_file->setText(path.isEmpty() ? QString() : tr("Recorded: %1").arg(path));
    m_file->setToolTip(m_file->text());
}

void TelemetryRecordingBar::changeReplay(bool replaying, const QString &message)
{
    m_replaying = replaying;
    m_record->setEnabled(!replaying);
    m_open->setText(replaying ? tr("Stop replay") : tr("Open recording…"));
    m_file->setText(replaying ? tr("Replaying %1").arg(message) : message);
    m_file->setToolTip(m_file->text());
}
