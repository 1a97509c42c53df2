#include "threeaxiseffectswidget.h"
#include "ui_threeaxiseffectswidget.h"

#include "profilefile.h"
#include "profiletemplates.h"

#include <QStandardItemModel>

#include <algorithm>

namespace {

constexpr int SourceCount = Telemetry::SourceCount;

} // namespace

ThreeAxisEffectsWidget::ThreeAxisEffectsWidget(QWidget *parent)
    : QWidget(parent), m_ui(new Ui::ThreeAxisEffectsWidget), m_profileListModel(new QStandardItemModel(this)),
      m_profileDirectory(profileDirectoryName())
{
    m_ui->setupUi(this);
    for (int source = 0; source < SourceCount; ++source)
        m_ui->game_combo->addItem(sourceName(source));
    m_ui->profile_combo->setModel(m_profileListModel);

    resetProfile(m_currentProfile);
    m_ui->ailerons_effects_widget->setSettings(m_currentProfile.settings[0]);
    m_ui->elevator_effects_widget->setSettings(m_currentProfile.settings[1]);
    m_ui->rudder_effects_widget->setSettings(m_currentProfile.settings[2]);
    checkEnabledEffects();

    if (!m_profileDirectory.exists())
        QDir().mkpath(profileDirectoryName());
    readProfiles();
    m_ui->delete_profile->setFocus();

    for (AxisEffectsWidget *axis :
         {m_ui->ailerons_effects_widget, m_ui->elevator_effects_widget, m_ui->rudder_effects_widget}) {
        connect(axis, &AxisEffectsWidget::moderateSettingsChange, this,
                [this] { emit moderateValueChange(m_currentProfile.settings); });
        connect(axis, &AxisEffectsWidget::suddenSettingsChange, this,
                [this] { emit suddenValueChange(m_currentProfile.settings); });
    }
    connect(m_ui->profile_comment_input, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_currentProfile.metadata.comment = text; });
    connect(m_ui->flight_module_input, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_currentProfile.metadata.flight_module = text; });
    connect(m_ui->game_combo, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_currentProfile.metadata.flight_data_source = std::max(index, 0);
        checkEnabledEffects();
    });
}

ThreeAxisEffectsWidget::~ThreeAxisEffectsWidget()
{
    delete m_ui;
}

QSet<int> ThreeAxisEffectsWidget::allowedEffects(int source)
{
    // By EffectsProfile::EffectType. MSFS has no DirectX force feedback of its
    // own (3); War Thunder and Condor report no on-ground state (4, 9), and
    // Condor no gear or airbrakes (6, 8). The IL-2 and Condor shakers (10,
    // 11) compute nothing and are never offered. X-Plane feeds what MSFS
    // does; on Linux it sends no DirectX force feedback to scale (3). Trim
    // following (16) is for the simulators whose own force feedback does not
    // follow the trim (MSFS, X-Plane) and for trying it by hand (none).
    static const QList<int> table[SourceCount] = {
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14, 16}, // none
        {0, 1, 2, 4, 5, 6, 7, 8, 9, 12, 13, 14, 16},    // MSFS
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14},     // DCS
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14},     // IL-2
        {0, 1, 2, 3, 5, 6, 7, 8, 12, 13, 14},           // War Thunder
        {0, 1, 2, 3, 5, 7, 12, 13, 14},                 // Condor 2
        {0, 1, 2, 4, 5, 6, 7, 8, 9, 12, 13, 14, 16},    // X-Plane
    };
    if (source < 0 || source >= SourceCount)
        source = 0;
    const QList<int> &ids = table[source];
    return QSet<int>(ids.cbegin(), ids.cend());
}

QString ThreeAxisEffectsWidget::profileDisplayText(const EffectsProfileMetadata &metadata)
{
    QString text;
    if (!metadata.flight_module.isEmpty())
        text = QStringLiteral("%1 ").arg(metadata.flight_module);
    else if (!metadata.comment.isEmpty())
        text = QStringLiteral("%1 ").arg(metadata.comment);
    if (!metadata.flight_module.isEmpty() && !metadata.comment.isEmpty() &&
        metadata.comment != metadata.flight_module)
        text += QStringLiteral("(%1)").arg(metadata.comment);
    if (metadata.flight_data_source != 0)
        text += QStringLiteral("[%1]").arg(sourceName(metadata.flight_data_source));
    return text;
}

QString ThreeAxisEffectsWidget::profilePath(const QString &fileName) const
{
    return profileDirectoryName() + QLatin1Char('/') + fileName;
}

void ThreeAxisEffectsWidget::readProfiles()
{
    m_profileIndex.clear();
    m_profileListModel->clear();

    struct Row
    {
        QString text;
        QString fileName;
    };
    QList<Row> rows;
    const QStringList files = m_profileDirectory.entryList(QDir::Files, QDir::Unsorted);
    for (const QString &fileName : files) {
        EffectsProfile profile;
        readProfileFile(profile, profilePath(fileName));
        rows.append({profileDisplayText(profile.metadata), fileName});
        m_profileIndex.insert(fileName, profile.metadata);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.text < b.text; });
    for (const Row &row : std::as_const(rows)) {
        auto *item = new QStandardItem(row.text);
        item->setData(row.fileName, FileNameRole);
        m_profileListModel->appendRow(item);
    }
    m_ui->profile_combo->setCurrentIndex(-1);
    if (m_unmatchedSource != Telemetry::TELEMETRY_SOURCE_NONE &&
        hasProfileFor(m_unmatchedSource, m_unmatchedModule))
        setUnmatchedAircraft(Telemetry::TELEMETRY_SOURCE_NONE, QString());
}

