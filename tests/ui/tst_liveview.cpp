#include "liveviewwidget.h"
#include "qcustomplotheader.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace {

// n ticks 10 ms apart from `startMs`; the joystick takes the reports, the
// rudder is absent. Ailerons force = tick number / 10, spring = 2 x force.
LiveBatch ticks(qint64 startMs, int first, int n, bool joystick = true)
{
    LiveBatch batch;
    batch.count = n;
    batch.failedWrites = 7;
    batch.source = Telemetry::TELEMETRY_SOURCE_DCS;
    for (int i = 0; i < n; ++i) {
        LiveSample &s = batch.samples[std::size_t(i)];
        const int tick = first + i;
        s.timeMs = startMs + 10 * i;
        s.joystick = joystick;
        s.force[0] = float(tick) / 10;
        s.spring[0] = 2 * float(tick) / 10;
        s.position[0] = 0.5f;
        s.tickIntervalMs = 10;
        s.records = tick % 2; // a record every other tick: 50 a second
        s.latencyMs = tick % 2 ? (tick % 4 == 1 ? 12 : 18) : -1;
    }
    return batch;
}

} // namespace

class TestLiveView : public QObject
{
    Q_OBJECT

private slots:
    void figuresOfTheLastSecond()
    {
        LiveFigures figures;
        // 12 s of ticks in batches of 4, as the worker sends them.
        for (int tick = 0; tick < 1200; tick += 4)
            figures.add(ticks(10 * tick, tick, 4));
        // The window keeps 10 s: ticks 200..1199 (t = 2.00 .. 11.99 s).
        const LiveFigures::Series &ailerons = figures.axis(0);
        QCOMPARE(ailerons.time.size(), 1000);
        QCOMPARE(ailerons.time.first(), 2.0);
        QCOMPARE(ailerons.force.last(), double(1199.0f / 10)); // a float, as in the report
        QCOMPARE(ailerons.spring.last(), double(2 * 1199.0f / 10));
        QCOMPARE(figures.axis(2).time.size(), 0); // no rudder

        // The last second: ticks 1100..1199.
        LiveFigures::Second second = figures.lastSecond();
        QCOMPARE(second.ticks, 100);
        QCOMPARE(second.records, 50);
        QCOMPARE(second.tickIntervalMaxMs, 10);
        QCOMPARE(figures.failedWrites(), quint64(7));
        // The latency of the last 10 s: 500 records, 12 and 18 ms in turn.
        LiveFigures::Latency latency = figures.latency();
        QCOMPARE(latency.meanMs, 15.0);
        QCOMPARE(latency.p99Ms, 18);
        QCOMPARE(latency.maxMs, 18);

        // One late tick shows as the longest interval; its record's 90 ms is
        // the maximum, while the 99th percentile stays 18 (the window has moved
        // on by 35 ms: 498 records of 12 or 18 ms and this one; nearest rank 495).
        LiveBatch late = ticks(12000 + 35, 1201, 1);
        late.samples[0].tickIntervalMs = 45;
        late.samples[0].latencyMs = 90;
        figures.add(late);
        second = figures.lastSecond();
        QCOMPARE(second.tickIntervalMaxMs, 45);
        latency = figures.latency();
        QCOMPARE(latency.maxMs, 90);
        QCOMPARE(latency.p99Ms, 18);
        // Five more slow ones reach into the top 1 %: of the 501 records in
        // the window (247 of 12, 248 of 18, five of 70, one of 90) the 496th is 70.
        LiveBatch slow = ticks(12045, 1203, 5);
        for (int i = 0; i < 5; ++i)
            slow.samples[i].latencyMs = 70;
        figures.add(slow);
        QCOMPARE(figures.latency().p99Ms, 70);
    }

    void plotsPauseAndAbsentDevices()
    {
        LiveViewWidget view;
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.addBatch(ticks(1000, 0, 50));
        QCPGraph *force = view.plot(0)->graph(0);
        QCOMPARE(force->dataCount(), 50);
        QCOMPARE((force->data()->constBegin() + 10)->value, 1.0);
        QCOMPARE(view.plot(2)->graph(0)->dataCount(), 0);
        QVERIFY(view.findChild<QLabel *>(QStringLiteral("live_note_2"))->isVisible());
        QVERIFY(!view.findChild<QLabel *>(QStringLiteral("live_note_0"))->isVisible());

        // Paused: the picture stays while the data keep coming.
        view.findChild<QPushButton *>(QStringLiteral("live_pause"))->click();
        view.addBatch(ticks(1500, 50, 50));
        QCOMPARE(force->dataCount(), 50);
        QCOMPARE(view.figures().axis(0).time.size(), 100);
        view.findChild<QPushButton *>(QStringLiteral("live_pause"))->click();
        QCOMPARE(force->dataCount(), 100);

        // Reports the joystick did not take do not show: one empty point
        // breaks the line, and the values after the return start afresh.
        view.addBatch(ticks(2000, 100, 20, false));
        QCOMPARE(force->dataCount(), 101);
        QVERIFY(std::isnan((force->data()->constEnd() - 1)->value));
        QVERIFY(view.findChild<QLabel *>(QStringLiteral("live_note_0"))->isVisible());
        view.addBatch(ticks(2200, 120, 10));
        QCOMPARE(force->dataCount(), 111);
        QVERIFY(std::isnan((force->data()->constBegin() + 100)->value));
        QCOMPARE((force->data()->constBegin() + 101)->value, 12.0);
    }

    void figuresTexts()
    {
        LiveViewWidget view;
        LiveBatch batch = ticks(1000, 1, 4);
        batch.boundedValues = 3;
        view.addBatch(batch);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_COMPARE(view.findChild<QLabel *>(QStringLiteral("live_latency"))->text(),
                     QStringLiteral("Latency, input to report, last 10 s: mean 15.0 ms, 99th percentile 18 ms, max 18 ms"));
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("live_failures"))->text(),
                 QStringLiteral("Failed report writes: 7\nValues bounded before the motor: 3"));
    }
};

QTEST_MAIN(TestLiveView)
#include "tst_liveview.moc"
