#include "mainbackgroundthread.h"

#include "commontelemetryforcecalculator.h"
#include "condortelemetryforcecalculator.h"
#include "dcstelemetryforcecalculator.h"
#include "devicelogging.h"
#include "effectsmetatypes.h"
#include "trimfollowing.h"
#include "msfstelemetryforcecalculator.h"
#include "shturmoviktelemetryforcecalculator.h"
#include "warthunderforcecalculator.h"
#include "xplanetelemetryforcecalculator.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

using namespace DeviceReports;

MainBackgroundThread::MainBackgroundThread(QObject *parent, MainBackgroundThreadOptions options)
    : QObject(parent), m_hid(options.hid ? std::move(options.hid) : createHidapiTransport()),
      m_clock(options.clock ? std::move(options.clock) : steadyMillisecondClock()),
      m_outputTimer(new QTimer(this)), m_forcesEnabled(options.forcesEnabledAtStart)
{
    registerTelemetryMetaTypes();
    registerEffectsMetaTypes();
    registerDeviceMetaTypes();

    m_commonCalculator = new CommonTelemetryForceCalculator(this);
    m_msfsCalculator = new MSFSTelemetryForceCalculator(this);
    m_dcsCalculator = new DCSTelemetryForceCalculator(this);
    m_shturmovikCalculator = new ShturmovikTelemetryForceCalculator(this);
    m_warthunderCalculator = new WarthunderForceCalculator(this);
    m_condorCalculator = new CondorTelemetryForceCalculator(this);
    m_xplaneCalculator = new XPlaneTelemetryForceCalculator(this);

    m_telemetry = new TelemetryThread(nullptr, options.telemetryEndpoints);

    m_hid->init();

    m_outputTimer->setInterval(TickIntervalMs);
    connect(m_outputTimer, &QTimer::timeout, this, &MainBackgroundThread::onTimout);
    qRegisterMetaType<LiveBatch>("LiveBatch");
    m_liveTimer = new QTimer(this);
    m_liveTimer->setInterval(HiddenLiveBatchIntervalMs);
    connect(m_liveTimer, &QTimer::timeout, this, &MainBackgroundThread::emitLiveBatch);
    connect(m_telemetry, &TelemetryThread::telemetryEnded, this, &MainBackgroundThread::telemetryEnded);
    connect(m_telemetry, &TelemetryThread::telemetrySourceChanged, this,
            &MainBackgroundThread::telemetrySourceChanged);
    connect(m_telemetry, &TelemetryThread::msfsTelemetryChanged, this,
            &MainBackgroundThread::setMsfsTelemetry);
    connect(m_telemetry, &TelemetryThread::dcsTelemetryChanged, this, &MainBackgroundThread::setDcsTelemetry);
    connect(m_telemetry, &TelemetryThread::shturmovikTelemetryChanged, this,
            &MainBackgroundThread::setShturmovikTelemetry);
    connect(m_telemetry, &TelemetryThread::warthunderTelemetryChanged, this,
            &MainBackgroundThread::setWarthunderTelemetry);
    connect(m_telemetry, &TelemetryThread::condor2TelemetryChanged, this,
            &MainBackgroundThread::setCondor2Telemetry);
    connect(m_telemetry, &TelemetryThread::xplaneTelemetryChanged, this,
            &MainBackgroundThread::setXPlaneTelemetry);
    connect(m_telemetry, &TelemetryThread::landed, this, &MainBackgroundThread::setLanded);
    connect(m_telemetry, &TelemetryThread::sourceProblemChanged, this,
            &MainBackgroundThread::sourceProblemChanged);

    if (options.runTelemetryThread) {
        QTimer::singleShot(0, m_telemetry, [telemetry = m_telemetry, options] {
            if (!options.replayPath.isEmpty())
                telemetry->startReplay(options.replayPath, options.replaySpeed, options.replayLoop);
            else if (!options.recordPath.isEmpty())
                telemetry->startRecording(options.recordPath);
            telemetry->start();
        });
        m_telemetryThread = new QThread;
        m_telemetryThread->setObjectName(QStringLiteral("telemetry"));
        connect(m_telemetryThread, &QThread::finished, m_telemetry, &QObject::deleteLater);
        m_telemetryThread->start(QThread::InheritPriority);
        m_telemetry->moveToThread(m_telemetryThread);
    }
}

