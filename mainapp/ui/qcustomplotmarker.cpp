#include "qcustomplotmarker.h"

#include <cmath>

QCustomPlotMarker::QCustomPlotMarker(QCustomPlot *parentPlot, int index)
    : QCPItemEllipse(parentPlot), m_tracer(new QCPItemTracer(parentPlot)), m_index(index)
{
    m_tracer->setStyle(QCPItemTracer::tsNone);
    // Only the circle is looked up under the cursor, never the crosshair.
    m_tracer->setSelectable(false);

    for (QCPItemPosition *corner : {topLeft, bottomRight})
        corner->setType(QCPItemPosition::ptAbsolute);
    topLeft->setParentAnchor(m_tracer->position);
    bottomRight->setParentAnchor(m_tracer->position);
    topLeft->setCoords(-5, -5);
    bottomRight->setCoords(5, 5);

    // The end points sit on the plot's border; unclipped they stay whole and
    // can be grabbed from either side.
    setClipToAxisRect(false);
    setPen(QPen(Qt::black, 2));
    setBrush(m_normalColor);
}

double QCustomPlotMarker::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    const double distance = QCPItemEllipse::selectTest(pos, onlySelectable, details);
    // The ellipse's distance formula divides by zero at its exact centre and
    // gives NaN, which would make the middle pixel of a marker ungrabbable.
    if (std::isnan(distance))
        return 0.0;
    return distance;
}

void QCustomPlotMarker::startHower()
{
    setBrush(m_hoverColor);
    parentPlot()->replot();
}

void QCustomPlotMarker::stopHower()
{
    setBrush(m_normalColor);
    parentPlot()->replot();
}

void QCustomPlotMarker::startMoving()
{
    m_tracer->setStyle(QCPItemTracer::tsCrosshair);
    parentPlot()->replot();
}

void QCustomPlotMarker::stopMoving()
{
    m_tracer->setStyle(QCPItemTracer::tsNone);
    parentPlot()->replot();
}

void QCustomPlotMarker::moveTo(float x, float y)
{
    m_tracer->position->setCoords(x, y);
    parentPlot()->replot();
}
