#include "telemetrysource.h"

#include "telemetrylogging.h"

TelemetrySource::TelemetrySource(QObject *parent, std::unique_ptr<RawInput> input) : QObject(parent)
{
    registerTelemetryMetaTypes();
    adopt(std::move(input));
}

void TelemetrySource::adopt(std::unique_ptr<RawInput> input)
{
    delete m_input;
    m_input = input.release();
    m_input->setParent(this);
    m_input->setClock(m_clock);
    connect(m_input, &RawInput::received, this, &TelemetrySource::rawInputReceived);
    connect(m_input, &RawInput::problemChanged, this, &TelemetrySource::setProblem);
    setProblem(m_input->problem());
}

void TelemetrySource::setClock(MillisecondClock clock)
{
    m_clock = std::move(clock);
    m_input->setClock(m_clock);
}

void TelemetrySource::enterReplay()
{
    if (auto replay = m_input->replayInput()) {
        leavingInput();
        adopt(std::move(replay));
        inputReplaced();
    }
}

void TelemetrySource::feedReplayInput(const RawTelemetryEntry &entry)
{
    m_input->feed(entry);
}

void TelemetrySource::announce(Telemetry::Source source, const QString &flightModule)
{
    m_active = true;
    emit telemetrySourceChanged(source, flightModule);
}

void TelemetrySource::finish()
{
    if (m_active)
        endTelemetry();
}

void TelemetrySource::endTelemetry()
{
    m_active = false;
    emitEmptyTelemetry();
    emit telemetryEnded();
    ended();
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
