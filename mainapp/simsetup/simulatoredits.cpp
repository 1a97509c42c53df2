#include "simulatoredits.h"

#include "textlines.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace {

EditResult changed(const TextLines &lines, const QString &message)
{
    return {EditResult::Changed, lines.bytes(), message};
}

EditResult unchanged(const QString &message)
{
    return {EditResult::Unchanged, QByteArray(), message};
}

EditResult refused(const QString &message)
{
    return {EditResult::Refused, QByteArray(), message};
}

// Removing lines from the end of a file whose original had no final newline
// takes back the newline that adding them gave the line before.
void restoreMissingFinalNewline(TextLines &lines, qsizetype removedAt, const QByteArray &original)
{
    if (removedAt == lines.lines.size() && !lines.lines.isEmpty() && !original.isEmpty()
        && !original.endsWith('\n'))
        lines.lines.last().eol.clear();
}

bool isLuaComment(const QByteArray &trimmed)
{
    return trimmed.startsWith("--");
}

// "key = value" with the value unquoted; empty key when the line is not one.
QPair<QByteArray, QByteArray> keyValue(const QByteArray &trimmed)
{
    const qsizetype equals = trimmed.indexOf('=');
    if (equals <= 0)
        return {};
    QByteArray value = trimmed.mid(equals + 1).trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    return {trimmed.left(equals).trimmed().toLower(), value};
}

QByteArray withoutSpaces(QByteArray text)
{
    return text.replace(' ', "").replace('\t', "").toLower();
}

// ---- IL-2 startup.cfg -------------------------------------------------------

struct Il2Block
{
    qsizetype begin = -1; // the [KEY = telemetrydevice] line
    qsizetype end = -1;   // the [END] line
    QList<QPair<QByteArray, QByteArray>> values;

    QByteArray value(const QByteArray &key) const
    {
        for (const auto &kv : values)
            if (kv.first == key)
                return kv.second;
        return {};
    }
    bool sendsToUs() const
    {
        return value("addr") == "127.0.0.1" && value("port") == QByteArray::number(SimulatorEdits::Il2Port)
               && value("enable").toLower() == "true";
    }
    // Exactly the four lines the set-up command writes.
    bool isOurs() const
    {
        return values.size() == 4 && sendsToUs() && value("decimation") == "2";
    }
};

QList<Il2Block> il2TelemetryBlocks(const TextLines &lines)
{
    QList<Il2Block> blocks;
    for (qsizetype i = 0; i < lines.lines.size(); ++i) {
        if (withoutSpaces(lines.trimmed(i)) != "[key=telemetrydevice]")
            continue;
        Il2Block block;
        block.begin = i;
        for (qsizetype j = i + 1; j < lines.lines.size(); ++j) {
            const QByteArray text = lines.trimmed(j);
            if (withoutSpaces(text) == "[end]") {
                block.end = j;
                break;
            }
            if (text.startsWith("[KEY"))
                break;
            const auto kv = keyValue(text);
            if (!kv.first.isEmpty())
                block.values.append(kv);
        }
        blocks.append(block);
    }
    return blocks;
}

QByteArray il2Indentation(const TextLines &lines)
{
    for (qsizetype i = 0; i + 1 < lines.lines.size(); ++i)
        if (lines.trimmed(i).startsWith("[KEY") && !lines.trimmed(i + 1).startsWith('['))
            return lines.indentation(i + 1);
    return "\t";
}

// ---- Condor 2 UDP.ini -------------------------------------------------------

struct IniSection
{
    qsizetype host = -1, port = -1, interval = -1;
    QByteArray name;
};

QByteArray iniKey(const QByteArray &trimmed)
{
    const qsizetype equals = trimmed.indexOf('=');
    if (equals <= 0 || trimmed.startsWith(';') || trimmed.startsWith('#'))
        return {};
    return trimmed.left(equals).trimmed().toLower();
}

QByteArray iniValue(const QByteArray &trimmed)
{
    return trimmed.mid(trimmed.indexOf('=') + 1).trimmed();
}

// The first section holding Host, with the lines of its three keys.
IniSection condorSection(const TextLines &lines)
{
    IniSection section;
    QByteArray name;
    bool found = false;
    for (qsizetype i = 0; i < lines.lines.size(); ++i) {
        const QByteArray text = lines.trimmed(i);
        if (text.startsWith('[')) {
            if (found)
                break;
            name = text.toLower();
            section = IniSection{};
            continue;
        }
        const QByteArray key = iniKey(text);
        if (key == "host") {
            section.host = i;
            section.name = name;
            found = true;
        } else if (key == "port") {
            section.port = i;
        } else if (key == "sendintervalms") {
            section.interval = i;
        }
    }
    return found ? section : IniSection{};
}

