#include "telemetrythread.h"

#include "telemetrysourcecondor2.h"
#include "telemetrysourcedcs.h"
#include "telemetrysourceshturmovik.h"

#include <QTimer>

TelemetryThread::TelemetryThread(QObject *parent, const TelemetryEndpoints &endpoints)
    : QObject(parent), m_timer(new QTimer(this))
{
    registerTelemetryMetaTypes();

    auto *dcs = new TelemetrySourceDCS(this, endpoints.dcsPort);
    auto *il2 = new TelemetrySourceShturmovik(this, endpoints.il2Port);
    auto *condor2 = new TelemetrySourceCondor2(this, endpoints.condor2Port);
    adopt(Telemetry::TELEMETRY_SOURCE_DCS, dcs);
    adopt(Telemetry::TELEMETRY_SOURCE_IL2, il2);
    adopt(Telemetry::TELEMETRY_SOURCE_CONDOR, condor2);

    connect(dcs, &TelemetrySourceDCS::telemetryChanged, this, &TelemetryThread::dcsTelemetryChanged);
    connect(il2, &TelemetrySourceShturmovik::telemetryChanged, this,
            &TelemetryThread::shturmovikTelemetryChanged);
    connect(condor2, &TelemetrySourceCondor2::telemetryChanged, this,
            &TelemetryThread::condor2TelemetryChanged);

    m_timer->setInterval(PollIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TelemetryThread::onTimeout);
}

void TelemetryThread::adopt(Telemetry::Source index, TelemetrySource *source)
{
    m_sources[index] = source;
    connect(source, &TelemetrySource::landed, this, &TelemetryThread::landed);
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
    m_timer->start();
}

void TelemetryThread::onTimeout()
{
    if (m_activeSource == Telemetry::TELEMETRY_SOURCE_NONE) {
        for (int i = 1; i < Telemetry::SourceCount; ++i) {
            if (m_sources[i])
                m_sources[i]->poll();
        }
    } else if (TelemetrySource *active = m_sources[m_activeSource]) {
        active->poll();
    }
}
