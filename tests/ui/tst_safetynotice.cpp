// The first start on the real device path (hidapi, a joystick's hidraw node
// emulated by umockdev) in a fresh configuration folder: no report carries a
// force until the pilot acknowledges the safety notice, whatever asks for
// forces meanwhile; then the forces ramp in from zero; the next start asks
// no more.

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include "../device/umockdevjoystick.h"

#include "mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdio>

namespace {

// The stick held at half pitch: 17 bytes for any feature report, its id in
// front; the position (0x24) holds 0.5f at byte 5, the version (0x25) is 1.
QByteArray halfPitch(unsigned char id)
{
    QByteArray answer(17, '\0');
    answer[0] = char(id);
    if (id == 0x24)
        answer.replace(5, 4, QByteArray::fromHex("0000003f"));
    else if (id == 0x25)
        answer[1] = 1;
    return answer;
}

float floatAt(const QByteArray &report, int offset)
{
    quint32 bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | quint8(report[offset + i]);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

bool carryNothing(const QList<QByteArray> &reports)
{
    return std::all_of(reports.begin(), reports.end(), [](const QByteArray &r) {
        return std::all_of(r.begin() + 2, r.end(), [](char b) { return b == 0; });
    });
}

} // namespace

class TestSafetyNotice : public QObject
{
    Q_OBJECT

    UMockdevTestbed *m_testbed = nullptr;
    UMockdevIoctlBase *m_handler = nullptr;
    HidrawPeer m_joystick;
    QTemporaryDir m_config;
    std::atomic<qint64> m_now{100000};

