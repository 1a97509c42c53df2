// Installs the build into a temporary DESTDIR, as a distribution package
// would, and checks what a desktop user gets: the files in their places,
// programs that start from there, valid menu and AppStream data, man pages
// that name every option, and the Debian package.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {},
           const QString &workingDirectory = {}, int timeoutMs = 120000)
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = "timed out";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QProcessEnvironment offscreen()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// The long options a program's --help lists.
QStringList helpOptions(const QString &program)
{
    const Result help = run(program, {QStringLiteral("--help")}, offscreen());
    QStringList options;
    const QRegularExpression option(QStringLiteral("^\\s+(?:-\\w, )?--([a-z][a-z-]*)"),
                                    QRegularExpression::MultilineOption);
    for (auto it = option.globalMatch(QString::fromUtf8(help.out)); it.hasNext();)
        options << it.next().captured(1);
    return options;
}

QByteArray gunzip(const QString &path)
{
    return run(QStringLiteral("gzip"), {QStringLiteral("-dc"), path}).out;
}

} // namespace

class TestInstalledTree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_usr;

    QString installed(const QString &relative) const { return m_usr + QLatin1Char('/') + relative; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), m_root.filePath(QStringLiteral("dest")));
        const Result install = run(QStringLiteral(KESTROX_CMAKE),
                                   {QStringLiteral("--install"), QStringLiteral(KESTROX_BUILD_DIR),
                                    QStringLiteral("--prefix"), QStringLiteral("/usr")},
                                   env);
        QVERIFY2(install.exitCode == 0, install.err.constData());
        m_usr = m_root.filePath(QStringLiteral("dest/usr"));
    }

    void filesInTheirPlaces()
    {
        for (const char *file : {
                 "bin/kestrox-vantrell",
                 "bin/kestrox-setup",
                 "share/kestrox/i18n/hardware_settings_ui_de.qm",
                 "share/kestrox/sims/dcs/KestroxExport.lua",
                 "share/kestrox/templates/jet.json",
                 "share/kestrox/templates/propeller.json",
                 "share/kestrox/templates/glider.json",
                 "share/kestrox/templates/warthunder.json",
                 "lib/udev/rules.d/60-kestrox.rules",
                 "share/applications/com.kestrox.Vantrell.desktop",
                 "share/applications/com.kestrox.Setup.desktop",
                 "share/metainfo/com.kestrox.Vantrell.metainfo.xml",
                 "share/metainfo/com.kestrox.Setup.metainfo.xml",
                 "share/icons/hicolor/scalable/apps/com.kestrox.Vantrell.svg",
                 "share/icons/hicolor/scalable/apps/com.kestrox.Setup.svg",
                 "share/man/man1/kestrox-vantrell.1.gz",
                 "share/man/man1/kestrox-setup.1.gz",
                 "share/doc/kestrox/copyright",
             })
            QVERIFY2(QFile::exists(installed(QLatin1String(file))), file);
        if (!QStandardPaths::findExecutable(QStringLiteral("rsvg-convert")).isEmpty()) {
            for (const char *size : {"48x48", "256x256"})
                QVERIFY(QFile::exists(
                    installed(QStringLiteral("share/icons/hicolor/%1/apps/com.kestrox.Vantrell.png")
                                  .arg(QLatin1String(size)))));
        }
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/kestrox-vantrell"))).isExecutable());
    }

    // --version answers on a terminal with no display at all.
    void programsStartFromTheInstalledTree()
    {
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            headless.remove(QLatin1String(variable));
        const Result vantrell =
            run(installed(QStringLiteral("bin/kestrox-vantrell")), {QStringLiteral("--version")}, headless);
        QCOMPARE(vantrell.exitCode, 0);
        QCOMPARE(vantrell.out.trimmed(), QByteArray("kestrox-vantrell 240626"));
        const Result setup =
            run(installed(QStringLiteral("bin/kestrox-setup")), {QStringLiteral("--version")}, headless);
        QCOMPARE(setup.exitCode, 0);
        QCOMPARE(setup.out.trimmed(), QByteArray("kestrox-setup 240626"));
    }

    // The installed program finds its templates in share/kestrox/templates,
    // with no display: a profile from the command line, in the working directory.
    void newProfileFromTheInstalledTemplates()
    {
        QTemporaryDir work;
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        for (const char *variable :
             {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "KESTROX_TEMPLATES_DIR"})
            headless.remove(QLatin1String(variable));
        headless.insert(QStringLiteral("XDG_DATA_DIRS"), work.filePath(QStringLiteral("nothing")));
        const Result made = run(installed(QStringLiteral("bin/kestrox-vantrell")),
                                {QStringLiteral("--new-profile"), QStringLiteral("CONDOR2"),
                                 QStringLiteral("ASK 21"), QStringLiteral("glider")},
                                headless, work.path());
        QVERIFY2(made.exitCode == 0, made.err.constData());
        QFile profile(work.filePath(QStringLiteral("effect_profiles/CONDOR2_ASK_21.json")));
        QVERIFY(profile.open(QIODevice::ReadOnly));
        QVERIFY(profile.readAll().contains("\"airflow_spring\""));
    }

    // No i18n folder in the working directory or beside the program: the
    // setup tool must take the translation from share/kestrox/i18n.
    void setupToolFindsItsTranslation()
    {
        QTemporaryDir work;
        QFile config(work.filePath(QStringLiteral("config.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[UI]\nlang=de\n");
        config.close();
        QProcessEnvironment env = offscreen();
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kestrox.setup.debug=true"));
        QProcess setup;
        setup.setProcessEnvironment(env);
        setup.setWorkingDirectory(work.path());
        setup.start(installed(QStringLiteral("bin/kestrox-setup")), {QStringLiteral("--virtual-devices")});
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += setup.readAllStandardError()).contains("translation loaded from"),
                                 20000);
        setup.kill();
        setup.waitForFinished();
        const QString from = QString::fromUtf8(errors).section(QStringLiteral("translation loaded from"), 1).section(
            QLatin1Char('\n'), 0, 0);
        QVERIFY2(QFileInfo(from.trimmed().remove(QLatin1Char('"'))).canonicalFilePath() ==
                     QFileInfo(installed(QStringLiteral("share/kestrox/i18n/hardware_settings_ui_de.qm")))
                         .canonicalFilePath(),
                 qPrintable(from));
    }

    void desktopAndAppStreamFilesValidate()
    {
        const QString desktopValidate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
        if (desktopValidate.isEmpty() || appstream.isEmpty())
            QSKIP("desktop-file-validate or appstreamcli missing (Debian: desktop-file-utils, appstream)");
        for (const char *id : {"com.kestrox.Vantrell", "com.kestrox.Setup"}) {
            const QString desktop = installed(QStringLiteral("share/applications/%1.desktop").arg(QLatin1String(id)));
            const Result d = run(desktopValidate, {desktop});
            // SingleMainWindow is version 1.5 of the desktop entry format;
            // Debian 12's validator (0.26) predates it and says so, nothing else.
            QByteArray said = d.out;
            said.replace(QByteArray(qPrintable(desktop)) + ": error: file contains key \"SingleMainWindow\" in group "
                         "\"Desktop Entry\", but keys extending the format should start with \"X-\"\n", "");
            QVERIFY2(said.isEmpty() && (d.exitCode == 0 || said != d.out), (d.out + d.err).constData());
            const QString metainfo =
                installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(QLatin1String(id)));
            const Result a = run(appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
            QVERIFY2(a.exitCode == 0, (a.out + a.err).constData());
            // One id names the desktop file, the AppStream component and the icon.
            QFile file(desktop);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray entry = file.readAll();
            QVERIFY(entry.contains("\nIcon=" + QByteArray(id) + "\n"));
            // One window per program: the desktop offers no "new window".
            QVERIFY(entry.contains("\nSingleMainWindow=true\n") && entry.contains("\nX-GNOME-SingleWindow=true\n"));
            QFile xml(metainfo);
            QVERIFY(xml.open(QIODevice::ReadOnly));
            const QByteArray component = xml.readAll();
            QVERIFY(component.contains("<id>" + QByteArray(id) + "</id>"));
            QVERIFY(component.contains("<launchable type=\"desktop-id\">" + QByteArray(id) + ".desktop</launchable>"));
            QVERIFY(component.contains("<project_license>GPL-3.0-or-later</project_license>"));
        }
    }

    void manPagesNameEveryOption()
    {
        for (const char *program : {"kestrox-vantrell", "kestrox-setup"}) {
            const QStringList options = helpOptions(installed(QStringLiteral("bin/") + QLatin1String(program)));
            QVERIFY(options.contains(QStringLiteral("help")));
            const QByteArray page =
                gunzip(installed(QStringLiteral("share/man/man1/%1.1.gz").arg(QLatin1String(program))));
            QVERIFY(page.startsWith(".TH"));
            for (const QString &option : options) {
                const QByteArray roff = "\\-\\-" + option.toUtf8().replace("-", "\\-");
                QVERIFY2(page.contains(roff), qPrintable(QLatin1String(program) + QStringLiteral(": --") + option));
            }
        }
    }

    // Started as the menu entry starts it, the program keeps its files in
    // $XDG_DATA_HOME/kestrox and writes nothing where it was started.
    void menuStartKeepsFilesInTheDataFolder()
    {
        QFile entry(installed(QStringLiteral("share/applications/com.kestrox.Vantrell.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString exec = QString::fromUtf8(entry.readAll()).section(QStringLiteral("\nExec="), 1).section(
            QLatin1Char('\n'), 0, 0);
        QStringList arguments = QProcess::splitCommand(exec);
        QCOMPARE(arguments.value(0), QStringLiteral("kestrox-vantrell"));
        arguments.removeFirst();

        QTemporaryDir home;
        QTemporaryDir runtime;
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("start")));
        QProcessEnvironment env = offscreen();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        QProcess vantrell;
        vantrell.setProcessEnvironment(env);
        vantrell.setWorkingDirectory(home.filePath(QStringLiteral("start")));
        vantrell.start(installed(QStringLiteral("bin/kestrox-vantrell")), arguments);
        QVERIFY(vantrell.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(home.filePath(QStringLiteral("data/kestrox/effect_profiles"))).isDir(),
                                 20000);
        ::kill(pid_t(vantrell.processId()), SIGTERM);
        QVERIFY(vantrell.waitForFinished(10000));
        QCOMPARE(vantrell.exitCode(), 0);
        QCOMPARE(QDir(home.filePath(QStringLiteral("start"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // The installed --doctor, with no display, offers the rule installed
    // beside it when udev has none.
    void doctorFindsTheInstalledRule()
    {
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            headless.remove(QLatin1String(variable));
        const Result doctor = run(installed(QStringLiteral("bin/kestrox-vantrell")),
                                  {QStringLiteral("--doctor"), QStringLiteral("--json")}, headless);
        QVERIFY2(doctor.exitCode == 0 || doctor.exitCode == 1, doctor.err.constData());
        const QJsonArray checks = QJsonDocument::fromJson(doctor.out).array();
        QJsonObject rule;
        for (const QJsonValue &check : checks)
            if (check.toObject().value(QLatin1String("id")).toString() == QLatin1String("udev.rule"))
                rule = check.toObject();
        QVERIFY(!rule.isEmpty());
        if (rule.value(QLatin1String("status")).toString() == QLatin1String("ok"))
            QSKIP("this machine has the device rule installed");
        QVERIFY2(rule.value(QLatin1String("fix")).toString().contains(
                     QStringLiteral("'%1' '/etc/udev/rules.d/60-kestrox.rules'")
                         .arg(installed(QStringLiteral("lib/udev/rules.d/60-kestrox.rules")))),
                 qPrintable(rule.value(QLatin1String("fix")).toString()));
    }

    void debianPackage()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dpkg-shlibdeps")).isEmpty())
            QSKIP("dpkg-deb and dpkg-shlibdeps are needed (Debian: dpkg-dev)");
        const QString out = m_root.filePath(QStringLiteral("package"));
        const Result cpack =
            run(QStringLiteral(KESTROX_CPACK),
                {QStringLiteral("--config"), QStringLiteral(KESTROX_BUILD_DIR "/CPackConfig.cmake"),
                 QStringLiteral("-B"), out},
                {}, QStringLiteral(KESTROX_BUILD_DIR), 500000);
        QVERIFY2(cpack.exitCode == 0, (cpack.out + cpack.err).constData());
        const QStringList debs = QDir(out).entryList({QStringLiteral("kestrox_*.deb")});
        QCOMPARE(debs.size(), 1);
        const QString deb = QDir(out).filePath(debs.first());
        QVERIFY2(QRegularExpression(QStringLiteral("^kestrox_24\\.06\\.26_[a-z0-9]+\\.deb$")).match(debs.first()).hasMatch(),
                 qPrintable(debs.first()));

        const auto field = [&](const char *name) {
            return QString::fromUtf8(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(name)})
                                         .out.trimmed());
        };
        QCOMPARE(field("Package"), QStringLiteral("kestrox"));
        QCOMPARE(field("Version"), QStringLiteral("24.06.26"));
        QVERIFY(!field("Maintainer").isEmpty());
        QVERIFY(!field("Description").isEmpty());
        // Computed from the binaries: the libraries they link.
        const QString depends = field("Depends");
        for (const char *library : {"libqt6widgets6", "libqt6network6", "libhidapi-hidraw0", "libusb-1.0-0",
                                    "libqcustomplot", "libarchive13"})
            QVERIFY2(depends.contains(QLatin1String(library)), qPrintable(depends));

        const QString files = QString::fromUtf8(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).out);
        for (const char *file :
             {"./usr/bin/kestrox-vantrell", "./usr/bin/kestrox-setup",
              "./usr/lib/udev/rules.d/60-kestrox.rules",
              "./usr/share/applications/com.kestrox.Vantrell.desktop",
              "./usr/share/metainfo/com.kestrox.Setup.metainfo.xml",
              "./usr/share/man/man1/kestrox-setup.1.gz", "./usr/share/doc/kestrox/copyright",
              "./usr/share/doc/kestrox/changelog.gz", "./usr/share/kestrox/i18n/hardware_settings_ui_de.qm",
              "./usr/share/kestrox/templates/jet.json"})
            QVERIFY2(files.contains(QLatin1String(file)), file);
        // Nothing outside /usr: the user's files are never part of the package.
        const QStringList lines = files.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines)
            QVERIFY2(line.contains(QLatin1String(" ./usr")) || line.endsWith(QLatin1String(" ./")), qPrintable(line));

        // The maintainer scripts reload udev for the rules.
        QTemporaryDir control;
        QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, control.path()}).exitCode, 0);
        for (const char *script : {"postinst", "postrm"}) {
            QFile file(control.filePath(QLatin1String(script)));
            QVERIFY2(file.open(QIODevice::ReadOnly), script);
            QVERIFY(file.readAll().contains("udevadm control --reload-rules"));
            QVERIFY(QFileInfo(file).isExecutable());
        }
    }
};

QTEST_GUILESS_MAIN(TestInstalledTree)
#include "tst_installedtree.moc"
