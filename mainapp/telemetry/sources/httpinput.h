#pragma once

#include "rawinput.h"
#include "tcplisteners.h"

#include <QList>
#include <QNetworkRequest>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTcpSocket;
class QTimer;

// Answers to one HTTP GET, asked for over and over, one at a time: a local
// web service, or the answers of a recording.
class HttpInput : public RawInput
{
    Q_OBJECT

public:
    using RawInput::RawInput;

    // Asks for the next answer; answered() follows, now or later.
    virtual void request() = 0;
    // A request is waiting for its answer.
    virtual bool isBusy() const = 0;

signals:
    // ok false: the request failed (refused, timed out, an HTTP error status).
    void answered(bool ok, QByteArray body);
};

// GET of one URL with Qt's network access, never through a proxy. Once a
// request found nobody listening, each further request only asks whether
// anything listens on the port now (of the kernel, for a service on this
// machine; elsewhere by a connection attempt) and fails at once while
// nothing does; the first time something does, the GET follows.
class NetworkHttpInput final : public HttpInput
{
    Q_OBJECT

public:
    NetworkHttpInput(const QUrl &url, int transferTimeoutMs, QObject *parent = nullptr);

    void request() override;
    bool isBusy() const override { return m_reply != nullptr || m_probing; }
    void feed(const RawTelemetryEntry &) override {}
    std::unique_ptr<RawInput> replayInput() const override;

private:
    void get();
    void onFinished();
    void probe();
    void probeFailed();
    void fail();

    QNetworkAccessManager *m_manager;
    QNetworkRequest m_request;
    QNetworkReply *m_reply = nullptr;
    QTcpSocket *m_probe;
    QTimer *m_probeTimeout;
    bool m_probing = false;
    bool m_nobodyListens = false;
    bool m_local = false; // the service is on this machine
    QString m_host;
    quint16 m_port = 0;
    TcpListeners m_listeners;
};

// The answers of a recording: each request takes every answer that has
// fallen due, in order, as the requests of the recorded run did.
class ReplayHttpInput final : public HttpInput
{
    Q_OBJECT

public:
    using HttpInput::HttpInput;

    void request() override;
    bool isBusy() const override { return false; }
    void feed(const RawTelemetryEntry &entry) override;
    std::unique_ptr<RawInput> replayInput() const override { return nullptr; }

private:
    QList<RawTelemetryEntry> m_due;
};
