#pragma once

#include <QtGlobal>

#include <functional>

// Milliseconds on a monotonic clock. Everything that judges time (silence,
// warm-up, replay, the output ramp) takes one of these, so that tests drive
// time by hand instead of waiting.
using MillisecondClock = std::function<qint64()>;

// The process's monotonic clock; every thread that calls it reads the same time base.
MillisecondClock steadyMillisecondClock();
