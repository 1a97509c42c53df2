#include "shakers.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

GenericShakerSettings shaker(ExponentialRange speed, ExponentialRange frequency, float strength)
{
    return {{true, strength}, speed, frequency};
}

LandingJoltSettings jolt(float strength)
{
    return {{{true, strength}, {}, {}}, 250};
}

} // namespace

Q_DECLARE_METATYPE(GenericShakerSettings)

class TestShakers : public QObject
{
    Q_OBJECT

private slots:
    void normalVariates()
    {
        // Independently: the standard library's minimal standard generator and
        // the polar method in double precision.
        std::minstd_rand0 engine;
        auto uniform = [&engine] { return std::ldexp(static_cast<double>(engine() - 1), -31); };
        std::vector<double> expected;
        while (expected.size() < 10) {
            double x = 0, y = 0, s = 0;
            do {
                x = 2.0 * uniform() - 1.0;
                y = 2.0 * uniform() - 1.0;
                s = x * x + y * y;
            } while (s > 1.0 || s == 0.0);
            const double scale = std::sqrt(-2.0 * std::log(s) / s);
            expected.insert(expected.end(), {0.2 * y * scale, 0.2 * x * scale});
        }
        ShakerRandomSource random;
        for (std::size_t i = 0; i < expected.size(); ++i)
            QVERIFY2(std::abs(random.normal() - expected[i]) < 1e-5, qPrintable(QString::number(i)));
    }

    void oscillatorSteps()
    {
        ShakerOscillator oscillator{1000, 0.4f, 0.0f, 0.0f};
        ShakerRandomSource random;
        AxisForces forces;
        stepOscillator(forces, oscillator, 1010, 25.0f, 1.0f, random); // period 40 ms
        QCOMPARE(oscillator, (ShakerOscillator{1010, 0.65f, 0.0f, 0.0f}));
        QCOMPARE(forces.periodic, -1.0f);

        stepOscillator(forces, oscillator, 1030, 25.0f, 1.0f, random);
        QVERIFY(std::abs(oscillator.phase - 0.15f) < 1e-6f);
        QCOMPARE(forces.periodic, 0.0f);
        ShakerRandomSource fresh; // amplitude first, then frequency
        QCOMPARE(oscillator.amplitudeJitter, fresh.normal());
        QCOMPARE(oscillator.frequencyJitter, fresh.normal());
    }

    void twoTicksPerCycleStayHigh()
    {
        ShakerOscillator oscillator;
        ShakerRandomSource random;
        AxisForces forces;
        for (std::uint64_t tick = 1; tick <= 100; ++tick) {
            stepOscillator(forces, oscillator, 10 * tick, 50.0f, 1.0f, random);
            QCOMPARE(oscillator.phase, tick % 2 ? 0.5f : 0.0f);
        }
        QCOMPARE(forces.periodic, 100.0f);
        QCOMPARE(oscillator, (ShakerOscillator{1000, 0.0f, 0.0f, 0.0f}));
    }

    void genericShaker_data()
    {
        QTest::addColumn<GenericShakerSettings>("settings");
        QTest::addColumn<float>("airspeed");
        QTest::addColumn<float>("value");
        QTest::addColumn<float>("periodic");
        QTest::addColumn<bool>("holdsStill");
        // n = c = 0.5: 50 Hz, a 20 ms period, so half a cycle at 10 ms.
        QTest::newRow("gear at 50 km/h") << shaker({}, {}, 50.0f) << 50.0f << 100.0f << 0.5f << false;
        const ExponentialRange speed{50.0f, 150.0f, 0.0f};
        const ExponentialRange frequency{10.0f, 100.0f, 0.0f};
        QTest::newRow("at speed min") << shaker(speed, frequency, 100.0f) << 50.0f << 100.0f << 0.0f << false;
        QTest::newRow("ground roll in the air") << shaker({}, {}, 100.0f) << 80.0f << 0.0f << 0.0f << false;
        QTest::newRow("speed min equals max")
            << shaker({100.0f, 100.0f, 0.0f}, {}, 100.0f) << 150.0f << 100.0f << 0.0f << true;
        QTest::newRow("zero frequency")
            << shaker({}, {0.0f, 0.0f, 0.0f}, 100.0f) << 80.0f << 100.0f << 0.0f << true;
        QTest::newRow("above 1000 Hz")
            << shaker({}, {1500.0f, 2000.0f, 0.0f}, 100.0f) << 80.0f << 100.0f << 0.0f << true;
        QTest::newRow("infinite strength")
            << shaker({}, {}, std::numeric_limits<float>::infinity()) << 80.0f << 100.0f << 0.0f << true;
    }

