#pragma once

#include "profiletemplates.h"

#include <QDialog>

class QListWidget;

// Asks which template a new profile starts from: one row per template, the
// first (the one that suits the simulator) chosen. Built in code; object
// name "template_chooser", list "template_list".
class TemplateChooserDialog : public QDialog
{
    Q_OBJECT

public:
    // `aircraft` names the profile to make, as the profile list shows it.
    TemplateChooserDialog(const QList<ProfileTemplates::Template> &templates, const QString &aircraft,
                          QWidget *parent = nullptr);

    // The chosen template; empty path when none is chosen.
    ProfileTemplates::Template chosenTemplate() const;

private:
    QList<ProfileTemplates::Template> m_templates;
    QListWidget *m_list;
};