MainBackgroundThread::~MainBackgroundThread()
{
    if (m_telemetryThread) {
        m_telemetryThread->quit();
        m_telemetryThread->wait();
        delete m_telemetryThread;
    } else {
        delete m_telemetry;
    }
}

void MainBackgroundThread::start()
{
    m_effectClockStart = m_clock();
    m_rampStart = m_effectClockStart;
    m_started = true;
    m_outputTimer->start();
    m_liveTimer->start();
}

qint64 MainBackgroundThread::effectTime() const
{
    return m_started ? m_clock() - m_effectClockStart : 0;
}

void MainBackgroundThread::shutdown()
{
    m_outputTimer->stop();
    m_liveTimer->stop();
    const Report rest = directControl({}, {}, {}, {});
    for (HidDevice **device : {&m_joystick, &m_rudder}) {
        if (*device) {
            write(*device, rest);
            m_hid->close(*device);
            *device = nullptr;
        }
    }
    if (m_telemetryThread) {
        m_telemetryThread->quit();
        m_telemetryThread->wait();
        delete m_telemetryThread;
        m_telemetryThread = nullptr;
        m_telemetry = nullptr; // deleted with its thread's finish
    }
    qCInfo(lcDevice) << "forces released and devices closed";
}

void MainBackgroundThread::setForcesEnabled(bool enabled)
{
    if (enabled == m_forcesEnabled)
        return;
    m_forcesEnabled = enabled;
    // Never a step: back on, the forces rise from zero over the ramp.
    if (enabled)
        m_rampStart = m_clock();
    writeDirectXOverride();
    qCInfo(lcDevice).noquote() << (enabled ? "forces on" : "forces off") << "at" << m_clock() << "ms";
    emit forcesEnabledChanged(enabled);
}

void MainBackgroundThread::setLiveViewShown(bool shown)
{
    m_liveTimer->setInterval(shown ? LiveBatchIntervalMs : HiddenLiveBatchIntervalMs);
}

void MainBackgroundThread::changeSettingsSuddenly(EffectsSettings settings)
{
    m_rampStart = m_clock();
    m_settings = settings;
    writeDirectXOverride();
}

void MainBackgroundThread::changeSettingsModerately(EffectsSettings settings)
{
    m_settings = settings;
    writeDirectXOverride();
}

void MainBackgroundThread::enableTelemetryOverride()
{
    m_telemetryOverride = true;
}

void MainBackgroundThread::disableTelemetryOverride()
{
    m_telemetryOverride = false;
}

void MainBackgroundThread::overrideTelemetry(Telemetry telemetry)
{
    if (!m_telemetryOverride)
        return;
    m_source = Telemetry::TELEMETRY_SOURCE_NONE;
    m_overrideTelemetry = telemetry;
}

void MainBackgroundThread::acceptLiveRecord(Telemetry::Source source, const Telemetry &record, qint64 inputStamp)
{
    m_source = source;
    // The latency runs from when the input reached the program; a record
    // without a stamp counts from its arrival here.
    m_recordStamp = inputStamp >= 0 ? inputStamp : m_clock();
    ++m_recordsSinceTick;
    emit telemetryChanged(record);
}

void MainBackgroundThread::setMsfsTelemetry(MSFSTelemetry telemetry)
{
    if (m_telemetryOverride)
        return;
    m_msfsTelemetry = telemetry;
    acceptLiveRecord(Telemetry::TELEMETRY_SOURCE_MSFS, telemetry, telemetry.inputStampMs);
}

