#include "fakemsfs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <cstring>

namespace {

struct LogLine
{
    qint64 milliseconds = -1;
    QString productId;
    QByteArray report;
};

QList<LogLine> readLog(const QString &path)
{
    QList<LogLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(' ');
        if (fields.size() != 3)
            continue;
        lines.append(
            {fields[0].toLongLong(), QString::fromLatin1(fields[1]), QByteArray::fromHex(fields[2])});
    }
    return lines;
}

bool isDirectControl(const LogLine &line)
{
    return line.report.size() == 65 && line.report[0] == 0x02 && line.report[1] == 0x20;
}

float floatAt(const QByteArray &report, int offset)
{
    quint32 bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | quint8(report[offset + i]);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A profile for the aircraft TestJet: an elevator spring whose curve
// pushes with 6 kg at the centre, at 50 % strength. %1: the source, %2: the aircraft.
const char testJetProfile[] = R"({
    "metadata": {"flight_data_source": %1, "flight_module": "%2", "comment": ""},
    "effects": {
        "ailerons": {},
        "elevator": {
            "simple_spring": {
                "active": true,
                "total_effect_strength": 50,
                "curve": [
                    {"in": -100, "out": -14}, {"in": -80, "out": -10}, {"in": -60, "out": -6},
                    {"in": -40, "out": -2}, {"in": -20, "out": 2}, {"in": 0, "out": 6},
                    {"in": 20, "out": 10}, {"in": 40, "out": 14}, {"in": 60, "out": 18},
                    {"in": 80, "out": 22}, {"in": 100, "out": 26}
                ]
            }
        },
        "rudder": {}
    }
})";

