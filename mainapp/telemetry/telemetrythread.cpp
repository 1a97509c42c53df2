#include "telemetrythread.h"

#include "telemetrysourcecondor2.h"
#include "telemetrysourcedcs.h"
#include "simconnectnetworkclient.h"
#include "telemetrysourcemsfs.h"
#include "telemetrysourceshturmovik.h"
#include "telemetrysourcewarthunder.h"
#include "telemetrysourcexplane.h"

#include <QTimer>

TelemetryThread::TelemetryThread(QObject *parent, const TelemetryEndpoints &endpoints)
    : QObject(parent), m_timer(new QTimer(this))
{
    registerTelemetryMetaTypes();

    auto *msfs = new TelemetrySourceMSFS(this, endpoints.simConnect ? endpoints.simConnect
                                                                    : createSimConnect(endpoints.msfsAddress));
    auto *dcs = new TelemetrySourceDCS(this, endpoints.dcsPort);
    auto *il2 = new TelemetrySourceShturmovik(this, endpoints.il2Port);
    auto *warthunder = new TelemetrySourceWarthunder(this, endpoints.warthunderStateUrl);
    auto *condor2 = new TelemetrySourceCondor2(this, endpoints.condor2Port);
    auto *xplane = new TelemetrySourceXPlane(this, endpoints.xplaneAddress, endpoints.xplanePort);
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

    m_timer->setInterval(PollIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TelemetryThread::onTimeout);
}

void TelemetryThread::adopt(Telemetry::Source index, TelemetrySource *source)
{
    m_sources[index] = source;
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