void ThreeAxisEffectsWidget::on_profile_combo_activated(int index)
{
    const QString fileName = m_profileListModel->index(index, 0).data(FileNameRole).toString();
    readProfileFile(m_currentProfile, profilePath(fileName));
    emit suddenValueChange(m_currentProfile.settings);
    redraw();
}

void ThreeAxisEffectsWidget::on_save_profile_clicked()
{
    const QString fileName = profileFileName(m_currentProfile.metadata);
    writeProfileFile(m_currentProfile, profilePath(fileName));
    readProfiles();
    highlightProfile(fileName);
}

void ThreeAxisEffectsWidget::on_delete_profile_clicked()
{
    const QString fileName = m_ui->profile_combo->currentData(FileNameRole).toString();
    // Only a plain name from the list: never a path out of the profile directory.
    if (!fileName.isEmpty() && !fileName.contains(QLatin1Char('/')) && m_profileIndex.contains(fileName))
        m_profileDirectory.remove(fileName);
    readProfiles();
    resetProfile(m_currentProfile);
    redraw();
}

void ThreeAxisEffectsWidget::redraw()
{
    checkEnabledEffects();
    m_ui->game_combo->setCurrentIndex(m_currentProfile.metadata.flight_data_source);
    m_ui->profile_comment_input->setText(m_currentProfile.metadata.comment);
    m_ui->flight_module_input->setText(m_currentProfile.metadata.flight_module);
}

void ThreeAxisEffectsWidget::checkEnabledEffects()
{
    const QSet<int> elevator = allowedEffects(m_currentProfile.metadata.flight_data_source);
    QSet<int> others = elevator;
    others.remove(EffectsProfile::EFFECT_TYPE_ELEVATOR_WEIGHT);
    m_ui->ailerons_effects_widget->setEnabledEffects(others);
    m_ui->elevator_effects_widget->setEnabledEffects(elevator);
    m_ui->rudder_effects_widget->setEnabledEffects(others);
}

int ThreeAxisEffectsWidget::rowOfFileName(const QString &fileName) const
{
    for (int row = 0; row < m_profileListModel->rowCount(); ++row) {
        const QString name = m_profileListModel->index(row, 0).data(FileNameRole).toString();
        if (name.compare(fileName, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

void ThreeAxisEffectsWidget::highlightProfile(const QString &fileName)
{
    m_ui->profile_combo->setCurrentIndex(rowOfFileName(fileName));
}

void ThreeAxisEffectsWidget::selectProfileByFileName(const QString &fileName)
{
    const int row = rowOfFileName(fileName);
    if (row < 0)
        return;
    m_ui->profile_combo->setCurrentIndex(row);
    on_profile_combo_activated(row);
}

void ThreeAxisEffectsWidget::activateMatchingProfile(Telemetry::Source source, const QString &flightModule)
{
    if (source == Telemetry::TELEMETRY_SOURCE_NONE || !m_autoActivationEnabled) {
        setUnmatchedAircraft(Telemetry::TELEMETRY_SOURCE_NONE, QString());
        return;
    }
    for (auto it = m_profileIndex.cbegin(); it != m_profileIndex.cend(); ++it) {
        if (it.value().flight_data_source == source && it.value().flight_module == flightModule) {
            setUnmatchedAircraft(Telemetry::TELEMETRY_SOURCE_NONE, QString());
            selectProfileByFileName(it.key());
            return;
        }
    }
    setUnmatchedAircraft(source, flightModule);
}

bool ThreeAxisEffectsWidget::hasProfileFor(Telemetry::Source source, const QString &flightModule) const
{
    return std::any_of(
        m_profileIndex.cbegin(), m_profileIndex.cend(), [&](const EffectsProfileMetadata &metadata) {
            return metadata.flight_data_source == source && metadata.flight_module == flightModule;
        });
}

// Said after every activation, even when unchanged: a notice that was put
// away when the telemetry ended shows again at the next detection.
void ThreeAxisEffectsWidget::setUnmatchedAircraft(Telemetry::Source source, const QString &flightModule)
{
    m_unmatchedSource = source;
    m_unmatchedModule = flightModule;
    emit unmatchedAircraftChanged(source, flightModule);
}

bool ThreeAxisEffectsWidget::createProfileFromTemplate(const QString &templatePath, Telemetry::Source source,
                                                       const QString &flightModule, QString *error)
{
    const EffectsProfileMetadata metadata{source, flightModule, QString()};
    EffectsProfile profile;
    if (!ProfileTemplates::profileFromTemplate(profile, templatePath, metadata, allowedEffects(source),
                                               error))
        return false;
    const QString fileName = profileFileName(metadata);
    if (!writeNewProfileFile(profile, profilePath(fileName), error))
        return false;
    readProfiles();
    selectProfileByFileName(fileName);
    return true;
}

void ThreeAxisEffectsWidget::enableProfileActivation()
{
    m_autoActivationEnabled = true;
}

void ThreeAxisEffectsWidget::disableProfileActivation()
{
    m_autoActivationEnabled = false;
    // The pilot now chooses profiles by hand: no aircraft is left unmatched.
    if (m_unmatchedSource != Telemetry::TELEMETRY_SOURCE_NONE)
        setUnmatchedAircraft(Telemetry::TELEMETRY_SOURCE_NONE, QString());
}
