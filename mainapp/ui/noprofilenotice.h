#pragma once

#include "telemetry.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QLabel;
class QMainWindow;
class QMessageBox;
class QPushButton;
class TemplateChooserDialog;
class ThreeAxisEffectsWidget;

// Where the pilot looks, the window's status bar: "No profile for F-16C_50
// [DCS]" while automatic activation found no profile for the reported
// aircraft, with "Create from template…", which offers the templates and
// makes, saves and loads that aircraft's profile. Label "no_profile_notice",
// button "create_from_template"; nothing shows while no simulator reports.
class NoProfileNotice : public QObject
{
    Q_OBJECT

public:
    // Follows the effects page's activations; templates are looked for in
    // `templateFolders` at each click.
    NoProfileNotice(QMainWindow *window, ThreeAxisEffectsWidget *effects, QStringList templateFolders);
    ~NoProfileNotice() override;

    QLabel *label() const { return m_label; }
    QPushButton *button() const { return m_button; }
    // The open template chooser or message, if any.
    TemplateChooserDialog *chooser() const;
    QMessageBox *message() const;

public slots:
    // The aircraft without a profile; source NONE puts the notice away.
    void showFor(Telemetry::Source source, const QString &flightModule);
    void hide();

private:
    void offerTemplates();
    void say(const QString &text, const QString &details);

    QMainWindow *m_window;
    ThreeAxisEffectsWidget *m_effects;
    QStringList m_templateFolders;
    QLabel *m_label;
    QPushButton *m_button;
    Telemetry::Source m_source = Telemetry::TELEMETRY_SOURCE_NONE;
    QString m_flightModule;
    QPointer<TemplateChooserDialog> m_chooser;
    QPointer<QMessageBox> m_message;
};
