// One DCS export line, decoded through the replay path as a live datagram is.

#include "fuzzsupport.h"
#include "telemetrysourcedcs.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseTelemetryApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), qsizetype(size));
    // One source for the whole run: opening its socket would cost more than
    // the decoding. Each input starts inactive (finish() below) and is woken
    // afresh; values kept from earlier inputs passed the same checks.
    static TelemetrySourceDCS &source = *new TelemetrySourceDCS(nullptr, 0);
    static bool prepared = false;
    static int records = 0;
    if (!prepared) {
        fuzz::watch<TelemetrySourceDCS, DCSTelemetry>(source, "DCS", &records);
        source.enterReplay();
        prepared = true;
    }
    records = 0;

    // The first datagram only wakes the source; then the line is decoded
    // twice, so that kept values and the on-ground change are exercised too.
    source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_DCS, RawTelemetryEntry::Datagram, "F;0"));
    source.poll();
    for (int i = 0; i < 2; ++i) {
        source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_DCS, RawTelemetryEntry::Datagram, line));
        source.poll();
    }
    // An empty datagram is no sign of life: nothing is converted.
    if (records != (line.isEmpty() ? 0 : 2))
        fuzz::fail("DCS", "records emitted", records);
    source.finish();
    return 0;
}
