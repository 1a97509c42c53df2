#include "fulleffectsettingswidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

EffectSettingsTypeDef sampleSettings(quint8 seed = 0)
{
    EffectSettingsTypeDef record;
    record.invertConstantForce = 1;
    record.directXSpringStrength = quint8(90 - seed);
    record.directXConstantStrength = 80;
    record.directXPeriodicStrength = 70;
    for (int a = 0; a < 2; ++a) {
        EffectAxisTypeDef &axis = record.axes[a];
        axis.totalEffectStrength = quint8(60 + a + seed);
        axis.softStopStrength = quint8(40 + a);
        axis.softStopRange = quint8(12 + a);
        axis.staticDampening = quint16(500 + a);
        axis.dynamicDampening = quint16(7 + a);
        axis.motionRange = quint16(2500 + a);
        axis.maxForce = float(33 + a);
        axis.softStopDampening = quint16(999 - a);
    }
    return record;
}

QStringList filesUnder(const QString &path)
{
    QStringList files;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestFullEffectSettingsWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordRoundTrip();
    void invertConstantForce_data();
    void invertConstantForce();
    void maxForce_data();
    void maxForce();
    void slidersFollowSpinBoxes_data();
    void slidersFollowSpinBoxes();
    void motionRangeResetsOnNewDevice();
    void visibilityPerDeviceType();
    void profileSaveApplyDelete();
    void profileListReadWhenBuilt();
    void refusedNames_data();
    void refusedNames();
    void applyIgnoresUnusableFiles_data();
    void applyIgnoresUnusableFiles();
    void linksAreNotFollowed();

private:
    template<typename T>
    T *element(const char *name) const
    {
        auto *found = m_page->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no element %s", name);
        return found;
    }
    QComboBox *profiles() const { return element<QComboBox>("profile_combo_box"); }
    QLabel *message() const { return element<QLabel>("profile_message_label"); }
    QString profilePath(const QString &name) const
    {
        return m_dir->filePath(QStringLiteral("device_effects_profiles/") + name);
    }
    void typeName(const QString &name) { profiles()->setEditText(name); }
    void click(const char *button) { element<QPushButton>(button)->click(); }

    QString m_startDir;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FullEffectSettingsWidget> m_page;
};

void TestFullEffectSettingsWidget::init()
{
    m_startDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_page = std::make_unique<FullEffectSettingsWidget>();
}

void TestFullEffectSettingsWidget::cleanup()
{
    m_page.reset();
    QDir::setCurrent(m_startDir);
    m_dir.reset();
}

void TestFullEffectSettingsWidget::recordRoundTrip()
{
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("device_effects_profiles"))).isDir());
    const EffectSettingsTypeDef sent = sampleSettings();
    m_page->setSettings(sent);
    QCOMPARE(element<QSpinBox>("static_dampening_axis0")->value(), 500);
    QCOMPARE(element<QSlider>("horizontalSlider_3")->value(), 61);
    QCOMPARE(element<QSlider>("direct_x_spring_slider")->value(), 90);
    EffectSettingsTypeDef back;
    m_page->getSettings(back);
    QCOMPARE(recordBytes(back).toHex(), recordBytes(sent).toHex());
}

void TestFullEffectSettingsWidget::invertConstantForce_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("sent");
    QTest::newRow("+1") << 0x01 << true << 0x01;
    QTest::newRow("-1") << 0xFF << false << 0xFF;
    QTest::newRow("0 is sent as -1") << 0x00 << false << 0xFF;
    QTest::newRow("2 reads as checked") << 0x02 << true << 0x01;
    QTest::newRow("-128") << 0x80 << false << 0xFF;
}

void TestFullEffectSettingsWidget::invertConstantForce()
{
    QFETCH(int, stored);
    QFETCH(bool, checked);
    QFETCH(int, sent);
    EffectSettingsTypeDef record = sampleSettings();
    record.invertConstantForce = qint8(quint8(stored));
    m_page->setSettings(record);
    QCOMPARE(element<QCheckBox>("invert_constant_force")->isChecked(), checked);
    EffectSettingsTypeDef back;
    m_page->getSettings(back);
    QCOMPARE(quint8(back.invertConstantForce), quint8(sent));
}

