#include "telemetryrecording.h"
#include "telemetrysourcedcs.h"
#include "telemetrythread.h"
#include "udptestsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Header and one entry, byte by byte (the checksum is CRC-32 of the entry
// before it, as zlib computes it). Version 1 headers still replay.
const QByteArray headerBytes = QByteArray::fromHex("4b5854454c524543" "0100" "0000");
// Version 2: release 240626 (0x0003abf2), started 2025-12-10 00:00:00 UTC
// (1765324800000 ms, 0x0000019b058ec000).
const QByteArray headerV2Bytes =
    QByteArray::fromHex("4b5854454c524543" "0200" "0000" "f2ab0300" "00c08e059b010000");
const QByteArray abcEntryBytes = QByteArray::fromHex("04030201" "02" "00" "5274" "03000000" "616263" "6d77680d");
const QByteArray failureEntryBytes = QByteArray::fromHex("dc050000" "04" "02" "0000" "00000000" "930de140");

// A telemetry thread on free ports and a hand-driven clock, with the DCS
// source's port at hand and a log of what it forwarded.
struct Rig
{
    ManualClock clock;
    TelemetryThread thread{nullptr, TelemetryEndpoints{.dcsPort = 0,
                                                       .il2Port = 0,
                                                       .condor2Port = 0,
                                                       .warthunderStateUrl = QUrl(QStringLiteral("http://127.0.0.1:9/state")),
                                                       .simConnect = {},
                                                       .msfsAddress = NetworkAddress{QStringLiteral("127.0.0.1"), 9}}};
    QStringList events;
    QList<DCSTelemetry> records;

    Rig()
    {
        thread.setClock(clock.function());
        for (int i = 1; i < Telemetry::SourceCount; ++i) {
            if (auto *udp = qobject_cast<TelemetrySourceUdp *>(thread.source(Telemetry::Source(i))))
                udp->setClock(clock.function());
        }
        QObject::connect(&thread, &TelemetryThread::telemetrySourceChanged,
                         [this](Telemetry::Source source, const QString &module) {
                             events << QStringLiteral("source %1 %2").arg(int(source)).arg(module);
                         });
        QObject::connect(&thread, &TelemetryThread::telemetryEnded, [this] { events << QStringLiteral("ended"); });
        QObject::connect(&thread, &TelemetryThread::landed, [this](float vs, float) {
            events << QStringLiteral("landed %1").arg(vs);
        });
        QObject::connect(&thread, &TelemetryThread::dcsTelemetryChanged, [this](const DCSTelemetry &t) {
            records << t;
        });
    }
    quint16 dcsPort() { return qobject_cast<TelemetrySourceUdp *>(thread.source(Telemetry::TELEMETRY_SOURCE_DCS))->localPort(); }
    void tick() { QVERIFY(QMetaObject::invokeMethod(&thread, "onTimeout", Qt::DirectConnection)); }
    // Ticks every 20 ms of the hand clock for `ms`.
    void run(qint64 ms)
    {
        for (qint64 t = 0; t < ms; t += 20) {
            clock.now += 20;
            tick();
        }
    }
};

QByteArray dcsLine(int i, int onGround)
{
    return QStringLiteral("TestJet;%1;-2.5;4;1.2;1;0;0.5;80;%2").arg(300 + i).arg(onGround).toUtf8();
}

// A recording of `count` DCS datagrams `stepMs` apart (the encoder's bytes
// are checked by hand above, so it may build inputs).
QByteArray dcsRecording(int count, int stepMs)
{
    QByteArray bytes = telemetryRecordingHeader();
    for (int i = 0; i < count; ++i) {
        RawTelemetryEntry e;
        e.timeMs = quint32(i * stepMs);
        e.source = Telemetry::TELEMETRY_SOURCE_DCS;
        e.payload = dcsLine(i, 0);
        bytes += encodeTelemetryEntry(e);
    }
    return bytes;
}

} // namespace

