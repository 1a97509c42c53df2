// The recent log: which messages reach the file, its line format, the 1 MB
// bound with one previous file kept, and nothing lost at the end.
#include "recentlog.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

Q_LOGGING_CATEGORY(lcKestroxTest, "kestrox.test", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOther, "other.test", QtInfoMsg)

namespace {

QStringList linesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
               : QStringList();
}

// One line of log text of 100 bytes once written: 24 bytes of stamp and
// space, "info kestrox.test: " (19), the message (56) and the line feed.
QString message(int i)
{
    return QStringLiteral("%1").arg(i, 56, 10, QLatin1Char('0'));
}

} // namespace

class TestRecentLog : public QObject
{
    Q_OBJECT

private slots:
    // Through the message handler: the kestrox categories' infos, warnings
    // and criticals, not their debug, not other categories; from any thread.
    void handlerKeepsKestroxInfosAndWarnings()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("state/kestrox/kestrox-vantrell.log"));
        QLoggingCategory::setFilterRules(QStringLiteral("kestrox.test.debug=true"));
        {
            RecentLog log(file);
            log.install();
            qCInfo(lcKestroxTest) << "an info";
            qCWarning(lcKestroxTest).noquote() << "a warning";
            qCCritical(lcKestroxTest).noquote() << "a critical";
            qCDebug(lcKestroxTest) << "a debug";
            qCWarning(lcOther) << "not ours";
            qWarning("no category");
            std::unique_ptr<QThread> thread(
                QThread::create([] { qCWarning(lcKestroxTest).noquote() << "from another thread"; }));
            thread->start();
            thread->wait();
            log.flush();
            const QStringList lines = linesOf(file);
            const QStringList rest = {QStringLiteral("info kestrox.test: an info"),
                                      QStringLiteral("warning kestrox.test: a warning"),
                                      QStringLiteral("critical kestrox.test: a critical"),
                                      QStringLiteral("warning kestrox.test: from another thread")};
            QCOMPARE(lines.size(), rest.size());
            const QRegularExpression stamp(
                QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QVERIFY2(stamp.match(lines[i]).hasMatch(), qPrintable(lines[i]));
                QCOMPARE(lines[i].mid(24), rest[i]);
            }
        }
        QLoggingCategory::setFilterRules(QString());
        // The handler is gone with the log: this goes nowhere near the file.
        qCWarning(lcKestroxTest) << "after";
        QCOMPARE(linesOf(file).size(), 4);
    }

    // Past 1 MB the file moves to .log.1, replacing the one there; no line is
    // cut, and what is queued when the log goes is written, not lost.
    void boundedWithOnePreviousFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("kestrox-vantrell.log"));
        const QString previous = file + QStringLiteral(".1");
        {
            RecentLog log(file);
            // 10485 lines of 100 bytes fill 1048500 bytes: one more moves the file.
            for (int i = 0; i < 10485; ++i)
                log.append(QtInfoMsg, "kestrox.test", message(i));
            log.flush();
            QCOMPARE(QFileInfo(file).size(), 1048500);
            QVERIFY(!QFileInfo::exists(previous));
            log.append(QtInfoMsg, "kestrox.test", message(10485));
            log.flush();
            QCOMPARE(QFileInfo(previous).size(), 1048500);
            QCOMPARE(linesOf(file).size(), 1);
            QVERIFY(linesOf(file).first().endsWith(message(10485)));
            for (int i = 10486; i < 25000; ++i)
                log.append(QtWarningMsg, "kestrox.test", message(i));
        }
        QVERIFY(QFileInfo(file).size() <= 1048576);
        QVERIFY(QFileInfo(previous).size() <= 1048576);
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files),
            (QStringList{QStringLiteral("kestrox-vantrell.log"), QStringLiteral("kestrox-vantrell.log.1")}));
        // The newest lines, in order and to the last, across the two files.
        const QStringList lines = linesOf(previous) + linesOf(file);
        QVERIFY(lines.last().endsWith(message(24999)));
        for (qsizetype i = 1; i < lines.size(); ++i)
            QCOMPARE(lines[i].right(56).toInt(), lines[i - 1].right(56).toInt() + 1);
    }
};

QTEST_GUILESS_MAIN(TestRecentLog)
#include "tst_recentlog.moc"
