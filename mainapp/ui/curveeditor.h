#pragma once

#include "effectssettings.h"

#include <QVector>
#include <QWidget>

#include <array>

#include "qcustomplotheader.h"

class QCustomPlotMarker;

namespace Ui {
class CurveEditor;
}

// Plot of a PointCurve whose eleven points are dragged with the mouse. The
// curve is edited in place: every move of a point is written into it at once
// and announced with curveChanged(). A point keeps its key at least
// minimumGap away from its neighbours' keys; the end points keep theirs at
// the key limits; values stay inside the value limits.
class CurveEditor : public QWidget
{
    Q_OBJECT

public:
    explicit CurveEditor(QWidget *parent = nullptr);
    ~CurveEditor() override;

    // Attaches the curve to edit; once per editor. The editor does not own it.
    void setCurve(PointCurve *curve);
    // Limits of the horizontal axis and of the points' keys.
    void setXRange(float min, float max);
    // Limits of the vertical axis and of the points' values.
    void setYRange(float min, float max);

    QCustomPlot *plot() const;
    QCustomPlotMarker *marker(int index) const;

signals:
    void curveChanged();

public slots:
    void limitXRange(QCPRange range);
    void limitYRange(QCPRange range);
    void setGraphDataFromCurve();
    void mousePress(QMouseEvent *event);
    void mouseRelease(QMouseEvent *event);
    void mouseMove(QMouseEvent *event);

private:
    // The rounded cursor position in plot coordinates.
    QPointF plotPosition(const QPointF &pixel) const;
    // Stores new limits of one direction and shows them on its two axes.
    void setLimits(float &lowest, float &highest, float min, float max, QCPAxis *axis, QCPAxis *mirror);
    void rebuildZeroLine();

    Ui::CurveEditor *m_ui;
    PointCurve *m_curve = nullptr;
    QVector<double> m_keys;
    QVector<double> m_values;
    std::array<QCustomPlotMarker *, PointCurve::PointCount> m_markers{};
    QCustomPlotMarker *m_hoveredMarker = nullptr;
    bool m_dragging = false;
    bool m_valueAxisFitted = false;
    float m_grabOffsetX = 0.0f;
    float m_grabOffsetY = 0.0f;
    float m_keyMin = -100.0f;
    float m_keyMax = 100.0f;
    float m_valueMin = -100.0f;
    float m_valueMax = 100.0f;
    float m_minimumGap = 1.0f;
};