// The time in ms of the first line of `log` that holds `what`, from lines "... at N ms".
qint64 timeSaid(const QByteArray &log, const QByteArray &what)
{
    for (const QByteArray &line : log.split('\n')) {
        const qsizetype at = line.indexOf(what + " at ");
        if (at >= 0)
            return line.mid(at + what.size() + 4).split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class TestVantrellProcess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime; // the session's runtime folder, away from a real one

    // `elevatorToo`: more effects for the elevator, each followed by a comma.
    void writeTestJetProfile(const QString &fileName, int source, const QString &aircraft,
                             const QString &elevatorToo = {})
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("effect_profiles")));
        QFile profile(m_dir.filePath(QStringLiteral("effect_profiles/") + fileName));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        QString json = QString::fromLatin1(testJetProfile).arg(source).arg(aircraft);
        json.replace(QStringLiteral("\"elevator\": {"), QStringLiteral("\"elevator\": {") + elevatorToo);
        profile.write(json.toUtf8());
    }

    // The elevator is the joystick's second axis: force at bytes 14-17. With
    // the stick centred the TestJet spring gives 6 x 50 % = 3 kg, pushed back: -3.
    static void verifyTestJetForces(const QString &logPath)
    {
        QList<float> elevatorForces;
        const QList<LogLine> lines = readLog(logPath);
        for (const LogLine &line : lines) {
            if (line.productId == QLatin1String("58f9") && isDirectControl(line))
                elevatorForces << floatAt(line.report, 14);
        }
        QVERIFY(elevatorForces.size() > 100);
        QCOMPARE(elevatorForces.first(), 0.0f);
        QVERIFY2(elevatorForces.contains(-3.0f), "the profile's full elevator force never reached the stick");
        // Ramping in from zero after the profile loaded: never beyond the full force.
        QVERIFY(std::all_of(elevatorForces.begin(), elevatorForces.end(),
                            [](float f) { return f <= 0 && f >= -3; }));
        QCOMPARE(elevatorForces.last(), 0.0f); // the rest report on exit
    }

    void startVantrell(QProcess &process, const QStringList &arguments)
    {
        process.setWorkingDirectory(m_dir.path());
        process.setProgram(QStringLiteral(KESTROX_VANTRELL_BINARY));
        process.setArguments(arguments);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("QT_LOGGING_RULES"),
                   QStringLiteral("kestrox.instance.info=true\nkestrox.app.info=true\nkestrox.device.info=true"));
        process.setProcessEnvironment(env);
        process.start();
        QVERIFY(process.waitForStarted());
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && m_runtime.isValid()); }

    // The real devices belong to one instance: a second start hands over and
    // ends; after a crash of the first, a new start takes over its lock.
    void secondInstanceHandsOver()
    {
        const QString socket = m_runtime.filePath(QStringLiteral("kestrox-vantrell.socket"));
        QProcess first;
        startVantrell(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 20000);

        QProcess second;
        QElapsedTimer elapsed;
        elapsed.start();
        startVantrell(second, {});
        QVERIFY(second.waitForFinished(10000));
        const qint64 took = elapsed.elapsed();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(took < 2000, qPrintable(QString::number(took)));
        QVERIFY(second.readAllStandardOutput().contains("already running"));
        QByteArray firstErrors;
        QTRY_VERIFY_WITH_TIMEOUT((firstErrors += first.readAllStandardError()).contains("show request received"),
                                 5000);
        QCOMPARE(first.state(), QProcess::Running);

        // A second start with a replay hands it over, and says so.
        QProcess replay;
        startVantrell(replay, {QStringLiteral("--replay"),
                               QStringLiteral(KESTROX_SAMPLES_DIR "/dcs-touchdown.kxrec")});
        QVERIFY(replay.waitForFinished(10000));
        QCOMPARE(replay.exitCode(), 0);
        QVERIFY(replay.readAllStandardOutput().contains("it was asked to replay"));
        QTRY_VERIFY_WITH_TIMEOUT((firstErrors += first.readAllStandardError()).contains("replay request received"),
                                 5000);
        // One that can only apply to a new start is refused with one line.
        QProcess refused;
        startVantrell(refused, {QStringLiteral("--xplane-address"), QStringLiteral("192.168.1.20")});
        QVERIFY(refused.waitForFinished(10000));
        QCOMPARE(refused.exitCode(), 2);
        QVERIFY(refused.readAllStandardError().contains("--xplane-address applies only to a new start"));

        first.kill(); // SIGKILL: the lock stays behind
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QFile::exists(m_runtime.filePath(QStringLiteral("kestrox-vantrell.lock"))));
        QProcess third;
        startVantrell(third, {});
        QTest::qWait(2500);
        QCOMPARE(third.state(), QProcess::Running);
        ::kill(pid_t(third.processId()), SIGTERM);
        QVERIFY(third.waitForFinished(10000));
        QCOMPARE(third.exitCode(), 0);
        QVERIFY(!third.readAllStandardOutput().contains("already running"));
    }

    void writesEveryTickAndRestsTheMotorsOnTerm()
    {
        const QString logPath = m_dir.filePath(QStringLiteral("device.log"));
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath,
                                QStringLiteral("--virtual-position"), QStringLiteral("0.2,-0.1,0.3")});
        // Let it run about three seconds from its first report.
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);
        QTest::qWait(3000);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        const QByteArray errors = process.readAllStandardError();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(!errors.contains("QThread: Destroyed"), errors.constData());

        const QList<LogLine> lines = readLog(logPath);
        for (const QString &productId : {QStringLiteral("58f9"), QStringLiteral("5968")}) {
            QList<LogLine> reports;
            for (const LogLine &line : lines) {
                if (line.productId == productId && isDirectControl(line))
                    reports << line;
            }
            // One report per 10 ms tick; a loaded machine may lose a few ticks.
            QVERIFY2(reports.size() >= 240 && reports.size() <= 340,
                     qPrintable(QString::number(reports.size())));
            const QByteArray last = reports.last().report;
            QVERIFY2(std::all_of(last.begin() + 2, last.end(), [](char b) { return b == 0; }),
                     last.toHex().constData());
        }
        // The very last line of each device is its rest report.
        QVERIFY(isDirectControl(lines.last()));

        // The recent log has the infos too, down to the one said as the program ended.
        QFile recent(m_dir.filePath(QStringLiteral("state/kestrox/kestrox-vantrell.log")));
        QVERIFY(recent.open(QIODevice::ReadOnly));
        QVERIFY(recent.readAll().contains(" info kestrox.device: forces released and devices closed\n"));
    }

    void detectedAircraftLoadsItsProfile()
    {
        writeTestJetProfile(QStringLiteral("DCS_TestJet.json"), 2, QStringLiteral("TestJet"));

        const QString logPath = m_dir.filePath(QStringLiteral("activation.log"));
        QProcess process;
        startVantrell(process,
                      {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath});
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);

        // DCS sends a line per frame; the first announces the aircraft.
        QUdpSocket dcs;
        QElapsedTimer sending;
        sending.start();
        while (sending.elapsed() < 3500) {
            dcs.writeDatagram("TestJet;300;0;2;1;0;0;0;50;0", QHostAddress::LocalHost, 29778);
            QTest::qWait(20);
        }
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);

        verifyTestJetForces(logPath);
    }

    // X-Plane answers the program's subscription; the XPLANE_ profile of
    // the aircraft it reports loads and its forces reach the stick.
    void xplaneAircraftLoadsItsProfile()
    {
        writeTestJetProfile(QStringLiteral("XPLANE_TESTJET.json"), 6, QStringLiteral("TESTJET"));
        QUdpSocket xplane;
        QVERIFY(xplane.bind(QHostAddress::LocalHost, 0));

        const QString logPath = m_dir.filePath(QStringLiteral("xplane.log"));
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath,
                                QStringLiteral("--xplane-address"),
                                QStringLiteral("127.0.0.1:%1").arg(xplane.localPort())});
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);

        // Requests name their index at bytes 9-12 and the dataref from byte 13.
        QHash<QByteArray, quint32> indices;
        quint16 client = 0;
        QElapsedTimer answering;
        answering.start();
        while (answering.elapsed() < 4000) {
            while (xplane.hasPendingDatagrams()) {
                QByteArray request(int(xplane.pendingDatagramSize()), '\0');
                xplane.readDatagram(request.data(), request.size(), nullptr, &client);
                if (request.size() == 413 && request.startsWith("RREF"))
                    indices.insert(request.mid(13).split('\0').first(),
                                   quint8(request[9]) | quint8(request[10]) << 8);
            }
            if (client != 0 && indices.size() >= 8) {
                QByteArray answer("RREF,");
                for (int i = 0; i < 8; ++i) {
                    const quint32 index = indices.value("sim/aircraft/view/acf_ICAO[" + QByteArray::number(i) + "]");
                    const float code = i < 7 ? float("TESTJET"[i]) : 0.0f;
                    quint32 bits;
                    std::memcpy(&bits, &code, 4);
                    for (quint32 v : {index, bits})
                        for (int b = 0; b < 4; ++b)
                            answer.append(char((v >> (8 * b)) & 0xFF));
                }
                xplane.writeDatagram(answer, QHostAddress::LocalHost, client);
            }
            QTest::qWait(20);
        }
        QVERIFY2(indices.size() == 26, qPrintable(QString::number(indices.size())));
        while (xplane.hasPendingDatagrams())
            xplane.readDatagram(nullptr, 0);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        verifyTestJetForces(logPath);

        // At exit every dataref is unsubscribed: frequency 0 at bytes 5-8.
        QSet<QByteArray> unsubscribed;
        while (xplane.waitForReadyRead(200) || xplane.hasPendingDatagrams()) {
            while (xplane.hasPendingDatagrams()) {
                QByteArray request(int(xplane.pendingDatagramSize()), '\0');
                xplane.readDatagram(request.data(), request.size());
                if (request.size() == 413 && request.mid(5, 4) == QByteArray(4, '\0'))
                    unsubscribed.insert(request.mid(13).split('\0').first());
            }
        }
        QCOMPARE(unsubscribed.size(), 26);
    }

    // MSFS reached over TCP at the address of SimConnect.cfg in the data
    // folder: its aircraft's MSFS profile activates and its force arrives.
    void msfsOverTcpLoadsItsProfile()
    {
        FakeMsfs msfs;
        QVERIFY(msfs.listen());
        msfs.variables["TITLE"] = QByteArray("TestPlane");
        msfs.variables["AIRSPEED INDICATED"] = 200.0;
        msfs.variables["G FORCE"] = 1.0;
        msfs.onRequest = [&msfs](const FakeMsfs::Request &) { msfs.answer(); };
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("data/kestrox")));
        QFile cfg(m_dir.filePath(QStringLiteral("data/kestrox/SimConnect.cfg")));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write("[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + QByteArray::number(msfs.port())
                  + "\n");
        cfg.close();

        writeTestJetProfile(QStringLiteral("MSFS_TestPlane.json"), 1, QStringLiteral("TestPlane"));

        const QString logPath = m_dir.filePath(QStringLiteral("msfs.log"));
        QProcess process;
        startVantrell(process,
                      {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath});
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(msfs.definition.size() == 23 && msfs.subscriptions.size() == 2, 10000);
        QTest::qWait(3500); // the ramp of 2 s after the profile loads
        msfs.write(FakeMsfs::quitMessage());
        msfs.disconnectClient();
        QTest::qWait(300);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(msfs.openName, QByteArray("Kestrox"));

        verifyTestJetForces(logPath);
    }

    // Each sample recording replays to its simulator's detection, which
    // activates the profile that --new-profile made from the fitting
    // template for the recorded aircraft: with the stick and pedals
    // deflected, every axis the template drives gets forces, each finite and
    // within what the templates promise (docs/profile-templates.md).
    void sampleRecordingsReplay_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QString>("simulator");
        QTest::addColumn<QString>("aircraft");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("dcs") << QStringLiteral("dcs-touchdown") << QStringLiteral("DCS")
                             << QStringLiteral("F-16C_50") << QStringLiteral("jet")
                             << QStringLiteral("DCS_F_16C_50.json") << 6500;
        QTest::newRow("il2") << QStringLiteral("il2-gear-and-flaps") << QStringLiteral("IL2")
                             << QStringLiteral("Generic warbird") << QStringLiteral("propeller")
                             << QStringLiteral("IL2 SHTURMOVIK_Generic_warbird.json") << 5500;
        QTest::newRow("condor2") << QStringLiteral("condor2-turbulence") << QStringLiteral("CONDOR2")
                                 << QStringLiteral("Generic glider") << QStringLiteral("glider")
                                 << QStringLiteral("CONDOR2_Generic_glider.json") << 5300;
        QTest::newRow("warthunder") << QStringLiteral("warthunder-gap") << QStringLiteral("WARTHUNDER")
                                    << QStringLiteral("Generic warbird") << QStringLiteral("warthunder")
                                    << QStringLiteral("WARTHUNDER_Generic_warbird.json") << 7500;
    }
    void sampleRecordingsReplay()
    {
        QFETCH(QString, sample);
        QFETCH(QString, simulator);
        QFETCH(QString, aircraft);
        QFETCH(QString, kind);
        QFETCH(QString, profile);
        QFETCH(int, milliseconds);
        QDir(m_dir.filePath(QStringLiteral("effect_profiles"))).removeRecursively();
        QProcess create;
        startVantrell(create, {QStringLiteral("--new-profile"), simulator, aircraft, kind});
        QVERIFY(create.waitForFinished(20000));
        QCOMPARE(create.exitCode(), 0);
        const QString profilePath = m_dir.filePath(QStringLiteral("effect_profiles/") + profile);
        QCOMPARE(create.readAllStandardOutput(),
                 QStringLiteral("kestrox-vantrell: created %1 from the %2 template\n")
                     .arg(profilePath, kind)
                     .toUtf8());

        const QString logPath = m_dir.filePath(sample + QStringLiteral(".log"));
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath,
                                QStringLiteral("--virtual-position"), QStringLiteral("0.3,0.3,-0.3"),
                                QStringLiteral("--replay"),
                                QStringLiteral(KESTROX_SAMPLES_DIR "/") + sample + QStringLiteral(".kxrec")});
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);
        QTest::qWait(milliseconds);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);

        // Every template drives all three axes. Joystick: axes 0 and 1; rudder:
        // axis 2 in the first slot. Spring, force and periodic at 2, 10, 18 (+4
        // for the joystick's second axis).
        const QList<LogLine> lines = readLog(logPath);
        for (int axis = 0; axis < 3; ++axis) {
            const QString device = axis < 2 ? QStringLiteral("58f9") : QStringLiteral("5968");
            const int slot = axis == 1 ? 4 : 0;
            int reports = 0;
            int felt = 0;
            for (const LogLine &line : lines) {
                if (line.productId != device || !isDirectControl(line))
                    continue;
                ++reports;
                const float spring = floatAt(line.report, 2 + slot);
                const float force = floatAt(line.report, 10 + slot);
                const float periodic = floatAt(line.report, 18 + slot);
                QVERIFY(std::isfinite(spring) && std::isfinite(force) && std::isfinite(periodic));
                QVERIFY2(
                    std::fabs(force) <= 20.0f && std::fabs(periodic) <= 10.0f && std::fabs(spring) <= 30.0f,
                    qPrintable(
                        QStringLiteral("axis %1: %2 %3 %4").arg(axis).arg(spring).arg(force).arg(periodic)));
                if (force != 0.0f)
                    ++felt;
            }
            QVERIFY(reports > 100);
            // Pushed back against the deflection while the aircraft flies.
            QVERIFY2(felt > 50,
                     qPrintable(QStringLiteral("axis %1: %2 of %3").arg(axis).arg(felt).arg(reports)));
        }
        QCOMPARE(floatAt(lines.last().report, 10), 0.0f); // the rest report on exit
    }

    // The profile made from the command line goes where the window with the
    // same options keeps its profiles, and never over an existing file.
    void newProfileFromTheCommandLine()
    {
        QDir(m_dir.filePath(QStringLiteral("effect_profiles"))).removeRecursively();
        const auto run = [this](const QStringList &arguments, QByteArray *out, QByteArray *err) {
            QProcess process;
            startVantrell(process, QStringList{QStringLiteral("--new-profile")} + arguments);
            process.waitForFinished(20000);
            *out = process.readAllStandardOutput();
            *err = process.readAllStandardError();
            return process.exitCode();
        };
        QByteArray out, err;
        const QStringList f16{QStringLiteral("DCS"), QStringLiteral("F-16C_50"), QStringLiteral("jet")};
        QCOMPARE(run(f16, &out, &err), 0);
        const QString path = m_dir.filePath(QStringLiteral("effect_profiles/DCS_F_16C_50.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray made = file.readAll();
        file.close();

        // Refused with one line and status 1; the file stays as it was.
        QCOMPARE(run(f16, &out, &err), 1);
        QCOMPARE(out, QByteArray());
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains(path.toUtf8() + " already exists; profiles are never overwritten"),
                 err.constData());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), made);
        file.close();

        // With --user-data-folder: in the per-user data folder, as the menu's window.
        QCOMPARE(run({QStringLiteral("CONDOR2"), QStringLiteral("Generic glider"), QStringLiteral("glider"),
                      QStringLiteral("--user-data-folder")},
                     &out, &err),
                 0);
        QVERIFY(QFile::exists(
            m_dir.filePath(QStringLiteral("data/kestrox/effect_profiles/CONDOR2_Generic_glider.json"))));
        QVERIFY(
            !QFile::exists(m_dir.filePath(QStringLiteral("effect_profiles/CONDOR2_Generic_glider.json"))));

        // A template that does not exist is a usage error that names those that do.
        QCOMPARE(run({QStringLiteral("DCS"), QStringLiteral("A-10C"), QStringLiteral("biplane")}, &out, &err),
                 2);
        QCOMPARE(
            err,
            QByteArray("kestrox-vantrell: no template \"biplane\"; the templates are jet, propeller, glider, "
                       "warthunder\n"));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("effect_profiles/DCS_A_10C.json"))));
    }

    void unrecordableOrUnreplayableFilesAreRefused()
    {
        QFile existing(m_dir.filePath(QStringLiteral("taken.kxrec")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("mine");
        existing.close();
        QProcess record;
        startVantrell(record, {QStringLiteral("--virtual-devices"), QStringLiteral("--record"), existing.fileName()});
        QVERIFY(record.waitForFinished(20000));
        QCOMPARE(record.exitCode(), 2);
        QVERIFY(record.readAllStandardError().contains("already exists"));
        QFile kept(existing.fileName());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("mine"));

        QProcess replay;
        startVantrell(replay, {QStringLiteral("--virtual-devices"), QStringLiteral("--replay"), existing.fileName()});
        QVERIFY(replay.waitForFinished(20000));
        QCOMPARE(replay.exitCode(), 2);
        QVERIFY(replay.readAllStandardError().contains("is not a Kestrox telemetry recording"));
    }

    void unwritableDeviceLogIsAnError()
    {
        QProcess process;
        startVantrell(process, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"),
                                m_dir.filePath(QStringLiteral("missing/dir/device.log"))});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("cannot open device log"));
    }

    // The forces switch from outside, as a key bound in the desktop would
    // run it: off within two ticks, on with the ramp, toggle twice, and no
    // instance to switch.
    void forcesSwitchFromOutside()
    {
        // TestJet's, with a gear shaker and a smart damper on the elevator:
        // force, periodic and damping all in the reports.
        QDir(m_dir.filePath(QStringLiteral("effect_profiles"))).removeRecursively();
        writeTestJetProfile(QStringLiteral("DCS_TestJet.json"), 2, QStringLiteral("TestJet"), QString::fromLatin1(R"(
            "gear_shaker": {"active": true, "total_effect_strength": 100,
                            "speed": {"min": 0, "max": 100, "exp": 0}, "frequency": {"min": 10, "max": 20, "exp": 0}},
            "smart_damper": {"active": true, "total_effect_strength": 100, "static_dampening": 50, "dynamic_dampening": 25},)"));

        const QString logPath = m_dir.filePath(QStringLiteral("switch.log"));
        QProcess vantrell;
        startVantrell(vantrell, {QStringLiteral("--virtual-devices"), QStringLiteral("--device-log"), logPath});
        QTRY_VERIFY_WITH_TIMEOUT(!readLog(logPath).isEmpty(), 20000);
        QByteArray said;
        QUdpSocket dcs;
        // DCS at 300 km/h with the gear down, a line every 20 ms, while `ms` pass.
        const auto fly = [&](int ms) {
            QElapsedTimer flying;
            flying.start();
            while (flying.elapsed() < ms) {
                dcs.writeDatagram("TestJet;300;0;0;1;1;0;0;50;0", QHostAddress::LocalHost, 29778);
                QTest::qWait(20);
                said += vantrell.readAllStandardError();
            }
        };
        const auto forces = [&](const char *value) {
            QProcess command;
            startVantrell(command, {QStringLiteral("--virtual-devices"), QStringLiteral("--forces"), QLatin1String(value)});
            // The datagrams go on while the command runs.
            QElapsedTimer waiting;
            waiting.start();
            while (command.state() != QProcess::NotRunning && waiting.elapsed() < 10000)
                fly(40);
            QCOMPARE(command.exitCode(), 0);
        };
        const auto directControls = [&](qint64 from) {
            QList<LogLine> reports;
            const QList<LogLine> lines = readLog(logPath);
            for (const LogLine &line : lines) {
                if (line.productId == QLatin1String("58f9") && isDirectControl(line) && line.milliseconds >= from)
                    reports << line;
            }
            return reports;
        };
        const auto silent = [](const LogLine &line) {
            return std::all_of(line.report.begin() + 2, line.report.end(), [](char b) { return b == 0; });
        };

        fly(3500); // detected, profile loaded, ramped in
        const LogLine flying = directControls(0).last();
        QCOMPARE(floatAt(flying.report, 14), -3.0f);     // elevator force
        QVERIFY(floatAt(flying.report, 22) != 0.0f);     // its periodic
        QCOMPARE(floatAt(flying.report, 30), 0.5f);      // its static damping
        QCOMPARE(floatAt(flying.report, 38), 0.25f);     // its dynamic damping

        forces("off");
        fly(500);
        const qint64 asked = timeSaid(said, "forces off requested");
        QVERIFY2(asked > 0, said.constData());
        const QList<LogLine> afterOff = directControls(asked);
        QVERIFY(afterOff.size() > 20);
        // At most two ticks still carry forces; every later report is all zero.
        const auto firstSilent = std::find_if(afterOff.begin(), afterOff.end(), silent);
        QVERIFY(firstSilent - afterOff.begin() <= 2);
        QVERIFY(std::all_of(firstSilent, afterOff.end(), silent));

        forces("on");
        fly(2600);
        const qint64 on = timeSaid(said, "forces on");
        QVERIFY2(on > asked, said.constData());
        const QList<LogLine> ramp = directControls(on);
        // -3 kg ramped in from zero over 2 s: -3 x t / 2000 by each report's own
        // logged time (late ticks on a busy machine do not matter), within the
        // few ms between the tick's clock and the log's.
        QVERIFY(!ramp.isEmpty() && ramp.last().milliseconds >= on + 2000);
        for (const LogLine &l : ramp) {
            const float expected = -3.0f * std::min(1.0f, float(l.milliseconds - on) / 2000.0f);
            const float force = floatAt(l.report, 14);
            QVERIFY2(std::fabs(force - expected) <= 3.0f * 0.015f,
                     qPrintable(QStringLiteral("%1 ms: %2").arg(l.milliseconds - on).arg(force)));
        }

        // Toggle twice: off, then on again.
        forces("toggle");
        forces("toggle");
        fly(2500);
        QVERIFY(said.count("forces off at") == 2 && said.count("forces on at") == 2);
        QCOMPARE(floatAt(directControls(0).last().report, 14), -3.0f);

        ::kill(pid_t(vantrell.processId()), SIGTERM);
        QVERIFY(vantrell.waitForFinished(10000));
        QProcess nobody;
        startVantrell(nobody, {QStringLiteral("--virtual-devices"), QStringLiteral("--forces"), QStringLiteral("off")});
        QVERIFY(nobody.waitForFinished(10000));
        QCOMPARE(nobody.exitCode(), 1);
        const QByteArray error = nobody.readAllStandardError();
        QCOMPARE(error.count('\n'), 1);
        QVERIFY(error.contains("no running kestrox-vantrell"));
    }

    // With no display at all the program says so and how to run without one.
    void noDisplaySaysSo()
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(variable));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESTROX_VANTRELL_BINARY), {QStringLiteral("--virtual-devices")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QByteArray errors = process.readAllStandardError();
        QVERIFY2(errors.contains("no display found") && errors.contains("QT_QPA_PLATFORM=offscreen"), errors.constData());
    }

    // A usage error ends the program with status 2 and a message, before any window.
    void usageErrorsEndAtOnce_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("position") << QStringList{QStringLiteral("--virtual-devices"),
                                                 QStringLiteral("--virtual-position"), QStringLiteral("0.5,abc")}
                                  << QByteArray("--virtual-position");
        QTest::newRow("set-up option alone") << QStringList{QStringLiteral("--game-dir"), QStringLiteral("X")}
                                             << QByteArray("--game-dir needs --setup-simulator");
    }
    void usageErrorsEndAtOnce()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        QProcess process;
        startVantrell(process, arguments);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains(message));
    }
};

QTEST_GUILESS_MAIN(TestVantrellProcess)
#include "tst_vantrellprocess.moc"
