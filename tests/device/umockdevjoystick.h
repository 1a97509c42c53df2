#pragma once

// A Kestrox joystick on hidraw, emulated by umockdev: its udev record,
// written by hand, and the joystick's side of its node. Include it before
// any Qt header: glib names struct members "signals", which Qt's keyword
// macro would rewrite.

#include <umockdev.h>

#include <QByteArray>
#include <QList>

#include <sys/ioctl.h>
// after sys/ioctl.h: the request numbers are built with its macros
#include <linux/hidraw.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>

constexpr const char *HidrawNode = "/dev/hidraw0";

// The USB device, its HID interface, the HID device and its hidraw node.
inline QByteArray joystickRecord()
{
    return "P: /devices/usb2/2-1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
           "A: idVendor=045b\nA: idProduct=58f9\nA: manufacturer=Kestrox\nA: product=Kestrox Joystick\n"
           "A: serial=KX0001\nA: bcdDevice=0100\n\n"
           "P: /devices/usb2/2-1/2-1:1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
           "A: bInterfaceNumber=00\nA: bInterfaceClass=03\n\n"
           "P: /devices/usb2/2-1/2-1:1.0/0003:045B:58F9.0001\nE: SUBSYSTEM=hid\n"
           "E: HID_ID=0003:0000045B:000058F9\nE: HID_NAME=Kestrox Joystick\nE: HID_UNIQ=KX0001\n"
           // Generic desktop, joystick, one application collection of 63 input bytes.
           "H: report_descriptor=05010904A101150026FF007508953F8102C0\n\n"
           "P: /devices/usb2/2-1/2-1:1.0/0003:045B:58F9.0001/hidraw/hidraw0\nN: hidraw0\n"
           "E: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw0\nL: device=../../../0003:045B:58F9.0001\n";
}

// The joystick's side of hidraw. Its handlers run on umockdev's worker thread.
struct HidrawPeer
{
    std::mutex mutex;
    // The answer to a feature report read, the id asked for in front.
    std::function<QByteArray(unsigned char id)> feature;
    QList<QByteArray> written;
    QList<int> featureLengths;
    bool gone = false; // every request fails
};

inline gboolean onHidrawIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &peer = *static_cast<HidrawPeer *>(user);
    std::lock_guard lock(peer.mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (peer.gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
    } else if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData *size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        const int value = 64;
        std::memcpy(size->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x07) { // HIDIOCGFEATURE(len)
        const int length = int(_IOC_SIZE(request));
        peer.featureLengths.append(length);
        UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(arg, 0, std::size_t(length), nullptr);
        const QByteArray answer = peer.feature ? peer.feature(buffer->data[0]) : QByteArray();
        const int n = std::min<int>(length, int(answer.size()));
        std::memcpy(buffer->data, answer.constData(), std::size_t(n));
        std::memset(buffer->data + n, 0, std::size_t(length - n));
        umockdev_ioctl_client_complete(client, n, 0);
    } else {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
    return TRUE;
}

inline gboolean onHidrawWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
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

// A handler answering as `peer`, to attach to HidrawNode; the caller unrefs it.
inline UMockdevIoctlBase *hidrawPeerHandler(HidrawPeer &peer)
{
    UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onHidrawIoctl), &peer);
    g_signal_connect(handler, "handle-write", G_CALLBACK(onHidrawWrite), &peer);
    return handler;
}
