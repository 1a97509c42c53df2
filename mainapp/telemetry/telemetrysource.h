#pragma once

#include "telemetry.h"
#include "telemetryrecording.h"

#include <QObject>
#include <QString>

#include <functional>

// Milliseconds on a monotonic clock. Sources take their time from one of
// these so that tests can drive silence and warm-up without waiting.
using MillisecondClock = std::function<qint64()>;
MillisecondClock steadyMillisecondClock();

// Base of all simulator sources. A source starts inactive, announces itself
// with telemetrySourceChanged on its simulator's first sign of life (that
// sample is not converted), emits telemetryChanged for every later sample,
// and on the simulator's end emits its all-zero record, then telemetryEnded.
class TelemetrySource : public QObject
{
    Q_OBJECT

public:
    explicit TelemetrySource(QObject *parent = nullptr);

    // One poll per telemetry tick; must return at once when the simulator is absent.
    virtual void poll() = 0;

    // Why the source cannot listen for its simulator (empty: nothing wrong).
    QString problem() const { return m_problem; }

    // Replay: from now on the source no longer listens to its simulator and
    // takes its raw input from feedReplayInput, decoded as live input is.
    virtual void enterReplay() {}
    virtual void feedReplayInput(const RawTelemetryEntry &entry) { Q_UNUSED(entry) }
    // Ends an active source's telemetry at once, as its simulator's end would.
    virtual void finish() {}

signals:
    void telemetrySourceChanged(Telemetry::Source source, QString flightModule);
    void telemetryEnded();
    void landed(float verticalSpeed, float airspeed);
    // The problem appeared, changed or (empty) went away.
    void problemChanged(QString problem);
    // Every raw input as it arrives from the simulator, for a recording.
    void rawInputReceived(RawTelemetryEntry::Kind kind, quint16 port, QByteArray payload);

protected:
    // Stores a new on-ground state, announcing a touchdown on false -> true.
    void updateOnGround(Telemetry &record, bool newOnGround);
    // Records the problem and says so once, when it changes.
    void setProblem(const QString &problem);

private:
    QString m_problem;
};
