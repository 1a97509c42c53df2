#include "noprofilenotice.h"

#include "profilefile.h"
#include "profiletemplates.h"
#include "templatechooserdialog.h"
#include "threeaxiseffectswidget.h"
#include "uilogging.h"

#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <utility>

namespace {

// As the profile list names it: "F-16C_50 [DCS]".
QString aircraftText(Telemetry::Source source, const QString &flightModule)
{
    const QString text = ThreeAxisEffectsWidget::profileDisplayText({source, flightModule, QString()});
    return flightModule.isEmpty() ? NoProfileNotice::tr("an unnamed aircraft %1").arg(text) : text;
}

} // namespace

NoProfileNotice::NoProfileNotice(QMainWindow *window, ThreeAxisEffectsWidget *effects,
                                 QStringList templateFolders)
    : QObject(window), m_window(window), m_effects(effects), m_templateFolders(std::move(templateFolders)),
      m_label(new QLabel(window)), m_button(new QPushButton(tr("Create from template\u2026"), window))
{
    m_label->setObjectName(QStringLiteral("no_profile_notice"));
    m_button->setObjectName(QStringLiteral("create_from_template"));
    m_button->setToolTip(tr("Make a profile for this aircraft from a starter template, save it and load it"));
    window->statusBar()->addWidget(m_label);
    window->statusBar()->addWidget(m_button);
    m_label->hide();
    m_button->hide();
    connect(effects, &ThreeAxisEffectsWidget::unmatchedAircraftChanged, this, &NoProfileNotice::showFor);
    connect(m_button, &QPushButton::clicked, this, &NoProfileNotice::offerTemplates);
}

NoProfileNotice::~NoProfileNotice() = default;

TemplateChooserDialog *NoProfileNotice::chooser() const
{
    return m_chooser;
}

QMessageBox *NoProfileNotice::message() const
{
    return m_message;
}

void NoProfileNotice::showFor(Telemetry::Source source, const QString &flightModule)
{
    if (source == Telemetry::TELEMETRY_SOURCE_NONE) {
        hide();
        return;
    }
    m_source = source;
    m_flightModule = flightModule;
    m_label->setText(tr("No profile for %1").arg(aircraftText(source, flightModule)));
    m_label->show();
    m_button->show();
}

void NoProfileNotice::hide()
{
    m_source = Telemetry::TELEMETRY_SOURCE_NONE;
    m_label->hide();
    m_button->hide();
}

void NoProfileNotice::offerTemplates()
{
    if (m_source == Telemetry::TELEMETRY_SOURCE_NONE || m_chooser)
        return;
    const QList<ProfileTemplates::Template> templates = ProfileTemplates::find(m_templateFolders, m_source);
    if (templates.isEmpty()) {
        say(tr("No profile templates were found."),
            tr("Looked in %1. KESTROX_TEMPLATES_DIR names the folder that holds them.")
                .arg(m_templateFolders.join(QStringLiteral(", "))));
        return;
    }
    m_chooser = new TemplateChooserDialog(templates, aircraftText(m_source, m_flightModule), m_window);
    m_chooser->setAttribute(Qt::WA_DeleteOnClose);
    m_chooser->setWindowModality(Qt::WindowModal);
    // The aircraft asked about, whatever the simulator reports meanwhile.
    connect(
        m_chooser, &QDialog::accepted, this,
        [this, dialog = m_chooser.data(), source = m_source, module = m_flightModule] {
            const ProfileTemplates::Template chosen = dialog->chosenTemplate();
            if (chosen.path.isEmpty())
                return;
            const QString fileName = profileFileName({source, module, QString()});
            QString error;
            if (m_effects->createProfileFromTemplate(chosen.path, source, module, &error)) {
                qCInfo(lcUi).noquote() << "profile" << fileName << "created from the template" << chosen.kind;
                return;
            }
            if (QFileInfo::exists(profileDirectoryName() + QLatin1Char('/') + fileName)) {
                say(tr("No profile was created: a profile file named %1 already exists.").arg(fileName),
                    tr("Profiles are never overwritten. Load it from the profile list to see what it holds; "
                       "to make a profile for %1, rename or move that file first.")
                        .arg(aircraftText(source, module)));
            } else {
                say(tr("No profile was created."), error);
            }
        });
    m_chooser->open();
}

void NoProfileNotice::say(const QString &text, const QString &details)
{
    if (m_message)
        m_message->close();
    m_message =
        new QMessageBox(QMessageBox::Warning, tr("Create from template"), text, QMessageBox::Ok, m_window);
    m_message->setObjectName(QStringLiteral("create_from_template_failed"));
    m_message->setInformativeText(details);
    m_message->setAttribute(Qt::WA_DeleteOnClose);
    m_message->setWindowModality(Qt::WindowModal);
    m_message->open();
}
