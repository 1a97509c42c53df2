#pragma once

#include "millisecondclock.h"
#include "rawinput.h"
#include "telemetry.h"

#include <QObject>
#include <QString>

#include <memory>

// Base of all simulator sources. A source starts inactive, announces itself
// with telemetrySourceChanged on its simulator's first sign of life (that
// sample is not converted), emits telemetryChanged for every later sample,
// and on the simulator's end emits its all-zero record, then telemetryEnded.
//
// A source reads its simulator through one raw input (rawinput.h); replaying
// a recording only swaps that input, so live and replayed input are decoded
// by the same code.
class TelemetrySource : public QObject
{
    Q_OBJECT

public:
    // The source owns its input.
    TelemetrySource(QObject *parent, std::unique_ptr<RawInput> input);

    // One poll per telemetry tick; must return at once when the simulator is absent.
    virtual void poll() = 0;

    bool isActive() const { return m_active; }
    // Why the source cannot listen for its simulator (empty: nothing wrong).
    QString problem() const { return m_problem; }
    // The clock that judges silence and warm-up, and stamps the inputs.
    void setClock(MillisecondClock clock);

    // From now on the source takes its raw input from feedReplayInput
    // instead of its simulator.
    void enterReplay();
    void feedReplayInput(const RawTelemetryEntry &entry);
    // Ends an active source's telemetry at once, as its simulator's end would.
    void finish();

signals:
    void telemetrySourceChanged(Telemetry::Source source, QString flightModule);
    void telemetryEnded();
    void landed(float verticalSpeed, float airspeed);
    // The problem appeared, changed or (empty) went away.
    void problemChanged(QString problem);
    // Every raw input as it arrives, for a recording.
    void rawInputReceived(RawTelemetryEntry::Kind kind, quint16 port, QByteArray payload);

protected:
    RawInput &input() const { return *m_input; }
    qint64 now() const { return m_clock(); }
    // Stamps a record with the arrival of the input it was made from.
    void stamp(TelemetryStamp &record) const { record.inputStampMs = m_input->arrivedAt(); }

    // Becomes active and says so.
    void announce(Telemetry::Source source, const QString &flightModule);
    // Whether or not active: inactive, the all-zero record, then telemetryEnded.
    void endTelemetry();
    // Emits telemetryChanged with the source's all-zero record.
    virtual void emitEmptyTelemetry() = 0;
    // After the telemetry ended, for state that belongs to one period of telemetry.
    virtual void ended() {}
    // Before the input is replaced by a replay, while it can still be used.
    virtual void leavingInput() {}
    // After it was replaced.
    virtual void inputReplaced() {}

    // Stores a new on-ground state, announcing a touchdown on false -> true.
    void updateOnGround(Telemetry &record, bool newOnGround);

private:
    void adopt(std::unique_ptr<RawInput> input);
    void setProblem(const QString &problem);

    RawInput *m_input = nullptr; // a child
    MillisecondClock m_clock = steadyMillisecondClock();
    bool m_active = false;
    QString m_problem;
};
