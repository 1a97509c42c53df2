// The real hidapi (hidraw backend) under the main application's transport,
// against a joystick's hidraw node emulated by umockdev: enumeration from
// sysfs, an open node answered by an ioctl handler of our own, and opens
// that must fail.

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include "umockdevjoystick.h"

#include "hidtransport.h"

#include <QByteArray>
#include <QList>
#include <QTest>

#include <hidapi.h>

#include <cstdio>

class TestHidapiTransport : public QObject
{
    Q_OBJECT

    UMockdevTestbed *m_testbed = nullptr;

private slots:
    void init() { m_testbed = umockdev_testbed_new(); }
    void cleanup()
    {
        hid_exit();
        g_clear_object(&m_testbed);
    }

    void enumeration()
    {
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord().constData(), &error),
                 error ? error->message : "");
        QCOMPARE(createHidapiTransport()->init(), 0);
        hid_device_info *found = hid_enumerate(0x045B, 0x58F9);
        QVERIFY(found);
        QCOMPARE(QByteArray(found->path), QByteArray(HidrawNode));
        QCOMPARE(found->vendor_id, quint16(0x045B));
        QCOMPARE(found->product_id, quint16(0x58F9));
        QCOMPARE(found->interface_number, 0);
        QCOMPARE(QString::fromWCharArray(found->product_string), QStringLiteral("Kestrox Joystick"));
        QCOMPARE(found->next, nullptr);
        hid_free_enumeration(found);
        QCOMPARE(hid_enumerate(0x045B, 0x5968), nullptr); // no rudder
    }

    // An open node answers feature reads and takes output reports; once the
    // device is gone both fail.
    void openReadWriteAndUnplug()
    {
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord().constData(), &error),
                 error ? error->message : "");
        HidrawPeer peer;
        const QByteArray featureReport = QByteArray::fromHex("02" "10203040" "50607080");
        peer.feature = [featureReport](unsigned char) { return featureReport; };
        UMockdevIoctlBase *handler = hidrawPeerHandler(peer);
        QVERIFY2(umockdev_testbed_attach_ioctl(m_testbed, HidrawNode, handler, &error),
                 error ? error->message : "");

        const std::shared_ptr<HidTransport> hid = createHidapiTransport();
        QCOMPARE(hid->init(), 0);
        HidDevice *device = hid->open(0x045B, 0x58F9);
        QVERIFY(device);

        unsigned char feature[65] = {0x02};
        QCOMPARE(hid->getFeatureReport(device, feature, sizeof feature), 9);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(feature), 9), featureReport);
        unsigned char report[65] = {0x01, 0xAA, 0x55};
        QCOMPARE(hid->write(device, report, sizeof report), 65);
        {
            std::lock_guard lock(peer.mutex);
            QCOMPARE(peer.featureLengths, QList<int>{65});
            QCOMPARE(peer.written.size(), 1);
            QCOMPARE(peer.written[0].left(3), QByteArray::fromHex("01aa55"));
            QCOMPARE(peer.written[0].size(), 65);
            peer.gone = true;
        }
        QVERIFY(hid->getFeatureReport(device, feature, sizeof feature) < 0);
        QVERIFY(hid->write(device, report, sizeof report) < 0);
        hid->close(device);

        umockdev_testbed_detach_ioctl(m_testbed, HidrawNode, nullptr);
        umockdev_testbed_remove_device(m_testbed, "/sys/devices/usb2/2-1");
        QCOMPARE(hid->open(0x045B, 0x58F9), nullptr); // unplugged: nothing to open
        g_object_unref(handler);
    }

    // A listed node that does not behave as hidraw (no answer to the
    // descriptor size request), and ids nobody has: open fails, no crash.
    void openFails()
    {
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord().constData(), &error),
                 error ? error->message : "");
        const std::shared_ptr<HidTransport> hid = createHidapiTransport();
        QCOMPARE(hid->init(), 0);
        hid_device_info *found = hid_enumerate(0x045B, 0x58F9);
        QVERIFY(found); // listed...
        hid_free_enumeration(found);
        QCOMPARE(hid->open(0x045B, 0x58F9), nullptr); // ...but not a working hidraw node
        QCOMPARE(hid->open(0x045B, 0x5968), nullptr);
    }
};

int main(int argc, char *argv[])
{
    // The emulated device exists only under umockdev's preload library.
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev"))) {
        std::fprintf(stderr, "skipped: run under umockdev-wrapper (Debian package umockdev)\n");
        return 77;
    }
    TestHidapiTransport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hidapitransport.moc"
