#pragma once

#include "telemetrysource.h"

#include <QList>
#include <QNetworkRequest>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// War Thunder's local state service, asked over and over, one request at a
// time. Any failed or slow (over 100 ms) answer ends the telemetry.
class TelemetrySourceWarthunder : public TelemetrySource
{
    Q_OBJECT

public:
    static QUrl defaultStateUrl();

    explicit TelemetrySourceWarthunder(QObject *parent, const QUrl &stateUrl = defaultStateUrl());

    void poll() override;
    void enterReplay() override;
    void feedReplayInput(const RawTelemetryEntry &entry) override;
    void finish() override;

    bool isActive() const { return m_active; }
    bool isRequestInFlight() const { return m_inFlight; }

    static constexpr int TransferTimeoutMs = 100;

signals:
    void telemetryChanged(WarthunderTelemetry telemetry);

private:
    void onReplyFinished();
    // One answer (or, with ok false, one failed request), live or replayed.
    void handleAnswer(bool ok, const QByteArray &body);

    QNetworkAccessManager *m_manager;
    QNetworkRequest m_request;
    QNetworkReply *m_reply = nullptr;
    bool m_inFlight = false;
    bool m_active = false;
    WarthunderTelemetry m_telemetry;
    const WarthunderTelemetry m_emptyTelemetry;
    bool m_replay = false;
    QList<RawTelemetryEntry> m_replayed;
};
