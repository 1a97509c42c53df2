#pragma once

#include "telemetry.h"

#include <QList>
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
    std::array<float, 3> centre{}; // where trim following centres each axis's springs
    bool joystick = false; // the joystick took this tick's report (axes 0, 1)
    bool rudder = false;   // the rudder did (axis 2)
    qint32 tickIntervalMs = 0;  // since the previous tick
    // From the moment the input of the record this tick first used reached
    // the program to this tick's report; -1: no new record.
    qint32 latencyMs = -1;
    quint16 records = 0; // telemetry records that arrived since the previous tick
    quint16 bounded = 0; // values this tick had to bound (or replace, not finite)
};

// The samples since the previous batch, about 30 batches a second. The
// samples are implicitly shared, so that handing a batch to another thread
// copies no samples; the worker refills only a batch nobody holds any more.
struct LiveBatch
{
    static constexpr int Capacity = 64;
    QList<LiveSample> samples = QList<LiveSample>(Capacity); // the first `count` are this batch's
    int count = 0;
    int dropped = 0; // samples lost because the view did not fetch them in time
    quint64 failedWrites = 0; // reports that failed to write since start
    quint64 boundedValues = 0; // values bounded or replaced since start
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
    // Moves the samples written since the last take into batch (which
    // should be detached: writing into a shared one copies it first).
    void take(LiveBatch &batch)
    {
        const quint64 pending = m_written - m_taken;
        const quint64 kept = std::min<quint64>(pending, LiveBatch::Capacity);
        batch.dropped = int(pending - kept);
        batch.count = int(kept);
        LiveSample *samples = batch.samples.data();
        for (quint64 i = 0; i < kept; ++i)
            samples[i] = m_ring[std::size_t((m_written - kept + i) % LiveBatch::Capacity)];
        m_taken = m_written;
    }

private:
    std::array<LiveSample, LiveBatch::Capacity> m_ring{};
    quint64 m_written = 0;
    quint64 m_taken = 0;
};
