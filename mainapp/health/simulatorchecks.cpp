#include "simulatorchecks.h"

#include "processholders.h"
#include "simconnectnetworkclient.h"
#include "simulatoredits.h"
#include "tcplisteners.h"

#include <QFileInfo>

namespace {

using Simulator = SimulatorSetupOptions::Simulator;

struct SimulatorFacts
{
    Simulator simulator;
    const char *key; // in ids and on the command line
    const char *name;
    quint16 udpPort; // 0: none (MSFS is reached over TCP)
};

constexpr SimulatorFacts Simulators[] = {
    {Simulator::Dcs, "dcs", "DCS World", 29778},
    {Simulator::Il2, "il2", "IL-2 Sturmovik", SimulatorEdits::Il2Port},
    {Simulator::Condor2, "condor2", "Condor 2", SimulatorEdits::CondorPort},
    {Simulator::Msfs, "msfs", "MSFS", 0},
};

QString setUpCommand(const SimulatorFacts &facts, const QStringList &extra = {})
{
    return (QStringList{QStringLiteral("kestrox-vantrell"), QStringLiteral("--setup-simulator"),
                        QLatin1String(facts.key)} +
            extra)
        .join(QLatin1Char(' '));
}

HealthCheck simulatorCheck(const SimulatorFacts &facts, const SimulatorSetupState &state)
{
    HealthCheck check;
    check.id = QStringLiteral("simulator.") + QLatin1String(facts.key);
    const QString name = QLatin1String(facts.name);
    QStringList details;
    for (const RunningProcess &process : state.running)
        details.append(
            QStringLiteral("%1 runs (process %2)").arg(process.executable, QString::number(process.pid)));
    if (state.files.isEmpty()) {
        check.summary = QStringLiteral("%1 not found; nothing to set up").arg(name);
        details.append(state.notFound);
        details.append(QStringLiteral("installed elsewhere: %1")
                           .arg(setUpCommand(facts, {QStringLiteral("--game-dir DIR")})));
        check.details = details.join(QLatin1Char('\n'));
        return check;
    }
    QStringList notSetUp;
    QStringList refused;
    for (const SimulatorSetupState::File &file : state.files) {
        details.append(QStringLiteral("%1: %2").arg(file.path, file.message));
        if (file.refused)
            refused.append(file.message);
        else if (!file.setUp)
            notSetUp.append(file.path);
    }
    check.details = details.join(QLatin1Char('\n'));
    if (!refused.isEmpty()) {
        check.status = HealthCheck::Status::Problem;
        check.summary = QStringLiteral("%1 cannot be set up by the set-up command").arg(name);
        check.fix = refused.join(QLatin1Char(' '));
    } else if (!notSetUp.isEmpty()) {
        check.status = HealthCheck::Status::Problem;
        check.summary = QStringLiteral("%1 is not set up to send telemetry: %2").arg(name, notSetUp.first());
        check.fix = setUpCommand(facts);
        check.action = HealthCheck::FixAction::RunCommand;
        check.fixArguments = {QStringLiteral("--setup-simulator"), QLatin1String(facts.key)};
    } else {
        check.summary =
            QStringLiteral("%1 is set up to send telemetry: %2").arg(name, state.files.last().path);
    }
    return check;
}

HealthCheck msfsPortCheck(const HealthEnvironment &env, const SimulatorSetupState &state, quint16 dialled)
{
    HealthCheck check;
    check.id = QStringLiteral("msfs.port");
    const QString cfg = env.simConnectCfg();
    const QString from = env.msfsDialledPort != 0 ? QStringLiteral("as asked on the command line")
                         : QFileInfo::exists(cfg) ? QStringLiteral("from %1").arg(cfg)
                                                  : QStringLiteral("the default; no %1").arg(cfg);
    QStringList details{QStringLiteral("kestrox-vantrell dials port %1 (%2)").arg(dialled).arg(from)};
    QStringList ports;
    for (quint16 port : state.msfsListenerPorts)
        ports.append(QString::number(port));
    if (state.files.isEmpty()) {
        check.summary = QStringLiteral("no MSFS SimConnect.xml found to compare the port with");
        check.details = details.join(QLatin1Char('\n'));
        return check;
    }
    details.append(QStringLiteral("SimConnect.xml listens on IPv4 port%1 %2")
                       .arg(ports.size() == 1 ? QString() : QStringLiteral("s"),
                            ports.isEmpty() ? QStringLiteral("none") : ports.join(QStringLiteral(", "))));
    if (!state.running.isEmpty() && env.askKernelForListeners) {
        TcpListeners listeners;
        const std::optional<bool> listening = listeners.isListening(dialled);
        if (listening.has_value())
            details.append(
                *listening ? QStringLiteral("something listens on TCP port %1 now").arg(dialled)
                           : QStringLiteral("MSFS runs, but nothing listens on TCP port %1").arg(dialled));
    }
    check.details = details.join(QLatin1Char('\n'));
    if (state.msfsListenerPorts.contains(dialled)) {
        check.summary =
            QStringLiteral("MSFS listens on port %1, the port kestrox-vantrell dials").arg(dialled);
    } else if (!state.msfsListenerPorts.isEmpty()) {
        const quint16 listener = state.msfsListenerPorts.first();
        check.status = HealthCheck::Status::Problem;
        check.summary = QStringLiteral("MSFS listens on port %1, but kestrox-vantrell dials port %2")
                            .arg(ports.join(QStringLiteral(", ")))
                            .arg(dialled);
        check.fix = QStringLiteral("kestrox-vantrell --setup-simulator msfs --msfs-port %1 (sets the port in "
                                   "SimConnect.cfg; restart kestrox-vantrell afterwards)")
                        .arg(listener);
        check.action = HealthCheck::FixAction::RunCommand;
        check.fixArguments = {QStringLiteral("--setup-simulator"), QStringLiteral("msfs"),
                              QStringLiteral("--msfs-port"), QString::number(listener)};
    } else {
        check.status = HealthCheck::Status::Problem;
        check.summary =
            QStringLiteral("MSFS has no IPv4 listener for kestrox-vantrell to dial (port %1)").arg(dialled);
        check.fix = QStringLiteral("kestrox-vantrell --setup-simulator msfs");
        check.action = HealthCheck::FixAction::RunCommand;
        check.fixArguments = {QStringLiteral("--setup-simulator"), QStringLiteral("msfs")};
    }
    return check;
}

bool isKestroxVantrell(const HoldingProcess &process)
{
    return process.name == QLatin1String("kestrox-vantrell");
}

HealthCheck udpPortCheck(const HealthEnvironment &env, const SimulatorFacts &facts,
                         const QList<UdpSocketEntry> &sockets,
                         const QHash<QString, QList<HoldingProcess>> &holders)
{
    HealthCheck check;
    check.id = QStringLiteral("port.") + QLatin1String(facts.key);
    const QString port = QStringLiteral("UDP port %1 (%2)").arg(facts.udpPort).arg(QLatin1String(facts.name));
    QList<HoldingProcess> others;
    QList<HoldingProcess> ours;
    QStringList unseen;
    for (const UdpSocketEntry &socket : sockets) {
        if (socket.port != facts.udpPort)
            continue;
        const QList<HoldingProcess> processes =
            holders.value(QStringLiteral("socket:[%1]").arg(socket.inode));
        if (processes.isEmpty())
            unseen.append(QStringLiteral("a process of user id %1 that /proc does not show (socket inode %2)")
                              .arg(socket.uid)
                              .arg(socket.inode));
        for (const HoldingProcess &process : processes) {
            if (process.pid == env.ownPid || isKestroxVantrell(process))
                ours.append(process);
            else if (!others.contains(process))
                others.append(process);
        }
    }
    if (others.isEmpty() && unseen.isEmpty()) {
        if (ours.isEmpty())
            check.summary = QStringLiteral("%1 is free").arg(port);
        else if (ours.first().pid == env.ownPid)
            check.summary = QStringLiteral("%1: this kestrox-vantrell listens on it").arg(port);
        else
            check.summary = QStringLiteral("%1: the running kestrox-vantrell (process %2) listens on it")
                                .arg(port)
                                .arg(ours.first().pid);
        return check;
    }
    check.status = HealthCheck::Status::Problem;
    QStringList holderNames;
    if (!others.isEmpty())
        holderNames.append(ProcessHolders::describe(others));
    holderNames.append(unseen);
    check.summary = QStringLiteral("%1 is held by %2; %3's telemetry cannot reach kestrox-vantrell")
                        .arg(port, holderNames.join(QStringLiteral(", ")), QLatin1String(facts.name));
    check.details = QStringLiteral("from %1/net/udp and udp6 and the open files under %1").arg(env.procRoot);
    check.fix = others.isEmpty() ? QStringLiteral("close the program that holds the port")
                                 : QStringLiteral("close %1; kestrox-vantrell tries the port again every 5 s")
                                       .arg(ProcessHolders::describe(others));
    return check;
}

} // namespace

