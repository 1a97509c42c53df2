#pragma once

#include "devicereports.h"
#include "effectssettings.h"
#include "forces.h"
#include "hidtransport.h"
#include "livesamples.h"
#include "telemetry.h"
#include "millisecondclock.h"
#include "telemetrythread.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QThread;
class QTimer;
class CommonTelemetryForceCalculator;
class MSFSTelemetryForceCalculator;
class DCSTelemetryForceCalculator;
class ShturmovikTelemetryForceCalculator;
class WarthunderForceCalculator;
class CondorTelemetryForceCalculator;
class XPlaneTelemetryForceCalculator;

// What the worker is built on. The defaults are the real ones: hidapi, the
// simulators' fixed endpoints, a monotonic clock.
struct MainBackgroundThreadOptions
{
    std::shared_ptr<HidTransport> hid; // null: hidapi
    TelemetryEndpoints telemetryEndpoints;
    MillisecondClock clock;         // null: monotonic; drives the effect clock and the ramp
    bool runTelemetryThread = true; // false: no telemetry thread is started (tests feed records)
    // Started with the telemetry thread: a recording of what the simulators
    // send, or a replay of one in place of the simulators.
    QString recordPath;
    QString replayPath;
    double replaySpeed = 1.0;
    bool replayLoop = false;
    // False: the reports carry no force until setForcesEnabled(true).
    bool forcesEnabledAtStart = true;
};

// The worker that owns the devices and produces the forces: every 10 ms it
// finds or re-finds the joystick and the rudder, reads their positions,
// composes the forces of the three axes from the current settings and the
// latest telemetry, ramps and limits them, and writes one direct-control
// report to each present device.
class MainBackgroundThread : public QObject
{
    Q_OBJECT

public:
    explicit MainBackgroundThread(QObject *parent = nullptr, MainBackgroundThreadOptions options = {});
    ~MainBackgroundThread() override;

    // Starts the 10 ms output timer, the effect clock and the ramp. Call on the worker's thread.
    void start();

    TelemetryThread *telemetryWorker() const { return m_telemetry; }
    Telemetry::Source source() const { return m_source; }
    bool forcesEnabled() const { return m_forcesEnabled; }

    static constexpr int TickIntervalMs = 10;
    static constexpr qint64 RampDurationMs = 2000;
    static constexpr int ReconnectTicks = 100;
    static constexpr int ReadFailureLimit = 100;
    static constexpr float ForceLimit = 100.0f;
    // The largest spring magnitude valid settings make from physical
    // telemetry: a curve spring at most 100 kg (curves end at +-100 kg,
    // strength at most 100 %); the airflow spring's speed term as its force
    // uses it, at most 500, plus its thrust term at full thrust below the end
    // airspeed, at most 0.5 x 100 %: 550.
    static constexpr float SpringBound = 550.0f;
    // The largest periodic value: six oscillators (landing jolt, AoA, gear,
    // flaps, airbrake, on ground) of amplitude at most 2 at 100 % strength
    // and a full driver, each with a cycle's amplitude jitter up to +100 %
    // (five standard deviations): 6 x 2 x 2 = 24.
    static constexpr float PeriodicBound = 24.0f;
    // Damping coefficients: strength at most 100 % of at most 500 %; never
    // below 0, where the device would push instead of damp.
    static constexpr float DampingBound = 5.0f;
    static constexpr int LiveBatchIntervalMs = 33;
    // While nobody watches, a batch holds up to half a second (a batch holds 64 ticks).
    static constexpr int HiddenLiveBatchIntervalMs = 500;

signals:
    void telemetryChanged(Telemetry telemetry);
    void telemetrySourceChanged(Telemetry::Source source, QString flightModule);
    void telemetryEnded();
    void joystickConnected(uint32_t version);
    void joystickDisconnected();
    void rudderConnected(uint32_t version);
    void rudderDisconnected();
    void positionChanged(PositionInput position);
    void sourceProblemChanged(Telemetry::Source source, QString problem);
    // About 30 times a second: what the ticks since the last batch wrote.
    void liveBatchReady(LiveBatch batch);
    void forcesEnabledChanged(bool enabled);

public slots:
    void changeSettingsSuddenly(EffectsSettings settings);
    void changeSettingsModerately(EffectsSettings settings);
    void enableTelemetryOverride();
    void disableTelemetryOverride();
    void overrideTelemetry(Telemetry telemetry);
    void setMsfsTelemetry(MSFSTelemetry telemetry);
    void setDcsTelemetry(DCSTelemetry telemetry);
    void setShturmovikTelemetry(ShturmovikTelemetry telemetry);
    void setWarthunderTelemetry(WarthunderTelemetry telemetry);
    void setCondor2Telemetry(Condor2Telemetry telemetry);
    void setXPlaneTelemetry(XPlaneTelemetry telemetry);
    void setLanded(float verticalSpeed, float airspeed);

    // The pilot's forces switch, over the loop's last step. Off: from the
    // next tick every report carries zero force, spring, periodic and
    // damping, and the device's own DirectX forces are scaled to zero;
    // devices, telemetry and the live view go on. On: the forces ramp in
    // from zero, as after a sudden settings change.
    void setForcesEnabled(bool enabled);

