// The real hidapi (hidraw backend) under the main application's transport,
// against a joystick's hidraw node emulated by umockdev: enumeration from
// sysfs, an open node answered by an ioctl handler of our own, and opens
// that must fail.

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include <umockdev.h>

#include "hidtransport.h"

#include <QByteArray>
#include <QList>
#include <QTest>

#include <hidapi.h>
#include <sys/ioctl.h>
// after sys/ioctl.h: the request numbers are built with its macros
#include <linux/hidraw.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr const char *HidrawNode = "/dev/hidraw0";

// The joystick's side of hidraw. Runs on umockdev's worker thread.
struct HidrawPeer
{
    std::mutex mutex;
    QByteArray featureReport; // what any feature report read answers
    QList<QByteArray> written;
    QList<int> featureLengths;
    bool gone = false;
};

gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &peer = *static_cast<HidrawPeer *>(user);
    std::lock_guard lock(peer.mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (peer.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData *size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        const int value = 64;
        std::memcpy(size->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x07) { // HIDIOCGFEATURE(len)
        const int length = int(_IOC_SIZE(request));
        peer.featureLengths.append(length);
        UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(arg, 0, std::size_t(length), nullptr);
        // Byte 0 names the report asked for; the device answers with it in front.
        const int n = std::min<int>(length, int(peer.featureReport.size()));
        std::memcpy(buffer->data, peer.featureReport.constData(), std::size_t(n));
        umockdev_ioctl_client_complete(client, n, 0);
    } else {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
    return TRUE;
}

gboolean onWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &peer = *static_cast<HidrawPeer *>(user);
    std::lock_guard lock(peer.mutex);
    if (peer.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    UMockdevIoctlData *data = umockdev_ioctl_client_get_arg(client);
    peer.written.append(QByteArray(reinterpret_cast<const char *>(data->data), data->data_len));
    umockdev_ioctl_client_complete(client, data->data_len, 0);
    return TRUE;
}

// A USB joystick in umockdev's record format, written by hand: the USB
// device, its HID interface, the HID device and its hidraw node.
QByteArray joystickRecord(const char *usbName, const char *product, const char *hidraw)
{
    const QByteArray usb = QByteArray("/devices/usb2/") + usbName;
    const QByteArray interface = usb + '/' + usbName + ":1.0";
    const QByteArray hid = interface + "/0003:045B:" + QByteArray(product).toUpper() + ".0001";
    return "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
           "A: idVendor=045b\nA: idProduct=" + product + "\nA: manufacturer=Kestrox\n"
           "A: product=Kestrox Joystick\nA: serial=KX0001\nA: bcdDevice=0100\n\n"
           "P: " + interface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
           "A: bInterfaceNumber=00\nA: bInterfaceClass=03\n\n"
           "P: " + hid + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000045B:0000" + QByteArray(product).toUpper() +
           "\nE: HID_NAME=Kestrox Joystick\nE: HID_UNIQ=KX0001\n"
           // Generic desktop, joystick, one application collection of 63 input bytes.
           "H: report_descriptor=05010904A101150026FF007508953F8102C0\n\n"
           "P: " + hid + "/hidraw/" + hidraw + "\nN: " + hidraw + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" +
           hidraw + "\nL: device=../../../" + hid.mid(hid.lastIndexOf('/') + 1) + "\n";
}

} // namespace

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
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord("2-1", "58f9", "hidraw0").constData(),
                                                  &error),
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
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord("2-1", "58f9", "hidraw0").constData(),
                                                  &error),
                 error ? error->message : "");
        HidrawPeer peer;
        peer.featureReport = QByteArray::fromHex("02" "10203040" "50607080");
        UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onIoctl), &peer);
        g_signal_connect(handler, "handle-write", G_CALLBACK(onWrite), &peer);
        QVERIFY2(umockdev_testbed_attach_ioctl(m_testbed, HidrawNode, handler, &error),
                 error ? error->message : "");

        const std::shared_ptr<HidTransport> hid = createHidapiTransport();
        QCOMPARE(hid->init(), 0);
        HidDevice *device = hid->open(0x045B, 0x58F9);
        QVERIFY(device);

        unsigned char feature[65] = {0x02};
        QCOMPARE(hid->getFeatureReport(device, feature, sizeof feature), 9);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(feature), 9), peer.featureReport);
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
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, joystickRecord("2-1", "58f9", "hidraw0").constData(),
                                                  &error),
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
