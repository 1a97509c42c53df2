#include "devicereports.h"

#include <QTest>

#include <limits>

using namespace DeviceReports;

namespace {

// Floats of a report from byte 2 on, as the device reads them.
QList<float> floatsOf(const Report &report, int count)
{
    QList<float> values;
    for (int i = 0; i < count; ++i)
        values << floatAt(report, std::size_t(2 + 4 * i));
    return values;
}

bool zeroFrom(const Report &report, std::size_t first)
{
    for (std::size_t i = first; i < report.size(); ++i) {
        if (report[i] != 0)
            return false;
    }
    return true;
}

AxisEffectsSettings damped(float strength, float staticPercent, float dynamicPercent, bool active = true)
{
    AxisEffectsSettings axis;
    axis.smart_damper.active = active;
    axis.smart_damper.total_effect_strength = strength;
    axis.smart_damper.static_dampening = staticPercent;
    axis.smart_damper.dynamic_dampening = dynamicPercent;
    return axis;
}

} // namespace

class TestDeviceReports : public QObject
{
    Q_OBJECT

private slots:
    void joystickDirectControl()
    {
        const AxisForces roll{1.5f, -2.25f, 3.0f};
        const AxisForces pitch{-4.0f, 0.5f, 6.0f};
        const Report report =
            directControl(roll, pitch, dampingOf(damped(100, 100, 50)), dampingOf(damped(50, 40, 100)));
        QCOMPARE(report.size(), std::size_t(65));
        QCOMPARE(report[0], 0x02);
        QCOMPARE(report[1], 0x20);
        // spring pair, force pair, periodic pair, static and dynamic damping pairs, two reserved
        QCOMPARE(floatsOf(report, 12),
                 (QList<float>{3.0f, 6.0f, 1.5f, -4.0f, -2.25f, 0.5f, 1.0f, 0.2f, 0.5f, 0.5f, 0.0f, 0.0f}));
        QVERIFY(zeroFrom(report, 50));
        // Little-endian, unaligned: spring of axis 0 (3.0f = 0x40400000) at bytes 2-5.
        QCOMPARE(report[2], 0x00);
        QCOMPARE(report[5], 0x40);
    }

    void rudderDirectControl()
    {
        const AxisForces yaw{7.0f, 8.0f, 9.0f};
        const Report report = directControl(yaw, {}, dampingOf(damped(100, 30, 60)), {});
        QCOMPARE(floatsOf(report, 12),
                 (QList<float>{9.0f, 0.0f, 7.0f, 0.0f, 8.0f, 0.0f, 0.3f, 0.0f, 0.6f, 0.0f, 0.0f, 0.0f}));
    }

    void inactiveDamperSendsExactZero()
    {
        const AxisDamping damping = dampingOf(damped(100, 100, 100, false));
        QCOMPARE(damping.staticDamping, 0.0f);
        QCOMPARE(damping.dynamicDamping, 0.0f);
        QCOMPARE(dampingOf(damped(100, 100, 100)).staticDamping, 1.0f);
    }

    void notFiniteIsSentAsZero()
    {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        const Report report = directControl({nan, inf, -inf}, {1, 2, 3}, {nan, inf}, {});
        QCOMPARE(floatsOf(report, 6), (QList<float>{0.0f, 3.0f, 0.0f, 1.0f, 0.0f, 2.0f}));
        QCOMPARE(floatsOf(report, 8).mid(6), (QList<float>{0.0f, 0.0f}));
    }

    void directXOverrideScales()
    {
        AxisEffectsSettings roll;
        roll.direct_x.active = true;
        roll.direct_x.total_effect_strength = 50;
        roll.direct_x.trimmer = 80;
        roll.direct_x.force = 40;
        roll.direct_x.periodic = 100;
        AxisEffectsSettings pitch = roll;
        pitch.direct_x.active = false;

        const DirectXOverrideTypeDef joystick = directXOverrideOf(roll, &pitch);
        const Report report = directXOverride(joystick);
        QCOMPARE(report[0], 0x02);
        QCOMPARE(report[1], 0x21);
        // trimmer, force, periodic pairs: the strength scales force and periodic only.
        QCOMPARE(floatsOf(report, 6), (QList<float>{0.8f, 0.0f, 0.2f, 0.0f, 0.5f, 0.0f}));
        QVERIFY(zeroFrom(report, 26));

        const DirectXOverrideTypeDef rudder = directXOverrideOf(roll, nullptr);
        QCOMPARE(floatsOf(directXOverride(rudder), 6), (QList<float>{0.8f, 0.0f, 0.2f, 0.0f, 0.5f, 0.0f}));
    }

    void versionCarriesTheReportId()
    {
        Report report = featureRequest(VersionReportId);
        QCOMPARE(report[0], 0x25);
        QVERIFY(zeroFrom(report, 1));
        report[1] = 0x01;
        report[2] = 0x02;
        report[3] = 0x00;
        QCOMPARE(versionFromReport(report), quint32(0x20125));
        QCOMPARE(versionFromReport(report), quint32(131365));
    }
};

QTEST_GUILESS_MAIN(TestDeviceReports)
#include "tst_devicereports.moc"
