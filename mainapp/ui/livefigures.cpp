#include "livefigures.h"

#include <algorithm>

namespace {

// Drops the points older than the window before `newest`.
void trim(LiveFigures::Series &series, double newest)
{
    const double oldest = newest - double(LiveFigures::WindowMs) / 1000.0;
    const auto keepFrom = std::lower_bound(series.time.cbegin(), series.time.cend(), oldest) - series.time.cbegin();
    if (keepFrom == 0)
        return;
    for (QList<double> *values :
         {&series.time, &series.force, &series.spring, &series.periodic, &series.position})
        values->remove(0, keepFrom);
}

} // namespace

void LiveFigures::add(const LiveBatch &batch)
{
    m_failedWrites = batch.failedWrites;
    m_source = batch.source;
    for (int i = 0; i < batch.count; ++i) {
        const LiveSample &s = batch.samples[std::size_t(i)];
        m_joystick = s.joystick;
        m_rudder = s.rudder;
        const double t = double(s.timeMs) / 1000.0;
        for (int axis = 0; axis < 3; ++axis) {
            // Axes whose device did not take the report show nothing.
            if (!(axis < 2 ? s.joystick : s.rudder))
                continue;
            Series &series = m_axes[std::size_t(axis)];
            series.time.append(t);
            series.force.append(s.force[std::size_t(axis)]);
            series.spring.append(s.spring[std::size_t(axis)]);
            series.periodic.append(s.periodic[std::size_t(axis)]);
            series.position.append(s.position[std::size_t(axis)]);
        }
        m_timings.append({s.timeMs, s.tickIntervalMs, s.latencyMs, s.records});
    }
    if (m_timings.isEmpty())
        return;
    const qint64 newest = m_timings.last().timeMs;
    for (Series &series : m_axes)
        trim(series, double(newest) / 1000.0);
    const auto firstKept = std::find_if(m_timings.cbegin(), m_timings.cend(),
                                        [&](const Timing &t) { return t.timeMs > newest - FiguresMs; });
    m_timings.remove(0, firstKept - m_timings.cbegin());
}

LiveFigures::Second LiveFigures::lastSecond() const
{
    Second second;
    qint64 latencySum = 0;
    int latencies = 0;
    for (const Timing &t : m_timings) {
        second.records += t.records;
        ++second.ticks;
        second.tickIntervalMaxMs = std::max(second.tickIntervalMaxMs, int(t.tickIntervalMs));
        if (t.latencyMs >= 0) {
            latencySum += t.latencyMs;
            ++latencies;
            second.latencyMaxMs = std::max(second.latencyMaxMs, int(t.latencyMs));
        }
    }
    if (latencies > 0)
        second.latencyMeanMs = double(latencySum) / latencies;
    return second;
}
