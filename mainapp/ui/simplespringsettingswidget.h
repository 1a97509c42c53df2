#pragma once

#include "effectsettingspanel.h"

namespace Ui {
class SimpleSpringSettingsWidget;
}

// A curve spring: its strength and a preview of its curve that opens the
// curve editor when pressed. Cancel in the editor puts back the points the
// curve had when the editor opened.
class SimpleSpringSettingsWidget : public EffectSettingsPanel
{
    Q_OBJECT

public:
    explicit SimpleSpringSettingsWidget(QWidget *parent = nullptr);
    ~SimpleSpringSettingsWidget() override;

    void setSettings(CurveSpringSettings *settings);
    void refresh() override;

    // Window title of the editor.
    void setTitle(const QString &title);
    QString title() const { return m_title; }
    // Key and value limits handed to the editor.
    void setXRange(float min, float max);
    void setYRange(float min, float max);
    void setLabels(const QString &xLabel, const QString &yLabel);

public slots:
    // Runs the curve editor modally on the bound curve.
    void editCurve();

private:
    CurveSpringSettings *settings() const { return blockAs<CurveSpringSettings>(); }

    Ui::SimpleSpringSettingsWidget *m_ui;
    QString m_title;
    float m_xMin = -100.0f;
    float m_xMax = 100.0f;
    float m_yMin = -100.0f;
    float m_yMax = 100.0f;
    PointCurve m_savedCurve;
};
