// One output tick's force work: composeAxis on the three axes with every
// effect active. A measurement, not a timed test.

#include "commontelemetryforcecalculator.h"
#include "effectstestsupport.h"

#include <QTest>

class BenchComposeAxis : public QObject
{
    Q_OBJECT

private slots:
    void oneTick();
};

void BenchComposeAxis::oneTick()
{
    const EffectsSettings settings = everyEffectActive();
    const Telemetry telemetry = flyingTelemetry();
    CommonTelemetryForceCalculator calculator;
    calculator.touchdown(0, telemetry.clampedAirspeed(), 3.0f, settings);
    std::uint64_t time = 0;
    Forces forces;
    QBENCHMARK
    {
        time += 10;
        forces = Forces();
        for (int axis = 0; axis < Forces::AxisCount; ++axis)
            calculator.composeAxis(forces[axis], axis, time, 0.3f, telemetry, settings);
    }
    QVERIFY(isFinite(forces[0]) && isFinite(forces[1]) && isFinite(forces[2]));
}

QTEST_APPLESS_MAIN(BenchComposeAxis)
#include "bench_composeaxis.moc"