    qsizetype written()
    {
        std::lock_guard lock(m_joystick.mutex);
        return m_joystick.written.size();
    }
    QList<QByteArray> directControls(qsizetype from = 0)
    {
        std::lock_guard lock(m_joystick.mutex);
        QList<QByteArray> reports;
        for (qsizetype i = from; i < m_joystick.written.size(); ++i) {
            const QByteArray &r = m_joystick.written.at(i);
            if (r.size() == 65 && r[0] == 0x02 && r[1] == 0x20)
                reports << r;
        }
        return reports;
    }
    // Waits for a few more reports, written after the clock was set.
    void ticks(int count = 3)
    {
        const qsizetype before = written();
        QTRY_VERIFY(written() >= before + count);
    }
    MainBackgroundThreadOptions options()
    {
        MainBackgroundThreadOptions o;
        o.hid = createHidapiTransport();
        o.telemetryEndpoints = {.dcsPort = 0, .il2Port = 0, .condor2Port = 0,
                                .warthunderStateUrl = QUrl(QStringLiteral("http://127.0.0.1:9/state")),
                                .simConnect = {}, .msfsAddress = NetworkAddress{QStringLiteral("127.0.0.1"), 9}};
        o.clock = [this] { return m_now.load(); };
        return o;
    }
    // A deflection spring on every axis: +40 kg on the elevator at half pitch.
    static EffectsSettings spring()
    {
        EffectsSettings settings;
        for (AxisEffectsSettings &axis : settings.axes) {
            axis.simple_spring.active = true;
            axis.simple_spring.total_effect_strength = 100;
            PointCurve::Points points;
            for (int i = 0; i < PointCurve::PointCount; ++i)
                points[i] = {-100.0f + 20.0f * i, (-100.0f + 20.0f * i) * -0.8f};
            axis.simple_spring.curve.setPoints(points);
        }
        return settings;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_config.filePath(QStringLiteral("state"))));
        qputenv("KESTROX_UPDATE_URL", "http://127.0.0.1:9/version.json");
        m_testbed = umockdev_testbed_new();
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord().constData(), &error),
                 error ? error->message : "");
        m_joystick.feature = halfPitch;
        m_handler = hidrawPeerHandler(m_joystick);
        QVERIFY2(umockdev_testbed_attach_ioctl(m_testbed, HidrawNode, m_handler, &error), error ? error->message : "");
    }
    void cleanupTestCase()
    {
        umockdev_testbed_detach_ioctl(m_testbed, HidrawNode, nullptr);
        g_clear_object(&m_handler);
        g_clear_object(&m_testbed);
    }

    void noForceUntilAcknowledged()
    {
        QVERIFY(!QFile::exists(m_config.filePath(QStringLiteral("kestrox/kestrox-vantrell.conf"))));
        {
            MainWindow window(nullptr, options(), true);
            window.show();
            MainBackgroundThread *worker = window.worker();
            QSignalSpy switched(worker, &MainBackgroundThread::forcesEnabledChanged);
            QTRY_VERIFY(!directControls().isEmpty()); // the joystick is open and written to
            QMetaObject::invokeMethod(worker, [worker] { worker->changeSettingsSuddenly(spring()); });
            m_now += 3000; // long past any ramp
            ticks(20);
            QVERIFY(carryNothing(directControls()));

            QMessageBox *notice = nullptr;
            QTRY_VERIFY((notice = window.findChild<QMessageBox *>(QStringLiteral("safety_notice"))) != nullptr);
            QVERIFY(notice->isVisible());

            // Nothing passes the open notice: not the window's switch, not
            // the tray, not a --forces on or toggle from the desktop.
            auto *button = window.findChild<QAbstractButton *>(QStringLiteral("forces_switch"));
            QVERIFY(button);
            button->click();
            QVERIFY(!button->isChecked());
            auto *tray = window.findChild<QAction *>(QStringLiteral("tray_forces_switch"));
            QVERIFY(tray);
            tray->trigger();
            window.setForcesEnabled(true);
            window.toggleForces();
            const qsizetype pending = written();
            m_now += 3000;
            ticks(20);
            QVERIFY(carryNothing(directControls(pending)));
            QCOMPARE(switched.count(), 0);
            QCOMPARE(window.findChildren<QMessageBox *>(QStringLiteral("safety_notice")).size(), 1);

            // "Keep forces off" keeps them off; the next request asks again.
            QPointer<QMessageBox> declined = notice;
            notice->findChild<QAbstractButton *>(QStringLiteral("keep_forces_off"))->click();
            QTRY_VERIFY(declined.isNull());
            QCOMPARE(switched.count(), 0);
            window.setForcesEnabled(true);
            notice = window.findChild<QMessageBox *>(QStringLiteral("safety_notice"));
            QVERIFY(notice && notice->isVisible());
            QCOMPARE(switched.count(), 0);

            auto *acknowledge = notice->findChild<QAbstractButton *>(QStringLiteral("acknowledge_safety"));
            QVERIFY(acknowledge);
            const qint64 acknowledged = m_now.load();
            acknowledge->click();
            QTRY_COMPARE(switched.count(), 1);
            // From zero, 40 kg over 2 s: 10 at 0.5 s, 20 at 1 s, 40 from 2 s on.
            for (const auto &[after, expected] : {std::pair{0, 0.0f}, std::pair{500, 10.0f}, std::pair{1000, 20.0f},
                                                  std::pair{2000, 40.0f}, std::pair{3000, 40.0f}}) {
                m_now = acknowledged + after;
                const qsizetype from = written();
                ticks();
                QCOMPARE(floatAt(directControls(from).last(), 14), expected);
            }
        }
        // Kept: the next start sends forces without asking.
        QVERIFY(QFile::exists(m_config.filePath(QStringLiteral("kestrox/kestrox-vantrell.conf"))));
    }
};

int main(int argc, char *argv[])
{
    // The emulated device exists only under umockdev's preload library.
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev"))) {
        std::fprintf(stderr, "skipped: run under umockdev-wrapper (Debian package umockdev)\n");
        return 77;
    }
    QApplication app(argc, argv);
    TestSafetyNotice test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_safetynotice.moc"
