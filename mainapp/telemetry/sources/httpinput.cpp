#include "httpinput.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <utility>

NetworkHttpInput::NetworkHttpInput(const QUrl &url, int transferTimeoutMs, QObject *parent)
    : HttpInput(parent), m_manager(new QNetworkAccessManager(this)), m_request(url)
{
    // The service is on this machine: a configured proxy must not be asked.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_request.setTransferTimeout(transferTimeoutMs);
}

void NetworkHttpInput::request()
{
    if (m_reply)
        return;
    m_reply = m_manager->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &NetworkHttpInput::onFinished);
}

void NetworkHttpInput::onFinished()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    const bool ok = reply->error() == QNetworkReply::NoError;
    const QByteArray body = ok ? reply->readAll() : QByteArray();
    reply->deleteLater();
    emit received(ok ? RawTelemetryEntry::HttpAnswer : RawTelemetryEntry::HttpFailure, 0, body);
    emit answered(ok, body);
}

std::unique_ptr<RawInput> NetworkHttpInput::replayInput() const
{
    return std::make_unique<ReplayHttpInput>();
}

void ReplayHttpInput::request()
{
    const QList<RawTelemetryEntry> due = std::exchange(m_due, {});
    for (const RawTelemetryEntry &entry : due) {
        emit received(entry.kind, 0, entry.payload);
        emit answered(entry.kind == RawTelemetryEntry::HttpAnswer, entry.payload);
    }
}

void ReplayHttpInput::feed(const RawTelemetryEntry &entry)
{
    if (entry.kind == RawTelemetryEntry::HttpAnswer || entry.kind == RawTelemetryEntry::HttpFailure)
        m_due.append(entry);
}