void MainBackgroundThread::setDcsTelemetry(DCSTelemetry telemetry)
{
    if (m_telemetryOverride)
        return;
    m_dcsTelemetry = telemetry;
    acceptLiveRecord(Telemetry::TELEMETRY_SOURCE_DCS, telemetry, telemetry.inputStampMs);
}

void MainBackgroundThread::setShturmovikTelemetry(ShturmovikTelemetry telemetry)
{
    if (m_telemetryOverride)
        return;
    m_shturmovikTelemetry = telemetry;
    acceptLiveRecord(Telemetry::TELEMETRY_SOURCE_IL2, telemetry, telemetry.inputStampMs);
}

void MainBackgroundThread::setWarthunderTelemetry(WarthunderTelemetry telemetry)
{
    if (m_telemetryOverride)
        return;
    m_warthunderTelemetry = telemetry;
    acceptLiveRecord(Telemetry::TELEMETRY_SOURCE_WARTHUNDER, telemetry, telemetry.inputStampMs);
}

void MainBackgroundThread::setCondor2Telemetry(Condor2Telemetry telemetry)
{
    if (m_telemetryOverride)
        return;
    m_condor2Telemetry = telemetry;
    acceptLiveRecord(Telemetry::TELEMETRY_SOURCE_CONDOR, telemetry, telemetry.inputStampMs);
}

void MainBackgroundThread::setXPlaneTelemetry(XPlaneTelemetry telemetry)
{
    if (m_telemetryOverride)
        return;
    m_xplaneTelemetry = telemetry;
    acceptLiveRecord(Telemetry::TELEMETRY_SOURCE_XPLANE, telemetry, telemetry.inputStampMs);
}

void MainBackgroundThread::setLanded(float verticalSpeed, float airspeed)
{
    m_commonCalculator->touchdown(std::uint64_t(effectTime()), airspeed, std::fabs(verticalSpeed),
                                  m_settings);
}

const Telemetry &MainBackgroundThread::selectedTelemetry() const
{
    switch (m_source) {
    case Telemetry::TELEMETRY_SOURCE_MSFS:
        return m_msfsTelemetry;
    case Telemetry::TELEMETRY_SOURCE_DCS:
        return m_dcsTelemetry;
    case Telemetry::TELEMETRY_SOURCE_IL2:
        return m_shturmovikTelemetry;
    case Telemetry::TELEMETRY_SOURCE_WARTHUNDER:
        return m_warthunderTelemetry;
    case Telemetry::TELEMETRY_SOURCE_CONDOR:
        return m_condor2Telemetry;
    case Telemetry::TELEMETRY_SOURCE_XPLANE:
        return m_xplaneTelemetry;
    case Telemetry::TELEMETRY_SOURCE_NONE:
        break;
    }
    return m_overrideTelemetry;
}

void MainBackgroundThread::followTrim(const Telemetry &telemetry)
{
    // The simulators whose own force feedback does not follow the trim; the
    // others' trims take no part (the centre goes back to 0).
    const AutopilotTelemetry *autopilot = nullptr;
    if (m_source == Telemetry::TELEMETRY_SOURCE_MSFS)
        autopilot = &m_msfsTelemetry;
    else if (m_source == Telemetry::TELEMETRY_SOURCE_XPLANE)
        autopilot = &m_xplaneTelemetry;
    const bool follows = autopilot || m_source == Telemetry::TELEMETRY_SOURCE_NONE;
    const float trims[Forces::AxisCount] = {telemetry.trimmerRoll, telemetry.trimmerPitch, telemetry.trimmerYaw};
    for (int axis = 0; axis < Forces::AxisCount; ++axis) {
        const auto i = std::size_t(axis);
        const float target = follows ? TrimFollowing::target(m_settings[axis].trim_following, trims[axis],
                                                             autopilot && autopilot->autopilotEngaged,
                                                             autopilot ? autopilot->controlPosition[i] : 0.0f)
                                     : 0.0f;
        m_centre[i] = TrimFollowing::step(m_centre[i], target);
    }
}