void TestFullEffectSettingsWidget::maxForce_data()
{
    QTest::addColumn<float>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("whole") << 37.0f << 37;
    QTest::newRow("truncated") << 37.9f << 37;
    QTest::newRow("negative") << -3.5f << 0;
    QTest::newRow("above range") << 1000.0f << 100;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 0;
}

void TestFullEffectSettingsWidget::maxForce()
{
    QFETCH(float, stored);
    QFETCH(int, shown);
    EffectSettingsTypeDef record = sampleSettings();
    record.axes[1].maxForce = stored;
    m_page->setSettings(record);
    QCOMPARE(element<QSpinBox>("max_force_axis1")->value(), shown);
    QCOMPARE(element<QSlider>("max_force_slider_axis1")->value(), shown);
    EffectSettingsTypeDef back;
    m_page->getSettings(back);
    QCOMPARE(float(back.axes[1].maxForce), float(shown));
}

void TestFullEffectSettingsWidget::slidersFollowSpinBoxes_data()
{
    QTest::addColumn<QString>("spinBox");
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("sliderMaximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("grownMaximum");
    QTest::newRow("static dampening grows") << "static_dampening_axis0"
                                            << "static_dampening_slider_axis0" << 100 << 300 << 300;
    QTest::newRow("dynamic dampening grows") << "dynamic_dampening_axis1"
                                             << "dynamic_dampening_slider_axis1" << 100 << 999 << 999;
    QTest::newRow("soft stop dampening grows") << "soft_stop_dampening_axis1"
                                               << "soft_stop_dampening_slider_axis1" << 100 << 101 << 101;
    QTest::newRow("motion range grows") << "motion_range_axis1"
                                        << "motion_range_slider_axis1" << 1080 << 1800 << 1800;
    QTest::newRow("within range") << "motion_range_axis0"
                                  << "motion_range_slider_axis0" << 1080 << 900 << 1080;
    QTest::newRow("mirrored") << "soft_stop_range_axis0"
                              << "soft_stop_range_slider_axis0" << 45 << 30 << 45;
    QTest::newRow("direct x") << "direct_x_periodic_strength"
                              << "direct_x_periodic_strength_slider" << 100 << 55 << 100;
}

void TestFullEffectSettingsWidget::slidersFollowSpinBoxes()
{
    QFETCH(QString, spinBox);
    QFETCH(QString, slider);
    QFETCH(int, sliderMaximum);
    QFETCH(int, value);
    QFETCH(int, grownMaximum);
    auto *box = m_page->findChild<QSpinBox *>(spinBox);
    auto *bar = m_page->findChild<QSlider *>(slider);
    QVERIFY(box && bar);
    QCOMPARE(bar->maximum(), sliderMaximum);

    box->setValue(value);
    QCOMPARE(bar->value(), value);
    QCOMPARE(bar->maximum(), grownMaximum);
    // The maximum only grows: a smaller value keeps it.
    box->setValue(value / 2);
    QCOMPARE(bar->maximum(), grownMaximum);

    bar->setValue(bar->minimum() + 1);
    QCOMPARE(box->value(), bar->minimum() + 1);
}

void TestFullEffectSettingsWidget::motionRangeResetsOnNewDevice()
{
    EffectSettingsTypeDef record = sampleSettings();
    record.axes[0].motionRange = 1800;
    m_page->setSettings(record);
    auto *slider = element<QSlider>("motion_range_slider_axis0");
    QCOMPARE(slider->maximum(), 1800);

    m_page->setDeviceType(int(DeviceType::Joystick));
    QCOMPARE(slider->maximum(), 1080);
    QCOMPARE(slider->value(), 1080);
    QCOMPARE(element<QSpinBox>("motion_range_axis0")->value(), 1080);
    QCOMPARE(element<QSpinBox>("motion_range_axis0")->maximum(), 9999);
}

void TestFullEffectSettingsWidget::visibilityPerDeviceType()
{
    auto *tabs = element<QTabWidget>("axis_tab");
    const QList<QWidget *> maxForceRows{
        element<QLabel>("max_force_label_axis0"),   element<QSlider>("max_force_slider_axis0"),
        element<QSpinBox>("max_force_axis0"),       element<QLabel>("max_force_label_axis1"),
        element<QSlider>("max_force_slider_axis1"), element<QSpinBox>("max_force_axis1")};
    const auto maxForceShown = [&] {
        return std::all_of(maxForceRows.cbegin(), maxForceRows.cend(),
                           [](QWidget *w) { return !w->isHidden(); });
    };
    const auto maxForceHidden = [&] {
        return std::all_of(maxForceRows.cbegin(), maxForceRows.cend(),
                           [](QWidget *w) { return w->isHidden(); });
    };

    m_page->setDeviceType(int(DeviceType::Wheel));
    QVERIFY(maxForceHidden());
    QVERIFY(tabs->isTabVisible(0));
    QVERIFY(!tabs->isTabVisible(1));

    m_page->setDeviceType(int(DeviceType::Joystick));
    QVERIFY(maxForceShown());
    QVERIFY(tabs->isTabVisible(1));

    m_page->setDeviceType(int(DeviceType::Rudder));
    QVERIFY(maxForceShown());
    QVERIFY(!tabs->isTabVisible(1));

    // A type the tool does not know leaves the tabs as they were.
    m_page->setDeviceType(7);
    QVERIFY(!tabs->isTabVisible(1));
    QVERIFY(!element<QWidget>("direct_x_group_box")->isHidden());
    QVERIFY(!element<QWidget>("soft_stop_range_axis1")->isHidden());
}

void TestFullEffectSettingsWidget::profileSaveApplyDelete()
{
    QSignalSpy applied(m_page.get(), &FullEffectSettingsWidget::profileApplied);
    const EffectSettingsTypeDef climb = sampleSettings(1);
    m_page->setSettings(climb);
    typeName(QStringLiteral("Climb out"));
    click("profile_save_button");

    QFile file(profilePath(QStringLiteral("Climb out")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().toHex(), recordBytes(climb).toHex());
    file.close();
    QCOMPARE(profiles()->count(), 1);
    QCOMPARE(profiles()->currentText(), QStringLiteral("Climb out"));
    QVERIFY(message()->isHidden());

    // Saving again under the same name replaces the file.
    const EffectSettingsTypeDef cruise = sampleSettings(2);
    m_page->setSettings(cruise);
    click("profile_save_button");
    QCOMPARE(QFileInfo(file).size(), qint64(sizeof(EffectSettingsTypeDef)));
    QCOMPARE(profiles()->count(), 1);

    m_page->setSettings(sampleSettings(5));
    m_page->applyProfile(QStringLiteral("Climb out"));
    EffectSettingsTypeDef shown;
    m_page->getSettings(shown);
    QCOMPARE(recordBytes(shown).toHex(), recordBytes(cruise).toHex());
    QCOMPARE(applied.size(), 1);

    // Picking the profile from the list applies it as well.
    m_page->setSettings(sampleSettings(5));
    emit profiles()->activated(0);
    m_page->getSettings(shown);
    QCOMPARE(recordBytes(shown).toHex(), recordBytes(cruise).toHex());
    QCOMPARE(applied.size(), 2);

    profiles()->setCurrentIndex(0);
    click("profile_delete_button");
    QVERIFY(!file.exists());
    QCOMPARE(profiles()->count(), 0);
    QCOMPARE(profiles()->currentIndex(), -1);
    QCOMPARE(filesUnder(m_dir->path()),
             QStringList{m_dir->filePath(QStringLiteral("device_effects_profiles"))});
}

void TestFullEffectSettingsWidget::profileListReadWhenBuilt()
{
    const EffectSettingsTypeDef record = sampleSettings();
    for (const char *name : {"Taxi", "Aerobatics"}) {
        QFile file(profilePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(recordBytes(record));
    }
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("device_effects_profiles/not a profile")));
    m_page = std::make_unique<FullEffectSettingsWidget>();

    QStringList listed;
    for (int i = 0; i < profiles()->count(); ++i)
        listed << profiles()->itemText(i);
    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("Aerobatics"), QStringLiteral("Taxi")}));
    QCOMPARE(profiles()->currentIndex(), -1);
    QVERIFY(profiles()->currentText().isEmpty());
}

