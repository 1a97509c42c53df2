// Runs the force output loop for a number of seconds, fed by DCS datagrams
// sent over the loopback at 50 Hz, and prints how regular its 10 ms tick is,
// the time from a datagram sent to the first report computed from it, how
// much CPU the process uses and how its resident memory moves (a soak: run
// it for half an hour to see growth per hour). Not a test: the figures
// depend on the machine.
//
//   kestrox-outputloop-bench [seconds] [--hidapi]
//   kestrox-outputloop-bench --idle [seconds]
//
// --hidapi drives the real device path (hidapi; no device needs to be
// attached) instead of the virtual joystick and rudder. --idle runs the
// output loop and the telemetry thread as the program does with no
// simulator and no device (hidapi, the simulators' own ports) and prints
// the CPU each thread used.

#include "mainbackgroundthread.h"
#include "telemetrysourceudp.h"
#include "telemetrythread.h"
#include "virtualhidtransport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QUdpSocket>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Resident set size in MB, from /proc.
double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return double(fields[1].toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// CPU seconds used so far by each thread of this process, by thread name.
std::vector<std::pair<QByteArray, double>> threadCpuSeconds()
{
    std::vector<std::pair<QByteArray, double>> threads;
    const double tick = double(sysconf(_SC_CLK_TCK));
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 13)
            continue;
        const double used = double(fields[11].toLongLong() + fields[12].toLongLong()) / tick;
        const QByteArray name = line.mid(open + 1, close - open - 1);
        auto it = std::find_if(threads.begin(), threads.end(), [&](const auto &t) { return t.first == name; });
        if (it == threads.end())
            threads.emplace_back(name, used);
        else
            it->second += used;
    }
    return threads;
}

