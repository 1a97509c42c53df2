#pragma once

#include "effectssettings.h"

#include <QWidget>

class QCustomPlot;

namespace Ui {
class CurveView;
}

// Small preview of a PointCurve. It highlights while the mouse is over it
// and reports presses with pressed(); opening an editor is up to the owner.
class CurveView : public QWidget
{
    Q_OBJECT

public:
    explicit CurveView(QWidget *parent = nullptr);
    ~CurveView() override;

    // The curve to show; not owned. Redraws at once.
    void setCurve(const PointCurve *curve);
    void setLabels(const QString &xLabel, const QString &yLabel);
    QCustomPlot *plot() const;

signals:
    void pressed();

public slots:
    void redraw();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Ui::CurveView *m_ui;
    const PointCurve *m_curve = nullptr;
};
