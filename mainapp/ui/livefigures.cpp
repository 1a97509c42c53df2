#include "livefigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Drops the points older than the window before `newest`.
void trim(LiveFigures::Series &series, double newest)
{
    const double oldest = newest - double(LiveFigures::WindowMs) / 1000.0;
    const auto keepFrom = std::lower_bound(series.time.cbegin(), series.time.cend(), oldest) - series.time.cbegin();
    if (keepFrom == 0)
        return;
    for (QList<double> *values :
         {&series.time, &series.force, &series.spring, &series.periodic, &series.position, &series.centre})
        values->remove(0, keepFrom);
}

} // namespace

void LiveFigures::add(const LiveBatch &batch)
{
    m_failedWrites = batch.failedWrites;
    m_boundedValues = batch.boundedValues;
    m_source = batch.source;
    constexpr double gap = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < batch.count; ++i) {
        const LiveSample &s = batch.samples[i];
        m_joystick = s.joystick;
        m_rudder = s.rudder;
        const double t = double(s.timeMs) / 1000.0;
        for (int axis = 0; axis < 3; ++axis) {
            Series &series = m_axes[std::size_t(axis)];
            // Axes whose device did not take the report show nothing: one
            // point without values breaks the line, so that no line joins
            // the values before the device went away to those after.
            if (!(axis < 2 ? s.joystick : s.rudder)) {
                if (!series.time.isEmpty() && !std::isnan(series.force.last())) {
                    series.time.append(t);
                    for (QList<double> *values :
                         {&series.force, &series.spring, &series.periodic, &series.position, &series.centre})
                        values->append(gap);
                }
                continue;
            }
            series.time.append(t);
            series.force.append(s.force[std::size_t(axis)]);
            series.spring.append(s.spring[std::size_t(axis)]);
            series.periodic.append(s.periodic[std::size_t(axis)]);
            series.position.append(s.position[std::size_t(axis)]);
            series.centre.append(s.centre[std::size_t(axis)]);
        }
        m_timings.append({s.timeMs, s.tickIntervalMs, s.latencyMs, s.records});
    }
    if (m_timings.isEmpty())
        return;
    const qint64 newest = m_timings.last().timeMs;
    for (Series &series : m_axes)
        trim(series, double(newest) / 1000.0);
    const auto firstKept = std::find_if(m_timings.cbegin(), m_timings.cend(),
                                        [&](const Timing &t) { return t.timeMs > newest - WindowMs; });
    m_timings.remove(0, firstKept - m_timings.cbegin());
}

LiveFigures::Latency LiveFigures::latency() const
{
    QList<int> latencies;
    for (const Timing &t : m_timings) {
        if (t.latencyMs >= 0)
            latencies.append(int(t.latencyMs));
    }
    Latency latency;
    if (latencies.isEmpty())
        return latency;
    std::sort(latencies.begin(), latencies.end());
    qint64 sum = 0;
    for (int value : latencies)
        sum += value;
    latency.meanMs = double(sum) / double(latencies.size());
    const auto rank = qsizetype(std::ceil(0.99 * double(latencies.size())));
    latency.p99Ms = latencies.at(std::max<qsizetype>(rank, 1) - 1);
    latency.maxMs = latencies.last();
    return latency;
}

LiveFigures::Second LiveFigures::lastSecond() const
{
    Second second;
    if (m_timings.isEmpty())
        return second;
    const qint64 newest = m_timings.last().timeMs;
    for (const Timing &t : m_timings) {
        if (t.timeMs <= newest - FiguresMs)
            continue;
        second.records += t.records;
        ++second.ticks;
        second.tickIntervalMaxMs = std::max(second.tickIntervalMaxMs, int(t.tickIntervalMs));
    }
    return second;
}