Forces MainBackgroundThread::calculateForces(PositionInput position)
{
    Forces forces;
    const auto time = std::uint64_t(effectTime());
    const Telemetry &telemetry = selectedTelemetry();
    followTrim(telemetry);
    const float positions[Forces::AxisCount] = {position.roll, position.pitch, position.yaw};
    for (int axis = 0; axis < Forces::AxisCount; ++axis) {
        AxisForces &axisForces = forces[axis];
        m_commonCalculator->composeAxis(axisForces, axis, time, positions[axis], telemetry, m_settings,
                                        m_centre[std::size_t(axis)]);
        switch (m_source) {
        case Telemetry::TELEMETRY_SOURCE_MSFS:
            m_msfsCalculator->addAxisForces(axisForces, axis, time);
            break;
        case Telemetry::TELEMETRY_SOURCE_DCS:
            m_dcsCalculator->addAxisForces(axisForces, axis, time);
            break;
        case Telemetry::TELEMETRY_SOURCE_IL2:
            m_shturmovikCalculator->addAxisForces(axisForces, axis, time);
            break;
        case Telemetry::TELEMETRY_SOURCE_WARTHUNDER:
            m_warthunderCalculator->addAxisForces(axisForces, axis, time);
            break;
        case Telemetry::TELEMETRY_SOURCE_CONDOR:
            m_condorCalculator->addAxisForces(axisForces, axis, time);
            break;
        case Telemetry::TELEMETRY_SOURCE_XPLANE:
            m_xplaneCalculator->addAxisForces(axisForces, axis, time);
            break;
        case Telemetry::TELEMETRY_SOURCE_NONE:
            break;
        }
        // The last step before the ramp and the report: a value no valid
        // settings make (a broken or hostile record) reaches the motor bounded.
        // A value that is not finite is a fault upstream: the motor gets none rather than full.
        axisForces.force = std::isfinite(axisForces.force)
                               ? std::clamp(axisForces.force, -ForceLimit, ForceLimit)
                               : bounded(axisForces.force, ForceLimit);
        axisForces.spring = bounded(axisForces.spring, SpringBound);
        axisForces.periodic = bounded(axisForces.periodic, PeriodicBound);
    }
    return forces;
}

float MainBackgroundThread::bounded(float value, float bound)
{
    if (!std::isfinite(value)) {
        ++m_boundedValues;
        return 0.0f;
    }
    if (value > bound || value < -bound) {
        ++m_boundedValues;
        return std::clamp(value, -bound, bound);
    }
    return value;
}

float MainBackgroundThread::boundedBetween(float value, float low, float high)
{
    if (!std::isfinite(value)) {
        ++m_boundedValues;
        return 0.0f;
    }
    if (value < low || value > high) {
        ++m_boundedValues;
        return std::clamp(value, low, high);
    }
    return value;
}

DeviceReports::AxisDamping MainBackgroundThread::boundedDamping(DeviceReports::AxisDamping damping)
{
    return {boundedBetween(damping.staticDamping, 0.0f, DampingBound),
            boundedBetween(damping.dynamicDamping, 0.0f, DampingBound)};
}