namespace SimulatorChecks {

quint16 dialledMsfsPort(const HealthEnvironment &env)
{
    if (env.msfsDialledPort != 0)
        return env.msfsDialledPort;
    if (const auto configured = SimConnectNetworkClient::readConfigFile(env.simConnectCfg()))
        return configured->port;
    return SimulatorEdits::DefaultMsfsPort;
}

QList<HealthCheck> run(const HealthEnvironment &env)
{
    QList<HealthCheck> checks;
    const quint16 dialled = dialledMsfsPort(env);
    for (const SimulatorFacts &facts : Simulators) {
        SimulatorSetupOptions options;
        options.simulator = facts.simulator;
        options.environment = env.simulators;
        options.msfsPort = dialled;
        const SimulatorSetupState state = querySimulatorSetup(options);
        checks.append(simulatorCheck(facts, state));
        if (facts.simulator == Simulator::Msfs)
            checks.append(msfsPortCheck(env, state, dialled));
    }

    const QList<UdpSocketEntry> sockets = ProcessHolders::udpSockets(env.procRoot);
    QStringList targets;
    for (const UdpSocketEntry &socket : sockets)
        for (const SimulatorFacts &facts : Simulators)
            if (facts.udpPort != 0 && socket.port == facts.udpPort)
                targets.append(QStringLiteral("socket:[%1]").arg(socket.inode));
    const auto holders = ProcessHolders::holding(env.procRoot, targets);
    for (const SimulatorFacts &facts : Simulators)
        if (facts.udpPort != 0)
            checks.append(udpPortCheck(env, facts, sockets, holders));
    return checks;
}

} // namespace SimulatorChecks