    // The live view is in sight (batches about 30 times a second) or not
    // (twice a second); out of sight at start.
    void setLiveViewShown(bool shown);

    // Leaves the motors at rest: stops the output timer, writes one all-zero
    // direct-control report to each present device, closes the devices and
    // stops the telemetry thread. Runs on the worker's thread; afterwards the
    // worker's thread can be quit.
    void shutdown();

private slots:
    Forces calculateForces(PositionInput position);
    void onTimout();
    void emitLiveBatch();

    uint32_t readJoystickVersion();
    void disconnectJoystick();
    void readJoystickPosition(PositionInput *position, PositionInput *offset);
    void writeJoystickDirectControl(Forces forces);
    void writeJoystickDirectXOverride(DirectXOverrideTypeDef scales);
    uint32_t readRudderVersion();
    void disconnectRudder();
    void readRudderPosition(PositionInput *position, PositionInput *offset);
    void writeRudderDirectControl(Forces forces);
    void writeRudderDirectXOverride(DirectXOverrideTypeDef scales);
    void writeDirectXOverride();

private:
    // 0 at the ramp's start, rising linearly to 1 after RampDurationMs.
    static float rampFactor(qint64 sinceRampStart);
    static Forces ramped(Forces forces, float factor);
    qint64 effectTime() const;
    uint32_t readVersion(HidDevice *device);
    // Reads a position report; false when the read failed and the device was dropped.
    bool readPosition(HidDevice *&device, int &failures, DeviceReports::Report &report);
    void write(HidDevice *device, const DeviceReports::Report &report);
    const Telemetry &selectedTelemetry() const;
    // Moves each axis's centre one tick towards where trim and autopilot following want it.
    void followTrim(const Telemetry &telemetry);
    void acceptLiveRecord(Telemetry::Source source, const Telemetry &record, qint64 inputStamp);
    // A value bounded to +-bound, not finite as 0; counts each one it had to change.
    float bounded(float value, float bound);
    float boundedBetween(float value, float low, float high);
    DeviceReports::AxisDamping boundedDamping(DeviceReports::AxisDamping damping);
    // Notes what this tick wrote to a device for the live view.
    void noteLive(LiveSample &sample, const Forces &written, int firstAxis, int axisCount);

    std::shared_ptr<HidTransport> m_hid;
    MillisecondClock m_clock;
    qint64 m_effectClockStart = 0;
    qint64 m_rampStart = 0;
    // A device that comes back gets its forces ramped in afresh, as at start:
    // the stick may be deflected against a strong spring when it returns.
    qint64 m_joystickRampStart = 0;
    qint64 m_rudderRampStart = 0;
    bool m_started = false;
    QTimer *m_outputTimer;

    HidDevice *m_joystick = nullptr;
    HidDevice *m_rudder = nullptr;
    int m_joystickReconnectTicks = 1000;
    int m_rudderReconnectTicks = 1000;
    int m_joystickReadFailures = 1000;
    int m_rudderReadFailures = 1000;

    EffectsSettings m_settings;
    bool m_forcesEnabled = true;
    // Where each axis's deflection springs pull to, -1..1: the trim or the
    // autopilot's control position, reached at a bounded pace; 0 without trim following.
    std::array<float, Forces::AxisCount> m_centre{};
    bool m_telemetryOverride = false;
    Telemetry::Source m_source = Telemetry::TELEMETRY_SOURCE_NONE;
    Telemetry m_overrideTelemetry;
    MSFSTelemetry m_msfsTelemetry;
    DCSTelemetry m_dcsTelemetry;
    ShturmovikTelemetry m_shturmovikTelemetry;
    WarthunderTelemetry m_warthunderTelemetry;
    Condor2Telemetry m_condor2Telemetry;
    XPlaneTelemetry m_xplaneTelemetry;

    CommonTelemetryForceCalculator *m_commonCalculator;
    MSFSTelemetryForceCalculator *m_msfsCalculator;
    DCSTelemetryForceCalculator *m_dcsCalculator;
    ShturmovikTelemetryForceCalculator *m_shturmovikCalculator;
    WarthunderForceCalculator *m_warthunderCalculator;
    CondorTelemetryForceCalculator *m_condorCalculator;
    XPlaneTelemetryForceCalculator *m_xplaneCalculator;

    TelemetryThread *m_telemetry;

    // For the live view; the tick only fills preallocated slots.
    QTimer *m_liveTimer;
    LiveSampleRing m_live;
    // Handed to the window in turn; one the window still holds is skipped.
    std::array<LiveBatch, 3> m_liveBatches;
    qint64 m_lastTickAt = -1;
    qint64 m_recordStamp = -1; // input stamp of the newest record not yet used by a tick
    quint16 m_recordsSinceTick = 0;
    quint64 m_failedWrites = 0;
    quint64 m_boundedValues = 0; // spring, periodic and force values changed to be safe, since start
    quint64 m_boundedBefore = 0; // as it stood at the previous tick
    QThread *m_telemetryThread = nullptr;
};
