#include "httpinput.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

NetworkHttpInput::NetworkHttpInput(const QUrl &url, int transferTimeoutMs, QObject *parent)
    : HttpInput(parent), m_manager(new QNetworkAccessManager(this)), m_request(url),
      m_probe(new QTcpSocket(this)), m_probeTimeout(new QTimer(this))
{
    // The service is on this machine: a configured proxy must not be asked.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_request.setTransferTimeout(transferTimeoutMs);
    m_probe->setProxy(QNetworkProxy::NoProxy);
    const QHostAddress host(url.host());
    m_local = host.isLoopback() || url.host() == QLatin1String("localhost");
    m_host = url.host();
    m_port = quint16(url.port(80));
    m_probeTimeout->setSingleShot(true);
    m_probeTimeout->setInterval(transferTimeoutMs);
    connect(m_probe, &QTcpSocket::connected, this, [this] {
        m_probeTimeout->stop();
        m_probe->abort();
        m_probing = false;
        m_nobodyListens = false;
        get();
    });
    connect(m_probe, &QTcpSocket::errorOccurred, this, [this] {
        if (m_probing)
            probeFailed();
    });
    connect(m_probeTimeout, &QTimer::timeout, this, [this] {
        if (m_probing)
            probeFailed();
    });
}

void NetworkHttpInput::request()
{
    if (isBusy())
        return;
    if (!m_nobodyListens) {
        get();
        return;
    }
    const std::optional<bool> listening =
        m_local ? m_listeners.isListening(m_port) : std::nullopt;
    if (!listening)
        probe();
    else if (*listening)
        get();
    else
        fail();
}

void NetworkHttpInput::get()
{
    m_reply = m_manager->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &NetworkHttpInput::onFinished);
}

void NetworkHttpInput::probe()
{
    // Far less than an HTTP request: no reply, no request headers, no network thread.
    m_probing = true;
    m_probe->abort();
    m_probeTimeout->start();
    m_probe->connectToHost(m_host, m_port);
}

void NetworkHttpInput::probeFailed()
{
    m_probeTimeout->stop();
    m_probe->abort();
    m_probing = false;
    fail();
}

void NetworkHttpInput::fail()
{
    setArrivedAt(now());
    emit received(RawTelemetryEntry::HttpFailure, 0, QByteArray());
    emit answered(false, QByteArray());
}

void NetworkHttpInput::onFinished()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    const bool ok = reply->error() == QNetworkReply::NoError;
    m_nobodyListens = reply->error() == QNetworkReply::ConnectionRefusedError;
    const QByteArray body = ok ? reply->readAll() : QByteArray();
    reply->deleteLater();
    setArrivedAt(now());
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
        setArrivedAt(now());
        emit received(entry.kind, 0, entry.payload);
        emit answered(entry.kind == RawTelemetryEntry::HttpAnswer, entry.payload);
    }
}

void ReplayHttpInput::feed(const RawTelemetryEntry &entry)
{
    if (entry.kind == RawTelemetryEntry::HttpAnswer || entry.kind == RawTelemetryEntry::HttpFailure)
        m_due.append(entry);
}
