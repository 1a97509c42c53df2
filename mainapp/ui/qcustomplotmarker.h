#pragma once

#include "qcustomplotheader.h"

// Round handle on one point of an edited curve: a 10 x 10 pixel circle
// anchored to a tracer that sits on the point in plot coordinates. The
// tracer draws a crosshair while the point is being moved. Both items belong
// to the plot and are deleted with it.
class QCustomPlotMarker : public QCPItemEllipse
{
    Q_OBJECT

public:
    QCustomPlotMarker(QCustomPlot *parentPlot, int index);

    int index() const { return m_index; }
    QCPItemTracer *tracer() const { return m_tracer; }
    // The point the marker sits on, in plot coordinates.
    QPointF coords() const { return m_tracer->position->coords(); }

    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details = nullptr) const override;

public slots:
    void startHower();
    void stopHower();
    void startMoving();
    void stopMoving();
    void moveTo(float x, float y);

private:
    QCPItemTracer *m_tracer;
    int m_index;
    QColor m_normalColor = Qt::white;
    QColor m_hoverColor = Qt::red;
};