// Replaces the value after "=", keeping the key's spelling and spacing.
void setIniValue(TextLines &lines, qsizetype index, const QByteArray &value)
{
    QByteArray &text = lines.lines[index].text;
    qsizetype start = text.indexOf('=') + 1;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    text = text.left(start) + value;
}

// ---- MSFS SimConnect.xml ----------------------------------------------------

const QByteArray msfsMarker = "<!-- kestrox: SimConnect over TCP for kestrox-vantrell -->";

qsizetype findTrimmed(const TextLines &lines, const QByteArray &text, qsizetype from = 0)
{
    for (qsizetype i = from; i < lines.lines.size(); ++i)
        if (lines.trimmed(i) == text)
            return i;
    return -1;
}

// ---- DCS export script -------------------------------------------------------

// SHA-256 of every KestroxExport.lua this program has shipped, read with LF
// endings. When the script changes, its new checksum is added here and the
// old ones stay: copies of them may still sit in a Saved Games folder.
constexpr const char *shippedDcsScripts[] = {
    "f464c03d2d083d3474ecb38e935d792ae79a8490b2cc76868a43b7ec6b8ceca1", // 24.06.26
    "d2a253c1817cd0e5211ad5bd1dd7efd8d657fe7378affe1b5b14d4dbbc4eb309", // host and port settable from Export.lua
};

// ---- kestrox-vantrell's SimConnect.cfg -----------------------------------------

// Keys as kestrox-vantrell reads them (QSettings: case matters).
struct SimConnectSection
{
    qsizetype header = -1, protocol = -1, address = -1, port = -1;
};

SimConnectSection simConnectSection(const TextLines &lines)
{
    SimConnectSection section;
    bool inside = false;
    for (qsizetype i = 0; i < lines.lines.size(); ++i) {
        const QByteArray text = lines.trimmed(i);
        if (text.startsWith('[')) {
            if (inside)
                break;
            inside = text == "[SimConnect]";
            if (inside)
                section.header = i;
            continue;
        }
        if (!inside || text.startsWith(';') || text.startsWith('#') || !text.contains('='))
            continue;
        const QByteArray key = text.left(text.indexOf('=')).trimmed();
        if (key == "Protocol")
            section.protocol = i;
        else if (key == "Address")
            section.address = i;
        else if (key == "Port")
            section.port = i;
    }
    return section;
}

bool isLocalIpv4(const QByteArray &address)
{
    if (address.compare("localhost", Qt::CaseInsensitive) == 0)
        return true;
    const QList<QByteArray> parts = address.split('.');
    if (parts.size() != 4 || parts.first() != "127")
        return false;
    for (const QByteArray &part : parts) {
        bool ok = false;
        if (part.isEmpty() || part.toUInt(&ok) > 255 || !ok)
            return false;
    }
    return true;
}

const QByteArray simConnectMarker = "; kestrox: written by kestrox-vantrell --setup-simulator msfs";
const QList<QByteArray> simConnectBlock = {"[SimConnect]", "Protocol=IPv4", "Address=127.0.0.1"};

} // namespace

