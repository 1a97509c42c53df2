#pragma once

#include "livefigures.h"

#include <QWidget>

#include <array>

class QCustomPlot;
class QLabel;
class QPushButton;
class QTimer;

// The "Live" tab: per axis the forces the worker wrote to the devices over
// the last 10 s with the control position, and the timing figures of the
// last second. It draws only while visible and not paused.
class LiveViewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit LiveViewWidget(QWidget *parent = nullptr);

    const LiveFigures &figures() const { return m_figures; }
    QCustomPlot *plot(int axis) const { return m_plots[std::size_t(axis)]; }
    bool isPaused() const { return m_paused; }

public slots:
    void addBatch(const LiveBatch &batch);

signals:
    // The tab came into view or went out of it.
    void shownChanged(bool shown);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void redraw();
    void updateFigures();

    LiveFigures m_figures;
    std::array<QCustomPlot *, 3> m_plots{};
    std::array<QLabel *, 3> m_notes{};
    QLabel *m_telemetry;
    QLabel *m_latency;
    QLabel *m_output;
    QLabel *m_failures;
    QPushButton *m_pause;
    QTimer *m_figuresTimer;
    bool m_paused = false;
};
