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

    // The script as it stands and as an earlier release shipped it count as shipped, in LF or CRLF; an edit does not.
    void shippedDcsScripts()
    {
        for (const QString &file :
             {QStringLiteral(KESTROX_DCS_EXPORT_SCRIPT), QFINDTESTDATA("data/KestroxExport-24.06.26.lua")}) {
            QFile f(file);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
            const QByteArray script = f.readAll();
            QVERIFY(isShippedDcsScript(script));
            QVERIFY(isShippedDcsScript(QByteArray(script).replace("\n", "\r\n")));
            QVERIFY(!isShippedDcsScript(QByteArray(script).replace("\"127.0.0.1\"", "\"192.168.1.20\"")));
        }
    }

    // SimConnect.cfg comes to name the listener's port, undo gives its bytes back; after null: kept by both.
    void simConnectPort_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<quint16>("port");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("message"); // why it is kept
        const QByteArray added = "; kestrox: written by kestrox-vantrell --setup-simulator msfs\n[SimConnect]\n"
                                 "Protocol=IPv4\nAddress=127.0.0.1\nPort=5200\n";
        QTest::newRow("absent") << QByteArray() << quint16(5200) << added << QString();
        QTest::newRow("the user's, CRLF")
            << QByteArray("[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=5111\r\n") << quint16(5200)
            << QByteArray("[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=5200\r\n") << QString();
        QTest::newRow("no port, localhost, no final newline")
            << QByteArray("; mine\n[SimConnect]\nAddress = localhost\n[Other]\nPort=1") << quint16(5200)
            << QByteArray("; mine\n[SimConnect]\nAddress = localhost\nPort=5200\n[Other]\nPort=1") << QString();
        QTest::newRow("other sections only") << QByteArray("[Other]\nkey=value") << quint16(5200)
                                             << QByteArray("[Other]\nkey=value\n") + added << QString();
        QTest::newRow("another computer")
            << QByteArray("[SimConnect]\nProtocol=IPv4\nAddress=192.168.1.30\nPort=5111\n") << quint16(5200)
            << QByteArray() << "192.168.1.30";
        QTest::newRow("kestrox's section, edited since")
            << QByteArray(added).replace("127.0.0.1", "10.0.0.9") << quint16(5200) << QByteArray() << "10.0.0.9";
        QTest::newRow("IPv6") << QByteArray("[SimConnect]\nProtocol=IPv6\nAddress=127.0.0.1\nPort=5111\n")
                              << quint16(5200) << QByteArray() << "Protocol=IPv6";
        QTest::newRow("no address") << QByteArray("[SimConnect]\nPort=5111\n") << quint16(5200) << QByteArray()
                                    << "Address=,";
        QTest::newRow("absent, default port") << QByteArray() << quint16(5111) << QByteArray() << "port 5111";
    }
    void simConnectPort()
    {
        QFETCH(QByteArray, before);
        QFETCH(quint16, port);
        QFETCH(QByteArray, after);
        QFETCH(QString, message);
        const EditResult set = setSimConnectPort(before, port);
        if (after.isNull()) {
            QCOMPARE(set.status, EditResult::Unchanged);
            QVERIFY2(set.message.contains(message), qPrintable(set.message));
            QCOMPARE(restoreSimConnectPort(before, QByteArray()).status, EditResult::Unchanged);
            return;
        }
        QCOMPARE(set.status, EditResult::Changed);
        QCOMPARE(set.bytes, after);
        QCOMPARE(setSimConnectPort(after, port).status, EditResult::Unchanged);
        const EditResult restored = restoreSimConnectPort(after, before);
        QCOMPARE(restored.status, EditResult::Changed);
        QCOMPARE(restored.bytes, before);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorEdits)
#include "tst_simulatoredits.moc"
