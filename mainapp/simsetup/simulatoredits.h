#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The changes the set-up command makes to the simulators' files, as pure
// functions from the file's bytes to the new bytes. Every line they do not own
// comes back byte for byte; new lines take the file's own line ending.
struct EditResult
{
    enum Status { Changed, Unchanged, Refused };
    Status status = Unchanged;
    QByteArray bytes;  // the new file, when Changed
    QString message;   // what was changed, or why not
};

namespace SimulatorEdits {

constexpr quint16 Il2Port = 29777;
constexpr quint16 CondorPort = 55278;
constexpr quint16 DefaultMsfsPort = 5111;

// The line Export.lua gets; the trailing comment lets undo find it.
QByteArray dcsExportLine();

// The "original" arguments are the backup taken before the first change (null
// when none exists); undo uses them to know what the file looked like.
EditResult addDcsExportLine(const QByteArray &exportLua);
EditResult removeDcsExportLine(const QByteArray &exportLua, const QByteArray &original);

EditResult addIl2Telemetry(const QByteArray &startupCfg);
EditResult removeIl2Telemetry(const QByteArray &startupCfg, const QByteArray &original);

EditResult setCondorUdp(const QByteArray &udpIni);
EditResult restoreCondorUdp(const QByteArray &udpIni, const QByteArray &original);

EditResult addMsfsListener(const QByteArray &simConnectXml, quint16 port);
EditResult removeMsfsListener(const QByteArray &simConnectXml, const QByteArray &original);
// The ports of the IPv4 listeners (SimConnect.Comm entries) in SimConnect.xml, in order.
QList<quint16> msfsListenerPorts(const QByteArray &simConnectXml);

// True when the bytes are a KestroxExport.lua as this program shipped it in
// some release (CRLF endings count as LF): such a copy holds none of the
// user's edits and may be replaced.
bool isShippedDcsScript(const QByteArray &script);

// kestrox-vantrell's SimConnect.cfg, so that it dials the port MSFS listens
// on. Only a [SimConnect] section naming IPv4 on this computer gets its Port
// set; one naming another address is kept and the message says so. A file
// without the section gets one, marked so that undo can take it out again;
// none is needed for the default port.
EditResult setSimConnectPort(const QByteArray &simConnectCfg, quint16 port);
EditResult restoreSimConnectPort(const QByteArray &simConnectCfg, const QByteArray &original);

} // namespace SimulatorEdits
