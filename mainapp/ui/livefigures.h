#pragma once

#include "livesamples.h"

#include <QList>

#include <array>

// What the live view shows, computed from the worker's batches: per axis
// the last 10 s of written values (a gap where the axis's device was away),
// the latency over the last 10 s, and the output figures of the last second.
class LiveFigures
{
public:
    static constexpr qint64 WindowMs = 10000;
    static constexpr qint64 FiguresMs = 1000;

    struct Series
    {
        QList<double> time; // seconds, on the worker's clock
        QList<double> force;
        QList<double> spring;
        QList<double> periodic;
        QList<double> position;
        QList<double> centre; // where trim following centres the springs
    };

    struct Second
    {
        int records = 0;
        int ticks = 0;
        int tickIntervalMaxMs = 0;
    };

    // From an input reaching the program to the first report written with it.
    struct Latency
    {
        double meanMs = -1; // -1: no record reached a device
        int p99Ms = -1;     // 99th percentile, nearest rank
        int maxMs = -1;
    };

    void add(const LiveBatch &batch);

    const Series &axis(int axis) const { return m_axes[std::size_t(axis)]; }
    // The last FiguresMs before the newest sample.
    Second lastSecond() const;
    // The last WindowMs before the newest sample.
    Latency latency() const;
    quint64 failedWrites() const { return m_failedWrites; }
    quint64 boundedValues() const { return m_boundedValues; }
    Telemetry::Source source() const { return m_source; }
    bool hasDevice(int axis) const { return axis < 2 ? m_joystick : m_rudder; }

private:
    struct Timing
    {
        qint64 timeMs;
        qint32 tickIntervalMs;
        qint32 latencyMs;
        quint16 records;
    };

    std::array<Series, 3> m_axes;
    QList<Timing> m_timings;
    quint64 m_failedWrites = 0;
    quint64 m_boundedValues = 0;
    Telemetry::Source m_source = Telemetry::TELEMETRY_SOURCE_NONE;
    bool m_joystick = false;
    bool m_rudder = false;
};
