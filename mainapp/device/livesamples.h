#pragma once

#include "telemetry.h"

#include <QMetaType>

#include <array>
#include <cstdint>

// What one output tick wrote, for the live view: per axis (ailerons,
// elevator, rudder) the steady force, the spring and the periodic value as
// they went into the direct-control reports, the control position, and the
// tick's timing.
struct LiveSample
{
    qint64 timeMs = 0;
    std::array<float, 3> force{};
    std::array<float, 3> spring{};
    std::array<float, 3> periodic{};
    std::array<float, 3> position{};
    bool joystick = false; // the joystick took this tick's report (axes 0, 1)
    bool rudder = false;   // the rudder did (axis 2)
    qint32 tickIntervalMs = 0;  // since the previous tick
    qint32 latencyMs = -1;      // arrival of the record this tick first used; -1: none
    quint16 records = 0;        // telemetry records that arrived since the previous tick
};

// The samples since the previous batch, about 30 batches a second. Fixed
// size: building one allocates nothing.
struct LiveBatch
{
    static constexpr int Capacity = 64;
    std::array<LiveSample, Capacity> samples{};
    int count = 0;
    int dropped = 0; // samples lost because the view did not fetch them in time
    quint64 failedWrites = 0; // reports that failed to write since start
    Telemetry::Source source = Telemetry::TELEMETRY_SOURCE_NONE;
};

Q_DECLARE_METATYPE(LiveBatch)

// A ring of the newest samples, written by the tick, read by the batch timer
// on the same thread.
class LiveSampleRing
{
public:
    LiveSample &next()
    {
        LiveSample &slot = m_ring[std::size_t(m_written % LiveBatch::Capacity)];
        ++m_written;
        return slot;
    }
    // Moves the samples written since the last take into batch.
    void take(LiveBatch &batch)
    {
        const quint64 pending = m_written - m_taken;
        const quint64 kept = std::min<quint64>(pending, LiveBatch::Capacity);
        batch.dropped = int(pending - kept);
        batch.count = int(kept);
        for (quint64 i = 0; i < kept; ++i)
            batch.samples[std::size_t(i)] = m_ring[std::size_t((m_written - kept + i) % LiveBatch::Capacity)];
        m_taken = m_written;
    }

private:
    std::array<LiveSample, LiveBatch::Capacity> m_ring{};
    quint64 m_written = 0;
    quint64 m_taken = 0;
};
