#pragma once

#include "rawinput.h"

#include <QList>
#include <QNetworkRequest>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

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

// GET of one URL with Qt's network access, never through a proxy.
class NetworkHttpInput final : public HttpInput
{
    Q_OBJECT

public:
    NetworkHttpInput(const QUrl &url, int transferTimeoutMs, QObject *parent = nullptr);

    void request() override;
    bool isBusy() const override { return m_reply != nullptr; }
    void feed(const RawTelemetryEntry &) override {}
    std::unique_ptr<RawInput> replayInput() const override;

private:
    void onFinished();

    QNetworkAccessManager *m_manager;
    QNetworkRequest m_request;
    QNetworkReply *m_reply = nullptr;
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
