// Condor 2 key=value lines, decoded through the replay path as a live datagram is.

#include "fuzzsupport.h"
#include "telemetrysourcecondor2.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseTelemetryApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray lines(reinterpret_cast<const char *>(data), qsizetype(size));
    // One source for the whole run: opening its socket would cost more than
    // the decoding. Each input starts inactive (finish() below) and is woken
    // afresh; values kept from earlier inputs passed the same checks.
    static TelemetrySourceCondor2 &source = *new TelemetrySourceCondor2(nullptr, 0);
    static bool prepared = false;
    static int records = 0;
    if (!prepared) {
        fuzz::watch<TelemetrySourceCondor2, Condor2Telemetry>(source, "Condor 2", &records);
        source.enterReplay();
        prepared = true;
    }
    records = 0;

    source.feedReplayInput(
        fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_CONDOR, RawTelemetryEntry::Datagram, "airspeed=1"));
    source.poll();
    for (int i = 0; i < 2; ++i) {
        source.feedReplayInput(
            fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_CONDOR, RawTelemetryEntry::Datagram, lines));
        source.poll();
    }
    if (records != (lines.isEmpty() ? 0 : 2))
        fuzz::fail("Condor 2", "records emitted", records);
    source.finish();
    return 0;
}