class TestTelemetryRecording : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void bytesOnDisk()
    {
        TelemetryRecordingWriter writer;
        QString error;
        QVERIFY(writer.open(path("bytes.kxrec"), &error, {240626, 1765324800000}));
        RawTelemetryEntry abc;
        abc.timeMs = 0x01020304;
        abc.source = Telemetry::TELEMETRY_SOURCE_DCS;
        abc.kind = RawTelemetryEntry::Datagram;
        abc.port = 29778;
        abc.payload = "abc";
        QVERIFY(writer.append(abc));
        RawTelemetryEntry failure;
        failure.timeMs = 1500;
        failure.source = Telemetry::TELEMETRY_SOURCE_WARTHUNDER;
        failure.kind = RawTelemetryEntry::HttpFailure;
        QVERIFY(writer.append(failure));
        writer.flush();
        // Flushed: the bytes are in the file while the recording is open.
        QCOMPARE(readAll(path("bytes.kxrec")).toHex(), (headerV2Bytes + abcEntryBytes + failureEntryBytes).toHex());
        writer.close();
        QCOMPARE(readAll(path("bytes.kxrec")).toHex(), (headerV2Bytes + abcEntryBytes + failureEntryBytes).toHex());

        // Never overwritten.
        TelemetryRecordingWriter again;
        QVERIFY(!again.open(path("bytes.kxrec"), &error));
        QVERIFY(error.contains(QLatin1String("already exists")));
        QCOMPARE(readAll(path("bytes.kxrec")).size(), 24 + 19 + 16);

        // What the header says comes back; a version 1 header says nothing, and its entries still replay.
        TelemetryRecordingReader reader;
        QVERIFY(reader.open(path("bytes.kxrec"), &error));
        QCOMPARE(reader.info().programVersion, quint32(240626));
        QCOMPARE(reader.info().startedAtMs, qint64(1765324800000));
        RawTelemetryEntry entry;
        writeAll(path("v1.kxrec"), headerBytes + abcEntryBytes);
        QVERIFY(reader.open(path("v1.kxrec"), &error));
        QCOMPARE(reader.info().programVersion, quint32(0));
        QCOMPARE(reader.info().startedAtMs, qint64(-1));
        QCOMPARE(reader.next(entry), TelemetryRecordingReader::Entry);
        QCOMPARE(entry.port, quint16(29778));
        QCOMPARE(reader.next(entry), TelemetryRecordingReader::End);
    }

    void readsWhatIsWellFormedAndSaysWhereTheDamageIs_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("damage");
        const QByteArray good = headerBytes + abcEntryBytes + failureEntryBytes;
        QTest::newRow("whole") << good << 2 << QString();
        QTest::newRow("cut in the second entry")
            << good.left(good.size() - 3) << 1 << QStringLiteral("entry 2 at offset 31: the file ends inside the entry");
        QTest::newRow("cut in a header") << good.left(12 + 19 + 5) << 1
                                         << QStringLiteral("entry 2 at offset 31: the file ends inside the entry");
        QByteArray flipped = good;
        flipped[12 + 12] = 'x'; // "abc" -> "xbc"
        QTest::newRow("flipped payload byte") << flipped << 0 << QStringLiteral("entry 1 at offset 12: checksum mismatch");
        QByteArray huge = headerBytes + QByteArray::fromHex("00000000020000000000ffff");
        QTest::newRow("impossible length") << huge << 0
                                           << QStringLiteral("entry 1 at offset 12: impossible length 4294901760");
    }
    void readsWhatIsWellFormedAndSaysWhereTheDamageIs()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, entries);
        QFETCH(QString, damage);
        writeAll(path("damaged.kxrec"), file);
        TelemetryRecordingReader reader;
        QString error;
        QVERIFY(reader.open(path("damaged.kxrec"), &error));
        RawTelemetryEntry entry;
        int read = 0;
        TelemetryRecordingReader::Result result;
        while ((result = reader.next(entry)) == TelemetryRecordingReader::Entry)
            ++read;
        QCOMPARE(read, entries);
        QCOMPARE(result, damage.isEmpty() ? TelemetryRecordingReader::End : TelemetryRecordingReader::Damaged);
        QCOMPARE(reader.damage(), damage);
    }

    void refusesWhatIsNotARecording()
    {
        writeAll(path("profile.json"), "{\"metadata\": {}}");
        TelemetryRecordingReader reader;
        QString error;
        QVERIFY(!reader.open(path("profile.json"), &error));
        QVERIFY2(error.contains(QLatin1String("is not a Kestrox telemetry recording")), qPrintable(error));
        writeAll(path("future.kxrec"), QByteArray::fromHex("4b5854454c524543" "0300" "0000") + QByteArray(12, '\0'));
        QVERIFY(!reader.open(path("future.kxrec"), &error));
        QVERIFY2(error.contains(QLatin1String("version 3")), qPrintable(error));
        // A version 2 header cut short.
        writeAll(path("short.kxrec"), headerV2Bytes.left(20));
        QVERIFY(!reader.open(path("short.kxrec"), &error));
        QVERIFY2(error.contains(QLatin1String("is not a Kestrox telemetry recording")), qPrintable(error));
    }

    // A flight recorded live replays to the same detection, records,
    // touchdown and end, at the recorded times.
    void roundTrip()
    {
        const QString file = path("flight.kxrec");
        QStringList liveEvents;
        QList<DCSTelemetry> liveRecords;
        {
            Rig live;
            QSignalSpy recording(&live.thread, &TelemetryThread::recordingChanged);
            live.thread.startRecording(file);
            QCOMPARE(recording.count(), 1);
            QCOMPARE(recording.first().at(0).toBool(), true);
            UdpSender dcs(live.dcsPort());
            for (int i = 0; i < 40; ++i) {
                const auto before = live.events.size() + live.records.size();
                dcs.send(dcsLine(i, i >= 30 ? 1 : 0));
                QVERIFY(pollUntil([&] { live.tick(); }, [&] { return live.events.size() + live.records.size() > before; }));
                live.clock.now += 20;
            }
            live.run(1100); // silence: the end
            live.thread.stopRecording();
            liveEvents = live.events;
            liveRecords = live.records;
        }
        QCOMPARE(liveEvents, (QStringList{QStringLiteral("source 2 TestJet"), QStringLiteral("landed -2.5"),
                                          QStringLiteral("ended")}));
        QCOMPARE(liveRecords.size(), 40); // 39 converted samples and the empty record

        Rig replay;
        QSignalSpy replayed(&replay.thread, &TelemetryThread::replayChanged);
        QVERIFY(replay.thread.startReplay(file));
        QVERIFY(replay.thread.isReplaying());
        replay.tick(); // at the recording's start, as the live run began
        replay.run(800); // 40 samples at 20 ms
        replay.run(1200); // then the silence
        QCOMPARE(replay.events, liveEvents);
        QCOMPARE(replay.records.size(), liveRecords.size());
        for (int i = 0; i < liveRecords.size(); ++i) {
            QCOMPARE(replay.records[i].airspeed, liveRecords[i].airspeed);
            QCOMPARE(replay.records[i].onGround, liveRecords[i].onGround);
        }
        // The end of the recording's telemetry ends the replay.
        replay.run(40);
        QVERIFY(!replay.thread.isReplaying());
        QCOMPARE(replayed.last().at(0).toBool(), false);
    }

    void speedAndLoop()
    {
        writeAll(path("seconds.kxrec"), dcsRecording(4, 1000)); // one datagram a second for 3 s

        Rig rig;
        QVERIFY(rig.thread.startReplay(path("seconds.kxrec"), 2.0, true));
        rig.tick();
        QCOMPARE(rig.events, QStringList{QStringLiteral("source 2 TestJet")});
        rig.run(480);
        QCOMPARE(rig.records.size(), 0);
        rig.run(40); // 500 ms at speed 2: the second datagram
        QCOMPARE(rig.records.size(), 1);
        rig.run(1000); // all four out after 1.5 s
        QCOMPARE(rig.records.size(), 3);
        rig.run(1100); // silence ends the source, then the loop starts over
        rig.run(40);
        QCOMPARE(rig.events, (QStringList{QStringLiteral("source 2 TestJet"), QStringLiteral("ended"),
                                          QStringLiteral("source 2 TestJet")}));
        QVERIFY(rig.thread.isReplaying());
        rig.thread.stopReplay();
        QVERIFY(!rig.thread.isReplaying());
    }

    // Whatever simulator a recording holds (even those whose sources wait for
    // an answer or a message and never notice silence), its telemetry ends
    // 1 s of replay time after the last entry, and the replay with it (or,
    // looping, starts over).
    void replayEndsAtTheRecordingsEnd_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("aircraft");

        // A data-by-type message of request 0: 40 bytes of header (size 440,
        // version 5, id 9, request 0, object 1, definition 0, flags 0, entry 0,
        // out of 1, 19 values), then the 400-byte sample with its title at 144.
        QByteArray msfs = QByteArray::fromHex("b8010000" "05000000" "09000000" "00000000" "01000000"
                                              "00000000" "00000000" "00000000" "01000000" "13000000");
        QByteArray sample(400, '\0');
        sample.replace(144, 9, "TestPlane");
        msfs += sample;
        QTest::newRow("msfs") << 1 << 3 << msfs << QStringLiteral("TestPlane");
        QTest::newRow("dcs") << 2 << 0 << dcsLine(0, 0) << QStringLiteral("TestJet");
        // Ten header bytes and no indicators: a sign of life that changes nothing.
        QTest::newRow("il2") << 3 << 0 << QByteArray(11, '\0') << QStringLiteral("Generic warbird");
        QTest::newRow("warthunder") << 4 << 1 << QByteArray("{\"IAS, km/h\": 300}")
                                    << QStringLiteral("Generic warbird");
        QTest::newRow("condor2") << 5 << 0 << QByteArray("airspeed=25\ngforce=1.2") << QStringLiteral("Generic glider");
        // An answer without values (no aircraft name yet).
        QTest::newRow("xplane") << 6 << 0 << QByteArray("RREF,") << QString();
    }
    void replayEndsAtTheRecordingsEnd()
    {
        QFETCH(int, source);
        QFETCH(int, kind);
        QFETCH(QByteArray, payload);
        QFETCH(QString, aircraft);
        // Three inputs, 100 ms apart.
        QByteArray bytes = telemetryRecordingHeader();
        for (int i = 0; i < 3; ++i) {
            RawTelemetryEntry e;
            e.timeMs = quint32(i * 100);
            e.source = Telemetry::Source(source);
            e.kind = RawTelemetryEntry::Kind(kind);
            e.payload = payload;
            bytes += encodeTelemetryEntry(e);
        }
        const QString file = path("end.kxrec");
        QFile::remove(file);
        writeAll(file, bytes);
        const QString started = QStringLiteral("source %1 %2").arg(source).arg(aircraft);

        for (const bool loop : {false, true}) {
            Rig rig;
            QSignalSpy replayed(&rig.thread, &TelemetryThread::replayChanged);
            QVERIFY(rig.thread.startReplay(file, 1.0, loop));
            rig.tick();
            QCOMPARE(rig.events, QStringList{started});
            rig.run(1180); // the last entry at 200 ms, then 980 ms of silence
            QCOMPARE(rig.events, QStringList{started});
            QVERIFY(rig.thread.isReplaying());
            rig.run(20); // 1 s after the last entry
            QCOMPARE(rig.events, (loop ? QStringList{started, QStringLiteral("ended"), started}
                                       : QStringList{started, QStringLiteral("ended")}));
            QCOMPARE(rig.thread.isReplaying(), loop);
            if (!loop)
                QCOMPARE(replayed.last().at(1).toString(), QStringLiteral("replay of %1 ended").arg(file));
        }
    }

    void damagedReplayStopsWithWhere()
    {
        QByteArray bytes = dcsRecording(3, 20);
        const qsizetype third = 24 + 2 * (bytes.size() - 24) / 3; // after a version 2 header
        bytes[third + 13] = char(bytes[third + 13] ^ 0x40);
        writeAll(path("broken.kxrec"), bytes);

        Rig rig;
        QSignalSpy replayed(&rig.thread, &TelemetryThread::replayChanged);
        QVERIFY(rig.thread.startReplay(path("broken.kxrec")));
        rig.tick();
        rig.run(100);
        QCOMPARE(rig.records.size(), 1); // the first activates, the second converts
        rig.run(1200);
        QVERIFY(!rig.thread.isReplaying());
        const QString message = replayed.last().at(1).toString();
        QVERIFY2(message.contains(QStringLiteral("entry 3 at offset %1").arg(third)), qPrintable(message));
        QVERIFY(rig.events.endsWith(QStringLiteral("ended")));

        QVERIFY(!rig.thread.startReplay(path("missing.kxrec")));
    }
};

QTEST_GUILESS_MAIN(TestTelemetryRecording)
#include "tst_telemetryrecording.moc"
