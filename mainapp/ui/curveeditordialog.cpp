#include "curveeditordialog.h"
#include "ui_curveeditordialog.h"

CurveEditorDialog::CurveEditorDialog(QWidget *parent) : QDialog(parent), m_ui(new Ui::CurveEditorDialog)
{
    m_ui->setupUi(this);
    connect(m_ui->curveEditor, &CurveEditor::curveChanged, this, &CurveEditorDialog::curveChanged);
}

CurveEditorDialog::~CurveEditorDialog()
{
    delete m_ui;
}

CurveEditor *CurveEditorDialog::curveEditor() const
{
    return m_ui->curveEditor;
}
