// One War Thunder state answer body, replayed as a live answer is handled.

#include "fuzzsupport.h"
#include "telemetrysourcewarthunder.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialiseTelemetryApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    TelemetrySourceWarthunder source(nullptr);
    int records = 0;
    fuzz::watch<TelemetrySourceWarthunder, WarthunderTelemetry>(source, "War Thunder", &records);
    source.enterReplay();

    // The first answer only wakes the source; the body is converted twice;
    // a failed request ends the telemetry with the empty record.
    source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_WARTHUNDER, RawTelemetryEntry::HttpAnswer, "{}"));
    source.poll();
    for (int i = 0; i < 2; ++i)
        source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_WARTHUNDER, RawTelemetryEntry::HttpAnswer, body));
    source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_WARTHUNDER, RawTelemetryEntry::HttpFailure, {}));
    source.poll();
    if (records != 3 || source.isActive())
        fuzz::fail("War Thunder", "records emitted", records);
    return 0;
}
