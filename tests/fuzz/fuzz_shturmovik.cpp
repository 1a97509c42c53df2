// IL-2 telemetry datagrams, several per input because the decoder keeps
// state (indicator arrays, altitude history) from one datagram to the next.

#include "fuzzsupport.h"
#include "telemetrysourceshturmovik.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseTelemetryApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One source for the whole run: opening its socket would cost more than
    // the decoding. Each input starts inactive (finish() below) and is woken
    // afresh; values kept from earlier inputs passed the same checks.
    static TelemetrySourceShturmovik &source = *new TelemetrySourceShturmovik(nullptr, 0);
    static bool prepared = false;
    static int records = 0;
    if (!prepared) {
        fuzz::watch<TelemetrySourceShturmovik, ShturmovikTelemetry>(source, "IL-2", &records);
        source.enterReplay();
        prepared = true;
    }
    records = 0;

    source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_IL2, RawTelemetryEntry::Datagram, "x"));
    source.poll();
    fuzz::Pieces pieces(data, size);
    QByteArray datagram;
    int expected = 0;
    while (pieces.next(datagram)) {
        source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_IL2, RawTelemetryEntry::Datagram, datagram));
        source.poll();
        if (!datagram.isEmpty())
            ++expected;
    }
    if (records != expected)
        fuzz::fail("IL-2", "records emitted", records);
    source.finish();
    return 0;
}
