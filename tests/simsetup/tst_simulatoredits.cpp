// The edits on hand-written files: each case gives the file's bytes before and
// after, so line endings, BOMs and untouched lines are checked byte for byte.
#include "simulatoredits.h"

#include <QFile>
#include <QTest>

using namespace SimulatorEdits;

class TestSimulatorEdits : public QObject
{
    Q_OBJECT

    // Applies the edit, checks the exact result, then that a second run
    // changes nothing and that undo (given the original as the backup) gives
    // the original back.
    template<typename Add, typename Remove>
    void roundTrip(const QByteArray &before, const QByteArray &after, Add add, Remove remove)
    {
        const EditResult added = add(before);
        QCOMPARE(added.status, EditResult::Changed);
        QCOMPARE(added.bytes, after);
        QCOMPARE(add(after).status, EditResult::Unchanged);
        const EditResult removed = remove(after, before);
        QCOMPARE(removed.status, EditResult::Changed);
        QCOMPARE(removed.bytes, before);
    }

private slots:
    void dcsExportLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray ours = "dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox";
        QTest::newRow("CRLF with BOM and another tool")
            << QByteArray("\xEF\xBB\xBF-- Other tool\r\ndofile(lfs.writedir()..[[Scripts\\Other.lua]])\r\n")
            << QByteArray("\xEF\xBB\xBF-- Other tool\r\ndofile(lfs.writedir()..[[Scripts\\Other.lua]])\r\n") + ours + "\r\n";
        QTest::newRow("no final newline")
            << QByteArray("local p = lfs.writedir()\npcall(dofile, p..[[Scripts\\Other.lua]])")
            << QByteArray("local p = lfs.writedir()\npcall(dofile, p..[[Scripts\\Other.lua]])\n") + ours + "\n";
        QTest::newRow("a commented-out load does not count")
            << QByteArray("-- dofile(lfs.writedir()..[[Scripts\\KestroxExport.lua]])\n")
            << QByteArray("-- dofile(lfs.writedir()..[[Scripts\\KestroxExport.lua]])\n") + ours + "\n";
    }
    void dcsExportLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        roundTrip(before, after, addDcsExportLine, removeDcsExportLine);
    }

    void dcsExportLineLoadedByHand()
    {
        const QByteArray own = "local kestrox = lfs.writedir()..[[Scripts\\]]\r\ndofile(kestrox..[[KestroxExport.lua]])\r\n";
        QCOMPARE(addDcsExportLine(own).status, EditResult::Unchanged);
        QCOMPARE(removeDcsExportLine(own, QByteArray()).status, EditResult::Unchanged);
    }

    void il2Telemetry()
    {
        const QByteArray before = "[KEY = graphics]\r\n    width = 1920\r\n    height = 1080\r\n[END]\r\n"
                                  "[KEY = sound]\r\n    volume = 1\r\n[END]\r\n";
        const QByteArray after = before
                                 + "[KEY = telemetrydevice]\r\n    addr = \"127.0.0.1\"\r\n    decimation = 2\r\n"
                                   "    enable = true\r\n    port = 29777\r\n[END]\r\n";
        roundTrip(before, after, addIl2Telemetry, removeIl2Telemetry);
    }

    void il2KeepsOtherTelemetry_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("status");
        QTest::newRow("another address")
            << QByteArray("[KEY = telemetrydevice]\n\taddr = \"192.168.1.20\"\n\tdecimation = 1\n\tenable = true\n"
                          "\tport = 4321\n[END]\n")
            << int(EditResult::Refused);
        QTest::newRow("switched off")
            << QByteArray("[KEY=telemetrydevice]\n\taddr = \"127.0.0.1\"\n\tenable = false\n\tport = 29777\n[END]\n")
            << int(EditResult::Refused);
        QTest::newRow("already ours, other spacing")
            << QByteArray("[KEY = telemetrydevice]\n  port=29777\n  addr=\"127.0.0.1\"\n  enable=true\n  decimation=1\n[END]\n")
            << int(EditResult::Unchanged);
    }
    void il2KeepsOtherTelemetry()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QCOMPARE(int(addIl2Telemetry(file).status), status);
        // Undo never takes a block the original already had.
        QCOMPARE(removeIl2Telemetry(file, file).status, EditResult::Unchanged);
    }

    void condorUdp_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("all keys, other values")
            << QByteArray("[General]\r\nHostName=x\r\n\r\n[UDP]\r\nEnabled=1\r\nHost = 192.168.0.10\r\nPort=55000\r\n"
                          "SendIntervalMs=20\r\nExtendedData=1\r\n")
            << QByteArray("[General]\r\nHostName=x\r\n\r\n[UDP]\r\nEnabled=1\r\nHost = 127.0.0.1\r\nPort=55278\r\n"
                          "SendIntervalMs=20\r\nExtendedData=1\r\n");
        QTest::newRow("port and interval missing, no final newline")
            << QByteArray("\xEF\xBB\xBF[Output]\r\nExtendedData=0\r\nhost=10.0.0.2")
            << QByteArray("\xEF\xBB\xBF[Output]\r\nExtendedData=0\r\nhost=127.0.0.1\r\nPort=55278\r\nSendIntervalMs=16\r\n");
    }
    void condorUdp()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        roundTrip(before, after, setCondorUdp, restoreCondorUdp);
    }

    void condorWithoutHost()
    {
        QCOMPARE(setCondorUdp("[UDP]\r\nPort=55000\r\n").status, EditResult::Refused);
        QCOMPARE(setCondorUdp(QByteArray()).status, EditResult::Refused);
    }

    void msfsListener()
    {
        const QByteArray before =
            "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\n"
            "<SimBase.Document Type=\"SimConnect\" version=\"1,0\">\r\n"
            "  <Descr>SimConnect Server Configuration</Descr>\r\n"
            "  <SimConnect.Comm>\r\n    <Protocol>Pipe</Protocol>\r\n    <Scope>local</Scope>\r\n"
            "  </SimConnect.Comm>\r\n"
            "</SimBase.Document>\r\n";
        const QByteArray after =
            "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\n"
            "<SimBase.Document Type=\"SimConnect\" version=\"1,0\">\r\n"
            "  <Descr>SimConnect Server Configuration</Descr>\r\n"
            "  <SimConnect.Comm>\r\n    <Protocol>Pipe</Protocol>\r\n    <Scope>local</Scope>\r\n"
            "  </SimConnect.Comm>\r\n"
            "  <!-- kestrox: SimConnect over TCP for kestrox-vantrell -->\r\n"
            "  <SimConnect.Comm>\r\n    <Protocol>IPv4</Protocol>\r\n    <Scope>local</Scope>\r\n"
            "    <Address>127.0.0.1</Address>\r\n    <Port>5112</Port>\r\n    <MaxClients>64</MaxClients>\r\n"
            "    <MaxRecvSize>41088</MaxRecvSize>\r\n  </SimConnect.Comm>\r\n"
            "</SimBase.Document>\r\n";
        roundTrip(before, after, [](const QByteArray &b) { return addMsfsListener(b, 5112); }, removeMsfsListener);
    }

    void msfsLeavesWhatItCannotRead()
    {
        const QByteArray ipv4 = "<SimBase.Document>\n<SimConnect.Comm>\n<Protocol>IPv4</Protocol>\n"
                                "<Address>0.0.0.0</Address>\n<Port>5111</Port>\n</SimConnect.Comm>\n</SimBase.Document>\n";
        QCOMPARE(addMsfsListener(ipv4, 5111).status, EditResult::Unchanged);
        QCOMPARE(removeMsfsListener(ipv4, QByteArray()).status, EditResult::Unchanged);
        QCOMPARE(addMsfsListener("<SimBase.Document><Descr>x</Descr></SimBase.Document>", 5111).status,
                 EditResult::Refused);
        QCOMPARE(addMsfsListener(QByteArray("\xFF\xFE<\0S\0", 6), 5111).status, EditResult::Refused);
    }

    // The script as it stands and as an earlier release shipped it count as
    // shipped, whatever their line endings; any edit makes it the user's.
    void shippedDcsScripts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("current") << QStringLiteral(KESTROX_DCS_EXPORT_SCRIPT);
        QTest::newRow("24.06.26") << QFINDTESTDATA("data/KestroxExport-24.06.26.lua");
    }
    void shippedDcsScripts()
    {
        QFETCH(QString, file);
        QFile f(file);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
        const QByteArray script = f.readAll();
        QVERIFY(isShippedDcsScript(script));
        QVERIFY(isShippedDcsScript(QByteArray(script).replace("\n", "\r\n")));
        QVERIFY(!isShippedDcsScript(QByteArray(script).replace("\"127.0.0.1\"", "\"192.168.1.20\"")));
        QVERIFY(!isShippedDcsScript(script + "\n"));
        QVERIFY(!isShippedDcsScript(QByteArray()));
    }

    // kestrox-vantrell's SimConnect.cfg comes to name the port the listener
    // has, and undo gives back the bytes it had.
    void simConnectPort_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("absent")
            << QByteArray()
            << QByteArray("; kestrox: written by kestrox-vantrell --setup-simulator msfs\n[SimConnect]\nProtocol=IPv4\n"
                          "Address=127.0.0.1\nPort=5200\n");
        QTest::newRow("the user's, CRLF")
            << QByteArray("[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=5111\r\n")
            << QByteArray("[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=5200\r\n");
        QTest::newRow("no port, localhost, no final newline")
            << QByteArray("; mine\n[SimConnect]\nAddress = localhost\n[Other]\nPort=1")
            << QByteArray("; mine\n[SimConnect]\nAddress = localhost\nPort=5200\n[Other]\nPort=1");
        QTest::newRow("other sections only")
            << QByteArray("[Other]\nkey=value")
            << QByteArray("[Other]\nkey=value\n; kestrox: written by kestrox-vantrell --setup-simulator msfs\n"
                          "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=5200\n");
    }
    void simConnectPort()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const EditResult added = setSimConnectPort(before, 5200);
        QCOMPARE(added.status, EditResult::Changed);
        QCOMPARE(added.bytes, after);
        QCOMPARE(setSimConnectPort(after, 5200).status, EditResult::Unchanged);
        // Undo with the backup a file that existed has, and without one for
        // a file that kestrox created.
        const EditResult removed = restoreSimConnectPort(after, before.isEmpty() ? QByteArray() : before);
        QCOMPARE(removed.status, EditResult::Changed);
        QCOMPARE(removed.bytes, before);
    }

    // Another computer, another protocol, or the default port with nothing
    // to say: the file stays as it is.
    void simConnectPortKept_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<quint16>("port");
        QTest::addColumn<QString>("message");
        QTest::newRow("another computer")
            << QByteArray("[SimConnect]\nProtocol=IPv4\nAddress=192.168.1.30\nPort=5111\n") << quint16(5200)
            << QStringLiteral("192.168.1.30");
        QTest::newRow("IPv6") << QByteArray("[SimConnect]\nProtocol=IPv6\nAddress=::1\nPort=5111\n") << quint16(5200)
                              << QStringLiteral("Protocol=IPv6");
        QTest::newRow("no address") << QByteArray("[SimConnect]\nPort=5111\n") << quint16(5200)
                                    << QStringLiteral("Address=,");
        QTest::newRow("not 127") << QByteArray("[SimConnect]\nAddress=128.0.0.1\nPort=5111\n") << quint16(5200)
                                 << QStringLiteral("128.0.0.1");
        QTest::newRow("absent, default port") << QByteArray() << quint16(5111) << QStringLiteral("port 5111");
        QTest::newRow("already the port") << QByteArray("[SimConnect]\nAddress=127.0.0.1\nPort=5200\n")
                                          << quint16(5200) << QStringLiteral("port 5200");
    }
    void simConnectPortKept()
    {
        QFETCH(QByteArray, file);
        QFETCH(quint16, port);
        QFETCH(QString, message);
        const EditResult result = setSimConnectPort(file, port);
        QCOMPARE(result.status, EditResult::Unchanged);
        QVERIFY2(result.message.contains(message), qPrintable(result.message));
    }

    // Undo leaves what it cannot tell for its own: a section it added that
    // was edited since, and a file it never backed up.
    void simConnectUndoKeeps()
    {
        const QByteArray edited = "; kestrox: written by kestrox-vantrell --setup-simulator msfs\n[SimConnect]\n"
                                  "Protocol=IPv4\nAddress=192.168.1.30\nPort=5200\n";
        QCOMPARE(restoreSimConnectPort(edited, QByteArray()).status, EditResult::Unchanged);
        const QByteArray handWritten = "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=5111\n";
        QCOMPARE(restoreSimConnectPort(handWritten, QByteArray()).status, EditResult::Unchanged);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorEdits)
#include "tst_simulatoredits.moc"
