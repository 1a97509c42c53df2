#pragma once

#include "usbtransport.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A transport that keeps every control transfer and answers through a
// function the test sets: the bytes of each packet are checked where they
// leave the protocol code, with no device model in between.
class RecordingTransport : public UsbTransport
{
public:
    struct Transfer
    {
        quint8 requestType = 0;
        quint8 request = 0;
        quint16 value = 0;
        quint16 index = 0;
        quint16 length = 0;
        unsigned int timeoutMs = 0;
        QByteArray sent; // host-to-device data as it was at the time of the transfer
    };

    // Returns the libusb result; may fill `data` for a GET_REPORT. By default
    // every SET_REPORT succeeds and every GET_REPORT fails.
    std::function<int(const Transfer &, unsigned char *data)> respond = [](const Transfer &t,
                                                                           unsigned char *) {
        return t.requestType & LIBUSB_ENDPOINT_IN ? int(LIBUSB_ERROR_IO) : int(t.length);
    };
    QList<Transfer> transfers;

    static DeviceHandle *handle() { return reinterpret_cast<DeviceHandle *>(quintptr(0x40)); }

    int init() override { return 0; }
    DeviceHandle *openDeviceWithVidPid(quint16, quint16) override { return handle(); }
    int controlTransfer(DeviceHandle *, quint8 requestType, quint8 request, quint16 value,
                        quint16 index, unsigned char *data, quint16 length, unsigned int timeoutMs) override
    {
        Transfer t{requestType, request, value, index, length, timeoutMs, {}};
        if (!(requestType & LIBUSB_ENDPOINT_IN))
            t.sent = QByteArray(reinterpret_cast<const char *>(data), length);
        transfers.append(t);
        return respond(t, data);
    }
    void close(DeviceHandle *) override {}
    void exit() override {}
};
