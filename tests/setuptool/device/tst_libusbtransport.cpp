// The real libusb under the setup tool's transport, against a joystick that
// umockdev emulates: sysfs for enumeration, and an ioctl handler of our own
// that plays the device's side of usbfs (URBs of control transfers).

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include <umockdev.h>

#include "libusbtransport.h"
#include "settingsprotocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTest>

#include <sys/ioctl.h>
// after sys/ioctl.h: the request numbers are built with its macros
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// One control transfer as the device saw it: the setup packet and, for
// host-to-device transfers, the data stage.
struct Transfer
{
    QByteArray setup;
    QByteArray data;
};

// The joystick's side of usbfs. Runs on umockdev's worker thread.
struct JoystickPeer
{
    std::mutex mutex;
    QList<Transfer> transfers;
    QList<unsigned int> claimed; // interfaces claimed (with the kernel driver let go)
    QList<unsigned int> released;
    QByteArray effectSettings; // what GET_REPORT 0x22 answers
    bool gone = false;         // unplugged: every request fails as the kernel fails it
    UMockdevIoctlData *done = nullptr; // a completed URB waiting to be reaped

    QList<Transfer> takeTransfers()
    {
        std::lock_guard lock(mutex);
        return std::exchange(transfers, {});
    }
};

void complete(UMockdevIoctlClient *client, long result, int error)
{
    umockdev_ioctl_client_complete(client, result, error);
}

// Answers one control URB into `buffer` (setup packet, then the data stage).
int answerControl(JoystickPeer &peer, unsigned char *buffer, int length)
{
    const QByteArray setup(reinterpret_cast<const char *>(buffer), 8);
    const int requestType = buffer[0];
    const int request = buffer[1];
    const int value = buffer[2] | (buffer[3] << 8);
    const int wLength = buffer[6] | (buffer[7] << 8);
    const int room = std::min(wLength, length - 8);
    if (requestType == 0x21 && request == 0x09) { // SET_REPORT
        peer.transfers.append({setup, QByteArray(reinterpret_cast<const char *>(buffer + 8), room)});
        return room;
    }
    peer.transfers.append({setup, {}});
    if (requestType == 0xA1 && request == 0x01) { // GET_REPORT
        QByteArray answer;
        if (value == 0x0322)
            answer = peer.effectSettings;
        else if (value == 0x0324)
            answer = QByteArray(1, '\0'); // ready
        const int n = std::min<int>(room, int(answer.size()));
        std::memcpy(buffer + 8, answer.constData(), std::size_t(n));
        return n;
    }
    return -EPIPE; // a stall, as the firmware gives unknown requests
}

gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &peer = *static_cast<JoystickPeer *>(user);
    std::lock_guard lock(peer.mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (peer.gone) {
        complete(client, -1, ENODEV);
        return TRUE;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData *caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(quint32), nullptr);
        const quint32 value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                              USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        std::memcpy(caps->data, &value, sizeof value);
        complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
        UMockdevIoctlData *dc =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_disconnect_claim), nullptr);
        peer.claimed.append(reinterpret_cast<usbdevfs_disconnect_claim *>(dc->data)->interface);
        complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        UMockdevIoctlData *number = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
        unsigned int interface = 0;
        std::memcpy(&interface, number->data, sizeof interface);
        (request == USBDEVFS_CLAIMINTERFACE ? peer.claimed : peer.released).append(interface);
        complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_IOCTL: // giving the interface back to the kernel driver
        complete(client, 0, 0);
        return TRUE;
    case USBDEVFS_SUBMITURB: {
        UMockdevIoctlData *urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto *urb = reinterpret_cast<usbdevfs_urb *>(urbData->data);
        if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < 8 || peer.done) {
            complete(client, -1, EINVAL);
            return TRUE;
        }
        UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                                std::size_t(urb->buffer_length), nullptr);
        const int result = answerControl(peer, buffer->data, urb->buffer_length);
        urb->status = result < 0 ? result : 0;
        urb->actual_length = result < 0 ? 0 : result;
        peer.done = static_cast<UMockdevIoctlData *>(g_object_ref(urbData));
        complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        if (!peer.done) {
            complete(client, -1, EAGAIN);
            return TRUE;
        }
        // The argument points at the client's URB pointer: aim that at the finished URB.
        umockdev_ioctl_data_set_ptr(umockdev_ioctl_data_resolve(arg, 0, sizeof(void *), nullptr), 0,
                                    peer.done);
        g_object_unref(peer.done);
        peer.done = nullptr;
        complete(client, 0, 0);
        return TRUE;
    default:
        complete(client, -1, ENOTTY);
        return TRUE;
    }
}

