// Runs the force output loop against the virtual joystick and rudder for a
// number of seconds and prints how regular its 10 ms tick is and how much
// CPU the process uses. Not a test: the figures depend on the machine.
//
//   kestrox-outputloop-bench [seconds]

#include "mainbackgroundthread.h"
#include "virtualhidtransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 10;

    auto bus = VirtualHidTransport::withJoystickAndRudder();
    auto *worker =
        new MainBackgroundThread(nullptr, MainBackgroundThreadOptions{bus, {0, 0, 0, {}, {}}, {}, true});

    // Every effect that computes something, on all three axes.
    EffectsSettings settings;
    for (AxisEffectsSettings &axis : settings.axes) {
        for (SimpleEffectSettings *effect :
             {static_cast<SimpleEffectSettings *>(&axis.simple_spring),
              static_cast<SimpleEffectSettings *>(&axis.g_force_spring),
              static_cast<SimpleEffectSettings *>(&axis.aoa_spring),
              static_cast<SimpleEffectSettings *>(&axis.airflow_spring), &axis.elevator_weight,
              static_cast<SimpleEffectSettings *>(&axis.landing_jolt),
              static_cast<SimpleEffectSettings *>(&axis.aoa_shaker),
              static_cast<SimpleEffectSettings *>(&axis.gear_shaker),
              static_cast<SimpleEffectSettings *>(&axis.flaps_shaker),
              static_cast<SimpleEffectSettings *>(&axis.airbrake_shaker),
              static_cast<SimpleEffectSettings *>(&axis.on_ground_shaker),
              static_cast<SimpleEffectSettings *>(&axis.smart_damper)}) {
            effect->active = true;
            effect->total_effect_strength = 50;
        }
    }
    Telemetry flight;
    flight.airspeed = 300;
    flight.gForce = 1.5f;
    flight.aoa = 6;
    flight.gear = 100;
    flight.flaps = 50;
    flight.airbrake = 20;

    std::vector<qint64> tickTimes;
    tickTimes.reserve(std::size_t(seconds) * 200);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(
        worker, &MainBackgroundThread::positionChanged, worker,
        [&](const PositionInput &) { tickTimes.push_back(clock.nsecsElapsed()); }, Qt::DirectConnection);

    QThread thread;
    QTimer::singleShot(0, worker, [&] {
        worker->changeSettingsModerately(settings);
        worker->enableTelemetryOverride();
        worker->overrideTelemetry(flight);
        worker->start();
    });
    thread.start();
    worker->moveToThread(&thread);

    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = processCpuSeconds() - cpuStart;
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;

    QMetaObject::invokeMethod(worker, &MainBackgroundThread::shutdown, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete worker;

    std::vector<double> intervals;
    for (std::size_t i = 1; i < tickTimes.size(); ++i)
        intervals.push_back(double(tickTimes[i] - tickTimes[i - 1]) / 1e6);
    if (intervals.empty()) {
        std::fprintf(stderr, "no ticks measured\n");
        return 1;
    }
    std::sort(intervals.begin(), intervals.end());
    auto percentile = [&](double p) { return intervals[std::size_t(p * double(intervals.size() - 1))]; };
    std::printf("ticks: %zu in %.1f s\n", tickTimes.size(), wallSeconds);
    std::printf("tick interval ms: median %.3f, p99 %.3f, max %.3f\n", percentile(0.5), percentile(0.99),
                intervals.back());
    std::printf("process CPU: %.2f ms per second of wall time (%.2f %%)\n", cpu / wallSeconds * 1000.0,
                cpu / wallSeconds * 100.0);
    return 0;
}
