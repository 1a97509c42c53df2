#pragma once

#include "httpinput.h"
#include "telemetrysource.h"

#include <QUrl>

#include <memory>

// War Thunder's local state service, asked over and over, one request at a
// time. Any failed or slow (over 100 ms) answer ends the telemetry.
class TelemetrySourceWarthunder : public TelemetrySource
{
    Q_OBJECT

public:
    static QUrl defaultStateUrl();

    explicit TelemetrySourceWarthunder(QObject *parent, const QUrl &stateUrl = defaultStateUrl());
    TelemetrySourceWarthunder(QObject *parent, std::unique_ptr<HttpInput> input);

    void poll() override;

    bool isRequestInFlight() const { return answers().isBusy(); }

    static constexpr int TransferTimeoutMs = 100;

signals:
    void telemetryChanged(WarthunderTelemetry telemetry);

protected:
    void emitEmptyTelemetry() override { emit telemetryChanged(m_emptyTelemetry); }
    void inputReplaced() override { listen(); }

private:
    HttpInput &answers() const { return static_cast<HttpInput &>(input()); }
    void listen();
    // One answer, or with ok false one failed request.
    void handleAnswer(bool ok, const QByteArray &body);

    WarthunderTelemetry m_telemetry;
    const WarthunderTelemetry m_emptyTelemetry;
};
