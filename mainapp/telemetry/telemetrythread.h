#pragma once

#include "telemetry.h"
#include "telemetrysourcewarthunder.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <memory>

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
    QString msfsAddress; // HOST:PORT of MSFS's SimConnect server; empty: library, SimConnect.cfg, default
    // Where X-Plane receives subscription requests.
    QHostAddress xplaneAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 xplanePort = 49000;
};

// Owns the six simulator sources, polls them every 20 ms on its own thread,
// tracks which one is live and forwards everything they report.
class TelemetryThread : public QObject
{
    Q_OBJECT

public:
    explicit TelemetryThread(QObject *parent = nullptr, const TelemetryEndpoints &endpoints = {});

    Telemetry::Source activeSource() const { return m_activeSource; }
    // The source at a table entry; entry 0 is null.
    TelemetrySource *source(Telemetry::Source which) const { return m_sources.at(which); }

    static constexpr int PollIntervalMs = 20;

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

public slots:
    void start();

private slots:
    void onTimeout();

private:
    void adopt(Telemetry::Source index, TelemetrySource *source);

    QTimer *m_timer;
    Telemetry::Source m_activeSource = Telemetry::TELEMETRY_SOURCE_NONE;
    std::array<TelemetrySource *, Telemetry::SourceCount> m_sources{};
};
