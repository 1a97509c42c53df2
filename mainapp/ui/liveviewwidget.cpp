#include "liveviewwidget.h"

#include "qcustomplotheader.h"
#include "statuswidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char *const axisTitles[3] = {"Ailerons", "Elevator", "Rudder"};

void setData(QCPGraph *graph, const QList<double> &time, const QList<double> &values)
{
    graph->setData(QVector<double>(time.cbegin(), time.cend()), QVector<double>(values.cbegin(), values.cend()),
                   true);
}

} // namespace

LiveViewWidget::LiveViewWidget(QWidget *parent)
    : QWidget(parent), m_telemetry(new QLabel(this)), m_latency(new QLabel(this)), m_output(new QLabel(this)),
      m_failures(new QLabel(this)), m_pause(new QPushButton(tr("Pause"), this)), m_figuresTimer(new QTimer(this))
{
    auto *layout = new QGridLayout(this);
    for (int axis = 0; axis < 3; ++axis) {
        auto *plot = new QCustomPlot(this);
        plot->setObjectName(QStringLiteral("live_plot_%1").arg(axis));
        plot->setMinimumHeight(160);
        plot->plotLayout()->insertRow(0);
        plot->plotLayout()->addElement(0, 0, new QCPTextElement(plot, tr(axisTitles[axis])));
        const std::array<std::pair<QString, QColor>, 5> graphs = {{{tr("Steady force"), QColor(31, 119, 180)},
                                                                   {tr("Spring"), QColor(44, 160, 44)},
                                                                   {tr("Periodic"), QColor(214, 39, 40)},
                                                                   {tr("Position"), QColor(127, 127, 127)},
                                                                   {tr("Centre (trim)"), QColor(148, 103, 189)}}};
        for (int g = 0; g < 5; ++g) {
            // Forces on the left axis; the position and the springs' centre on the right.
            QCPGraph *graph = g < 3 ? plot->addGraph() : plot->addGraph(plot->xAxis, plot->yAxis2);
            graph->setName(graphs[std::size_t(g)].first);
            graph->setPen(QPen(graphs[std::size_t(g)].second, g >= 3 ? 1.0 : 1.5,
                               g == 3 ? Qt::DashLine : (g == 4 ? Qt::DotLine : Qt::SolidLine)));
        }
        plot->xAxis->setLabel(tr("Time (s)"));
        plot->yAxis->setLabel(tr("Force (kg)"));
        plot->yAxis2->setLabel(tr("Position (−1 to 1)"));
        plot->yAxis2->setVisible(true);
        plot->yAxis2->setRange(-1.05, 1.05);
        plot->yAxis->setRange(-10, 10);
        plot->legend->setVisible(axis == 0);
        m_plots[std::size_t(axis)] = plot;
        layout->addWidget(plot, axis, 0);

        auto *note = new QLabel(axis < 2 ? tr("No joystick connected") : tr("No rudder connected"), plot);
        note->setObjectName(QStringLiteral("live_note_%1").arg(axis));
        note->setStyleSheet(QStringLiteral("color: gray; background: transparent;"));
        note->move(60, 40);
        m_notes[std::size_t(axis)] = note;
    }

    auto *side = new QVBoxLayout;
    for (QLabel *label : {m_telemetry, m_latency, m_output, m_failures}) {
        label->setWordWrap(true);
        side->addWidget(label);
    }
    m_telemetry->setObjectName(QStringLiteral("live_telemetry"));
    m_latency->setObjectName(QStringLiteral("live_latency"));
    m_output->setObjectName(QStringLiteral("live_output"));
    m_failures->setObjectName(QStringLiteral("live_failures"));
    m_pause->setObjectName(QStringLiteral("live_pause"));
    m_pause->setCheckable(true);
    side->addWidget(m_pause);
    side->addStretch();
    layout->addLayout(side, 0, 1, 3, 1);
    layout->setColumnStretch(0, 1);

    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_paused = paused;
        if (!paused)
            redraw();
    });
    m_figuresTimer->setInterval(500);
    connect(m_figuresTimer, &QTimer::timeout, this, &LiveViewWidget::updateFigures);
    m_figuresTimer->start();
    updateFigures();
}

void LiveViewWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit shownChanged(true);
}

void LiveViewWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit shownChanged(false);
}

void LiveViewWidget::addBatch(const LiveBatch &batch)
{
    m_figures.add(batch);
    // The data keep coming while paused or hidden; only drawing waits.
    if (isVisible() && !m_paused)
        redraw();
}

void LiveViewWidget::redraw()
{
    for (int axis = 0; axis < 3; ++axis) {
        const LiveFigures::Series &series = m_figures.axis(axis);
        QCustomPlot *plot = m_plots[std::size_t(axis)];
        setData(plot->graph(0), series.time, series.force);
        setData(plot->graph(1), series.time, series.spring);
        setData(plot->graph(2), series.time, series.periodic);
        setData(plot->graph(3), series.time, series.position);
        setData(plot->graph(4), series.time, series.centre);
        m_notes[std::size_t(axis)]->setVisible(!m_figures.hasDevice(axis));
        if (!series.time.isEmpty()) {
            const double newest = series.time.last();
            plot->xAxis->setRange(newest - double(LiveFigures::WindowMs) / 1000.0, newest);
            bool found = false;
            QCPRange range = plot->graph(0)->getValueRange(found);
            for (int g = 1; g < 3; ++g) {
                bool more = false;
                const QCPRange r = plot->graph(g)->getValueRange(more);
                if (more)
                    range.expand(r);
                found = found || more;
            }
            if (found)
                plot->yAxis->setRange(std::min(range.lower, -1.0) * 1.1, std::max(range.upper, 1.0) * 1.1);
        }
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void LiveViewWidget::updateFigures()
{
    if (!isVisible() && m_telemetry->text().size() > 0)
        return;
    const LiveFigures::Second second = m_figures.lastSecond();
    const LiveFigures::Latency latency = m_figures.latency();
    const Telemetry::Source source = m_figures.source();
    m_telemetry->setText(source == Telemetry::TELEMETRY_SOURCE_NONE
                             ? tr("Telemetry: none")
                             : tr("Telemetry: %1, %2 records/s").arg(StatusWidget::sourceText(source)).arg(second.records));
    m_latency->setText(latency.meanMs < 0
                           ? tr("Latency: no telemetry reached a device")
                           : tr("Latency, input to report, last 10 s: mean %1 ms, 99th percentile %2 ms, max %3 ms")
                                 .arg(latency.meanMs, 0, 'f', 1)
                                 .arg(latency.p99Ms)
                                 .arg(latency.maxMs));
    m_output->setText(tr("Output: %1 ticks/s, longest interval %2 ms").arg(second.ticks).arg(second.tickIntervalMaxMs));
    m_failures->setText(tr("Failed report writes: %1\nValues bounded before the motor: %2")
                            .arg(m_figures.failedWrites())
                            .arg(m_figures.boundedValues()));
}
