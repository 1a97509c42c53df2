// The setup tool's default Linux transport, the real hidapi hidraw backend,
// against a joystick and a rudder emulated by umockdev: sysfs for
// enumeration, and ioctl handlers of our own that play the kernel and the
// firmware behind each hidraw node. The joystick also has its usbfs node,
// whose handler records what would take the device from the kernel's driver,
// and a second program writes output reports to the same node meanwhile.

// First: glib names struct members "signals", which Qt's keyword macro would rewrite.
#include <umockdev.h>

#include "setupcommandline.h"
#include "settingsprotocol.h"
#include "settingsuibackgroundthread.h"
#include "usbtransport.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

#include <hidapi.h>

#include <sys/ioctl.h>
// after sys/ioctl.h: the request numbers are built with its macros
#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// The feature-report ioctls the protocol may use, worked out by hand from
// _IOC(read|write, 'H', nr, size): 0xC0000000 | size << 16 | 0x48 << 8 | nr.
constexpr unsigned long GetFeature1024 = 0xC4004807; // HIDIOCGFEATURE(1024)
constexpr unsigned long SetFeature65 = 0xC0414806;   // HIDIOCSFEATURE(65)

// One feature-report ioctl as the kernel received it.
struct Call
{
    unsigned long request = 0;
    QByteArray sent; // the caller's buffer when the call came in
};

// The kernel and the firmware behind one hidraw node. Runs on umockdev's
// worker thread.
struct FirmwarePeer
{
    std::mutex mutex;
    QByteArray info;     // answers report 0x25
    QByteArray effects;  // 0x22
    QByteArray hardware; // 0x21
    int outputReports = 0;  // written to the node, as kestrox-vantrell writes its forces
    int busyAfterWrite = 2; // busy answers to 0x24 after a record or a save
    int busyLeft = 0;
    int answersLeft = -1; // protocol ioctls answered before it leaves the bus; -1 never
    bool gone = false;
    QList<Call> calls;

    QList<Call> takeCalls()
    {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }
};

