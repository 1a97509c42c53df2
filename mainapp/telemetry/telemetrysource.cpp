#include "telemetrysource.h"

#include "telemetrylogging.h"

#include <QElapsedTimer>

MillisecondClock steadyMillisecondClock()
{
    return [] {
        static QElapsedTimer timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return timer.elapsed();
    };
}

TelemetrySource::TelemetrySource(QObject *parent) : QObject(parent)
{
    registerTelemetryMetaTypes();
}

void TelemetrySource::updateOnGround(Telemetry &record, bool newOnGround)
{
    if (!record.onGround && newOnGround)
        emit landed(record.verticalSpeed, record.clampedAirspeed());
    record.onGround = newOnGround;
}

void TelemetrySource::setProblem(const QString &problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    if (!problem.isEmpty())
        qCInfo(lcTelemetry).noquote() << problem;
    emit problemChanged(problem);
}