    void genericShaker()
    {
        QFETCH(GenericShakerSettings, settings);
        QFETCH(float, airspeed);
        QFETCH(float, value);
        QFETCH(float, periodic);
        QFETCH(bool, holdsStill);
        ShakerOscillator oscillator;
        ShakerRandomSource random;
        AxisForces forces;
        applyGenericShaker(forces, settings, oscillator, 10, airspeed, value, random);
        QCOMPARE(forces, (AxisForces{0.0f, periodic, 0.0f}));
        QCOMPARE(oscillator.lastTime, std::uint64_t(holdsStill ? 0 : 10));
        if (periodic != 0.0f)
            QCOMPARE(oscillator.phase, 0.5f);
    }

    void aoaShaker()
    {
        AoAShakerSettings settings{shaker({}, {}, 100.0f), {0.0f, 20.0f, 0.0f}};
        ShakerOscillator oscillator;
        ShakerRandomSource random;
        AxisForces forces;
        applyAoAShaker(forces, settings, oscillator, 5, 100.0f, 10.0f, random); // 100 Hz, c = 1, g = 0.5
        QCOMPARE(forces.periodic, 1.0f);
        settings.aoa = {10.0f, 10.0f, 0.0f};
        applyAoAShaker(forces, settings, oscillator, 7, 100.0f, 10.0f, random);
        QCOMPARE(forces.periodic, 1.0f);
        QCOMPARE(oscillator.lastTime, std::uint64_t(5));
    }

    void landingJolt()
    {
        // Touchdown at 1000 with strength 3: full until two thirds, then
        // fading, silent and still from effect_time (250 ms) on.
        for (const auto &[now, magnitude] :
             {std::pair{1000, 0.0f}, std::pair{1050, 1.0f}, std::pair{1166, 1.0f}, std::pair{1200, 0.6f},
              std::pair{1250, 0.0f}, std::pair{5000, 0.0f}}) {
            LandingJoltState state;
            registerTouchdown(state, jolt(50.0f), 1000, 100.0f, 3.0f);
            ShakerRandomSource random;
            AxisForces forces;
            applyLandingJolt(forces, jolt(50.0f), state, std::uint64_t(now), 100.0f, random);
            QVERIFY2(std::abs(std::abs(forces.periodic) - magnitude) < 1e-5f,
                     qPrintable(QString::number(now)));
            if (now >= 1250)
                QCOMPARE(state.oscillator, ShakerOscillator());
        }
    }

    void touchdown_data()
    {
        // A first touchdown at 1000 with 3 m/s; 100 ms into its 250 ms, 1.8 remains.
        const auto second = [](std::uint64_t time, float sinkRate) {
            LandingJoltState state;
            registerTouchdown(state, jolt(100.0f), 1000, 100.0f, 3.0f);
            registerTouchdown(state, jolt(100.0f), time, 100.0f, sinkRate);
            return QPointF(static_cast<double>(state.touchdownTime), state.touchdownAmplitude);
        };
        QTest::addColumn<QPointF>("actual");
        QTest::addColumn<QPointF>("expected"); // time, amplitude
        QTest::newRow("weaker than the rest") << second(1100, 1.7f) << QPointF(1000, 3.0);
        QTest::newRow("stronger than the rest") << second(1100, 1.9f) << QPointF(1100, 1.9f);
        QTest::newRow("15 m/s counts as 10") << second(1100, 15.0f) << QPointF(1100, 10.0);
        QTest::newRow("after the jolt") << second(1300, 0.5f) << QPointF(1300, 0.5);
        QTest::newRow("NaN sink rate counts as 0") << second(1300, NaN) << QPointF(1000, 3.0);
    }

    void touchdown()
    {
        QFETCH(QPointF, actual);
        QFETCH(QPointF, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_APPLESS_MAIN(TestShakers)
#include "tst_shakers.moc"
