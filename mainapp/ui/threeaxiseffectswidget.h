#pragma once

#include "effectsprofile.h"
#include "telemetry.h"

#include <QDir>
#include <QMap>
#include <QSet>
#include <QString>
#include <QWidget>

class QStandardItemModel;

namespace Ui {
class ThreeAxisEffectsWidget;
}

// The effects page: edits one profile for the three axes, lists, loads,
// saves and deletes the profile files of "effect_profiles", offers only the
// effects that suit the profile's simulator, and loads a matching profile by
// itself when a simulator and aircraft are detected.
class ThreeAxisEffectsWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FileNameRole = Qt::UserRole + 1;

    explicit ThreeAxisEffectsWidget(QWidget *parent = nullptr);
    ~ThreeAxisEffectsWidget() override;

    // The effect ids a profile of this source may use (the elevator's set).
    static QSet<int> allowedEffects(int source);
    // How a profile is listed: "module (comment)[SOURCE]" with absent parts left out.
    static QString profileDisplayText(const EffectsProfileMetadata &metadata);

    const EffectsProfile &currentProfile() const { return m_currentProfile; }
    bool isProfileActivationEnabled() const { return m_autoActivationEnabled; }

    // Loads the first profile, by file name, of this source and flight
    // module, while automatic activation is on.
    void activateMatchingProfile(Telemetry::Source source, const QString &flightModule);
    void enableProfileActivation();
    void disableProfileActivation();

    // Makes, saves and loads the profile of this aircraft from a template, as
    // if the user had entered the metadata and pressed "Save profile"; its
    // effects are those the source allows. Never replaces a file: false, with
    // the reason, when the profile's file name is taken or cannot be written.
    bool createProfileFromTemplate(const QString &templatePath, Telemetry::Source source,
                                   const QString &flightModule, QString *error);

signals:
    void suddenValueChange(EffectsSettings settings);
    void moderateValueChange(EffectsSettings settings);
    // After each automatic activation: the reported aircraft for which no
    // profile was found, or source NONE when a profile was found, the source
    // is none, or activation is off. NONE again once the list holds a profile
    // for that aircraft, or when activation is switched off.
    void unmatchedAircraftChanged(Telemetry::Source source, QString flightModule);

public slots:
    void on_profile_combo_activated(int index);
    void on_save_profile_clicked();
    void on_delete_profile_clicked();
    void readProfiles();
    void redraw();
    void checkEnabledEffects();

private:
    void highlightProfile(const QString &fileName);
    void selectProfileByFileName(const QString &fileName);
    int rowOfFileName(const QString &fileName) const;
    bool hasProfileFor(Telemetry::Source source, const QString &flightModule) const;
    void setUnmatchedAircraft(Telemetry::Source source, const QString &flightModule);
    QString profilePath(const QString &fileName) const;

    Ui::ThreeAxisEffectsWidget *m_ui;
    EffectsProfile m_currentProfile;
    QMap<QString, EffectsProfileMetadata> m_profileIndex;
    QStandardItemModel *m_profileListModel;
    bool m_autoActivationEnabled = true;
    QDir m_profileDirectory;
    Telemetry::Source m_unmatchedSource = Telemetry::TELEMETRY_SOURCE_NONE;
    QString m_unmatchedModule;
};
