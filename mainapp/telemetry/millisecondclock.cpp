#include "millisecondclock.h"

#include <QElapsedTimer>

MillisecondClock steadyMillisecondClock()
{
    return [] {
        static const QElapsedTimer timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return timer.elapsed();
    };
}
