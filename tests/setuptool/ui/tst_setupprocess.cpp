#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

const QString DeviceListLine = QStringLiteral("device list: Kestrox Joystick \\(Version 240611\\), "
                                              "Kestrox Rudder \\(Version 240611\\), "
                                              "Kestrox Wheel PRO \\(Version 240530\\)$");

// Runs the real kestrox-setup with its virtual devices on a virtual X
// display, as a user would start it.
class TestSetupProcess : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_process = std::make_unique<QProcess>();
    }

    void cleanup()
    {
        // The program has no other way out without a window manager; xvfb-run
        // ends its display once the program is gone.
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
        if (!m_process->waitForFinished(10000))
            m_process->kill();
        m_process.reset();
        m_dir.reset();
    }

    void listsVirtualDevicesWithinTwoSeconds()
    {
        // An option is no plain argument, so config.ini is still read; the
        // translation is found next to the program.
        QFile config(m_dir->filePath(QStringLiteral("config.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[UI]\nlang=de\n");
        config.close();
        start();
        QVERIFY(waitForLine(QStringLiteral("interface language: de$"), 10000).hasMatch());
        const QRegularExpressionMatch listed = waitForLine(DeviceListLine, 10000);
        const qint64 elapsed = m_sinceStart.elapsed();
        QVERIFY(listed.hasMatch());
        qInfo("listed after %lld ms", elapsed);
        QVERIFY2(elapsed <= 2000, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    }

private:
    void start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kestrox.setup.info=true"));
        m_process->setProcessEnvironment(env);
        m_process->setWorkingDirectory(m_dir->path());
        m_process->setReadChannel(QProcess::StandardError);
        // The shell announces the pid the program will have, then becomes it.
        m_process->start(QStringLiteral("xvfb-run"),
                         {QStringLiteral("-a"), QStringLiteral("-s"),
                          QStringLiteral("-screen 0 1280x1024x24"), QStringLiteral("sh"),
                          QStringLiteral("-c"),
                          QStringLiteral("echo \"kestrox-setup pid $$\" >&2; exec \"$0\" \"$@\""),
                          QStringLiteral(KESTROX_SETUP_BINARY), QStringLiteral("--virtual-devices")});
        QVERIFY(m_process->waitForStarted());
        const QRegularExpressionMatch started =
            waitForLine(QStringLiteral("^kestrox-setup pid (\\d+)$"), 30000);
        QVERIFY2(started.hasMatch(), "the program did not start");
        m_sinceStart.start();
        m_pid = pid_t(started.captured(1).toLongLong());
    }

    // Waits for a line of the program's error output that matches `pattern`.
    QRegularExpressionMatch waitForLine(const QString &pattern, int timeoutMs)
    {
        const QRegularExpression expression(pattern);
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (m_process->canReadLine()) {
                const QString line = QString::fromLocal8Bit(m_process->readLine()).trimmed();
                if (const QRegularExpressionMatch match = expression.match(line); match.hasMatch())
                    return match;
            }
            if (m_process->state() == QProcess::NotRunning)
                break;
            m_process->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
        }
        return {};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    pid_t m_pid = 0;
    QElapsedTimer m_sinceStart;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Counted as skipped by CTest where the machine has no virtual display.
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
        qInfo("xvfb-run not found: skipped");
        return 77;
    }
    TestSetupProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_setupprocess.moc"