void MainBackgroundThread::onTimout()
{
    PositionInput position;
    PositionInput offset;

    if (m_joystick) {
        readJoystickPosition(&position, &offset);
    } else if (m_joystickReconnectTicks >= ReconnectTicks) {
        m_joystickReconnectTicks = 0;
        m_joystick = m_hid->open(VendorId, JoystickProductId);
        if (m_joystick) {
            m_joystickRampStart = m_clock();
            // With forces off, the stick's own scaling of the simulator's
            // forces must not come back with it.
            if (!m_forcesEnabled)
                writeJoystickDirectXOverride({});
            emit joystickConnected(readJoystickVersion());
        }
    } else {
        ++m_joystickReconnectTicks;
    }

    if (m_rudder) {
        readRudderPosition(&position, &offset);
    } else if (m_rudderReconnectTicks >= ReconnectTicks) {
        m_rudderReconnectTicks = 0;
        m_rudder = m_hid->open(VendorId, RudderProductId);
        if (m_rudder) {
            m_rudderRampStart = m_clock();
            if (!m_forcesEnabled)
                writeRudderDirectXOverride({});
            emit rudderConnected(readRudderVersion());
        }
    } else {
        ++m_rudderReconnectTicks;
    }

    position.roll -= offset.roll;
    position.pitch -= offset.pitch;
    position.yaw -= offset.yaw;
    emit positionChanged(position);

    const Forces forces = calculateForces(position);
    // Each device follows the later of the common ramp (start, sudden
    // settings change) and its own since it was last opened.
    const qint64 now = m_clock();
    const float common = rampFactor(now - m_rampStart);
    // The forces switch is the last layer: off, nothing at all.
    const float on = m_forcesEnabled ? 1.0f : 0.0f;
    const Forces joystickForces = ramped(forces, on * std::min(common, rampFactor(now - m_joystickRampStart)));
    const Forces rudderForces = ramped(forces, on * std::min(common, rampFactor(now - m_rudderRampStart)));
    writeJoystickDirectControl(joystickForces);
    writeRudderDirectControl(rudderForces);

    LiveSample &sample = m_live.next();
    sample = LiveSample();
    sample.timeMs = now;
    sample.position = {position.roll, position.pitch, position.yaw};
    sample.centre = m_centre;
    sample.joystick = m_joystick != nullptr;
    sample.rudder = m_rudder != nullptr;
    if (sample.joystick)
        noteLive(sample, joystickForces, 0, 2);
    if (sample.rudder)
        noteLive(sample, rudderForces, 2, 1);
    sample.tickIntervalMs = m_lastTickAt < 0 ? 0 : qint32(now - m_lastTickAt);
    m_lastTickAt = now;
    if (m_recordStamp >= 0 && (sample.joystick || sample.rudder)) {
        sample.latencyMs = qint32(now - m_recordStamp);
        m_recordStamp = -1;
    }
    sample.bounded = quint16(std::min<quint64>(m_boundedValues - m_boundedBefore, 0xFFFF));
    m_boundedBefore = m_boundedValues;
    sample.records = m_recordsSinceTick;
    m_recordsSinceTick = 0;
}

void MainBackgroundThread::noteLive(LiveSample &sample, const Forces &written, int firstAxis, int axisCount)
{
    // As the report encoder writes them: a value that is not finite goes out as 0.
    const auto encoded = [](float value) { return std::isfinite(value) ? value : 0.0f; };
    for (int axis = firstAxis; axis < firstAxis + axisCount; ++axis) {
        sample.force[std::size_t(axis)] = encoded(written[axis].force);
        sample.spring[std::size_t(axis)] = encoded(written[axis].spring);
        sample.periodic[std::size_t(axis)] = encoded(written[axis].periodic);
    }
}

void MainBackgroundThread::emitLiveBatch()
{
    auto batch = std::find_if(m_liveBatches.begin(), m_liveBatches.end(),
                              [](const LiveBatch &b) { return b.samples.isDetached(); });
    if (batch == m_liveBatches.end())
        batch = m_liveBatches.begin(); // the window is far behind: this one is copied
    m_live.take(*batch);
    batch->failedWrites = m_failedWrites;
    batch->boundedValues = m_boundedValues;
    batch->source = m_source;
    emit liveBatchReady(*batch);
}

float MainBackgroundThread::rampFactor(qint64 sinceRampStart)
{
    if (sinceRampStart > RampDurationMs)
        return 1.0f;
    // A clock that went backwards counts as the ramp's start.
    return float(std::max<qint64>(sinceRampStart, 0)) / float(RampDurationMs);
}

Forces MainBackgroundThread::ramped(Forces forces, float factor)
{
    if (factor >= 1.0f)
        return forces;
    for (AxisForces &axis : forces.axes) {
        axis.force *= factor;
        axis.periodic *= factor;
        axis.spring *= factor;
    }
    return forces;
}

