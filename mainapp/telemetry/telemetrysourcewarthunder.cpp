#include "telemetrysourcewarthunder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <utility>

QUrl TelemetrySourceWarthunder::defaultStateUrl()
{
    return QUrl(QStringLiteral("http://127.0.0.1:8111/state"));
}

TelemetrySourceWarthunder::TelemetrySourceWarthunder(QObject *parent, const QUrl &stateUrl)
    : TelemetrySource(parent), m_manager(new QNetworkAccessManager(this)), m_request(stateUrl)
{
    // The service is on this machine: a configured proxy must not be asked.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_request.setTransferTimeout(TransferTimeoutMs);
}

void TelemetrySourceWarthunder::enterReplay()
{
    m_replay = true;
}

void TelemetrySourceWarthunder::feedReplayInput(const RawTelemetryEntry &entry)
{
    if (m_replay)
        m_replayed.append(entry);
}

void TelemetrySourceWarthunder::finish()
{
    if (!m_active)
        return;
    m_active = false;
    emit telemetryChanged(m_emptyTelemetry);
    emit telemetryEnded();
}

void TelemetrySourceWarthunder::poll()
{
    if (m_replay) {
        // Each recorded answer stands for one request's result, in order.
        const QList<RawTelemetryEntry> due = std::exchange(m_replayed, {});
        for (const RawTelemetryEntry &entry : due)
            handleAnswer(entry.kind == RawTelemetryEntry::HttpAnswer, entry.payload);
        return;
    }
    if (m_inFlight)
        return;
    m_inFlight = true;
    m_reply = m_manager->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &TelemetrySourceWarthunder::onReplyFinished);
}

void TelemetrySourceWarthunder::onReplyFinished()
{
    const bool ok = m_reply->error() == QNetworkReply::NoError;
    const QByteArray body = ok ? m_reply->readAll() : QByteArray();
    m_reply->deleteLater();
    m_reply = nullptr;
    m_inFlight = false;
    emit rawInputReceived(ok ? RawTelemetryEntry::HttpAnswer : RawTelemetryEntry::HttpFailure, 0, body);
    handleAnswer(ok, body);
}

void TelemetrySourceWarthunder::handleAnswer(bool ok, const QByteArray &body)
{
    if (ok) {
        if (m_active) {
            const QJsonObject state = QJsonDocument::fromJson(body).object();
            m_telemetry.airspeed = finiteOrZero(state.value(QLatin1String("IAS, km/h")).toDouble());
            m_telemetry.gForce = finiteOrZero(state.value(QLatin1String("Ny")).toDouble());
            m_telemetry.aoa = finiteOrZero(state.value(QLatin1String("AoA, deg")).toDouble());
            emit telemetryChanged(m_telemetry);
        } else {
            m_active = true;
            emit telemetrySourceChanged(Telemetry::TELEMETRY_SOURCE_WARTHUNDER,
                                        QStringLiteral("Generic warbird"));
        }
    } else {
        finish();
    }
}
