#include "telemetrythread.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QThread>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrox-vantrell"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROX_RELEASE));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kestrox Vantrell (%1)").arg(QStringLiteral(KESTROX_RELEASE)));
    auto *label = new QLabel(QStringLiteral("Waiting for a simulator…"), &window);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(360, 120);
    window.setCentralWidget(label);

    auto *telemetry = new TelemetryThread;
    QThread telemetryThread;
    telemetry->moveToThread(&telemetryThread);
    QObject::connect(&telemetryThread, &QThread::finished, telemetry, &QObject::deleteLater);
    QObject::connect(telemetry, &TelemetryThread::telemetrySourceChanged, label,
                     [label](Telemetry::Source, const QString &flightModule) {
                         label->setText(QStringLiteral("Telemetry from %1").arg(flightModule));
                     });
    QObject::connect(telemetry, &TelemetryThread::telemetryEnded, label,
                     [label] { label->setText(QStringLiteral("Waiting for a simulator…")); });
    telemetryThread.start();
    QTimer::singleShot(0, telemetry, &TelemetryThread::start);

    window.show();
    const int result = app.exec();

    telemetryThread.quit();
    telemetryThread.wait();
    return result;
}
