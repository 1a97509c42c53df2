#include "telemetrythread.h"

#include "simconnectnetworkclient.h"
#include "simconnectreplay.h"
#include "telemetrylogging.h"
#include "telemetrysourcecondor2.h"
#include "telemetrysourcedcs.h"
#include "telemetrysourcemsfs.h"
#include "telemetrysourceshturmovik.h"
#include "telemetrysourcewarthunder.h"
#include "telemetrysourcexplane.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

TelemetryThread::TelemetryThread(QObject *parent, const TelemetryEndpoints &endpoints)
    : QObject(parent), m_timer(new QTimer(this)), m_flushTimer(new QTimer(this)), m_endpoints(endpoints)
{
    registerTelemetryMetaTypes();
    m_liveSimConnect = endpoints.simConnect ? endpoints.simConnect : createSimConnect(endpoints.msfsAddress);
    createSources(false);

    m_timer->setInterval(PollIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TelemetryThread::onTimeout);
    // A crash of the program loses at most the last second of a recording;
    // the file reaches the disk when the recording stops.
    m_flushTimer->setInterval(1000);
    connect(m_flushTimer, &QTimer::timeout, this, [this] { m_recording.flush(); });
}

TelemetryThread::~TelemetryThread()
{
    m_recording.close();
}

void TelemetryThread::createSources(bool replay)
{
    // A replay feeds every source from the recording instead of its simulator.
    const auto datagrams = [replay](quint16 port) -> std::unique_ptr<DatagramInput> {
        if (replay)
            return std::make_unique<ReplayDatagramInput>();
        return std::make_unique<UdpInput>(port);
    };
    auto *msfs = new TelemetrySourceMSFS(this, replay ? std::make_shared<ReplaySimConnect>() : m_liveSimConnect);
    auto *dcs = new TelemetrySourceDCS(this, datagrams(m_endpoints.dcsPort));
    auto *il2 = new TelemetrySourceShturmovik(this, datagrams(m_endpoints.il2Port));
    auto *warthunder = replay ? new TelemetrySourceWarthunder(this, std::make_unique<ReplayHttpInput>())
                              : new TelemetrySourceWarthunder(this, m_endpoints.warthunderStateUrl);
    auto *condor2 = new TelemetrySourceCondor2(this, datagrams(m_endpoints.condor2Port));
    auto *xplane = replay ? new TelemetrySourceXPlane(this, datagrams(0))
                          : new TelemetrySourceXPlane(this, m_endpoints.xplaneAddress);
    adopt(Telemetry::TELEMETRY_SOURCE_MSFS, msfs);
    adopt(Telemetry::TELEMETRY_SOURCE_DCS, dcs);
    adopt(Telemetry::TELEMETRY_SOURCE_IL2, il2);
    adopt(Telemetry::TELEMETRY_SOURCE_WARTHUNDER, warthunder);
    adopt(Telemetry::TELEMETRY_SOURCE_CONDOR, condor2);
    adopt(Telemetry::TELEMETRY_SOURCE_XPLANE, xplane);

    connect(msfs, &TelemetrySourceMSFS::telemetryChanged, this, &TelemetryThread::msfsTelemetryChanged);
    connect(dcs, &TelemetrySourceDCS::telemetryChanged, this, &TelemetryThread::dcsTelemetryChanged);
    connect(il2, &TelemetrySourceShturmovik::telemetryChanged, this,
            &TelemetryThread::shturmovikTelemetryChanged);
    connect(warthunder, &TelemetrySourceWarthunder::telemetryChanged, this,
            &TelemetryThread::warthunderTelemetryChanged);
    connect(condor2, &TelemetrySourceCondor2::telemetryChanged, this,
            &TelemetryThread::condor2TelemetryChanged);
    connect(xplane, &TelemetrySourceXPlane::telemetryChanged, this, &TelemetryThread::xplaneTelemetryChanged);
}

