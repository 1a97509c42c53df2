#include "../allocationcounter.h"
#include "commontelemetryforcecalculator.h"
#include "condortelemetryforcecalculator.h"
#include "dcstelemetryforcecalculator.h"
#include "effectmath.h"
#include "effectstestsupport.h"
#include "msfstelemetryforcecalculator.h"
#include "shturmoviktelemetryforcecalculator.h"
#include "warthunderforcecalculator.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <limits>
#include <random>


namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// A minute's flight at 10 ms ticks with one touchdown, fed by the given
// simulator record and passed through its hook.
template<typename Hook, typename Record>
QList<Forces> flight(const Telemetry &telemetry, Record record)
{
    static_cast<Telemetry &>(record) = telemetry;
    const EffectsSettings settings = everyEffectActive();
    CommonTelemetryForceCalculator common;
    Hook hook;
    QList<Forces> trace;
    for (std::uint64_t time = 0; time <= 60000; time += 10) {
        if (time == 30000)
            common.touchdown(time, record.clampedAirspeed(), 4.0f, settings);
        Forces forces;
        for (int axis = 0; axis < Forces::AxisCount; ++axis) {
            const float position = std::sin(static_cast<float>(time) / 700.0f + static_cast<float>(axis));
            common.composeAxis(forces[axis], axis, time, position, record, settings);
            hook.addAxisForces(forces[axis], axis, time);
        }
        trace.append(forces);
    }
    return trace;
}

// Ordinary numbers, and often the ones that break arithmetic.
class Chaos
{
public:
    float number()
    {
        static constexpr float odd[] = {NaN,          Inf,  -Inf,  FLT_MAX, -FLT_MAX,
                                        FLT_TRUE_MIN, 0.0f, 1e30f, -1e-30f};
        if (pick(3) == 0)
            return odd[pick(std::size(odd))];
        return std::uniform_real_distribution<float>(-2000.0f, 2000.0f)(m_engine);
    }
    std::size_t pick(std::size_t count)
    {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(m_engine);
    }
    std::uint64_t jump() { return std::uniform_int_distribution<std::uint64_t>()(m_engine); }
    bool flag() { return pick(4) != 0; }
    ExponentialRange range() { return {number(), number(), number()}; }
    PointCurve curve()
    {
        PointCurve curve;
        for (CurvePoint &point : curve.points)
            point = {number(), number()};
        return curve;
    }

    AxisEffectsSettings axis()
    {
        AxisEffectsSettings axis;
        for (CurveSpringSettings *spring : {&axis.simple_spring, &axis.g_force_spring, &axis.aoa_spring})
            *spring = {{flag(), number()}, curve()};
        AirflowSpringSettings &flow = axis.airflow_spring;
        flow = {{flag(), number()}, number(), number(), number(), number(), curve(), number(), number()};
        if (flag())
            flow.setAttenuation(number(), number());
        axis.elevator_weight = {flag(), number()};
        for (GenericShakerSettings *shaker :
             {&axis.gear_shaker, &axis.flaps_shaker, &axis.airbrake_shaker, &axis.on_ground_shaker,
              static_cast<GenericShakerSettings *>(&axis.aoa_shaker),
              static_cast<GenericShakerSettings *>(&axis.landing_jolt)})
            *shaker = {{flag(), number()}, range(), range()};
        axis.aoa_shaker.aoa = range();
        static constexpr std::uint64_t times[] = {0, 1, 250, 1u << 31,
                                                  std::numeric_limits<std::uint64_t>::max()};
        axis.landing_jolt.effect_time = times[pick(std::size(times))];
        return axis;
    }

    Telemetry telemetry()
    {
        Telemetry t;
        for (float *field : {&t.verticalSpeed, &t.rollFlowAngle, &t.aoa, &t.sideslip, &t.rollRate, &t.gForce,
                             &t.propAirflow, &t.gear, &t.airbrake, &t.flaps, &t.airspeed})
            *field = number();
        t.onGround = flag();
        return t;
    }

private:
    std::mt19937 m_engine{20240626};
};

} // namespace

