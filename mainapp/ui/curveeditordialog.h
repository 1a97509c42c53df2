#pragma once

#include <QDialog>

class CurveEditor;

namespace Ui {
class CurveEditorDialog;
}

// Modal frame around a CurveEditor with Ok and Cancel. What Cancel undoes is
// up to the caller, who also sets the window title.
class CurveEditorDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CurveEditorDialog(QWidget *parent = nullptr);
    ~CurveEditorDialog() override;

    CurveEditor *curveEditor() const;

signals:
    void curveChanged();

private:
    Ui::CurveEditorDialog *m_ui;
};
