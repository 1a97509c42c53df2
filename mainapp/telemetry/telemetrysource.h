#pragma once

#include "telemetry.h"

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

signals:
    void telemetrySourceChanged(Telemetry::Source source, QString flightModule);
    void telemetryEnded();
    void landed(float verticalSpeed, float airspeed);
    // The problem appeared, changed or (empty) went away.
    void problemChanged(QString problem);

protected:
    // Stores a new on-ground state, announcing a touchdown on false -> true.
    void updateOnGround(Telemetry &record, bool newOnGround);
    // Records the problem and says so once, when it changes.
    void setProblem(const QString &problem);

private:
    QString m_problem;
};
