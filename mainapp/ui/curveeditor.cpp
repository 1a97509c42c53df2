#include "curveeditor.h"
#include "ui_curveeditor.h"

#include "qcustomplotmarker.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int ZeroLineGraph = 0;
constexpr int CurveGraph = 1;

QPointF roundedPixel(const QPointF &position)
{
    // std::round rounds halves away from zero.
    return QPointF(std::round(position.x()), std::round(position.y()));
}

// An axis and its mirror on the opposite side always show the same range.
void setMirroredRange(QCPAxis *axis, QCPAxis *mirror, double lower, double upper)
{
    axis->setRange(lower, upper);
    mirror->setRange(lower, upper);
}

// The part of `range` inside the limits; a range wholly outside them has
// nothing to keep and gives the full limits.
QCPRange clampedRange(const QCPRange &range, float min, float max)
{
    const double lower = std::max<double>(range.lower, min);
    const double upper = std::min<double>(range.upper, max);
    return lower < upper ? QCPRange(lower, upper) : QCPRange(min, max);
}

} // namespace

CurveEditor::CurveEditor(QWidget *parent)
    : QWidget(parent), m_ui(new Ui::CurveEditor), m_keys(PointCurve::PointCount, 0.0),
      m_values(PointCurve::PointCount, 0.0)
{
    m_ui->setupUi(this);
    QCustomPlot *plot = m_ui->customPlot;

    QCPGraph *zeroLine = plot->addGraph();
    zeroLine->setPen(QPen(Qt::darkRed, 2));
    zeroLine->setVisible(false);
    plot->addGraph()->setPen(QPen(Qt::black, 3));

    plot->xAxis2->setVisible(true);
    plot->xAxis2->setTickLabels(true);
    plot->yAxis2->setVisible(true);
    plot->yAxis2->setTickLabels(true);

    connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &CurveEditor::limitXRange);
    connect(plot->yAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &CurveEditor::limitYRange);
    connect(plot, &QCustomPlot::mousePress, this, &CurveEditor::mousePress);
    connect(plot, &QCustomPlot::mouseRelease, this, &CurveEditor::mouseRelease);
    connect(plot, &QCustomPlot::mouseMove, this, &CurveEditor::mouseMove);

    // Start inside the default limits rather than QCustomPlot's 0..5.
    setXRange(m_keyMin, m_keyMax);
    setYRange(m_valueMin, m_valueMax);
}

CurveEditor::~CurveEditor()
{
    delete m_ui;
}

QCustomPlot *CurveEditor::plot() const
{
    return m_ui->customPlot;
}

QCustomPlotMarker *CurveEditor::marker(int index) const
{
    return index >= 0 && index < PointCurve::PointCount ? m_markers[static_cast<std::size_t>(index)]
                                                        : nullptr;
}

void CurveEditor::setCurve(PointCurve *curve)
{
    if (!curve)
        return;
    m_curve = curve;
    if (!m_markers.front()) {
        for (int i = 0; i < PointCurve::PointCount; ++i)
            m_markers[static_cast<std::size_t>(i)] = new QCustomPlotMarker(m_ui->customPlot, i);
    }
    setGraphDataFromCurve();
    // The range slots clamp the result to the limits.
    m_ui->customPlot->rescaleAxes();
    m_ui->customPlot->replot();
}

void CurveEditor::setXRange(float min, float max)
{
    QCustomPlot *plot = m_ui->customPlot;
    setLimits(m_keyMin, m_keyMax, min, max, plot->xAxis, plot->xAxis2);
}

void CurveEditor::setYRange(float min, float max)
{
    QCustomPlot *plot = m_ui->customPlot;
    setLimits(m_valueMin, m_valueMax, min, max, plot->yAxis, plot->yAxis2);
}

void CurveEditor::setLimits(float &lowest, float &highest, float min, float max, QCPAxis *axis,
                            QCPAxis *mirror)
{
    lowest = min;
    highest = max;
    setMirroredRange(axis, mirror, min, max);
    rebuildZeroLine();
    m_ui->customPlot->replot();
}

void CurveEditor::rebuildZeroLine()
{
    QCPGraph *zeroLine = m_ui->customPlot->graph(ZeroLineGraph);
    zeroLine->setData(QVector<double>{m_keyMin, m_keyMax}, QVector<double>{0.0, 0.0});
    zeroLine->setVisible(false);
}

