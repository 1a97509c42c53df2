// What both programs need of the desktop: the instance channel (its
// requests and its folder) and the icon without an icon theme.

#include "desktopintegration.h"
#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

class TestDesktopIntegration : public QObject
{
    Q_OBJECT

private slots:
    // Words with blanks, percent signs and non-ASCII letters arrive as sent; a second instance does not get
    // the lock, while one of another name is another instance's.
    void requestsReachTheRunningInstance()
    {
        QTemporaryDir folder;
        SingleInstance first(folder.path());
        QVERIFY(first.acquire());
        QSignalSpy requests(&first, &SingleInstance::requestReceived);
        SingleInstance second(folder.path());
        QVERIFY(!second.acquire());
        QVERIFY(SingleInstance(folder.path(), QStringLiteral("kestrox-vantrell-virtual")).acquire());

        const QStringList replay{QStringLiteral("replay"),
                                 QStringLiteral("/home/pilot/my flights/100% über.kxrec"),
                                 QStringLiteral("2.5"), QStringLiteral("loop")};
        // The sender blocks until answered; the running one answers from its event loop.
        auto sent = std::async(std::launch::async, [&] { return second.send(replay); });
        QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QVERIFY(sent.get());
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.first().first().toStringList(), replay);
    }

    // Without XDG_RUNTIME_DIR: a folder of this user's own, never one another user made or others may enter.
    void ownFolderWithoutRuntimeDirectory()
    {
        QTemporaryDir temp;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray tmpdir = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const QString expected = temp.path() + QStringLiteral("/kestrox-%1").arg(::getuid());
        const QByteArray path = QFile::encodeName(expected);
        QCOMPARE(SingleInstance::defaultFolder(), expected);
        struct stat info
        {};
        QCOMPARE(::stat(path.constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));

        if (::getuid() == 0) {
            QVERIFY(::chown(path.constData(), 4242, 4242) == 0);
            QCOMPARE(SingleInstance::defaultFolder(), QString());
            QVERIFY(SingleInstance(QString()).acquire()); // runs, unguarded
            QVERIFY(::chown(path.constData(), ::getuid(), ::getgid()) == 0);
        }
        QVERIFY(::chmod(path.constData(), 0777) == 0);
        QCOMPARE(SingleInstance::defaultFolder(), QString());

        runtime.isEmpty() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
        tmpdir.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
    }

    // No icon theme installed: the icon files the package puts in the data folder.
    void iconWithoutTheme()
    {
        QTemporaryDir data;
        QVERIFY(QDir(data.path()).mkpath(QStringLiteral("icons/hicolor/48x48/apps")));
        QImage image(48, 48, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(data.filePath(QStringLiteral("icons/hicolor/48x48/apps/com.kestrox.Test.png"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
        QIcon::setThemeSearchPaths({});
        const QIcon icon = DesktopIntegration::applicationIcon(QStringLiteral("no-such-file.png"),
                                                               QStringLiteral("com.kestrox.Test"));
        QCOMPARE(icon.pixmap(48, 48).toImage().pixelColor(10, 10), QColor(Qt::red));
        QVERIFY(DesktopIntegration::applicationIcon(QStringLiteral("x.png"), QStringLiteral("com.kestrox.No"))
                    .isNull());
    }
};

QTEST_MAIN(TestDesktopIntegration)
#include "tst_desktopintegration.moc"
