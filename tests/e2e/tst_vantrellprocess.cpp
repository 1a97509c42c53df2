#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct LogLine
{
    qint64 milliseconds = -1;
    QString productId;
    QByteArray report;
};

QList<LogLine> readLog(const QString &path)
{
    QList<LogLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(' ');
        if (fields.size() != 3)
            continue;
        lines.append(
            {fields[0].toLongLong(), QString::fromLatin1(fields[1]), QByteArray::fromHex(fields[2])});
    }
    return lines;
}

bool isDirectControl(const LogLine &line)
{
    return line.report.size() == 65 && line.report[0] == 0x02 && line.report[1] == 0x20;
}

} // namespace

class TestVantrellProcess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void startVantrell(QProcess &process, const QStringList &arguments)
    {
        process.setWorkingDirectory(m_dir.path());
        process.setProgram(QStringLiteral(KESTROX_VANTRELL_BINARY));
        process.setArguments(arguments);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start();
        QVERIFY(process.waitForStarted());
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void writesEveryTickAndRestsTheMotorsOnTerm()
    {
        const QString logPath = m_dir.filePath(QStringLiteral("device.log"));
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath,
                                QStringLiteral("--virtual-position"), QStringLiteral("0.2,-0.1,0.3")});
        // Let it run about three seconds from its first report.
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);
        QTest::qWait(3000);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        const QByteArray errors = process.readAllStandardError();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(!errors.contains("QThread: Destroyed"), errors.constData());

        const QList<LogLine> lines = readLog(logPath);
        for (const QString &productId : {QStringLiteral("58f9"), QStringLiteral("5968")}) {
            QList<LogLine> reports;
            for (const LogLine &line : lines) {
                if (line.productId == productId && isDirectControl(line))
                    reports << line;
            }
            // One report per 10 ms tick; a loaded machine may lose a few ticks.
            QVERIFY2(reports.size() >= 240 && reports.size() <= 340,
                     qPrintable(QString::number(reports.size())));
            const QByteArray last = reports.last().report;
            QVERIFY2(std::all_of(last.begin() + 2, last.end(), [](char b) { return b == 0; }),
                     last.toHex().constData());
        }
        // The very last line of each device is its rest report.
        QVERIFY(isDirectControl(lines.last()));
    }

    void unwritableDeviceLogIsAnError()
    {
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"),
                                m_dir.filePath(QStringLiteral("missing/dir/device.log"))});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("cannot open device log"));
    }

    void badVirtualPositionIsAnError()
    {
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--virtual-position"),
                                QStringLiteral("0.5,abc")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("--virtual-position"));
    }
};

QTEST_GUILESS_MAIN(TestVantrellProcess)
#include "tst_vantrellprocess.moc"
