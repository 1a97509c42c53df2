#pragma once

#include "settingsrecords.h"
#include "usbtransport.h"

#include <array>
#include <atomic>

// HID class requests on interface 0 of the default control pipe.
inline constexpr quint8 GetReportRequestType = 0xA1; // device to host, class, interface
inline constexpr quint8 GetReportRequest = 0x01;
inline constexpr quint8 SetReportRequestType = 0x21; // host to device, class, interface
inline constexpr quint8 SetReportRequest = 0x09;
inline constexpr quint16 FeatureReportValue = 0x0300; // OR the report id
inline constexpr quint16 ReceiveBufferSize = 1024;
inline constexpr quint16 CommandReportSize = sizeof(CommandReportTypeDef);
inline constexpr unsigned int TransferTimeoutMs = 1000;
// Remaining-bytes value of the packet that closes a record transfer.
inline constexpr quint16 TransferTerminator = 0xFFFF;

using ReportBuffer = std::array<unsigned char, ReceiveBufferSize>;

// One GET_REPORT of a feature report into the whole buffer, which is cleared
// first. Byte 0 of the buffer is byte 0 of the record (no report id byte).
// Returns the bytes received or a negative libusb error.
int readFeatureReport(UsbTransport &usb, DeviceHandle *handle, SettingsReportId reportId,
                      ReportBuffer &buffer);

// One SET_REPORT of a plain command: report id, command code, 63 zero bytes.
// Returns the libusb result; the device acknowledges nothing else.
int sendCommandReport(UsbTransport &usb, DeviceHandle *handle, DeviceCommand command);

// Sends a record of `length` bytes as chunks of 58 bytes, floor(length / 58) + 1
// packets, then the terminator packet (the last packet again with remaining
// 0xFFFF). One packet buffer serves the whole transfer, so the data area after
// a short chunk still holds the previous packet's bytes; the firmware only
// reads the bytes the remaining field covers. A failed packet does not stop the
// transfer: the device drops an incomplete record by itself. Returns whether
// the device accepted every packet, the terminator included.
bool sendRecord(UsbTransport &usb, DeviceHandle *handle, DeviceCommand command, const void *data,
                int length);

enum class BusyWaitResult
{
    Ready,      // the device reported ready
    DeviceGone, // no handle, or the state read failed: unplugged or not answering
    TimedOut,   // still busy when the time limit ran out
    Cancelled,  // given up on because the tool is closing
    // Only as the outcome of a write: a packet of the record failed, so the
    // device dropped the record (and nothing was saved).
    RecordFailed,
};

// Time as the busy wait sees it. Tests pass one whose pause only moves its
// own time on, so that a wait of the full limit takes no real time.
class BusyWaitClock
{
public:
    virtual ~BusyWaitClock() = default;
    // Milliseconds on a monotonic clock.
    virtual qint64 nowMs() = 0;
    virtual void pauseMs(int ms) = 0;
};

// The monotonic system clock and a real sleep.
BusyWaitClock &systemBusyWaitClock();

struct BusyWaitTiming
{
    int pauseMs = 100; // after every state read
    // A flash write of the settings takes seconds; a device busy for longer
    // than this is given up on.
    int limitMs = 30000;
    BusyWaitClock *clock = nullptr; // null: the system clock
    // Checked after every pause: once true, the wait ends as Cancelled.
    const std::atomic<bool> *cancelled = nullptr;
};

// Reads the device state report until it says ready, pausing after every read
// (so even a ready device costs one read and one pause). Ends early when a
// read fails, the time limit is reached or the wait is cancelled.
BusyWaitResult awaitDeviceNotBusy(UsbTransport &usb, DeviceHandle *handle,
                                  BusyWaitTiming timing = {});

// Which kind of write a request was: apply changes what the device uses now,
// save also stores it in permanent memory.
enum class SettingsWrite
{
    Apply,
    Save,
};

Q_DECLARE_METATYPE(BusyWaitResult)
Q_DECLARE_METATYPE(SettingsWrite)

// Registers the records, the connected-devices map, the device handle and
// BusyWaitResult and SettingsWrite under their own names for queued connections.
void registerSetupMetaTypes();