// Descriptors as the joystick's firmware reports them: device, one
// configuration with one HID interface and one interrupt IN endpoint.
const unsigned char joystickDescriptors[] = {
    0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, 0x5B, 0x04, 0xF9, 0x58, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01,
    0x09, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
    0x09, 0x04, 0x00, 0x00, 0x01, 0x03, 0x00, 0x00, 0x00,
    0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, 0x40, 0x00,
    0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x01,
};

// A busy wait that takes no real time.
class InstantClock : public BusyWaitClock
{
public:
    qint64 nowMs() override { return m_now; }
    void pauseMs(int ms) override { m_now += ms; }

private:
    qint64 m_now = 0;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestLibUsbTransport : public QObject
{
    Q_OBJECT

    UMockdevTestbed *m_testbed = nullptr;
    UMockdevIoctlBase *m_handler = nullptr;
    JoystickPeer m_peer;
    gchar *m_syspath = nullptr;

    static constexpr const char *DevNode = "/dev/bus/usb/001/002";

private slots:
    void init()
    {
        m_peer.gone = false;
        m_peer.transfers.clear();
        m_peer.claimed.clear();
        m_peer.released.clear();
        m_peer.effectSettings = QByteArray(384, '\0');
        for (int i = 0; i < 384; ++i)
            m_peer.effectSettings[i] = char((i * 7 + 3) & 0xFF);

        m_testbed = umockdev_testbed_new();
        // umockdev's record format, written by hand; N: creates the device node.
        QByteArray record = "P: /devices/usb1/1-1\n"
                            "N: bus/usb/001/002\n"
                            "E: DEVNAME=/dev/bus/usb/001/002\n"
                            "E: DEVTYPE=usb_device\n"
                            "E: SUBSYSTEM=usb\n"
                            "E: BUSNUM=001\n"
                            "E: DEVNUM=002\n"
                            "A: idVendor=045b\n"
                            "A: idProduct=58f9\n"
                            "A: bConfigurationValue=1\n"
                            "A: bNumConfigurations=1\n"
                            "H: descriptors=";
        record += QByteArray(reinterpret_cast<const char *>(joystickDescriptors), sizeof joystickDescriptors)
                      .toHex() +
                  "\n";
        GError *error = nullptr;
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, record.constData(), &error),
                 error ? error->message : "");
        m_syspath = g_strdup("/sys/devices/usb1/1-1");
        // As the kernel writes them, newline included: libusb parses these three.
        umockdev_testbed_set_attribute(m_testbed, m_syspath, "busnum", "1\n");
        umockdev_testbed_set_attribute(m_testbed, m_syspath, "devnum", "2\n");
        umockdev_testbed_set_attribute(m_testbed, m_syspath, "speed", "12\n");
        m_handler = umockdev_ioctl_base_new();
        g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(onIoctl), &m_peer);
        QVERIFY2(umockdev_testbed_attach_ioctl(m_testbed, DevNode, m_handler, &error),
                 error ? error->message : "");
    }
    void cleanup()
    {
        if (m_peer.done)
            g_clear_object(&m_peer.done);
        if (m_testbed && m_syspath)
            umockdev_testbed_detach_ioctl(m_testbed, DevNode, nullptr);
        g_clear_object(&m_handler);
        g_clear_object(&m_testbed);
        g_free(m_syspath);
        m_syspath = nullptr;
    }

    // Found by vendor and product id; interface 0 taken from the HID driver
    // and given back on close.
    void enumerationAndOpen()
    {
        LibUsbTransport usb;
        QCOMPARE(usb.init(), 0);
        QCOMPARE(usb.openDeviceWithVidPid(0x045B, 0x5968), nullptr); // no rudder plugged in
        QCOMPARE(usb.openDeviceWithVidPid(0x046D, 0x58F9), nullptr); // another vendor
        DeviceHandle *handle = usb.openDeviceWithVidPid(0x045B, 0x58F9);
        QVERIFY(handle);
        libusb_device_descriptor descriptor{};
        QCOMPARE(libusb_get_device_descriptor(libusb_get_device(LibUsbTransport::libusbHandle(handle)), &descriptor), 0);
        QCOMPARE(descriptor.idVendor, quint16(0x045B));
        QCOMPARE(descriptor.idProduct, quint16(0x58F9));
        {
            std::lock_guard lock(m_peer.mutex);
            QCOMPARE(m_peer.claimed, QList<unsigned int>{0});
        }
        usb.close(handle);
        {
            std::lock_guard lock(m_peer.mutex);
            QCOMPARE(m_peer.released, QList<unsigned int>{0});
        }
        usb.exit();
    }

    // One settings read and one apply, byte for byte on the control pipe.
    void readAndApplyEffectSettings()
    {
        LibUsbTransport usb;
        QCOMPARE(usb.init(), 0);
        DeviceHandle *handle = usb.openDeviceWithVidPid(0x045B, 0x58F9);
        QVERIFY(handle);

        ReportBuffer buffer;
        QCOMPARE(readFeatureReport(usb, handle, SettingsReportId::EffectSettingsReport, buffer), 384);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), 384), m_peer.effectSettings);
        QList<Transfer> read = m_peer.takeTransfers();
        QCOMPARE(read.size(), 1);
        // GET_REPORT, feature report 0x22, interface 0, 1024 bytes.
        QCOMPARE(read[0].setup, hex("a101220300000004"));

        QByteArray record(384, '\0');
        for (int i = 0; i < 384; ++i)
            record[i] = char(255 - (i % 251));
        sendRecord(usb, handle, DeviceCommand::WriteEffectSettings, record.constData(), int(record.size()));
        InstantClock clock;
        QCOMPARE(awaitDeviceNotBusy(usb, handle, {100, 30000, &clock}), BusyWaitResult::Ready);

        const QList<Transfer> apply = m_peer.takeTransfers();
        QCOMPARE(apply.size(), 7 + 1 + 1); // seven chunks, the terminator, one state read
        const int remaining[] = {384, 326, 268, 210, 152, 94, 36};
        QByteArray area(58, '\0'); // the data area as the device sees it, packet after packet
        for (int k = 0; k < 7; ++k) {
            QCOMPARE(apply[k].setup, hex("2109200300004100")); // SET_REPORT 0x20, 65 bytes
            const QByteArray &p = apply[k].data;
            QCOMPARE(p.size(), 65);
            QCOMPARE(quint8(p[0]), quint8(0x20));
            QCOMPARE(quint8(p[1]), quint8(0x12));
            QCOMPARE(quint8(p[2]) | (quint8(p[3]) << 8), 58 * k);
            QCOMPARE(quint8(p[4]) | (quint8(p[5]) << 8), remaining[k]);
            const int chunk = std::min(58, remaining[k]);
            area.replace(0, chunk, record.mid(58 * k, chunk));
            QCOMPARE(p.mid(6, 58), area);
            QCOMPARE(quint8(p[64]), quint8(0));
        }
        QCOMPARE(apply[7].setup, hex("2109200300004100"));
        QByteArray terminator = apply[6].data;
        terminator[4] = char(0xFF);
        terminator[5] = char(0xFF);
        QCOMPARE(apply[7].data, terminator);
        QCOMPARE(apply[8].setup, hex("a101240300000004")); // the device state report

        usb.close(handle);
        usb.exit();
    }

    // Unplugged while open: every transfer fails, the busy wait gives up,
    // closing is safe and the device is no longer found.
    void deviceDisappears()
    {
        LibUsbTransport usb;
        QCOMPARE(usb.init(), 0);
        DeviceHandle *handle = usb.openDeviceWithVidPid(0x045B, 0x58F9);
        QVERIFY(handle);
        ReportBuffer buffer;
        QVERIFY(readFeatureReport(usb, handle, SettingsReportId::EffectSettingsReport, buffer) > 0);
        QCOMPARE(m_peer.takeTransfers().size(), 1);

        {
            std::lock_guard lock(m_peer.mutex);
            m_peer.gone = true;
        }
        umockdev_testbed_uevent(m_testbed, m_syspath, "remove");
        umockdev_testbed_remove_device(m_testbed, m_syspath);

        QVERIFY(readFeatureReport(usb, handle, SettingsReportId::EffectSettingsReport, buffer) < 0);
        QVERIFY(sendCommandReport(usb, handle, DeviceCommand::SaveSettings) < 0);
        sendRecord(usb, handle, DeviceCommand::WriteEffectSettings, m_peer.effectSettings.constData(), 384);
        InstantClock clock;
        QCOMPARE(awaitDeviceNotBusy(usb, handle, {100, 30000, &clock}), BusyWaitResult::DeviceGone);
        QCOMPARE(m_peer.takeTransfers().size(), 0);
        usb.close(handle);

        // libusb learns of the removal from its hotplug monitor, on its own thread.
        QElapsedTimer timer;
        timer.start();
        DeviceHandle *again = nullptr;
        while (timer.elapsed() < 5000) {
            again = usb.openDeviceWithVidPid(0x045B, 0x58F9);
            if (!again)
                break;
            usb.close(again);
            QTest::qWait(10);
        }
        QCOMPARE(again, nullptr);
        usb.exit();
    }
};

int main(int argc, char *argv[])
{
    // The emulated device exists only under umockdev's preload library.
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev"))) {
        std::fprintf(stderr, "skipped: run under umockdev-wrapper (Debian package umockdev)\n");
        return 77;
    }
    TestLibUsbTransport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_libusbtransport.moc"