uint32_t MainBackgroundThread::readVersion(HidDevice *device)
{
    Report report = featureRequest(VersionReportId);
    m_hid->getFeatureReport(device, report.data(), report.size());
    return versionFromReport(report);
}

uint32_t MainBackgroundThread::readJoystickVersion()
{
    return readVersion(m_joystick);
}

uint32_t MainBackgroundThread::readRudderVersion()
{
    return readVersion(m_rudder);
}

void MainBackgroundThread::disconnectJoystick()
{
    if (m_joystick)
        m_hid->close(m_joystick);
    m_joystick = nullptr;
    emit joystickDisconnected();
}

void MainBackgroundThread::disconnectRudder()
{
    if (m_rudder)
        m_hid->close(m_rudder);
    m_rudder = nullptr;
    emit rudderDisconnected();
}

bool MainBackgroundThread::readPosition(HidDevice *&device, int &failures, Report &report)
{
    report = featureRequest(PositionReportId);
    if (m_hid->getFeatureReport(device, report.data(), report.size()) > 0)
        return true;
    // The counter starts far above the limit and is never reset, so every failed read drops the device.
    if (++failures > ReadFailureLimit) {
        if (&device == &m_joystick)
            disconnectJoystick();
        else
            disconnectRudder();
    }
    return false;
}

void MainBackgroundThread::readJoystickPosition(PositionInput *position, PositionInput *offset)
{
    Report report;
    if (!readPosition(m_joystick, m_joystickReadFailures, report))
        return;
    position->roll = floatAt(report, 1);
    position->pitch = floatAt(report, 5);
    offset->roll = floatAt(report, 9);
    offset->pitch = floatAt(report, 13);
}

void MainBackgroundThread::readRudderPosition(PositionInput *position, PositionInput *offset)
{
    Report report;
    if (!readPosition(m_rudder, m_rudderReadFailures, report))
        return;
    position->yaw = floatAt(report, 1);
    offset->yaw = floatAt(report, 9);
}

void MainBackgroundThread::write(HidDevice *device, const Report &report)
{
    if (device && m_hid->write(device, report.data(), report.size()) < 0)
        ++m_failedWrites;
}

void MainBackgroundThread::writeJoystickDirectControl(Forces forces)
{
    if (!m_forcesEnabled) {
        write(m_joystick, directControl({}, {}, {}, {}));
        return;
    }
    write(m_joystick, directControl(forces[0], forces[1], boundedDamping(dampingOf(m_settings[0])),
                                    boundedDamping(dampingOf(m_settings[1]))));
}

void MainBackgroundThread::writeRudderDirectControl(Forces forces)
{
    if (!m_forcesEnabled) {
        write(m_rudder, directControl({}, {}, {}, {}));
        return;
    }
    write(m_rudder, directControl(forces[2], {}, boundedDamping(dampingOf(m_settings[2])), {}));
}

void MainBackgroundThread::writeJoystickDirectXOverride(DirectXOverrideTypeDef scales)
{
    write(m_joystick, directXOverride(scales));
}

void MainBackgroundThread::writeRudderDirectXOverride(DirectXOverrideTypeDef scales)
{
    write(m_rudder, directXOverride(scales));
}

void MainBackgroundThread::writeDirectXOverride()
{
    if (!m_forcesEnabled) {
        writeJoystickDirectXOverride({});
        writeRudderDirectXOverride({});
        return;
    }
    // Scales of the device's own forces: 0 to 1, whatever a profile says.
    const auto scales = [this](DirectXOverrideTypeDef record) {
        for (float *scale : {&record.trimmer[0], &record.trimmer[1], &record.force[0], &record.force[1],
                             &record.periodic[0], &record.periodic[1]})
            *scale = boundedBetween(*scale, 0.0f, 1.0f);
        return record;
    };
    writeJoystickDirectXOverride(scales(directXOverrideOf(m_settings[0], &m_settings[1])));
    writeRudderDirectXOverride(scales(directXOverrideOf(m_settings[2], nullptr)));
}
