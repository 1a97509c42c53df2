#include "curveeditor.h"
#include "curveview.h"
#include "qcustomplotmarker.h"
#include "uitestsupport.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Keys -100..100 in steps of 20, values -50..50 in steps of 10.
PointCurve gentleCurve()
{
    PointCurve curve;
    PointCurve::Points points;
    for (int i = 0; i < PointCurve::PointCount; ++i)
        points[static_cast<std::size_t>(i)] = {-100.0f + 20.0f * static_cast<float>(i),
                                               -50.0f + 10.0f * static_cast<float>(i)};
    curve.setPoints(points);
    return curve;
}

// Values -95..95: the plot's border then lies beyond the value limits.
PointCurve steepCurve()
{
    PointCurve curve = gentleCurve();
    for (CurvePoint &p : curve.points)
        p.out *= 1.9f;
    return curve;
}

const CurvePoint &point(const PointCurve &curve, int i)
{
    return curve.points[static_cast<std::size_t>(i)];
}

// A shown editor of its own window, editing `curve`.
struct Editor
{
    explicit Editor(PointCurve initial = gentleCurve(), float keyMin = -100, float keyMax = 100)
        : curve(initial)
    {
        widget.resize(640, 480);
        widget.setXRange(keyMin, keyMax);
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
    void plotSetup()
    {
        Editor editor;
        QCustomPlot *plot = editor.plot();
        QCOMPARE(plot->graphCount(), 2);
        QVERIFY(!plot->graph(0)->visible());
        QCOMPARE(plot->graph(0)->pen(), QPen(Qt::darkRed, 2));
        QCOMPARE(plot->graph(0)->data()->size(), 2);
        QCOMPARE(plot->graph(0)->data()->at(1)->key, 100.0);
        QCOMPARE(plot->graph(1)->pen(), QPen(Qt::black, 3));
        QCOMPARE(plot->graph(1)->data()->size(), PointCurve::PointCount);
        QVERIFY(plot->xAxis2->visible() && plot->xAxis2->tickLabels());
        QVERIFY(plot->yAxis2->visible() && plot->yAxis2->tickLabels());
        QCOMPARE(plot->interactions(), QCP::Interactions());
        QCOMPARE(plot->itemCount(), 2 * PointCurve::PointCount);
        QCustomPlotMarker *marker = editor.widget.marker(10);
        QCOMPARE(marker->brush().color(), QColor(Qt::white));
        QCOMPARE(marker->pen(), QPen(Qt::black, 2));
        // The exact centre is on the marker too, and the crosshair is never hit.
        const QPointF centre = marker->tracer()->position->pixelPosition();
        QCOMPARE(marker->selectTest(centre, true), 0.0);
        QCOMPARE(marker->selectTest(centre + QPointF(20, 0), true) > plot->selectionTolerance(), true);
        QVERIFY(!marker->tracer()->selectable());
    }

    void endPointsKeepTheirKeys_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<float>("key");
        QTest::newRow("first") << 0 << -100.0f;
        QTest::newRow("last") << 10 << 100.0f;
    }

    void endPointsKeepTheirKeys()
    {
        QFETCH(int, index);
        QFETCH(float, key);
        Editor editor;
        const QPoint from = editor.pixelOf(index);
        const QPoint to = from + (index == 0 ? QPoint(120, -60) : QPoint(-120, 60));
        QSignalSpy changed(&editor.widget, &CurveEditor::curveChanged);
        pointer::drag(editor.plot(), from, to);

        QCOMPARE(changed.size(), 1);
        QCOMPARE(point(editor.curve, index).in, key);
        QCOMPARE(point(editor.curve, index).out, static_cast<float>(editor.coordsAt(to).y()));
        QVERIFY(point(editor.curve, index).out != point(gentleCurve(), index).out);
    }

