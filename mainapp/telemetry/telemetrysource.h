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

signals:
    void telemetrySourceChanged(Telemetry::Source source, QString flightModule);
    void telemetryEnded();
    void landed(float verticalSpeed, float airspeed);

protected:
    // Stores a new on-ground state, announcing a touchdown on false -> true.
    void updateOnGround(Telemetry &record, bool newOnGround);
};
