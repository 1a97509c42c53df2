#include "curveeditor.h"
#include "curveview.h"
#include "qcustomplotmarker.h"
#include "uitestsupport.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Keys -100..100 in steps of 20, values -50..50 in steps of 10, scaled by
// `steep`.
PointCurve gentleCurve(float steep = 1.0f)
{
    PointCurve curve;
    PointCurve::Points points;
    for (int i = 0; i < PointCurve::PointCount; ++i)
        points[static_cast<std::size_t>(i)] = {-100.0f + 20.0f * static_cast<float>(i),
                                               steep * (-50.0f + 10.0f * static_cast<float>(i))};
    curve.setPoints(points);
    return curve;
}

// A shown editor of its own window, editing `curve`.
struct Editor
{
    explicit Editor(PointCurve initial = gentleCurve(), float keyLimit = 100) : curve(initial)
    {
        widget.resize(640, 480);
        widget.setXRange(-keyLimit, keyLimit);
        widget.setYRange(-100, 100);
        widget.show();
        if (!QTest::qWaitForWindowExposed(&widget))
            qFatal("editor window not exposed");
        widget.setCurve(&curve);
    }

    QCustomPlot *plot() const { return widget.plot(); }
    QPoint pixelOf(int i) const { return widget.marker(i)->tracer()->position->pixelPosition().toPoint(); }
    QPointF coordsAt(QPoint pixel) const
    {
        return QPointF(plot()->xAxis->pixelToCoord(pixel.x()), plot()->yAxis->pixelToCoord(pixel.y()));
    }
    QColor colourOf(int i) const { return widget.marker(i)->brush().color(); }

    PointCurve curve;
    CurveEditor widget;
};

} // namespace

char *toString(const QCPRange &range)
{
    return QTest::toString(QStringLiteral("(%1, %2)").arg(range.lower).arg(range.upper));
}