gboolean onHidrawIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &peer = *static_cast<FirmwarePeer *>(user);
    std::lock_guard lock(peer.mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (peer.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    if (request == HIDIOCGRDESCSIZE) { // hidapi's check that the node is hidraw
        UMockdevIoctlData *size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        const int value = 18;
        std::memcpy(size->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    const bool feature = _IOC_TYPE(request) == 'H' && (_IOC_NR(request) == 0x06 || _IOC_NR(request) == 0x07);
    if (!feature) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
    const int length = int(_IOC_SIZE(request));
    UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(arg, 0, std::size_t(length), nullptr);
    peer.calls.append({request, QByteArray(reinterpret_cast<const char *>(buffer->data), length)});
    if (peer.answersLeft == 0) {
        peer.gone = true;
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    if (peer.answersLeft > 0)
        --peer.answersLeft;

    const unsigned char *data = buffer->data;
    if (_IOC_NR(request) == 0x06) { // SET_REPORT of the 65-byte command report
        const bool recordEnd = (data[1] == 0x11 || data[1] == 0x12) && data[4] == 0xFF && data[5] == 0xFF;
        if (recordEnd || data[1] == 0x02)
            peer.busyLeft = peer.busyAfterWrite;
        umockdev_ioctl_client_complete(client, length, 0);
        return TRUE;
    }
    // GET_REPORT: the firmware's data lands at byte 0, over the report id.
    QByteArray answer;
    switch (data[0]) {
    case 0x25: answer = peer.info; break;
    case 0x22: answer = peer.effects; break;
    case 0x21: answer = peer.hardware; break;
    case 0x24:
        answer = QByteArray(1, peer.busyLeft > 0 ? '\1' : '\0');
        peer.busyLeft = std::max(peer.busyLeft - 1, 0);
        break;
    default:
        umockdev_ioctl_client_complete(client, -1, EPIPE); // a stall
        return TRUE;
    }
    const int n = std::min<int>(length, int(answer.size()));
    std::memcpy(buffer->data, answer.constData(), std::size_t(n));
    umockdev_ioctl_client_complete(client, n, 0);
    return TRUE;
}

gboolean onHidrawWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &peer = *static_cast<FirmwarePeer *>(user);
    std::lock_guard lock(peer.mutex);
    UMockdevIoctlData *data = umockdev_ioctl_client_get_arg(client);
    if (peer.gone || data->data_len != 65 || data->data[0] != 0x02) {
        umockdev_ioctl_client_complete(client, -1, peer.gone ? ENODEV : EINVAL);
        return TRUE;
    }
    ++peer.outputReports;
    umockdev_ioctl_client_complete(client, data->data_len, 0);
    return TRUE;
}

// The joystick's usbfs node: records every request and answers what libusb
// needs to open the device.
struct UsbfsRecorder
{
    std::mutex mutex;
    QList<unsigned long> requests;

    // Claims, releases and driver disconnects: what takes the device from the kernel.
    int takings()
    {
        std::lock_guard lock(mutex);
        return int(std::count_if(requests.cbegin(), requests.cend(), [](unsigned long r) {
            return r == USBDEVFS_CLAIMINTERFACE || r == USBDEVFS_RELEASEINTERFACE ||
                   r == USBDEVFS_DISCONNECT_CLAIM || r == USBDEVFS_IOCTL;
        }));
    }
};

gboolean onUsbfsIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &recorder = *static_cast<UsbfsRecorder *>(user);
    std::lock_guard lock(recorder.mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    recorder.requests.append(request);
    if (request == USBDEVFS_GET_CAPABILITIES) {
        UMockdevIoctlData *caps = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                              sizeof(quint32), nullptr);
        const quint32 value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                              USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        std::memcpy(caps->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    const bool taking = request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_RELEASEINTERFACE ||
                        request == USBDEVFS_DISCONNECT_CLAIM || request == USBDEVFS_IOCTL;
    umockdev_ioctl_client_complete(client, taking ? 0 : -1, taking ? 0 : ENOTTY);
    return TRUE;
}

// Descriptors as the joystick's firmware reports them: device, one
// configuration with one HID interface and one interrupt IN endpoint. The
// product id is in bytes 10 and 11.
const unsigned char joystickDescriptors[] = {
    0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, 0x5B, 0x04, 0xF9, 0x58, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01,
    0x09, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
    0x09, 0x04, 0x00, 0x00, 0x01, 0x03, 0x00, 0x00, 0x00,
    0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, 0x40, 0x00,
    0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x01,
};

// A USB HID device in umockdev's record format, written by hand: the USB
// device with its usbfs node, its HID interface, the HID device and its
// hidraw node.
QByteArray deviceRecord(const char *port, const char *product, const char *name, const char *usbNode,
                        const char *hidraw)
{
    const QByteArray usb = QByteArray("/devices/usb2/") + port;
    const QByteArray interface = usb + '/' + port + ":1.0";
    const QByteArray id = QByteArray(product).toUpper();
    const QByteArray hid = interface + "/0003:045B:" + id + ".0001";
    QByteArray descriptors(reinterpret_cast<const char *>(joystickDescriptors), sizeof joystickDescriptors);
    const int productId = id.toInt(nullptr, 16);
    descriptors[10] = char(productId & 0xFF);
    descriptors[11] = char(productId >> 8);
    return "P: " + usb + "\nN: " + usbNode + "\nE: DEVNAME=/dev/" + usbNode +
           "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: BUSNUM=002\nE: DEVNUM=" + QByteArray(usbNode).right(3) +
           "\nA: idVendor=045b\nA: idProduct=" + product + "\nA: manufacturer=Kestrox\nA: product=" + name +
           "\nA: bcdDevice=0100\nA: bConfigurationValue=1\nA: bNumConfigurations=1\nH: descriptors=" +
           descriptors.toHex() + "\n\n"
           "P: " + interface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
           "A: bInterfaceNumber=00\nA: bInterfaceClass=03\n\n"
           "P: " + hid + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000045B:0000" + id + "\nE: HID_NAME=" + name + "\nE: HID_UNIQ=KX" + id +
           "\n"
           // Generic desktop, joystick, one application collection of 63 input bytes.
           "H: report_descriptor=05010904A101150026FF007508953F8102C0\n\n"
           "P: " + hid + "/hidraw/" + hidraw + "\nN: " + hidraw + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" +
           hidraw + "\nL: device=../../../" + hid.mid(hid.lastIndexOf('/') + 1) + "\n";
}

QByteArray pattern(int size, int step, int start)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * step + start) & 0xFF);
    return bytes;
}

// A busy wait that takes no real time.
class InstantClock : public BusyWaitClock
{
public:
    qint64 nowMs() override { return m_now; }
    void pauseMs(int ms) override { m_now += ms; }

private:
    qint64 m_now = 0;
};

// A GET_REPORT of `report` with 1024 bytes: the request number, the length in
// it and the buffer the kernel was handed (report id first).
void verifyGet(const Call &call, quint8 report)
{
    QCOMPARE(call.request, GetFeature1024);
    QCOMPARE(call.sent.size(), 1024);
    QCOMPARE(quint8(call.sent[0]), report);
}

} // namespace

