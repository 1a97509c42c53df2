#pragma once

#include "millisecondclock.h"
#include "networkaddress.h"
#include "telemetry.h"
#include "telemetryrecording.h"
#include "telemetrysourcewarthunder.h"
#include "telemetrysourcexplane.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <memory>
#include <optional>

class QTimer;
class SimConnectApi;
class TelemetrySource;

// Where the sources find their simulators. The defaults are the simulators'
// fixed endpoints; tests pass port 0 to have free ports picked, a local
// state URL and a scripted SimConnect.
struct TelemetryEndpoints
{
    quint16 dcsPort = 29778;
    quint16 il2Port = 29777;
    quint16 condor2Port = 55278;
    QUrl warthunderStateUrl = TelemetrySourceWarthunder::defaultStateUrl();
    std::shared_ptr<SimConnectApi> simConnect; // null: createSimConnect(msfsAddress)
    // MSFS's SimConnect server; none: the library, SimConnect.cfg, the default.
    std::optional<NetworkAddress> msfsAddress;
    // Where X-Plane receives subscription requests.
    NetworkAddress xplaneAddress = TelemetrySourceXPlane::defaultAddress();
};

// Owns the six simulator sources, polls them every 20 ms on its own thread,
// tracks which one is live and forwards everything they report.
class TelemetryThread : public QObject
{
    Q_OBJECT

public:
    explicit TelemetryThread(QObject *parent = nullptr, const TelemetryEndpoints &endpoints = {});
    ~TelemetryThread() override;

    // The clock of recordings and replays (tests drive it by hand).
    void setClock(MillisecondClock clock);
    bool isReplaying() const { return bool(m_replay); }

    Telemetry::Source activeSource() const { return m_activeSource; }
    // The source at a table entry; entry 0 is null.
    TelemetrySource *source(Telemetry::Source which) const { return m_sources.at(which); }

    static constexpr int PollIntervalMs = 20;
    static constexpr qint64 EndOfRecordingSilenceMs = 1000;

signals:
    void msfsTelemetryChanged(MSFSTelemetry telemetry);
    void dcsTelemetryChanged(DCSTelemetry telemetry);
    void shturmovikTelemetryChanged(ShturmovikTelemetry telemetry);
    void condor2TelemetryChanged(Condor2Telemetry telemetry);
    void warthunderTelemetryChanged(WarthunderTelemetry telemetry);
    void xplaneTelemetryChanged(XPlaneTelemetry telemetry);
    void telemetrySourceChanged(Telemetry::Source source, QString flightModule);
    void telemetryEnded();
    void landed(float verticalSpeed, float airspeed);
    // A source cannot listen for its simulator (port held by another
    // program), or (empty problem) can again.
    void sourceProblemChanged(Telemetry::Source source, QString problem);

    // A recording started or ended (path: its file); failure says why it
    // could not be started or written, and is empty when nothing went wrong.
    void recordingChanged(bool recording, QString path, QString failure);
    // A replay started (message: the file) or ended (message: how), or
    // could not start (message: why).
    void replayChanged(bool replaying, QString message);

public slots:
    void start();

    // Writes every raw input the sources receive to a new file at path.
    void startRecording(const QString &path);
    void stopRecording();
    // Stops listening to the simulators and feeds the recorded inputs to the
    // sources at their recorded times, scaled by speed. At the recording's
    // end the active source's telemetry ends EndOfRecordingSilenceMs of
    // replay time after the last entry, as the silence of a simulator would;
    // then the replay ends, or with loop starts over. False when the file
    // cannot be read, or while a recording runs.
    bool startReplay(const QString &path, double speed = 1.0, bool loop = false);
    // Back to the live simulators.
    void stopReplay();
    // Says again whether a recording or a replay runs, or why the last one
    // could not start (for a window that connected after they began).
    void reportRecordingAndReplay();

private slots:
    void onTimeout();

private:
    void adopt(Telemetry::Source index, TelemetrySource *source);
    void createSources(bool replay);
    void replaceSources(bool replay);
    void record(Telemetry::Source source, RawTelemetryEntry::Kind kind, quint16 port, const QByteArray &payload);
    void advanceReplay();
    // Replay time: recorded milliseconds reached at the replay's speed.
    double replayTime() const;
    void failRecording(const QString &failure);

    QTimer *m_timer;
    Telemetry::Source m_activeSource = Telemetry::TELEMETRY_SOURCE_NONE;
    std::array<TelemetrySource *, Telemetry::SourceCount> m_sources{};
    QTimer *m_flushTimer;
    TelemetryEndpoints m_endpoints;
    MillisecondClock m_clock = steadyMillisecondClock();
    std::shared_ptr<SimConnectApi> m_liveSimConnect;

    TelemetryRecordingWriter m_recording;
    qint64 m_recordingStartedAt = 0;
    QString m_recordingFailure; // why the last recording could not start or went wrong
    QString m_replayFailure;    // why the last replay could not start

    std::unique_ptr<TelemetryRecordingReader> m_replay;
    std::optional<RawTelemetryEntry> m_replayPending;
    QString m_replayPath;
    QString m_replayDamage;
    double m_replaySpeed = 1.0;
    bool m_replayLoop = false;
    qint64 m_replayStartedAt = 0;
    quint32 m_replayLastEntryMs = 0; // recorded time of the last entry fed to a source
};