void TelemetryThread::replaceSources(bool replay)
{
    // Every source that still counts itself active ends its data here, as if
    // its simulator had stopped, so that no last record stays on the stick.
    for (int i = 1; i < Telemetry::SourceCount; ++i)
        m_sources[i]->finish();
    for (int i = 1; i < Telemetry::SourceCount; ++i) {
        if (!m_sources[i]->problem().isEmpty())
            emit sourceProblemChanged(Telemetry::Source(i), QString());
        delete m_sources[i];
        m_sources[i] = nullptr;
    }
    m_activeSource = Telemetry::TELEMETRY_SOURCE_NONE;
    createSources(replay);
    for (int i = 1; i < Telemetry::SourceCount; ++i) {
        if (!m_sources[i]->problem().isEmpty())
            emit sourceProblemChanged(Telemetry::Source(i), m_sources[i]->problem());
    }
}

void TelemetryThread::adopt(Telemetry::Source index, TelemetrySource *source)
{
    m_sources[index] = source;
    source->setClock(m_clock);
    connect(source, &TelemetrySource::rawInputReceived, this,
            [this, index](RawTelemetryEntry::Kind kind, quint16 port, const QByteArray &payload) {
                record(index, kind, port, payload);
            });
    connect(source, &TelemetrySource::landed, this, &TelemetryThread::landed);
    connect(source, &TelemetrySource::problemChanged, this,
            [this, index](const QString &problem) { emit sourceProblemChanged(index, problem); });
    connect(source, &TelemetrySource::telemetryEnded, this, [this] {
        m_activeSource = Telemetry::TELEMETRY_SOURCE_NONE;
        emit telemetryEnded();
    });
    connect(source, &TelemetrySource::telemetrySourceChanged, this,
            [this](Telemetry::Source source, const QString &flightModule) {
                m_activeSource = source;
                emit telemetrySourceChanged(source, flightModule);
            });
}

void TelemetryThread::start()
{
    // Problems found while the sources were built had no listener yet.
    for (int i = 1; i < Telemetry::SourceCount; ++i) {
        if (m_sources[i] && !m_sources[i]->problem().isEmpty())
            emit sourceProblemChanged(Telemetry::Source(i), m_sources[i]->problem());
    }
    m_timer->start();
}

void TelemetryThread::setClock(MillisecondClock clock)
{
    m_clock = std::move(clock);
    for (int i = 1; i < Telemetry::SourceCount; ++i)
        m_sources[i]->setClock(m_clock);
}

void TelemetryThread::startRecording(const QString &path)
{
    stopRecording();
    QString error;
    if (!m_recording.open(path, &error)) {
        qCWarning(lcTelemetry).noquote() << error;
        m_recordingFailure = error;
        emit recordingChanged(false, path, error);
        return;
    }
    m_recordingFailure.clear();
    m_recordingStartedAt = m_clock();
    m_flushTimer->start();
    emit recordingChanged(true, path, QString());
}

void TelemetryThread::stopRecording()
{
    if (!m_recording.isOpen())
        return;
    m_flushTimer->stop();
    const QString path = m_recording.path();
    m_recording.close();
    emit recordingChanged(false, path, QString());
}

void TelemetryThread::failRecording(const QString &failure)
{
    qCWarning(lcTelemetry).noquote() << failure;
    m_flushTimer->stop();
    const QString path = m_recording.path();
    m_recording.close();
    m_recordingFailure = failure;
    emit recordingChanged(false, path, failure);
}

void TelemetryThread::record(Telemetry::Source source, RawTelemetryEntry::Kind kind, quint16 port,
                             const QByteArray &payload)
{
    if (!m_recording.isOpen())
        return;
    RawTelemetryEntry entry;
    entry.timeMs = quint32(m_clock() - m_recordingStartedAt);
    entry.source = source;
    entry.kind = kind;
    entry.port = port;
    entry.payload = payload;
    if (!m_recording.append(entry))
        failRecording(QStringLiteral("cannot write the recording %1").arg(m_recording.path()));
}