class TestForceCalculators : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AllocationCounter::install();
    }

    void composeAxis_data()
    {
        const auto compose = [](const EffectsSettings &settings, int axis, float position,
                                const Telemetry &telemetry) {
            AxisForces forces;
            CommonTelemetryForceCalculator().composeAxis(forces, axis, 1000, position, telemetry, settings);
            return forces;
        };
        QTest::addColumn<AxisForces>("actual");
        QTest::addColumn<AxisForces>("expected");
        Telemetry level;
        level.airspeed = 250.0f;
        level.gForce = 1.0f;

        // Both add to force; the airflow spring, evaluated last, owns spring.
        EffectsSettings springs;
        springs[1].simple_spring = {{true, 50.0f}, linearCurve()};
        springs[1].airflow_spring = airflow(100, 0, 0);
        QTest::newRow("simple and airflow springs")
            << compose(springs, 1, 0.4f, level)
            << AxisForces{-2.0f - 12.5f * tableSine(12.0f) / 0.5f, 0.0f, 12.5f};

        EffectsSettings weight;
        weight[2].elevator_weight = {true, 100.0f};
        QTest::newRow("weight acts on the rudder too")
            << compose(weight, 2, 0.0f, level) << AxisForces{-10.0f, 0.0f, 0.0f};
        QTest::newRow("axis out of range") << compose(weight, 3, 0.0f, level) << AxisForces();

        EffectsSettings stored;
        stored[0].smart_damper = {{true, 100.0f}, 100.0f, 100.0f};
        stored[0].direct_x = {{true, 100.0f}, 100.0f, 100.0f, 100.0f};
        stored[0].il2_shaker = {true, 100.0f};
        stored[0].condor_shaker = {{true, 100.0f}, {5.0f, 30.0f, 20.0f}};
        QTest::newRow("damper, DirectX, IL-2 and Condor add nothing")
            << compose(stored, 0, 0.7f, flyingTelemetry()) << AxisForces();

        EffectsSettings gSpring;
        gSpring[1].g_force_spring = {{true, 100.0f}, linearCurve()};
        Telemetry broken = level;
        broken.gForce = NaN;
        QTest::newRow("NaN readings count as 0") << compose(gSpring, 1, NaN, broken) << AxisForces();
    }

    void composeAxis()
    {
        QFETCH(AxisForces, actual);
        QFETCH(AxisForces, expected);
        QVERIFY2(std::abs(actual.force - expected.force) < 1e-4f, qPrintable(QString::number(actual.force)));
        QCOMPARE(actual.periodic, expected.periodic);
        QCOMPARE(actual.spring, expected.spring);
    }

    void identicalForcesForEverySimulator()
    {
        const Telemetry telemetry = flyingTelemetry();
        const QList<Forces> reference = flight<DCSTelemetryForceCalculator>(telemetry, Telemetry());
        QVERIFY(std::any_of(reference.cbegin(), reference.cend(),
                            [](const Forces &f) { return f[1].periodic != 0; }));

        ShturmovikTelemetry il2; // extras reach no calculator
        il2.indicator9A = 7.0f;
        Condor2Telemetry condor;
        condor.turbulenceStrength = 0.8f;
        QCOMPARE(flight<MSFSTelemetryForceCalculator>(telemetry, MSFSTelemetry()), reference);
        QCOMPARE(flight<DCSTelemetryForceCalculator>(telemetry, DCSTelemetry()), reference);
        QCOMPARE(flight<ShturmovikTelemetryForceCalculator>(telemetry, il2), reference);
        QCOMPARE(flight<WarthunderForceCalculator>(telemetry, WarthunderTelemetry()), reference);
        QCOMPARE(flight<CondorTelemetryForceCalculator>(telemetry, condor), reference);
    }

    void touchdownArmsActiveAxes()
    {
        EffectsSettings settings;
        settings[0].landing_jolt.active = true;
        settings[2].landing_jolt.active = true;
        CommonTelemetryForceCalculator calculator;
        calculator.touchdown(1000, 100.0f, 3.0f, settings);
        QCOMPARE(calculator.landingJoltState(0).touchdownAmplitude, 3.0f);
        QCOMPARE(calculator.landingJoltState(1), LandingJoltState());
        QCOMPARE(calculator.landingJoltState(2).touchdownTime, std::uint64_t(1000));
    }

    void neverNonFinite()
    {
        Chaos chaos;
        CommonTelemetryForceCalculator calculator;
        EffectsSettings settings;
        std::uint64_t time = 0;
        for (int tick = 0; tick < 20000; ++tick) {
            if (tick % 10 == 0)
                std::generate(settings.axes.begin(), settings.axes.end(), [&chaos] { return chaos.axis(); });
            if (chaos.pick(50) == 0)
                calculator.touchdown(time, chaos.number(), chaos.number(), settings);
            time += chaos.pick(20) == 0 ? chaos.jump() : 10; // now and then a jump either way
            const Telemetry telemetry = chaos.telemetry();
            for (int axis = 0; axis < Forces::AxisCount; ++axis) {
                AxisForces forces;
                calculator.composeAxis(forces, axis, time, chaos.number(), telemetry, settings);
                QVERIFY2(isFinite(forces), qPrintable(QStringLiteral("tick %1 axis %2").arg(tick).arg(axis)));
            }
        }
    }

    void tickDoesNotAllocate()
    {
#if !defined(KESTROX_COUNTS_ALLOCATIONS)
        QSKIP("Allocations are counted through the AddressSanitizer runtime");
#endif
        const EffectsSettings settings = everyEffectActive();
        const Telemetry telemetry = flyingTelemetry();
        CommonTelemetryForceCalculator calculator;
        calculator.touchdown(0, telemetry.clampedAirspeed(), 3.0f, settings);
        AllocationCounter::start();
        const QList<int> probe{1, 2, 3}; // the counter must see this one
        for (std::uint64_t time = 10; time <= 5000; time += 10) {
            Forces forces;
            for (int axis = 0; axis < Forces::AxisCount; ++axis)
                calculator.composeAxis(forces[axis], axis, time, 0.3f, telemetry, settings);
        }
        QCOMPARE(AllocationCounter::stop(), 1);
    }
};

QTEST_APPLESS_MAIN(TestForceCalculators)
#include "tst_forcecalculators.moc"
