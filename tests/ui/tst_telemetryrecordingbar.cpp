#include "telemetryrecordingbar.h"
#include "telemetrythread.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The bar wired to a real telemetry thread, as the main window wires it.
class TestTelemetryRecordingBar : public QObject
{
    Q_OBJECT

private slots:
    void recordsAndReplays()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        {
            TelemetryThread telemetry(nullptr, TelemetryEndpoints{.dcsPort = 0,
                                                                  .il2Port = 0,
                                                                  .condor2Port = 0,
                                                                  .warthunderStateUrl = QUrl(QStringLiteral("http://127.0.0.1:9/state")),
                                                                  .simConnect = {},
                                                                  .msfsAddress = NetworkAddress{QStringLiteral("127.0.0.1"), 9}});
            TelemetryRecordingBar bar;
            QObject::connect(&bar, &TelemetryRecordingBar::startRecording, &telemetry, &TelemetryThread::startRecording);
            QObject::connect(&bar, &TelemetryRecordingBar::stopRecording, &telemetry, &TelemetryThread::stopRecording);
            QObject::connect(&bar, &TelemetryRecordingBar::startReplay, &telemetry, &TelemetryThread::startReplay);
            QObject::connect(&bar, &TelemetryRecordingBar::stopReplay, &telemetry, &TelemetryThread::stopReplay);
            QObject::connect(&telemetry, &TelemetryThread::recordingChanged, &bar, &TelemetryRecordingBar::changeRecording);
            QObject::connect(&telemetry, &TelemetryThread::replayChanged, &bar, &TelemetryRecordingBar::changeReplay);
            auto *record = bar.findChild<QPushButton *>(QStringLiteral("record_telemetry"));
            auto *file = bar.findChild<QLineEdit *>(QStringLiteral("recording_file"));
            auto *open = bar.findChild<QPushButton *>(QStringLiteral("open_recording"));
            QVERIFY(record && file && open);

            record->click();
            QVERIFY(record->isChecked());
            const QStringList made = QDir(QStringLiteral("recordings")).entryList({QStringLiteral("*.kxrec")});
            QCOMPARE(made.size(), 1);
            QVERIFY(file->text().endsWith(made.first()));
            // No replay while a recording runs.
            QVERIFY(!open->isEnabled());
            record->click();
            QVERIFY(!record->isChecked());
            QVERIFY(open->isEnabled());
            QVERIFY(file->text().startsWith(QLatin1String("Recorded: ")));
            // The file is a recording: a version 2 header of 24 bytes (this
            // release, 240626, at 12..15), no entries.
            QFile recorded(QStringLiteral("recordings/") + made.first());
            QVERIFY(recorded.open(QIODevice::ReadOnly));
            const QByteArray header = recorded.readAll();
            QCOMPARE(header.size(), 24);
            QCOMPARE(header.left(16).toHex(), QByteArray("4b5854454c52454302000000f2ab0300"));

            // A recording that cannot be written says so, and nothing else.
            telemetry.startRecording(QDir::current().filePath(QStringLiteral("missing/x.kxrec")));
            QVERIFY(file->text().startsWith(QLatin1String("Recording failed: cannot create ")));
            QVERIFY(!record->isChecked());
            QVERIFY(open->isEnabled());

            bar.chooseRecording = [&] { return recorded.fileName(); };
            open->click();
            QVERIFY(telemetry.isReplaying());
            QCOMPARE(open->text(), QStringLiteral("Stop replay"));
            QVERIFY(!record->isEnabled());
            open->click();
            QVERIFY(!telemetry.isReplaying());
            QCOMPARE(open->text(), QStringLiteral("Open recording…"));

            // A file that is not a recording: the bar says so, nothing replays.
            bar.chooseRecording = [] { return QStringLiteral("no-such.kxrec"); };
            open->click();
            QVERIFY(!telemetry.isReplaying());
            QVERIFY(file->text().contains(QLatin1String("cannot open")));
        }
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(TestTelemetryRecordingBar)
#include "tst_telemetryrecordingbar.moc"
