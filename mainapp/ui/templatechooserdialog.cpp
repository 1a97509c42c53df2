#include "templatechooserdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TemplateChooserDialog::TemplateChooserDialog(const QList<ProfileTemplates::Template> &templates,
                                             const QString &aircraft, QWidget *parent)
    : QDialog(parent), m_templates(templates), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("template_chooser"));
    setWindowTitle(tr("Create profile from template"));
    auto *layout = new QVBoxLayout(this);
    auto *question = new QLabel(
        tr("Start the profile for %1 from the template that fits the aircraft. It is saved in the profile "
           "list and loaded at once; tune it in the editor from there.")
            .arg(aircraft),
        this);
    question->setWordWrap(true);
    layout->addWidget(question);

    m_list->setObjectName(QStringLiteral("template_list"));
    m_list->setWordWrap(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setSpacing(2);
    for (const ProfileTemplates::Template &entry : templates) {
        auto *item = new QListWidgetItem(
            entry.description.isEmpty() ? entry.kind
                                        : QStringLiteral("%1 \u2014 %2").arg(entry.kind, entry.description),
            m_list);
        item->setToolTip(entry.path);
    }
    m_list->setCurrentRow(0);
    layout->addWidget(m_list);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *create = buttons->button(QDialogButtonBox::Ok);
    create->setText(tr("Create profile"));
    create->setEnabled(!templates.isEmpty());
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(620, 340);
}

ProfileTemplates::Template TemplateChooserDialog::chosenTemplate() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < m_templates.size() ? m_templates.at(row) : ProfileTemplates::Template();
}