class TestCurveEditor : public QObject
{
    Q_OBJECT

private slots:
    void keysAreLimited_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<float>("key");
        QTest::newRow("first point keeps its key") << 0 << QPoint(120, -60) << -100.0f;
        QTest::newRow("last point keeps its key") << 10 << QPoint(-120, 60) << 100.0f;
        QTest::newRow("point 5 stops 1 left of point 6") << 5 << QPoint(200, 0) << 19.0f;
        QTest::newRow("point 5 stops 1 right of point 4") << 5 << QPoint(-200, 0) << -19.0f;
    }

    void keysAreLimited()
    {
        // Grabbed at the marker's exact centre, moved in one step.
        QFETCH(int, index);
        QFETCH(QPoint, by);
        QFETCH(float, key);
        Editor editor;
        const QPoint from = editor.pixelOf(index);
        const CurvePoint before = editor.curve.points[static_cast<std::size_t>(index)];
        QSignalSpy changed(&editor.widget, &CurveEditor::curveChanged);
        pointer::drag(editor.plot(), from, from + by);

        QCOMPARE(changed.size(), 1);
        const CurvePoint after = editor.curve.points[static_cast<std::size_t>(index)];
        QCOMPARE(after.in, key);
        QCOMPARE(after.out,
                 static_cast<float>(before.out + editor.coordsAt(from + by).y() - editor.coordsAt(from).y()));
        // The graph and the marker follow the curve.
        QCOMPARE(editor.plot()->graph(1)->data()->at(index)->key, static_cast<double>(key));
        QCOMPARE(editor.widget.marker(index)->coords(), QPointF(after.in, after.out));
    }

    void valuesStopAtTheLimits()
    {
        for (const float limit : {100.0f, -100.0f}) {
            // Steep: the plot's border lies beyond the value limits.
            Editor editor(gentleCurve(1.9f));
            const QPoint from = editor.pixelOf(3);
            const QPoint to(from.x(), limit > 0 ? 1 : editor.plot()->height() - 2);
            QVERIFY(std::abs(editor.coordsAt(to).y()) > 100.0);
            pointer::drag(editor.plot(), from, to);
            QCOMPARE(editor.curve.points[3].out, limit);
        }
    }

    void offCentreGrabDoesNotJump()
    {
        Editor editor;
        const QPoint grab = editor.pixelOf(7) + QPoint(3, -2);
        const CurvePoint before = editor.curve.points[7];
        pointer::move(editor.plot(), grab);
        pointer::press(editor.plot(), grab);
        pointer::move(editor.plot(), grab);
        QCOMPARE(editor.curve.points[7], before);

        // Moving on keeps the cursor-to-point offset of the grab.
        const QPoint further = grab + QPoint(-15, 25);
        pointer::move(editor.plot(), further);
        pointer::release(editor.plot(), further);
        const QPointF shift = editor.coordsAt(further) - editor.coordsAt(grab);
        QCOMPARE(editor.curve.points[7], (CurvePoint{static_cast<float>(before.in + shift.x()),
                                                     static_cast<float>(before.out + shift.y())}));
    }

    void hoverAndRelease()
    {
        // Point 6 a few pixels right of point 5.
        PointCurve crowded = gentleCurve();
        crowded.points[6] = {5.0f, 0.0f};
        Editor editor(crowded);
        QCustomPlot *plot = editor.plot();
        QSignalSpy changed(&editor.widget, &CurveEditor::curveChanged);

        // Moving straight from one marker onto the other keeps the first
        // hovered, and a press then grabs it.
        const QPoint onSix = editor.pixelOf(6) + QPoint(4, 0);
        pointer::move(plot, editor.pixelOf(5));
        pointer::move(plot, onSix);
        QCOMPARE(editor.colourOf(5), QColor(Qt::red));
        QCOMPARE(editor.colourOf(6), QColor(Qt::white));
        pointer::press(plot, onSix);
        QCOMPARE(editor.widget.marker(5)->tracer()->style(), QCPItemTracer::tsCrosshair);
        const QPoint away = onSix + QPoint(40, 0);
        pointer::move(plot, away);
        QCOMPARE(editor.curve.points[5].in, 4.0f);
        QCOMPARE(editor.curve.points[6], crowded.points[6]);

        // Released away from any marker: the drag ends, the next move clears the hover.
        pointer::release(plot, away);
        QCOMPARE(editor.widget.marker(5)->tracer()->style(), QCPItemTracer::tsNone);
        pointer::move(plot, away + QPoint(5, -5));
        QCOMPARE(editor.colourOf(5), QColor(Qt::white));

        // A press without a hovered marker changes nothing.
        pointer::press(plot, away);
        pointer::move(plot, away + QPoint(20, -20));
        pointer::release(plot, away + QPoint(20, -20));
        QCOMPARE(changed.size(), 1);
    }

    void middleButtonFitsAndRestores()
    {
        Editor editor;
        QCustomPlot *plot = editor.plot();
        const QPoint somewhere(plot->width() / 2, plot->height() / 2);
        const auto middleClick = [&] {
            pointer::press(plot, somewhere, Qt::MiddleButton);
            pointer::release(plot, somewhere, Qt::MiddleButton);
            return plot->yAxis2->range();
        };
        // Attaching the curve already fitted the axes to it.
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 50));
        QCOMPARE(middleClick(), QCPRange(-50, 50));
        QCOMPARE(middleClick(), QCPRange(-100, 100));
        QCOMPARE(middleClick(), QCPRange(-50, 50));
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 50));
        QCOMPARE(editor.curve, gentleCurve());
    }

    void rangesAreClampedToTheLimits()
    {
        PointCurve narrow = gentleCurve();
        for (CurvePoint &p : narrow.points)
            p.in /= 10.0f;
        Editor editor(narrow, 10);
        QCustomPlot *plot = editor.plot();
        QCOMPARE(plot->xAxis2->range(), QCPRange(-10, 10));
        plot->xAxis->setRange(-50, 5);
        QCOMPARE(plot->xAxis2->range(), QCPRange(-10, 5));
        plot->yAxis->setRange(-300, 300);
        QCOMPARE(plot->yAxis2->range(), QCPRange(-100, 100));
        plot->xAxis->setRange(20, 30); // wholly outside: back to the full limits
        QCOMPARE(plot->xAxis->range(), QCPRange(-10, 10));
    }

    void previewReportsPressesAndRedraws()
    {
        CurveView view;
        view.resize(400, 250);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        PointCurve curve = gentleCurve();
        view.setCurve(&curve);
        QSignalSpy pressed(&view, &CurveView::pressed);
        pointer::press(view.plot(), QPoint(50, 50));
        pointer::release(view.plot(), QPoint(50, 50));
        QCOMPARE(pressed.size(), 1);

        curve.points[10].out = 90.0f;
        view.redraw();
        QCOMPARE(view.plot()->graph(0)->data()->at(10)->value, 90.0);
    }
};

QTEST_MAIN(TestCurveEditor)
#include "tst_curveeditor.moc"
