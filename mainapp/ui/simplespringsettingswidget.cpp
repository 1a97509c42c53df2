#include "simplespringsettingswidget.h"
#include "ui_simplespringsettingswidget.h"

#include "curveeditor.h"
#include "curveeditordialog.h"

SimpleSpringSettingsWidget::SimpleSpringSettingsWidget(QWidget *parent)
    : EffectSettingsPanel(parent), m_ui(new Ui::SimpleSpringSettingsWidget)
{
    m_ui->setupUi(this);
    connect(m_ui->simple_effect_settings_widget, &SimpleEffectSettingsWidget::settingsChanged, this,
            &SimpleSpringSettingsWidget::settingsChanged);
    connect(m_ui->curveView, &CurveView::pressed, this, &SimpleSpringSettingsWidget::editCurve);
}

SimpleSpringSettingsWidget::~SimpleSpringSettingsWidget()
{
    delete m_ui;
}

void SimpleSpringSettingsWidget::setSettings(CurveSpringSettings *settings)
{
    m_ui->simple_effect_settings_widget->setSettings(settings);
    m_ui->curveView->setCurve(settings ? &settings->curve : nullptr);
    bindBlock(settings);
}

void SimpleSpringSettingsWidget::refresh()
{
    m_ui->simple_effect_settings_widget->refresh();
    m_ui->curveView->redraw();
}

void SimpleSpringSettingsWidget::setTitle(const QString &title)
{
    m_title = title;
}

void SimpleSpringSettingsWidget::setXRange(float min, float max)
{
    m_xMin = min;
    m_xMax = max;
}

void SimpleSpringSettingsWidget::setYRange(float min, float max)
{
    m_yMin = min;
    m_yMax = max;
}

void SimpleSpringSettingsWidget::setLabels(const QString &xLabel, const QString &yLabel)
{
    m_ui->curveView->setLabels(xLabel, yLabel);
}

void SimpleSpringSettingsWidget::editCurve()
{
    CurveEditorDialog dialog(this);
    dialog.setWindowTitle(m_title);
    dialog.curveEditor()->setXRange(m_xMin, m_xMax);
    dialog.curveEditor()->setYRange(m_yMin, m_yMax);
    // Every drag step reaches the output loop at once.
    connect(&dialog, &CurveEditorDialog::curveChanged, this, &SimpleSpringSettingsWidget::settingsChanged);

    CurveSpringSettings *spring = settings();
    if (spring) {
        m_savedCurve.points = spring->curve.points;
        dialog.curveEditor()->setCurve(&spring->curve);
    }
    if (dialog.exec() == QDialog::Rejected && spring) {
        spring->curve.setPoints(m_savedCurve.points);
        emit settingsChanged();
    }
    m_ui->curveView->redraw();
}