class TestHidrawTransport : public QObject
{
    Q_OBJECT

    UMockdevTestbed *m_testbed = nullptr;
    UMockdevIoctlBase *m_joystickNode = nullptr;
    UMockdevIoctlBase *m_rudderNode = nullptr;
    UMockdevIoctlBase *m_usbfsNode = nullptr;
    FirmwarePeer m_joystick;
    FirmwarePeer m_rudder;
    UsbfsRecorder m_usbfs;
    InstantClock m_clock;

    static constexpr const char *JoystickUsbNode = "/dev/bus/usb/002/002";

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("kestrox.setup.info=false")); }

    void init()
    {
        for (FirmwarePeer *peer : {&m_joystick, &m_rudder}) {
            peer->gone = false;
            peer->answersLeft = -1;
            peer->busyLeft = 0;
            peer->calls.clear();
            peer->outputReports = 0;
        }
        // Firmware version 240611 = 0x0003ABE3, then the device type.
        m_joystick.info = QByteArray::fromHex("e3ab030001") + QByteArray(59, '\0');
        m_rudder.info = QByteArray::fromHex("e3ab030002") + QByteArray(59, '\0');
        m_joystick.effects = pattern(384, 7, 3);
        m_joystick.hardware = pattern(512, 5, 1);
        m_rudder.effects = pattern(384, 11, 9);
        m_usbfs.requests.clear();

        m_testbed = umockdev_testbed_new();
        GError *error = nullptr;
        const QByteArray devices = deviceRecord("2-1", "58f9", "Kestrox Joystick", "bus/usb/002/002", "hidraw0") +
                                   "\n" +
                                   deviceRecord("2-2", "5968", "Kestrox Rudder", "bus/usb/002/003", "hidraw1");
        QVERIFY2(umockdev_testbed_add_from_string(m_testbed, devices.constData(), &error),
                 error ? error->message : "");
        // As the kernel writes them, newline included: libusb parses these three.
        for (const char *port : {"/sys/devices/usb2/2-1", "/sys/devices/usb2/2-2"}) {
            umockdev_testbed_set_attribute(m_testbed, port, "busnum", "2\n");
            umockdev_testbed_set_attribute(m_testbed, port, "speed", "12\n");
        }
        umockdev_testbed_set_attribute(m_testbed, "/sys/devices/usb2/2-1", "devnum", "2\n");
        umockdev_testbed_set_attribute(m_testbed, "/sys/devices/usb2/2-2", "devnum", "3\n");

        m_joystickNode = umockdev_ioctl_base_new();
        g_signal_connect(m_joystickNode, "handle-ioctl", G_CALLBACK(onHidrawIoctl), &m_joystick);
        g_signal_connect(m_joystickNode, "handle-write", G_CALLBACK(onHidrawWrite), &m_joystick);
        QVERIFY(umockdev_testbed_attach_ioctl(m_testbed, "/dev/hidraw0", m_joystickNode, &error));
        m_rudderNode = umockdev_ioctl_base_new();
        g_signal_connect(m_rudderNode, "handle-ioctl", G_CALLBACK(onHidrawIoctl), &m_rudder);
        QVERIFY(umockdev_testbed_attach_ioctl(m_testbed, "/dev/hidraw1", m_rudderNode, &error));
        m_usbfsNode = umockdev_ioctl_base_new();
        g_signal_connect(m_usbfsNode, "handle-ioctl", G_CALLBACK(onUsbfsIoctl), &m_usbfs);
        QVERIFY(umockdev_testbed_attach_ioctl(m_testbed, JoystickUsbNode, m_usbfsNode, &error));
    }

    void cleanup()
    {
        for (const char *node : {"/dev/hidraw0", "/dev/hidraw1", JoystickUsbNode})
            umockdev_testbed_detach_ioctl(m_testbed, node, nullptr);
        g_clear_object(&m_joystickNode);
        g_clear_object(&m_rudderNode);
        g_clear_object(&m_usbfsNode);
        g_clear_object(&m_testbed);
    }

    // Found by vendor and product id on their hidraw nodes; the information
    // and effect settings reads are one HIDIOCGFEATURE(1024) each, and what
    // the firmware answers arrives from byte 0, with the received count.
    void enumerationAndReads()
    {
        const std::unique_ptr<UsbTransport> usb = createSetupTransport(SetupCommandLine{});
        QCOMPARE(usb->init(), 0);
        QVERIFY(!usb->takesDevicesFromSystem());
        QCOMPARE(usb->openDeviceWithVidPid(0x045B, 0x59D7), nullptr); // no wheel
        QCOMPARE(usb->openDeviceWithVidPid(0x046D, 0x58F9), nullptr); // another vendor
        DeviceHandle *joystick = usb->openDeviceWithVidPid(0x045B, 0x58F9);
        DeviceHandle *rudder = usb->openDeviceWithVidPid(0x045B, 0x5968);
        QVERIFY(joystick && rudder && joystick != rudder);

        ReportBuffer buffer;
        QCOMPARE(readFeatureReport(*usb, rudder, SettingsReportId::DeviceInfoReport, buffer), 64);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), 64), m_rudder.info);
        QCOMPARE(readFeatureReport(*usb, joystick, SettingsReportId::EffectSettingsReport, buffer), 384);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), 1024),
                 m_joystick.effects + QByteArray(640, '\0'));
        // A state read answers one byte: the rest of the buffer stays clear.
        QCOMPARE(readFeatureReport(*usb, joystick, SettingsReportId::DeviceStateReport, buffer), 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), 1024), QByteArray(1024, '\0'));

        const QList<Call> joystickCalls = m_joystick.takeCalls();
        QCOMPARE(joystickCalls.size(), 2);
        verifyGet(joystickCalls[0], 0x22);
        verifyGet(joystickCalls[1], 0x24);
        // Everything after the report id is what the caller cleared.
        QCOMPARE(joystickCalls[0].sent.mid(1), QByteArray(1023, '\0'));
        const QList<Call> rudderCalls = m_rudder.takeCalls();
        QCOMPARE(rudderCalls.size(), 1);
        verifyGet(rudderCalls[0], 0x25);

        // A request the ioctls cannot express never reaches the kernel.
        unsigned char output[65] = {0x02};
        QCOMPARE(usb->controlTransfer(joystick, 0x21, 0x09, 0x0202, 0, output, 65, 1000),
                 int(LIBUSB_ERROR_NOT_SUPPORTED)); // an output report
        QCOMPARE(usb->controlTransfer(joystick, 0x21, 0x09, 0x0320, 1, output, 65, 1000),
                 int(LIBUSB_ERROR_NOT_SUPPORTED)); // interface 1
        QCOMPARE(usb->controlTransfer(joystick, 0x21, 0x09, 0x0320, 0, output, 65, 1000),
                 int(LIBUSB_ERROR_INVALID_PARAM)); // wValue 0x20 with 0x02 in byte 0
        QCOMPARE(m_joystick.takeCalls().size(), 0);
        // A stalled request comes back as a stall.
        QCOMPARE(usb->controlTransfer(joystick, 0xA1, 0x01, 0x0323, 0, buffer.data(), 1024, 1000),
                 int(LIBUSB_ERROR_PIPE));
        QCOMPARE(buffer[0], 0); // left as the caller had it, as a failed control transfer leaves it
        m_joystick.takeCalls();

        usb->close(joystick);
        usb->close(rudder);
        usb->exit();
        QCOMPARE(m_usbfs.takings(), 0);
    }

    // The worker saves effect settings as the window does: seven record
    // packets, the terminator, a busy wait, the save command and a second
    // busy wait, every one a feature-report ioctl with the protocol's bytes.
    // No usbfs request ever takes the device from the kernel's driver.
    void applyAndSaveThroughTheDefaultTransport()
    {
        // kestrox-vantrell holds the joystick's node as well and writes a
        // direct-control report between every step of the setup tool.
        hid_device *vantrell = hid_open(0x045B, 0x58F9, nullptr);
        QVERIFY(vantrell);
        const auto writeForces = [vantrell] {
            unsigned char report[65] = {0x02, 0x20};
            return hid_write(vantrell, report, sizeof report);
        };
        const std::unique_ptr<UsbTransport> usb = createSetupTransport(SetupCommandLine{});
        QCOMPARE(usb->init(), 0);
        QCOMPARE(writeForces(), 65);
        {
            SettingsUiBackgroundThread worker(kestroxProductIdList(), KestroxVendorId, usb.get());
            worker.setBusyWaitTiming({100, 30000, &m_clock});
            QSignalSpy devices(&worker, &SettingsUiBackgroundThread::connectedDevices);
            worker.checkDeviceConnections();
            const auto found = devices.at(0).at(0).value<ConnectedDeviceMap>();
            QCOMPARE(found.keys(), (QList<int>{0x58F9, 0x5968}));
            QCOMPARE(found.value(0x58F9).firmwareVersion, 240611u);
            QCOMPARE(found.value(0x5968).deviceType, quint8(2));
            m_joystick.takeCalls();
            QCOMPARE(writeForces(), 65);

            const QByteArray record = pattern(384, 13, 250);
            EffectSettingsTypeDef settings;
            std::memcpy(&settings, record.constData(), 384);
            QSignalSpy ended(&worker, &SettingsUiBackgroundThread::settingsWriteEnded);
            const qint64 started = m_clock.nowMs();
            worker.saveEffectsSettings(0x58F9, settings);
            QCOMPARE(ended.size(), 1);
            QCOMPARE(ended.at(0).at(2).value<BusyWaitResult>(), BusyWaitResult::Ready);
            QCOMPARE(writeForces(), 65);

            const QList<Call> calls = m_joystick.takeCalls();
            // 7 packets + terminator, 2 busy + 1 ready reads, save, 2 busy + 1 ready reads.
            QCOMPARE(calls.size(), 8 + 3 + 1 + 3);
            const int remaining[] = {384, 326, 268, 210, 152, 94, 36};
            QByteArray area(58, '\0');
            for (int k = 0; k < 7; ++k) {
                const Call &call = calls[k];
                QCOMPARE(call.request, SetFeature65);
                QCOMPARE(call.sent.size(), 65);
                QCOMPARE(call.sent.left(2), QByteArray::fromHex("2012"));
                QCOMPARE(quint8(call.sent[2]) | (quint8(call.sent[3]) << 8), 58 * k);
                QCOMPARE(quint8(call.sent[4]) | (quint8(call.sent[5]) << 8), remaining[k]);
                const int chunk = std::min(58, remaining[k]);
                area.replace(0, chunk, record.mid(58 * k, chunk));
                QCOMPARE(call.sent.mid(6, 58), area);
                QCOMPARE(quint8(call.sent[64]), quint8(0));
            }
            QByteArray terminator = calls[6].sent;
            terminator[4] = char(0xFF);
            terminator[5] = char(0xFF);
            QCOMPARE(calls[7].request, SetFeature65);
            QCOMPARE(calls[7].sent, terminator);
            for (int i = 8; i < 11; ++i)
                verifyGet(calls[i], 0x24);
            QCOMPARE(calls[11].request, SetFeature65);
            QCOMPARE(calls[11].sent, QByteArray::fromHex("2002") + QByteArray(63, '\0'));
            for (int i = 12; i < 15; ++i)
                verifyGet(calls[i], 0x24);
            // Pauses of 100 ms after each of the six state reads.
            QCOMPARE(m_clock.nowMs() - started, 600);

            // The hardware settings read of the same device hands on the whole record.
            QSignalSpy hardware(&worker, &SettingsUiBackgroundThread::hardwareSettingsObtained);
            worker.readHardwareSettings(0x58F9);
            QCOMPARE(recordBytes(hardware.at(0).at(0).value<HardwareSettingsTypeDef>()), m_joystick.hardware);
            verifyGet(m_joystick.takeCalls().value(0), 0x21);
        }
        QCOMPARE(writeForces(), 65);
        hid_close(vantrell);
        QCOMPARE(m_joystick.outputReports, 4);
        usb->exit();
        QCOMPARE(m_usbfs.takings(), 0);
        QCOMPARE(m_rudder.takeCalls().size(), 1); // the information read of the poll

        // Recording works: the libusb transport asked for by --libusb does take it.
        SetupCommandLine libusb;
        libusb.libusb = true;
        const std::unique_ptr<UsbTransport> taking = createSetupTransport(libusb);
        QVERIFY(taking->takesDevicesFromSystem());
        QCOMPARE(taking->init(), 0);
        DeviceHandle *handle = taking->openDeviceWithVidPid(0x045B, 0x58F9);
        QVERIFY(handle);
        QVERIFY(m_usbfs.takings() > 0);
        taking->close(handle);
        taking->exit();
    }

    // The joystick leaves the bus in the middle of a record transfer: the
    // remaining packets fail as "no device", the busy wait ends at once, the
    // write is reported as not done, and the next poll drops the device
    // while the rudder stays.
    void deviceGoneInTheMiddle()
    {
        const std::unique_ptr<UsbTransport> usb = createSetupTransport(SetupCommandLine{});
        QCOMPARE(usb->init(), 0);
        {
            SettingsUiBackgroundThread worker(kestroxProductIdList(), KestroxVendorId, usb.get());
            worker.setBusyWaitTiming({100, 30000, &m_clock});
            worker.checkDeviceConnections();
            m_joystick.takeCalls();
            {
                std::lock_guard lock(m_joystick.mutex);
                m_joystick.answersLeft = 3;
            }
            QSignalSpy ended(&worker, &SettingsUiBackgroundThread::settingsWriteEnded);
            const qint64 started = m_clock.nowMs();
            worker.applyHardwareSettings(0x58F9, HardwareSettingsTypeDef{});
            QCOMPARE(ended.size(), 1);
            QCOMPARE(ended.at(0).at(2).value<BusyWaitResult>(), BusyWaitResult::DeviceGone);
            // Three packets answered; the fourth found the device gone, and so
            // did every later packet and the one state read.
            const QList<Call> calls = m_joystick.takeCalls();
            QCOMPARE(calls.size(), 3 + 1);
            QCOMPARE(m_clock.nowMs() - started, 0); // no pause after a failed state read

            umockdev_testbed_detach_ioctl(m_testbed, "/dev/hidraw0", nullptr);
            umockdev_testbed_uevent(m_testbed, "/sys/devices/usb2/2-1", "remove");
            umockdev_testbed_remove_device(m_testbed, "/sys/devices/usb2/2-1");
            QSignalSpy devices(&worker, &SettingsUiBackgroundThread::connectedDevices);
            worker.checkDeviceConnections();
            worker.checkDeviceConnections();
            QCOMPARE(devices.at(0).at(0).value<ConnectedDeviceMap>().keys(), QList<int>{0x5968});
            QCOMPARE(devices.at(1).at(0).value<ConnectedDeviceMap>().keys(), QList<int>{0x5968});
        }
        usb->exit();
        QCOMPARE(m_usbfs.takings(), 0);
    }
};

int main(int argc, char *argv[])
{
    // The emulated devices exist only under umockdev's preload library.
    if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev"))) {
        std::fprintf(stderr, "skipped: run under umockdev-wrapper (Debian package umockdev)\n");
        return 77;
    }
    QCoreApplication app(argc, argv);
    TestHidrawTransport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hidrawtransport.moc"