    void neighboursStayAGapAway_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<float>("expected");
        QTest::newRow("right beyond point 6") << 1 << 19.0f;
        QTest::newRow("left beyond point 4") << -1 << -19.0f;
    }

    void neighboursStayAGapAway()
    {
        QFETCH(int, direction);
        QFETCH(float, expected);
        Editor editor;
        const QPoint from = editor.pixelOf(5);
        pointer::drag(editor.plot(), from, from + QPoint(direction * 200, 0));
        QCOMPARE(point(editor.curve, 5).in, expected);
        QCOMPARE(point(editor.curve, 4).in, -20.0f);
        QCOMPARE(point(editor.curve, 6).in, 20.0f);
        // The graph and the marker follow the curve.
        QCOMPARE(editor.plot()->graph(1)->data()->at(5)->key, static_cast<double>(expected));
        QCOMPARE(editor.widget.marker(5)->coords().x(), static_cast<double>(expected));
    }

    void valuesStopAtTheLimits_data()
    {
        QTest::addColumn<bool>("upwards");
        QTest::addColumn<float>("expected");
        QTest::newRow("above the maximum") << true << 100.0f;
        QTest::newRow("below the minimum") << false << -100.0f;
    }

    void valuesStopAtTheLimits()
    {
        QFETCH(bool, upwards);
        QFETCH(float, expected);
        Editor editor(steepCurve());
        const QPoint from = editor.pixelOf(3);
        // The plot's border lies outside the value axis: beyond the limits.
        const QPoint to(from.x(), upwards ? 1 : editor.plot()->height() - 2);
        QVERIFY(std::abs(editor.coordsAt(to).y()) > 100.0);
        pointer::drag(editor.plot(), from, to);
        QCOMPARE(point(editor.curve, 3).out, expected);
    }

    void offCentreGrabDoesNotJump()
    {
        Editor editor;
        const QPoint centre = editor.pixelOf(7);
        const QPoint grab = centre + QPoint(3, -2);
        const CurvePoint before = point(editor.curve, 7);
        QCustomPlot *plot = editor.plot();

        pointer::move(plot, grab);
        pointer::press(plot, grab);
        pointer::move(plot, grab);
        QCOMPARE(point(editor.curve, 7).in, before.in);
        QCOMPARE(point(editor.curve, 7).out, before.out);

        // Moving on keeps the cursor-to-point offset of the grab.
        const QPoint further = grab + QPoint(-15, 25);
        pointer::move(plot, further);
        pointer::release(plot, further);
        const QPointF shift = editor.coordsAt(further) - editor.coordsAt(grab);
        QCOMPARE(point(editor.curve, 7).in, static_cast<float>(before.in + shift.x()));
        QCOMPARE(point(editor.curve, 7).out, static_cast<float>(before.out + shift.y()));
    }

    void hoverAndRelease()
    {
        Editor editor;
        QCustomPlot *plot = editor.plot();
        QCustomPlotMarker *marker = editor.widget.marker(0);
        QSignalSpy changed(&editor.widget, &CurveEditor::curveChanged);
        const QPoint over = editor.pixelOf(0);
        // The first point keeps its key, so moving sideways leaves it behind.
        const QPoint away = over + QPoint(80, 0);

        pointer::move(plot, over);
        QCOMPARE(marker->brush().color(), QColor(Qt::red));
        QCOMPARE(marker->tracer()->style(), QCPItemTracer::tsNone);
        pointer::press(plot, over);
        QCOMPARE(marker->tracer()->style(), QCPItemTracer::tsCrosshair);
        pointer::move(plot, away);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(editor.pixelOf(0), over);
        QCOMPARE(marker->brush().color(), QColor(Qt::red));

        // Released away from any marker: the drag ends, the next move clears the hover.
        pointer::release(plot, away);
        QCOMPARE(marker->tracer()->style(), QCPItemTracer::tsNone);
        QCOMPARE(marker->brush().color(), QColor(Qt::red));
        pointer::move(plot, away + QPoint(5, -5));
        QCOMPARE(marker->brush().color(), QColor(Qt::white));
        QCOMPARE(changed.size(), 1);

        // Neither hover moves nor a press without a hovered marker change anything.
        pointer::press(plot, away);
        pointer::move(plot, away + QPoint(20, -20));
        pointer::release(plot, away + QPoint(20, -20));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(editor.curve.points[1], gentleCurve().points[1]);
    }

    void hoverStaysWithTheFirstMarker()
    {
        // Point 6 a few pixels right of point 5: moving straight from one onto
        // the other keeps the first one hovered, and a press then grabs it.
        PointCurve crowded = gentleCurve();
        crowded.points[6] = {5.0f, 0.0f};
        Editor editor(crowded);
        QCustomPlot *plot = editor.plot();
        const QPoint onSix = editor.pixelOf(6) + QPoint(4, 0);
        pointer::move(plot, editor.pixelOf(5));
        pointer::move(plot, onSix);
        QCOMPARE(editor.widget.marker(5)->brush().color(), QColor(Qt::red));
        QCOMPARE(editor.widget.marker(6)->brush().color(), QColor(Qt::white));

        pointer::press(plot, onSix);
        pointer::move(plot, onSix + QPoint(40, 0));
        QCOMPARE(editor.curve.points[5].in, 4.0f);
        QCOMPARE(editor.curve.points[6], crowded.points[6]);
    }

    void middleButtonFitsAndRestores()
    {
        Editor editor;
        QCustomPlot *plot = editor.plot();
        const QPoint somewhere(plot->width() / 2, plot->height() / 2);
        auto middleClick = [&] {
            pointer::press(plot, somewhere, Qt::MiddleButton);
            pointer::release(plot, somewhere, Qt::MiddleButton);
        };
        // Attaching the curve already fitted the axes to it (and the zero line).
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 50));

        middleClick();
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 50));
        middleClick();
        QCOMPARE(plot->yAxis->range(), QCPRange(-100, 100));
        QCOMPARE(plot->yAxis2->range(), QCPRange(-100, 100));
        middleClick();
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 50));
        QCOMPARE(plot->yAxis2->range(), QCPRange(-50, 50));
        QCOMPARE(editor.curve, gentleCurve());
    }

    void rangesAreClampedToTheLimits()
    {
        PointCurve narrow = gentleCurve();
        for (CurvePoint &p : narrow.points)
            p.in /= 10.0f;
        Editor editor(narrow, -10, 10);
        QCustomPlot *plot = editor.plot();
        QCOMPARE(plot->xAxis->range(), QCPRange(-10, 10));
        QCOMPARE(plot->xAxis2->range(), QCPRange(-10, 10));

        plot->xAxis->setRange(-50, 5);
        QCOMPARE(plot->xAxis->range(), QCPRange(-10, 5));
        QCOMPARE(plot->xAxis2->range(), QCPRange(-10, 5));
        plot->yAxis->setRange(-300, 300);
        QCOMPARE(plot->yAxis->range(), QCPRange(-100, 100));
        QCOMPARE(plot->yAxis2->range(), QCPRange(-100, 100));
        // Wholly outside the limits: back to the full limits.
        plot->xAxis->setRange(20, 30);
        QCOMPARE(plot->xAxis->range(), QCPRange(-10, 10));
    }

    void previewHighlightsAndOnlyReportsPresses()
    {
        QWidget window;
        auto *layout = new QHBoxLayout(&window);
        auto *view = new CurveView;
        auto *beside = new QWidget;
        beside->setMinimumWidth(100);
        layout->addWidget(view);
        layout->addWidget(beside);
        window.resize(600, 250);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        PointCurve curve = gentleCurve();
        view->setCurve(&curve);
        view->setLabels(QStringLiteral("deflection (%)"), QStringLiteral("strength (kg)"));
        QCustomPlot *plot = view->plot();
        QCOMPARE(plot->graph(0)->data()->size(), PointCurve::PointCount);
        QCOMPARE(plot->xAxis->range(), QCPRange(-100, 100));
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 50));
        QCOMPARE(plot->xAxis->label(), QStringLiteral("deflection (%)"));
        QCOMPARE(plot->yAxis2->label(), QStringLiteral("strength (kg)"));
        QVERIFY(plot->xAxis2->label().isEmpty());
        QVERIFY(!plot->xAxis->tickLabels() && !plot->yAxis2->tickLabels());

        auto *frame = view->findChild<QFrame *>(QStringLiteral("myObject"));
        QVERIFY(frame);
        QVERIFY(frame->styleSheet().contains(QStringLiteral("rgb(200,200,200)")));

        pointer::move(beside, QPoint(10, 10));
        pointer::move(plot, QPoint(50, 50));
        QVERIFY(frame->styleSheet().contains(QStringLiteral("rgb(0,120,215)")));
        const QColor tinted = plot->grab().toImage().pixelColor(3, 3);
        QVERIFY2(tinted.blue() > tinted.red(), qPrintable(tinted.name()));

        QSignalSpy pressed(view, &CurveView::pressed);
        pointer::press(plot, QPoint(50, 50));
        pointer::release(plot, QPoint(50, 50));
        QCOMPARE(pressed.size(), 1);
        QVERIFY(!QApplication::activeModalWidget());

        pointer::move(beside, QPoint(10, 10));
        QVERIFY(frame->styleSheet().contains(QStringLiteral("rgb(200,200,200)")));
        QCOMPARE(plot->grab().toImage().pixelColor(3, 3), QColor(Qt::white));

        // A changed curve shows after redraw().
        curve.points[10].out = 90.0f;
        view->redraw();
        QCOMPARE(plot->graph(0)->data()->at(10)->value, 90.0);
    }
};

QTEST_MAIN(TestCurveEditor)
#include "tst_curveeditor.moc"
