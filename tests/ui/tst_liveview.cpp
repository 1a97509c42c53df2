#include "liveviewwidget.h"
#include "qcustomplotheader.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

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

        // The last second: ticks 1100..1199, latencies 12 and 18 in turn.
        LiveFigures::Second second = figures.lastSecond();
        QCOMPARE(second.ticks, 100);
        QCOMPARE(second.records, 50);
        QCOMPARE(second.latencyMeanMs, 15.0);
        QCOMPARE(second.latencyMaxMs, 18);
        QCOMPARE(second.tickIntervalMaxMs, 10);
        QCOMPARE(figures.failedWrites(), quint64(7));

        // One late tick shows as the longest interval.
        LiveBatch late = ticks(12000 + 35, 1200, 1);
        late.samples[0].tickIntervalMs = 45;
        figures.add(late);
        second = figures.lastSecond();
        QCOMPARE(second.tickIntervalMaxMs, 45);
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

        // Reports the joystick did not take do not show.
        view.addBatch(ticks(2000, 100, 20, false));
        QCOMPARE(force->dataCount(), 100);
        QVERIFY(view.findChild<QLabel *>(QStringLiteral("live_note_0"))->isVisible());
    }
};

QTEST_MAIN(TestLiveView)
#include "tst_liveview.moc"