bool TelemetryThread::startReplay(const QString &path, double speed, bool loop)
{
    auto reader = std::make_unique<TelemetryRecordingReader>();
    QString error;
    if (m_recording.isOpen())
        error = QStringLiteral("a recording is running: stop it before replaying %1").arg(path);
    else
        reader->open(path, &error);
    if (!error.isEmpty()) {
        qCWarning(lcTelemetry).noquote() << error;
        m_replayFailure = error;
        emit replayChanged(false, error);
        return false;
    }
    m_replayFailure.clear();
    if (!m_replay)
        replaceSources(true);
    m_replay = std::move(reader);
    m_replayPath = path;
    m_replaySpeed = (speed > 0 && std::isfinite(speed)) ? speed : 1.0;
    m_replayLoop = loop;
    m_replayStartedAt = m_clock();
    m_replayLastEntryMs = 0;
    m_replayDamage.clear();
    m_replayPending.reset();
    emit replayChanged(true, path);
    return true;
}

void TelemetryThread::stopReplay()
{
    if (!m_replay)
        return;
    m_replay.reset();
    m_replayPending.reset();
    replaceSources(false);
    emit replayChanged(false, m_replayDamage.isEmpty()
                                  ? QStringLiteral("replay of %1 ended").arg(m_replayPath)
                                  : QStringLiteral("replay of %1 stopped: %2").arg(m_replayPath, m_replayDamage));
}

void TelemetryThread::reportRecordingAndReplay()
{
    if (m_recording.isOpen())
        emit recordingChanged(true, m_recording.path(), QString());
    else if (!m_recordingFailure.isEmpty())
        emit recordingChanged(false, m_recording.path(), m_recordingFailure);
    if (m_replay)
        emit replayChanged(true, m_replayPath);
    else if (!m_replayFailure.isEmpty())
        emit replayChanged(false, m_replayFailure);
}

double TelemetryThread::replayTime() const
{
    return double(m_clock() - m_replayStartedAt) * m_replaySpeed;
}

void TelemetryThread::advanceReplay()
{
    bool startedOver = false; // a recording with no entries must not loop forever
    for (;;) {
        if (!m_replayPending) {
            RawTelemetryEntry entry;
            const TelemetryRecordingReader::Result result =
                m_replayDamage.isEmpty() ? m_replay->next(entry) : TelemetryRecordingReader::Damaged;
            if (result == TelemetryRecordingReader::Entry) {
                m_replayPending = std::move(entry);
            } else {
                if (result == TelemetryRecordingReader::Damaged && m_replayDamage.isEmpty()) {
                    m_replayDamage = QStringLiteral("the recording is damaged at ") + m_replay->damage();
                    qCWarning(lcTelemetry).noquote() << m_replayPath << m_replayDamage;
                }
                // Everything is out. A simulator that was still sending when
                // the recording stopped falls silent now, as it would live;
                // sources that wait for an answer or a message would never notice.
                const bool anyActive = std::any_of(m_sources.begin() + 1, m_sources.end(),
                                                   [](const TelemetrySource *s) { return s->isActive(); });
                if (anyActive) {
                    if (replayTime() < double(m_replayLastEntryMs) + double(EndOfRecordingSilenceMs))
                        return;
                    for (int i = 1; i < Telemetry::SourceCount; ++i)
                        m_sources[i]->finish();
                }
                if (m_replayLoop && m_replayDamage.isEmpty() && !startedOver) {
                    startedOver = true;
                    m_replay->rewind();
                    m_replayStartedAt = m_clock();
                    m_replayLastEntryMs = 0;
                    continue;
                }
                stopReplay();
                return;
            }
        }
        // Recorded time reached at this speed (the start moves when a loop begins again).
        if (double(m_replayPending->timeMs) > replayTime())
            return;
        const RawTelemetryEntry entry = *std::exchange(m_replayPending, std::nullopt);
        m_replayLastEntryMs = entry.timeMs;
        m_sources[entry.source]->feedReplayInput(entry);
    }
}

void TelemetryThread::onTimeout()
{
    if (m_replay)
        advanceReplay();
    if (m_activeSource == Telemetry::TELEMETRY_SOURCE_NONE) {
        for (int i = 1; i < Telemetry::SourceCount; ++i) {
            if (m_sources[i])
                m_sources[i]->poll();
        }
    } else if (TelemetrySource *active = m_sources[m_activeSource]) {
        active->poll();
    }
}