void CurveEditor::limitXRange(QCPRange range)
{
    const QCPRange kept = clampedRange(range, m_keyMin, m_keyMax);
    setMirroredRange(m_ui->customPlot->xAxis, m_ui->customPlot->xAxis2, kept.lower, kept.upper);
}

void CurveEditor::limitYRange(QCPRange range)
{
    const QCPRange kept = clampedRange(range, m_valueMin, m_valueMax);
    setMirroredRange(m_ui->customPlot->yAxis, m_ui->customPlot->yAxis2, kept.lower, kept.upper);
}

void CurveEditor::setGraphDataFromCurve()
{
    if (!m_curve)
        return;
    for (int i = 0; i < PointCurve::PointCount; ++i) {
        const CurvePoint &point = m_curve->points[static_cast<std::size_t>(i)];
        m_keys[i] = point.in;
        m_values[i] = point.out;
        if (QCustomPlotMarker *handle = m_markers[static_cast<std::size_t>(i)])
            handle->moveTo(point.in, point.out);
    }
    m_ui->customPlot->graph(CurveGraph)->setData(m_keys, m_values);
}

QPointF CurveEditor::plotPosition(const QPointF &pixel) const
{
    const QPointF rounded = roundedPixel(pixel);
    return QPointF(m_ui->customPlot->xAxis->pixelToCoord(rounded.x()),
                   m_ui->customPlot->yAxis->pixelToCoord(rounded.y()));
}

void CurveEditor::mouseMove(QMouseEvent *event)
{
    QCustomPlot *plot = m_ui->customPlot;
    auto *item = qobject_cast<QCustomPlotMarker *>(plot->itemAt(roundedPixel(event->position()), true));
    if (!item) {
        if (!m_hoveredMarker)
            return;
        if (!m_dragging) {
            m_hoveredMarker->stopHower();
            m_hoveredMarker = nullptr;
            return;
        }
    } else {
        // While one marker is hovered, passing over another keeps the first.
        if (!m_hoveredMarker) {
            m_hoveredMarker = item;
            m_hoveredMarker->startHower();
        }
        if (!m_dragging)
            return;
    }
    if (!m_curve)
        return;

    const int i = m_hoveredMarker->index();
    const QPointF wanted = plotPosition(event->position());
    const auto x = static_cast<float>(wanted.x() - m_grabOffsetX);
    const auto y = static_cast<float>(wanted.y() - m_grabOffsetY);

    float key;
    if (i == 0) {
        key = m_keyMin;
    } else if (i == PointCurve::PointCount - 1) {
        key = m_keyMax;
    } else {
        // Neighbours closer than twice the gap leave no room: upper wins.
        const auto lower = static_cast<float>(m_keys[i - 1] + m_minimumGap);
        const auto upper = static_cast<float>(m_keys[i + 1] - m_minimumGap);
        key = x > upper ? upper : std::max(lower, x);
    }
    const float value = y > m_valueMax ? m_valueMax : std::max(m_valueMin, y);

    m_curve->points[static_cast<std::size_t>(i)] = {key, value};
    // An edited curve is a set curve, so that it is saved with its spring.
    m_curve->defined = true;
    emit curveChanged();
    setGraphDataFromCurve();
    plot->replot();
}

void CurveEditor::mousePress(QMouseEvent *event)
{
    QCustomPlot *plot = m_ui->customPlot;
    if (event->buttons() & Qt::LeftButton) {
        if (!m_hoveredMarker)
            return;
        const QPointF grabbed = plotPosition(event->position());
        const QPointF point = m_hoveredMarker->coords();
        m_grabOffsetX = static_cast<float>(grabbed.x() - point.x());
        m_grabOffsetY = static_cast<float>(grabbed.y() - point.y());
        m_hoveredMarker->startMoving();
        m_dragging = true;
    } else if (event->buttons() & Qt::MiddleButton) {
        m_valueAxisFitted = !m_valueAxisFitted;
        if (m_valueAxisFitted) {
            plot->graph(CurveGraph)->rescaleAxes();
        } else {
            setMirroredRange(plot->yAxis, plot->yAxis2, m_valueMin, m_valueMax);
        }
        plot->replot();
    }
}

void CurveEditor::mouseRelease(QMouseEvent *)
{
    if (m_hoveredMarker)
        m_hoveredMarker->stopMoving();
    m_dragging = false;
}