namespace SimulatorEdits {

QByteArray dcsExportLine()
{
    return "dofile(lfs.writedir() .. [[Scripts\\KestroxExport.lua]]) -- kestrox";
}

EditResult addDcsExportLine(const QByteArray &exportLua)
{
    TextLines lines(exportLua);
    for (qsizetype i = 0; i < lines.lines.size(); ++i) {
        const QByteArray text = lines.trimmed(i);
        if (!isLuaComment(text) && text.contains("KestroxExport.lua"))
            return unchanged(QStringLiteral("Export.lua already loads KestroxExport.lua"));
    }
    lines.append({dcsExportLine()});
    return changed(lines, QStringLiteral("added the line that loads KestroxExport.lua to Export.lua"));
}

EditResult removeDcsExportLine(const QByteArray &exportLua, const QByteArray &original)
{
    TextLines lines(exportLua);
    const QByteArray ours = dcsExportLine();
    qsizetype removedAt = -1;
    for (qsizetype i = lines.lines.size() - 1; i >= 0; --i) {
        if (lines.trimmed(i) == ours) {
            lines.remove(i, 1);
            removedAt = i;
        }
    }
    if (removedAt < 0)
        return unchanged(QStringLiteral("Export.lua holds no line added by kestrox"));
    restoreMissingFinalNewline(lines, removedAt, original);
    return changed(lines, QStringLiteral("removed the line that loads KestroxExport.lua from Export.lua"));
}

EditResult addIl2Telemetry(const QByteArray &startupCfg)
{
    TextLines lines(startupCfg);
    const QList<Il2Block> blocks = il2TelemetryBlocks(lines);
    for (const Il2Block &block : blocks)
        if (block.sendsToUs())
            return unchanged(QStringLiteral("startup.cfg already sends telemetry to 127.0.0.1 port %1")
                                 .arg(Il2Port));
    if (!blocks.isEmpty()) {
        const Il2Block &block = blocks.first();
        return refused(QStringLiteral("startup.cfg already has a telemetry block (addr %1, port %2, enable %3) "
                                      "that belongs to another program; it was left as it is. "
                                      "IL-2 sends telemetry to one address only: to use Kestrox, set "
                                      "addr = \"127.0.0.1\" and port = %4 in it by hand, or have the "
                                      "other program forward to that port.")
                           .arg(QString::fromUtf8(block.value("addr")), QString::fromUtf8(block.value("port")),
                                QString::fromUtf8(block.value("enable")))
                           .arg(Il2Port));
    }
    const QByteArray indent = il2Indentation(lines);
    lines.append({"[KEY = telemetrydevice]", indent + "addr = \"127.0.0.1\"", indent + "decimation = 2",
                  indent + "enable = true", indent + "port = " + QByteArray::number(Il2Port), "[END]"});
    return changed(lines, QStringLiteral("added a telemetry block sending to 127.0.0.1 port %1 to startup.cfg")
                              .arg(Il2Port));
}

EditResult removeIl2Telemetry(const QByteArray &startupCfg, const QByteArray &original)
{
    if (original.isNull())
        return unchanged(QStringLiteral("startup.cfg has no backup from kestrox, so it holds nothing kestrox added"));
    if (!il2TelemetryBlocks(TextLines(original)).isEmpty())
        return unchanged(QStringLiteral("the telemetry block in startup.cfg was there before kestrox; kept"));
    TextLines lines(startupCfg);
    for (const Il2Block &block : il2TelemetryBlocks(lines)) {
        if (block.isOurs() && block.end > block.begin) {
            lines.remove(block.begin, block.end - block.begin + 1);
            restoreMissingFinalNewline(lines, block.begin, original);
            return changed(lines, QStringLiteral("removed the telemetry block kestrox added to startup.cfg"));
        }
    }
    return unchanged(QStringLiteral("startup.cfg holds no telemetry block as kestrox wrote it"));
}

EditResult setCondorUdp(const QByteArray &udpIni)
{
    TextLines lines(udpIni);
    const IniSection section = condorSection(lines);
    if (section.host < 0)
        return refused(QStringLiteral("UDP.ini has no Host key, so its layout is unknown; nothing was changed"));
    const QByteArray port = QByteArray::number(CondorPort);
    if (iniValue(lines.trimmed(section.host)) == "127.0.0.1" && section.port >= 0
        && iniValue(lines.trimmed(section.port)) == port && section.interval >= 0)
        return unchanged(QStringLiteral("UDP.ini already sends to 127.0.0.1 port %1").arg(CondorPort));

    const QByteArray indent = lines.indentation(section.host);
    setIniValue(lines, section.host, "127.0.0.1");
    qsizetype after = section.host;
    if (section.port >= 0) {
        setIniValue(lines, section.port, port);
        after = section.port;
    } else {
        lines.insert(++after, {indent + "Port=" + port});
    }
    QString message = QStringLiteral("set Host=127.0.0.1 and Port=%1 in UDP.ini").arg(CondorPort);
    if (section.interval < 0) {
        lines.insert(after + 1, {indent + "SendIntervalMs=16"});
        message += QStringLiteral(", added SendIntervalMs=16");
    }
    return changed(lines, message);
}

EditResult restoreCondorUdp(const QByteArray &udpIni, const QByteArray &original)
{
    if (original.isNull())
        return unchanged(QStringLiteral("UDP.ini has no backup from kestrox, so kestrox changed nothing in it"));
    const TextLines before(original);
    const IniSection old = condorSection(before);
    TextLines lines(udpIni);
    const IniSection now = condorSection(lines);
    if (old.host < 0 || now.host < 0)
        return unchanged(QStringLiteral("UDP.ini has no Host key; nothing to restore"));

    // Lines that were there get their old text back; lines kestrox added go,
    // as long as they still carry what kestrox wrote.
    QList<qsizetype> added;
    const auto restore = [&](qsizetype oldLine, qsizetype nowLine, const QByteArray &ours) {
        if (nowLine < 0)
            return;
        if (oldLine >= 0)
            lines.lines[nowLine].text = before.lines[oldLine].text;
        else if (iniValue(lines.trimmed(nowLine)) == ours)
            added.append(nowLine);
    };
    restore(old.host, now.host, "127.0.0.1");
    restore(old.port, now.port, QByteArray::number(CondorPort));
    restore(old.interval, now.interval, "16");
    std::sort(added.begin(), added.end(), std::greater<>());
    for (qsizetype line : added) {
        lines.remove(line, 1);
        restoreMissingFinalNewline(lines, line, original);
    }
    if (lines.bytes() == udpIni)
        return unchanged(QStringLiteral("UDP.ini already has its original UDP settings"));
    return changed(lines, QStringLiteral("restored the original UDP output settings in UDP.ini"));
}

EditResult addMsfsListener(const QByteArray &simConnectXml, quint16 port)
{
    if (simConnectXml.contains('\0'))
        return refused(QStringLiteral("SimConnect.xml is not in an 8-bit encoding; nothing was changed"));
    TextLines lines(simConnectXml);
    if (findTrimmed(lines, msfsMarker) >= 0)
        return unchanged(QStringLiteral("SimConnect.xml already has the kestrox listener"));

    static const QRegularExpression comm(QStringLiteral("<SimConnect\\.Comm>(.*?)</SimConnect\\.Comm>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromLatin1(simConnectXml);
    for (auto it = comm.globalMatch(text); it.hasNext();) {
        const QString entry = it.next().captured(1);
        if (entry.contains(QStringLiteral("<Protocol>IPv4</Protocol>"))
            && entry.contains(QStringLiteral("<Port>%1</Port>").arg(port)))
            return unchanged(QStringLiteral("SimConnect.xml already has an IPv4 listener on port %1").arg(port));
    }

    const qsizetype close = findTrimmed(lines, "</SimBase.Document>");
    if (close < 0)
        return refused(QStringLiteral("SimConnect.xml has no </SimBase.Document> on a line of its own; "
                                      "nothing was changed"));
    QByteArray indent = "\t";
    for (qsizetype i = 0; i < close; ++i) {
        if (lines.trimmed(i).startsWith("<SimConnect.Comm") || lines.trimmed(i).startsWith("<Descr>")) {
            indent = lines.indentation(i);
            break;
        }
    }
    const QByteArray inner = indent.isEmpty() ? QByteArray("\t") : indent + indent;
    lines.insert(close, {indent + msfsMarker, indent + "<SimConnect.Comm>", inner + "<Protocol>IPv4</Protocol>",
                         inner + "<Scope>local</Scope>", inner + "<Address>127.0.0.1</Address>",
                         inner + "<Port>" + QByteArray::number(port) + "</Port>",
                         inner + "<MaxClients>64</MaxClients>", inner + "<MaxRecvSize>41088</MaxRecvSize>",
                         indent + "</SimConnect.Comm>"});
    return changed(lines, QStringLiteral("added an IPv4 listener on 127.0.0.1 port %1 to SimConnect.xml").arg(port));
}

QList<quint16> msfsListenerPorts(const QByteArray &simConnectXml)
{
    static const QRegularExpression comm(QStringLiteral("<SimConnect\\.Comm>(.*?)</SimConnect\\.Comm>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression port(QStringLiteral("<Port>\\s*(\\d{1,5})\\s*</Port>"));
    QList<quint16> ports;
    const QString text = QString::fromLatin1(simConnectXml);
    for (auto it = comm.globalMatch(text); it.hasNext();) {
        const QString entry = it.next().captured(1);
        const QRegularExpressionMatch number = port.match(entry);
        const uint value = number.captured(1).toUInt();
        if (entry.contains(QStringLiteral("<Protocol>IPv4</Protocol>")) && number.hasMatch() && value > 0
            && value <= 65535)
            ports.append(quint16(value));
    }
    return ports;
}

EditResult removeMsfsListener(const QByteArray &simConnectXml, const QByteArray &original)
{
    TextLines lines(simConnectXml);
    const qsizetype begin = findTrimmed(lines, msfsMarker);
    const qsizetype end = begin < 0 ? -1 : findTrimmed(lines, "</SimConnect.Comm>", begin);
    if (end < 0)
        return unchanged(QStringLiteral("SimConnect.xml holds no listener added by kestrox"));
    lines.remove(begin, end - begin + 1);
    restoreMissingFinalNewline(lines, begin, original);
    return changed(lines, QStringLiteral("removed the kestrox listener from SimConnect.xml"));
}

} // namespace SimulatorEdits

namespace SimulatorEdits {

bool isShippedDcsScript(const QByteArray &script)
{
    const QByteArray lf = QByteArray(script).replace("\r\n", "\n");
    const QByteArray sum = QCryptographicHash::hash(lf, QCryptographicHash::Sha256).toHex();
    return std::any_of(std::begin(shippedDcsScripts), std::end(shippedDcsScripts),
                       [&sum](const char *shipped) { return sum == shipped; });
}

EditResult setSimConnectPort(const QByteArray &simConnectCfg, quint16 port)
{
    TextLines lines(simConnectCfg);
    const SimConnectSection section = simConnectSection(lines);
    const QByteArray number = QByteArray::number(port);
    if (section.header < 0) {
        if (port == DefaultMsfsPort)
            return unchanged(QStringLiteral("SimConnect.cfg names no address, so kestrox-vantrell dials "
                                            "127.0.0.1 port %1")
                                 .arg(port));
        lines.append({simConnectMarker, simConnectBlock[0], simConnectBlock[1], simConnectBlock[2], "Port=" + number});
        return changed(lines, QStringLiteral("added a [SimConnect] section naming 127.0.0.1 port %1").arg(port));
    }
    const QByteArray protocol = section.protocol < 0 ? QByteArray() : iniValue(lines.trimmed(section.protocol));
    const QByteArray address = section.address < 0 ? QByteArray() : iniValue(lines.trimmed(section.address));
    const QByteArray current = section.port < 0 ? QByteArray() : iniValue(lines.trimmed(section.port));
    if (!isLocalIpv4(address) || !(protocol.isEmpty() || protocol.compare("IPv4", Qt::CaseInsensitive) == 0))
        return unchanged(QStringLiteral("SimConnect.cfg names Protocol=%1, Address=%2, Port=%3, which "
                                        "kestrox-vantrell dials instead of this listener; kept as it is. To use this "
                                        "MSFS, set Address=127.0.0.1 and Port=%4 in its [SimConnect] section.")
                             .arg(QString::fromUtf8(protocol), QString::fromUtf8(address), QString::fromUtf8(current))
                             .arg(port));
    if (current == number)
        return unchanged(QStringLiteral("SimConnect.cfg already names %1 port %2")
                             .arg(QString::fromUtf8(address))
                             .arg(port));
    if (section.port >= 0) {
        setIniValue(lines, section.port, number);
    } else {
        lines.insert(section.address + 1, {lines.indentation(section.address) + "Port=" + number});
    }
    return changed(lines, QStringLiteral("set Port=%1 in SimConnect.cfg%2")
                              .arg(port)
                              .arg(current.isEmpty() ? QString()
                                                     : QStringLiteral(" (was %1)").arg(QString::fromUtf8(current))));
}

EditResult restoreSimConnectPort(const QByteArray &simConnectCfg, const QByteArray &original)
{
    TextLines lines(simConnectCfg);
    const qsizetype marker = findTrimmed(lines, simConnectMarker);
    if (marker >= 0) {
        // The section kestrox added, as long as it still holds only its lines.
        const qsizetype end = marker + 1 + simConnectBlock.size() + 1;
        bool intact = end <= lines.lines.size() && (end == lines.lines.size() || lines.trimmed(end).startsWith('['));
        for (qsizetype i = 0; intact && i < simConnectBlock.size(); ++i)
            intact = lines.trimmed(marker + 1 + i) == simConnectBlock[i];
        if (!intact || !lines.trimmed(end - 1).startsWith("Port="))
            return unchanged(QStringLiteral("the [SimConnect] section kestrox added to SimConnect.cfg was edited "
                                            "since; kept"));
        lines.remove(marker, end - marker);
        restoreMissingFinalNewline(lines, marker, original);
        return changed(lines, QStringLiteral("removed the [SimConnect] section kestrox added to SimConnect.cfg"));
    }
    if (original.isNull())
        return unchanged(QStringLiteral("SimConnect.cfg has no backup from kestrox, so kestrox changed nothing in it"));
    const TextLines before(original);
    const SimConnectSection old = simConnectSection(before);
    const SimConnectSection now = simConnectSection(lines);
    if (old.header < 0 || now.header < 0 || now.port < 0)
        return unchanged(QStringLiteral("SimConnect.cfg holds no Port that kestrox set"));
    if (old.port >= 0) {
        lines.lines[now.port].text = before.lines[old.port].text;
    } else {
        lines.remove(now.port, 1);
        restoreMissingFinalNewline(lines, now.port, original);
    }
    if (lines.bytes() == simConnectCfg)
        return unchanged(QStringLiteral("SimConnect.cfg already has its original Port"));
    return changed(lines, QStringLiteral("restored the original Port in SimConnect.cfg"));
}

} // namespace SimulatorEdits
