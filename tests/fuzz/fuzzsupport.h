#pragma once

// Shared by the telemetry targets: the checks every decoded record must pass
// and the replay entries that feed the sources.

#include "fuzzapp.h"
#include "telemetry.h"
#include "telemetrysource.h"

#include <QByteArray>

#include <cmath>

namespace fuzz {

// With the metatypes the sources' signals carry.
inline void initialiseTelemetryApplication()
{
    initialiseApplication();
    registerTelemetryMetaTypes();
}

inline void requireFinite(const char *what, const char *field, float value)
{
    if (!std::isfinite(value))
        fail(what, field, double(value));
}

// Every float of the common record; forces are computed from all of them.
inline void requireFinite(const char *what, const Telemetry &t)
{
#define KESTROX_FUZZ_FIELD(name) requireFinite(what, #name, t.name)
    KESTROX_FUZZ_FIELD(verticalSpeed);
    KESTROX_FUZZ_FIELD(rollFlowAngle);
    KESTROX_FUZZ_FIELD(aoa);
    KESTROX_FUZZ_FIELD(sideslip);
    KESTROX_FUZZ_FIELD(rollRate);
    KESTROX_FUZZ_FIELD(gForce);
    KESTROX_FUZZ_FIELD(propAirflow);
    KESTROX_FUZZ_FIELD(trimmerRoll);
    KESTROX_FUZZ_FIELD(trimmerPitch);
    KESTROX_FUZZ_FIELD(trimmerYaw);
    KESTROX_FUZZ_FIELD(gear);
    KESTROX_FUZZ_FIELD(airbrake);
    KESTROX_FUZZ_FIELD(flaps);
    KESTROX_FUZZ_FIELD(airspeed);
#undef KESTROX_FUZZ_FIELD
    requireFinite(what, "clampedAirspeed()", t.clampedAirspeed());
}

inline void requireFinite(const char *what, const ShturmovikTelemetry &t)
{
    requireFinite(what, static_cast<const Telemetry &>(t));
    requireFinite(what, "indicator9A", t.indicator9A);
    requireFinite(what, "indicator9B", t.indicator9B);
}

inline void requireFinite(const char *what, const Condor2Telemetry &t)
{
    requireFinite(what, static_cast<const Telemetry &>(t));
    requireFinite(what, "turbulenceStrength", t.turbulenceStrength);
}

// The fuzz input as a run of pieces, each a 16-bit little-endian length
// followed by that many bytes (cut short at the end of the input). Lets one
// input carry several datagrams or messages.
class Pieces
{
public:
    Pieces(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool next(QByteArray &piece)
    {
        if (m_offset + 2 > m_size)
            return false;
        size_t length = size_t(m_data[m_offset]) | size_t(m_data[m_offset + 1]) << 8;
        m_offset += 2;
        length = std::min(length, m_size - m_offset);
        piece = QByteArray(reinterpret_cast<const char *>(m_data + m_offset), qsizetype(length));
        m_offset += length;
        return true;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_offset = 0;
};

// Builds the replay entry a recording would hold for one raw input.
inline RawTelemetryEntry replayEntry(Telemetry::Source source, RawTelemetryEntry::Kind kind,
                                     const QByteArray &payload)
{
    RawTelemetryEntry entry;
    entry.source = source;
    entry.kind = kind;
    entry.payload = payload;
    return entry;
}

// Checks everything a telemetry source emits: records, and the landing
// report, whose values feed the landing jolt.
template<typename Source, typename Record>
void watch(Source &source, const char *what, int *records = nullptr)
{
    QObject::connect(&source, &Source::telemetryChanged, [what, records](const Record &record) {
        requireFinite(what, record);
        if (records)
            ++*records;
    });
    QObject::connect(&source, &TelemetrySource::landed, [what](float verticalSpeed, float airspeed) {
        requireFinite(what, "landed verticalSpeed", verticalSpeed);
        requireFinite(what, "landed airspeed", airspeed);
    });
}

} // namespace fuzz
