#pragma once

#include "millisecondclock.h"
#include "telemetryrecordingformat.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Where a source's raw input comes from: its simulator (a socket, an HTTP
// service, a SimConnect connection) or a recording being replayed. A source
// reads through its input and cannot tell which of the two it has; each kind
// of input has one of each. The source owns its input as a child, so that
// both move to the telemetry thread together.
class RawInput : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A recorded input that has fallen due. An input from a simulator ignores it.
    virtual void feed(const RawTelemetryEntry &entry) = 0;
    // The same kind of input, fed from a recording; null when this one already is.
    virtual std::unique_ptr<RawInput> replayInput() const = 0;

    // Why the input cannot reach its simulator; empty when nothing is wrong.
    QString problem() const { return m_problem; }

    // The clock of arrivals (the source's).
    void setClock(MillisecondClock clock) { m_clock = std::move(clock); }
    // When the input read last reached the program, as near as the input
    // can tell (when it was first told that data was waiting).
    qint64 arrivedAt() const { return m_arrivedAt; }

signals:
    // Every raw input as it is read, for a recording.
    void received(RawTelemetryEntry::Kind kind, quint16 port, QByteArray payload);
    void problemChanged(QString problem);

protected:
    void setProblem(const QString &problem);
    qint64 now() const { return m_clock(); }
    void setArrivedAt(qint64 time) { m_arrivedAt = time; }

private:
    QString m_problem;
    MillisecondClock m_clock = steadyMillisecondClock();
    qint64 m_arrivedAt = -1;
};
