#include "curveview.h"
#include "ui_curveview.h"

namespace {

const QString kIdleStyle = QStringLiteral("#myObject { border: 1px solid rgb(200,200,200); }");
const QString kHoverStyle = QStringLiteral("#myObject { border: 1px solid rgb(0,120,215); }");

} // namespace

CurveView::CurveView(QWidget *parent) : QWidget(parent), m_ui(new Ui::CurveView)
{
    m_ui->setupUi(this);
    m_ui->frame->setObjectName(QStringLiteral("myObject"));
    m_ui->frame->setStyleSheet(kIdleStyle);

    QCustomPlot *plot = m_ui->customPlot;
    plot->addGraph()->setPen(QPen(Qt::black, 2));
    plot->xAxis2->setVisible(true);
    plot->yAxis2->setVisible(true);
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis, plot->xAxis2, plot->yAxis2})
        axis->setTickLabels(false);
    connect(plot, &QCustomPlot::mousePress, this, &CurveView::pressed);
}

CurveView::~CurveView()
{
    delete m_ui;
}

QCustomPlot *CurveView::plot() const
{
    return m_ui->customPlot;
}

void CurveView::setCurve(const PointCurve *curve)
{
    m_curve = curve;
    redraw();
}

void CurveView::setLabels(const QString &xLabel, const QString &yLabel)
{
    QCustomPlot *plot = m_ui->customPlot;
    plot->xAxis->setLabel(xLabel);
    plot->yAxis->setLabel(yLabel);
    plot->yAxis2->setLabel(yLabel);
    plot->replot();
}

void CurveView::redraw()
{
    QCustomPlot *plot = m_ui->customPlot;
    if (m_curve) {
        QVector<double> keys;
        QVector<double> values;
        for (const CurvePoint &point : m_curve->points) {
            keys.append(point.in);
            values.append(point.out);
        }
        plot->graph(0)->setData(keys, values);
    }
    plot->rescaleAxes();
    plot->replot();
}

void CurveView::enterEvent(QEnterEvent *event)
{
    m_ui->frame->setStyleSheet(kHoverStyle);
    m_ui->customPlot->setBackground(QColor(0, 120, 215, 20));
    m_ui->customPlot->replot();
    QWidget::enterEvent(event);
}

void CurveView::leaveEvent(QEvent *event)
{
    m_ui->frame->setStyleSheet(kIdleStyle);
    m_ui->customPlot->setBackground(Qt::white);
    m_ui->customPlot->replot();
    QWidget::leaveEvent(event);
}
