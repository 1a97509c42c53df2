#include "fulleffectsettingswidget.h"
#include "setuptestsupport.h"

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
    for (int a = 0; a < 2; ++a)
        record.axes[a] = {quint8(60 + a + seed), quint8(40 + a),
                          quint8(12 + a),        quint16(500 + a),
                          quint16(7 + a),        quint16(2500 + a),
                          float(33 + a),         0,
                          quint16(999 - a),      {}};
    return record;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

class TestFullEffectSettingsWidget : public QObject,
                                     private PageUnderTest<FullEffectSettingsWidget, EffectSettingsTypeDef>
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TemporaryWorkingDirectory>();
        m_page = std::make_unique<FullEffectSettingsWidget>();
    }

    void cleanup()
    {
        m_page.reset();
        m_dir.reset();
    }

    void recordRoundTrip()
    {
        QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("device_effects_profiles"))).isDir());
        const EffectSettingsTypeDef sent = sampleSettings();
        m_page->setSettings(sent);
        QCOMPARE(recordBytes(shown()).toHex(), recordBytes(sent).toHex());
    }

    void invertConstantForce_data()
    {
        signByteData({0x01, 0x02}); // any positive byte reads as inverted
    }

    void invertConstantForce()
    {
        QFETCH(int, stored);
        QFETCH(bool, checked);
        EffectSettingsTypeDef record = sampleSettings();
        record.invertConstantForce = qint8(quint8(stored));
        m_page->setSettings(record);
        QCOMPARE(element<QCheckBox>("invert_constant_force")->isChecked(), checked);
        QCOMPARE(quint8(shown().invertConstantForce), signByteSent(checked));
    }

    void maxForce_data()
    {
        QTest::addColumn<float>("stored");
        QTest::addColumn<int>("value");
        QTest::newRow("truncated") << 37.9f << 37;
        QTest::newRow("negative") << -3.5f << 0;
        QTest::newRow("above range") << 1000.0f << 100;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    }

    void maxForce()
    {
        QFETCH(float, stored);
        QFETCH(int, value);
        EffectSettingsTypeDef record = sampleSettings();
        record.axes[1].maxForce = stored;
        m_page->setSettings(record);
        QCOMPARE(element<QSlider>("max_force_slider_axis1")->value(), value);
        QCOMPARE(float(shown().axes[1].maxForce), float(value));
    }

    void slidersFollowSpinBoxes_data()
    {
        QTest::addColumn<QString>("spinBox");
        QTest::addColumn<QString>("slider");
        QTest::addColumn<int>("sliderMaximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("grownMaximum");
        for (const char *row :
             {"static_dampening", "dynamic_dampening", "soft_stop_dampening", "motion_range"}) {
            const int range = QLatin1String(row) == QLatin1String("motion_range") ? 1080 : 100;
            for (const int axis : {0, 1})
                QTest::addRow("%s_axis%d grows", row, axis)
                    << QStringLiteral("%1_axis%2").arg(QLatin1String(row)).arg(axis)
                    << QStringLiteral("%1_slider_axis%2").arg(QLatin1String(row)).arg(axis) << range
                    << range + 1 << range + 1;
        }
        QTest::newRow("within range") << "motion_range_axis0"
                                      << "motion_range_slider_axis0" << 1080 << 900 << 1080;
        QTest::newRow("mirrored") << "soft_stop_range_axis0"
                                  << "soft_stop_range_slider_axis0" << 45 << 30 << 45;
    }

    void slidersFollowSpinBoxes()
    {
        QFETCH(QString, spinBox);
        QFETCH(QString, slider);
        QFETCH(int, sliderMaximum);
        QFETCH(int, value);
        QFETCH(int, grownMaximum);
        auto *box = element<QSpinBox>(spinBox);
        auto *bar = element<QSlider>(slider);
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

    void motionRangeResetsOnNewDevice()
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

    void profileSaveApplyDelete()
    {
        // The list is read when the page is built, and holds files only.
        QVERIFY(writeFile(profilePath(QStringLiteral("Taxi")), recordBytes(sampleSettings())));
        QVERIFY(QDir().mkpath(profilePath(QStringLiteral("not a profile"))));
        m_page = std::make_unique<FullEffectSettingsWidget>();
        QCOMPARE(profiles()->count(), 1);
        QCOMPARE(profiles()->itemText(0), QStringLiteral("Taxi"));
        QCOMPARE(profiles()->currentIndex(), -1);
        QVERIFY(profiles()->currentText().isEmpty());

        QSignalSpy applied(m_page.get(), &FullEffectSettingsWidget::profileApplied);
        m_page->setSettings(sampleSettings(1));
        typeName(QStringLiteral("Climb out"));
        click("profile_save_button");
        QCOMPARE(profiles()->count(), 2);
        QCOMPARE(profiles()->currentText(), QStringLiteral("Climb out"));
        QVERIFY(message()->isHidden());

        // Saving again under the same name replaces the file.
        const EffectSettingsTypeDef cruise = sampleSettings(2);
        m_page->setSettings(cruise);
        click("profile_save_button");
        QCOMPARE(readFile(profilePath(QStringLiteral("Climb out"))).toHex(), recordBytes(cruise).toHex());
        QCOMPARE(profiles()->count(), 2);

        m_page->setSettings(sampleSettings(5));
        m_page->applyProfile(QStringLiteral("Climb out"));
        QCOMPARE(recordBytes(shown()).toHex(), recordBytes(cruise).toHex());
        // Picking the profile from the list applies it as well.
        m_page->setSettings(sampleSettings(5));
        const int index = profiles()->findText(QStringLiteral("Climb out"));
        emit profiles()->activated(index);
        QCOMPARE(recordBytes(shown()).toHex(), recordBytes(cruise).toHex());
        QCOMPARE(applied.size(), 2);

        profiles()->setCurrentIndex(index);
        click("profile_delete_button");
        QCOMPARE(profiles()->count(), 1);
        QCOMPARE(profiles()->currentIndex(), -1);
        QCOMPARE(
            filesUnder(m_dir->path()),
            (QStringList{m_dir->filePath(QStringLiteral("device_effects_profiles")),
                         profilePath(QStringLiteral("Taxi")), profilePath(QStringLiteral("not a profile"))}));
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << QStringLiteral("   ");
        QTest::newRow("parent") << QStringLiteral("../escape");
        QTest::newRow("backslash") << QStringLiteral("..\\escape");
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("hidden") << QStringLiteral(".hidden");
        QTest::newRow("nul") << (QStringLiteral("cut") + QChar(0) + QStringLiteral("short"));
        QTest::newRow("device name") << QStringLiteral("CON");
        QTest::newRow("device name with extension") << QStringLiteral("lpt1.bin");
        QTest::newRow("too long for the file system") << QString(300, QLatin1Char('a'));
    }

    void refusedNames()
    {
        QFETCH(QString, name);
        const QStringList before = filesUnder(m_dir->path());

        typeName(name);
        click("profile_save_button");
        QCOMPARE(filesUnder(m_dir->path()), before);
        QVERIFY(!message()->isHidden());
        QVERIFY(!message()->text().isEmpty());
        // The name stays for correcting.
        QCOMPARE(profiles()->currentText(), name);

        // Neither delete nor apply reach a file through a refused name.
        const QString outside = m_dir->filePath(QStringLiteral("escape"));
        QVERIFY(writeFile(outside, recordBytes(sampleSettings(3))));
        QSignalSpy applied(m_page.get(), &FullEffectSettingsWidget::profileApplied);
        m_page->applyProfile(name);
        QCOMPARE(applied.size(), 0);
        typeName(name);
        click("profile_delete_button");
        QVERIFY(QFile::exists(outside));
    }

    void applyIgnoresUnusableFiles_data()
    {
        QTest::addColumn<int>("size"); // -1: no file, -2: a directory
        QTest::newRow("missing") << -1;
        QTest::newRow("directory") << -2;
        QTest::newRow("short") << 383;
    }

    void applyIgnoresUnusableFiles()
    {
        QFETCH(int, size);
        const QString name = QStringLiteral("broken");
        if (size == -2) {
            QVERIFY(QDir().mkpath(profilePath(name)));
        } else if (size >= 0) {
            QVERIFY(writeFile(profilePath(name), QByteArray(size, char(0x7F))));
        }
        const EffectSettingsTypeDef before = sampleSettings();
        m_page->setSettings(before);
        QSignalSpy applied(m_page.get(), &FullEffectSettingsWidget::profileApplied);

        // As after typing a new name and pressing Enter.
        typeName(name);
        QTest::keyClick(profiles()->lineEdit(), Qt::Key_Return);
        m_page->applyProfile(name);

        QCOMPARE(applied.size(), 0);
        QCOMPARE(recordBytes(shown()).toHex(), recordBytes(before).toHex());
        QVERIFY(!message()->isHidden());
    }

    void linksAreNotFollowed()
    {
        const QString outside = m_dir->filePath(QStringLiteral("elsewhere"));
        QVERIFY(writeFile(outside, "keep"));
        QVERIFY(QFile::link(outside, profilePath(QStringLiteral("link"))));
        m_page->readProfiles();

        typeName(QStringLiteral("link"));
        click("profile_save_button");
        QVERIFY(!message()->isHidden());
        QCOMPARE(readFile(outside), QByteArray("keep"));

        // Deleting removes the link, not what it points to.
        typeName(QStringLiteral("link"));
        click("profile_delete_button");
        QVERIFY(!QFileInfo(profilePath(QStringLiteral("link"))).isSymLink());
        QCOMPARE(readFile(outside), QByteArray("keep"));
    }

private:
    QComboBox *profiles() const { return element<QComboBox>("profile_combo_box"); }
    QLabel *message() const { return element<QLabel>("profile_message_label"); }
    QString profilePath(const QString &name) const
    {
        return m_dir->filePath(QStringLiteral("device_effects_profiles/") + name);
    }
    void typeName(const QString &name) { profiles()->setEditText(name); }
    void click(const char *button) { element<QPushButton>(button)->click(); }

    std::unique_ptr<TemporaryWorkingDirectory> m_dir;
};

QTEST_MAIN(TestFullEffectSettingsWidget)
#include "tst_fulleffectsettingswidget.moc"
