// X-Plane RREF answers, several per input: the record and the aircraft name
// are built up over answers.

#include "fuzzsupport.h"
#include "telemetrysourcexplane.h"

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
    static TelemetrySourceXPlane &source = *new TelemetrySourceXPlane(nullptr);
    static bool prepared = false;
    if (!prepared) {
        fuzz::watch<TelemetrySourceXPlane, XPlaneTelemetry>(source, "X-Plane");
        QObject::connect(&source, &TelemetrySource::telemetrySourceChanged, [](Telemetry::Source, const QString &name) {
            // At most the eight characters of the ICAO datarefs.
            if (name.size() > 8)
                fuzz::fail("X-Plane", "aircraft name length", double(name.size()));
        });
        source.enterReplay();
        prepared = true;
    }

    fuzz::Pieces pieces(data, size);
    QByteArray datagram;
    while (pieces.next(datagram)) {
        source.feedReplayInput(fuzz::replayEntry(Telemetry::TELEMETRY_SOURCE_XPLANE, RawTelemetryEntry::Datagram, datagram));
        source.poll();
    }
    source.finish();
    return 0;
}