void TestFullEffectSettingsWidget::refusedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << QStringLiteral("   ");
    QTest::newRow("slash") << QStringLiteral("a/b");
    QTest::newRow("parent") << QStringLiteral("../escape");
    QTest::newRow("backslash") << QStringLiteral("..\\escape");
    QTest::newRow("absolute") << QStringLiteral("/tmp/escape");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("hidden") << QStringLiteral(".hidden");
    QTest::newRow("nul") << (QStringLiteral("cut") + QChar(0) + QStringLiteral("short"));
    QTest::newRow("newline") << QStringLiteral("two\nlines");
    QTest::newRow("device name") << QStringLiteral("CON");
    QTest::newRow("device name with extension") << QStringLiteral("lpt1.bin");
    QTest::newRow("too long for the file system") << QString(300, QLatin1Char('a'));
}

void TestFullEffectSettingsWidget::refusedNames()
{
    QFETCH(QString, name);
    const QStringList before = filesUnder(m_dir->path());
    const QStringList tmpBefore = filesUnder(QDir::tempPath() + QStringLiteral("/escape"));

    m_page->setSettings(sampleSettings());
    typeName(name);
    click("profile_save_button");
    QCOMPARE(filesUnder(m_dir->path()), before);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("escape"))));
    QCOMPARE(filesUnder(QDir::tempPath() + QStringLiteral("/escape")), tmpBefore);
    QVERIFY(!message()->isHidden());
    QVERIFY(!message()->text().isEmpty());
    // The name stays for correcting.
    QCOMPARE(profiles()->currentText(), name);

    // Neither delete nor apply reach a file through a refused name.
    QFile outside(m_dir->filePath(QStringLiteral("escape")));
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write(recordBytes(sampleSettings(3)));
    outside.close();
    QSignalSpy applied(m_page.get(), &FullEffectSettingsWidget::profileApplied);
    m_page->applyProfile(name);
    QCOMPARE(applied.size(), 0);
    typeName(name);
    click("profile_delete_button");
    QVERIFY(outside.exists());
}