// Runs what the program runs while nothing is there to talk to and prints
// each thread's share of one core.
int idle(QCoreApplication &app, int seconds)
{
    MainBackgroundThreadOptions options;
    options.hid = createHidapiTransport();
    auto *worker = new MainBackgroundThread(nullptr, options);
    QThread thread;
    thread.setObjectName(QStringLiteral("output"));
    QTimer::singleShot(0, worker, [worker] { worker->start(); });
    thread.start();
    worker->moveToThread(&thread);

    // The first seconds are the start-up.
    std::vector<std::pair<QByteArray, double>> before;
    QElapsedTimer wall;
    QTimer::singleShot(2000, &app, [&] {
        before = threadCpuSeconds();
        wall.start();
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    });
    app.exec();
    const std::vector<std::pair<QByteArray, double>> after = threadCpuSeconds();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;

    QMetaObject::invokeMethod(worker, &MainBackgroundThread::shutdown, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete worker;

    std::printf("idle: no simulator, no device, %.0f s\n", wallSeconds);
    double total = 0;
    for (const auto &[name, used] : after) {
        const auto it = std::find_if(before.begin(), before.end(), [&](const auto &t) { return t.first == name; });
        const double share = (used - (it == before.end() ? 0.0 : it->second)) / wallSeconds * 100.0;
        total += share;
        std::printf("  %-20s %6.2f %% of a core\n", name.constData(), share);
    }
    std::printf("  %-20s %6.2f %% of a core\n", "all threads", total);
    return 0;
}

// Least-squares slope of y over x.
double slope(const std::vector<std::pair<double, double>> &points)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto &[x, y] : points) {
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double n = double(points.size());
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

// Stamps every report the worker writes, so that the time from a datagram
// sent to the first report computed from it can be measured.
class TimingTransport final : public HidTransport
{
public:
    explicit TimingTransport(std::shared_ptr<HidTransport> inner) : m_inner(std::move(inner)) {}
    std::function<void()> onWrite; // on the worker's thread

    int init() override { return m_inner->init(); }
    HidDevice *open(quint16 vendorId, quint16 productId) override { return m_inner->open(vendorId, productId); }
    int getFeatureReport(HidDevice *device, unsigned char *data, std::size_t length) override
    {
        return m_inner->getFeatureReport(device, data, length);
    }
    int write(HidDevice *device, const unsigned char *data, std::size_t length) override
    {
        const int result = m_inner->write(device, data, length);
        if (result >= 0 && onWrite)
            onWrite();
        return result;
    }
    void close(HidDevice *device) override { m_inner->close(device); }

private:
    std::shared_ptr<HidTransport> m_inner;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool hidapi = arguments.contains(QStringLiteral("--hidapi"));
    int seconds = 10;
    for (const QString &argument : arguments.mid(1)) {
        if (argument.toInt() > 0)
            seconds = argument.toInt();
    }
    if (arguments.contains(QStringLiteral("--idle")))
        return idle(app, seconds);

    std::shared_ptr<HidTransport> devices;
    if (hidapi)
        devices = createHidapiTransport();
    else
        devices = VirtualHidTransport::withJoystickAndRudder();
    auto hid = std::make_shared<TimingTransport>(devices);
    TelemetryEndpoints endpoints;
    endpoints.dcsPort = 0;
    endpoints.il2Port = 0;
    endpoints.condor2Port = 0;
    MainBackgroundThreadOptions options;
    options.hid = hid;
    options.telemetryEndpoints = endpoints;
    auto *worker = new MainBackgroundThread(nullptr, options);
    const quint16 dcsPort =
        static_cast<TelemetrySourceUdp *>(worker->telemetryWorker()->source(Telemetry::TELEMETRY_SOURCE_DCS))
            ->localPort();

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
    QElapsedTimer clock;
    clock.start();
    // Everything the run measures is stored in memory touched up front, so
    // that the resident-memory figures show the program, not the bench.
    const std::size_t capacity = std::size_t(seconds) * 200 + 1000;
    std::vector<qint64> tickTimes(capacity, 0);
    std::size_t ticks = 0;
    std::vector<std::atomic<qint64>> sentAt(capacity);
    std::vector<qint64> latencies(capacity, 0);
    std::size_t latencyCount = 0;
    std::atomic<qint64> sequence{0};
    qint64 arrived = -1; // worker thread: the newest datagram's number, not yet written

    // A DCS flight, 50 datagrams a second: airspeed, climb, AoA, G, gear,
    // airbrake, flaps. The airspeed, 100 to 899 km/h, numbers the datagram.
    QUdpSocket simulator;
    QTimer sendTimer;
    sendTimer.setTimerType(Qt::PreciseTimer);
    sendTimer.setInterval(20);
    QObject::connect(&sendTimer, &QTimer::timeout, &simulator, [&] {
        const qint64 n = sequence.load();
        if (std::size_t(n) >= capacity)
            return;
        const QByteArray line = "BenchJet;" + QByteArray::number(100 + n % 800) + ";2.5;6;1.5;1;0.2;0.5;85;0";
        sentAt[std::size_t(n)] = clock.nsecsElapsed();
        sequence = n + 1;
        simulator.writeDatagram(line, QHostAddress::LocalHost, dcsPort);
    });
    sendTimer.start();
    QObject::connect(
        worker, &MainBackgroundThread::telemetryChanged, worker,
        [&](const Telemetry &t) {
            // The newest datagram whose airspeed matches.
            const qint64 newest = sequence.load() - 1;
            for (qint64 n = newest; n >= 0 && n > newest - 800; --n) {
                if (100 + n % 800 == qint64(t.airspeed)) {
                    arrived = n;
                    break;
                }
            }
        },
        Qt::DirectConnection);
    hid->onWrite = [&] {
        if (arrived >= 0 && latencyCount < capacity) {
            latencies[latencyCount++] = clock.nsecsElapsed() - sentAt[std::size_t(arrived)];
            arrived = -1;
        }
    };

    // Resident memory once a second; the first ten seconds are the warm-up.
    std::vector<std::pair<double, double>> memory;
    QElapsedTimer memoryClock;
    QTimer memoryTimer;
    memoryTimer.setInterval(1000);
    QObject::connect(&memoryTimer, &QTimer::timeout, &app, [&] {
        memory.emplace_back(double(memoryClock.elapsed()) / 1000.0, residentMegabytes());
    });

    // What the Live tab shows: from the input reaching the program to the report.
    std::vector<double> liveLatencies;
    liveLatencies.reserve(capacity);
    QObject::connect(
        worker, &MainBackgroundThread::liveBatchReady, worker,
        [&](const LiveBatch &batch) {
            for (int i = 0; i < batch.count; ++i) {
                if (batch.samples[i].latencyMs >= 0 && liveLatencies.size() < capacity)
                    liveLatencies.push_back(batch.samples[i].latencyMs);
            }
        },
        Qt::DirectConnection);
    QObject::connect(
        worker, &MainBackgroundThread::positionChanged, worker,
        [&](const PositionInput &) {
            if (ticks < capacity)
                tickTimes[ticks++] = clock.nsecsElapsed();
        },
        Qt::DirectConnection);

    QThread thread;
    QTimer::singleShot(0, worker, [&] {
        worker->changeSettingsModerately(settings);
        worker->start();
    });
    thread.start();
    worker->moveToThread(&thread);

    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    memoryClock.start();
    memoryTimer.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = processCpuSeconds() - cpuStart;
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;

    QMetaObject::invokeMethod(worker, &MainBackgroundThread::shutdown, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete worker;

    std::vector<double> intervals;
    for (std::size_t i = 1; i < ticks; ++i)
        intervals.push_back(double(tickTimes[i] - tickTimes[i - 1]) / 1e6);
    if (intervals.empty()) {
        std::fprintf(stderr, "no ticks measured\n");
        return 1;
    }
    std::sort(intervals.begin(), intervals.end());
    auto percentile = [&](double p) { return intervals[std::size_t(p * double(intervals.size() - 1))]; };
    std::printf("device path: %s\n", hidapi ? "hidapi" : "virtual joystick and rudder");
    std::printf("ticks: %zu in %.1f s\n", ticks, wallSeconds);
    std::printf("tick interval ms: median %.3f, p99 %.3f, max %.3f\n", percentile(0.5), percentile(0.99),
                intervals.back());
    if (latencyCount > 0) {
        std::vector<double> ms;
        for (std::size_t i = 0; i < latencyCount; ++i)
            ms.push_back(double(latencies[i]) / 1e6);
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (double v : ms)
            sum += v;
        std::printf("latency ms, datagram sent to report written (%zu datagrams): mean %.2f, p99 %.2f, max %.2f\n",
                    ms.size(), sum / double(ms.size()), ms[std::size_t(0.99 * double(ms.size() - 1))], ms.back());
    }
    if (!liveLatencies.empty()) {
        std::sort(liveLatencies.begin(), liveLatencies.end());
        double sum = 0;
        for (double v : liveLatencies)
            sum += v;
        std::printf("latency ms as the Live tab shows it, input reached the program to report written "
                    "(%zu records): mean %.2f, p99 %.2f, max %.2f\n",
                    liveLatencies.size(), sum / double(liveLatencies.size()),
                    liveLatencies[std::size_t(0.99 * double(liveLatencies.size() - 1))], liveLatencies.back());
    }
    std::printf("process CPU: %.2f ms per second of wall time (%.2f %%)\n", cpu / wallSeconds * 1000.0,
                cpu / wallSeconds * 100.0);

    const auto settled = std::find_if(memory.begin(), memory.end(), [](const auto &p) { return p.first >= 10; });
    if (std::distance(settled, memory.end()) >= 3) {
        const std::vector<std::pair<double, double>> window(settled, memory.end());
        const auto &middle = window[window.size() / 2];
        std::printf("resident MB: %.2f at %.0f s, %.2f at %.0f s, %.2f at %.0f s\n", window.front().second,
                    window.front().first, middle.second, middle.first, window.back().second, window.back().first);
        std::printf("memory growth: %.3f MB per hour (least squares after the first 10 s)\n",
                    slope(window) * 3600.0);
    } else {
        std::printf("resident MB: %.2f (run 13 s or more for the growth)\n", residentMegabytes());
    }
    return 0;
}
