#include "telemetrysourcewarthunder.h"

#include <QJsonDocument>
#include <QJsonObject>

QUrl TelemetrySourceWarthunder::defaultStateUrl()
{
    return QUrl(QStringLiteral("http://127.0.0.1:8111/state"));
}

TelemetrySourceWarthunder::TelemetrySourceWarthunder(QObject *parent, const QUrl &stateUrl)
    : TelemetrySourceWarthunder(parent, std::make_unique<NetworkHttpInput>(stateUrl, TransferTimeoutMs))
{}

TelemetrySourceWarthunder::TelemetrySourceWarthunder(QObject *parent, std::unique_ptr<HttpInput> input)
    : TelemetrySource(parent, std::move(input))
{
    listen();
}

void TelemetrySourceWarthunder::listen()
{
    connect(&answers(), &HttpInput::answered, this, &TelemetrySourceWarthunder::handleAnswer);
}

void TelemetrySourceWarthunder::poll()
{
    if (!answers().isBusy())
        answers().request();
}

void TelemetrySourceWarthunder::handleAnswer(bool ok, const QByteArray &body)
{
    if (!ok) {
        finish();
        return;
    }
    if (!isActive()) {
        announce(Telemetry::TELEMETRY_SOURCE_WARTHUNDER, QStringLiteral("Generic warbird"));
        return;
    }
    const QJsonObject state = QJsonDocument::fromJson(body).object();
    m_telemetry.airspeed = finiteOrZero(state.value(QLatin1String("IAS, km/h")).toDouble());
    m_telemetry.gForce = finiteOrZero(state.value(QLatin1String("Ny")).toDouble());
    m_telemetry.aoa = finiteOrZero(state.value(QLatin1String("AoA, deg")).toDouble());
    stamp(m_telemetry);
    emit telemetryChanged(m_telemetry);
}