void TestFullEffectSettingsWidget::applyIgnoresUnusableFiles_data()
{
    QTest::addColumn<int>("size"); // -1: no file, -2: a directory
    QTest::newRow("missing") << -1;
    QTest::newRow("directory") << -2;
    QTest::newRow("empty") << 0;
    QTest::newRow("short") << 383;
}

void TestFullEffectSettingsWidget::applyIgnoresUnusableFiles()
{
    QFETCH(int, size);
    const QString name = QStringLiteral("broken");
    if (size == -2) {
        QVERIFY(QDir().mkpath(profilePath(name)));
    } else if (size >= 0) {
        QFile file(profilePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, char(0x7F)));
    }
    const EffectSettingsTypeDef shown = sampleSettings();
    m_page->setSettings(shown);
    QSignalSpy applied(m_page.get(), &FullEffectSettingsWidget::profileApplied);

    // As after typing a new name and pressing Enter.
    typeName(name);
    QTest::keyClick(profiles()->lineEdit(), Qt::Key_Return);
    m_page->applyProfile(name);

    QCOMPARE(applied.size(), 0);
    EffectSettingsTypeDef now;
    m_page->getSettings(now);
    QCOMPARE(recordBytes(now).toHex(), recordBytes(shown).toHex());
    QVERIFY(!message()->isHidden());
}

void TestFullEffectSettingsWidget::linksAreNotFollowed()
{
    const QString target = m_dir->filePath(QStringLiteral("elsewhere"));
    QFile outside(target);
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write("keep");
    outside.close();
    QVERIFY(QFile::link(target, profilePath(QStringLiteral("link"))));
    m_page->readProfiles();

    typeName(QStringLiteral("link"));
    click("profile_save_button");
    QVERIFY(!message()->isHidden());
    QVERIFY(outside.open(QIODevice::ReadOnly));
    QCOMPARE(outside.readAll(), QByteArray("keep"));
    outside.close();

    // Deleting removes the link, not what it points to.
    typeName(QStringLiteral("link"));
    click("profile_delete_button");
    QVERIFY(!QFileInfo(profilePath(QStringLiteral("link"))).isSymLink());
    QVERIFY(outside.exists());
}

QTEST_MAIN(TestFullEffectSettingsWidget)
#include "tst_fulleffectsettingswidget.moc"
