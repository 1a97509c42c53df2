#pragma once

#include "millisecondclock.h"
#include "networkaddress.h"
#include "simconnectapi.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QTcpSocket;

// SimConnect spoken natively over TCP, as MSFS serves it to clients that
// do not load its Windows library: MSFS under Proton, or on another computer.
//
// Everything runs on the calling thread without blocking: open() starts a
// connection and fails ("not open yet") until MSFS's open message has
// arrived; the socket is created on the first call, so the object may be
// built on one thread and used on another. While MSFS is absent a new
// connection is tried at most once a second. A connection lost while open
// (MSFS gone, a broken stream, no message for AnswerTimeoutMs while a data
// request waits for its answer) is handed out as one quit message, unless
// MSFS's own quit came first; the next connection then repeats the
// definitions, subscriptions and requests made so far, so the caller only
// sees the simulator quit and come back. An exception message is handed to
// the caller, as the client library does, and logged once with the request
// it names; the connection stays.
class SimConnectNetworkClient final : public SimConnectApi
{
public:
    using Endpoint = NetworkAddress;
    static Endpoint defaultEndpoint() { return {QStringLiteral("127.0.0.1"), 5111}; }

    explicit SimConnectNetworkClient(Endpoint endpoint, MillisecondClock clock = steadyMillisecondClock());
    ~SimConnectNetworkClient() override;

    SimConnect::HResult open(SimConnect::Handle *handle, const char *name) override;
    SimConnect::HResult addToDataDefinition(SimConnect::Handle handle, SimConnect::Dword defineId,
                                            const char *datumName, const char *unitsName,
                                            SimConnect::Dword datumType, float epsilon,
                                            SimConnect::Dword datumId) override;
    SimConnect::HResult requestDataOnSimObjectType(SimConnect::Handle handle, SimConnect::Dword requestId,
                                                   SimConnect::Dword defineId, SimConnect::Dword radiusMeters,
                                                   SimConnect::Dword objectType) override;
    SimConnect::HResult subscribeToSystemEvent(SimConnect::Handle handle, SimConnect::Dword eventId,
                                               const char *systemEventName) override;
    SimConnect::HResult getNextDispatch(SimConnect::Handle handle, const SimConnect::Recv **data,
                                        SimConnect::Dword *size) override;
    SimConnect::HResult close(SimConnect::Handle handle) override;
    qint64 messageArrivedAt() const override { return m_messageArrivedAt; }

    Endpoint endpoint() const { return m_endpoint; }

    static constexpr qint64 RetryIntervalMs = 1000;
    // MSFS under Proton can take a few seconds to answer while it loads.
    static constexpr qint64 OpenTimeoutMs = 5000;
    // A server that sleeps or a network that drops sends nothing more.
    static constexpr qint64 AnswerTimeoutMs = 3000;
    static constexpr quint32 MaxMessageSize = 64 * 1024;

    // The [SimConnect] section of a SimConnect.cfg; nullopt if the file is
    // missing or names no usable TCP address.
    static std::optional<Endpoint> readConfigFile(const QString &path);
    // SimConnect.cfg in the program's data folder (QStandardPaths::AppDataLocation).
    static QString configFilePath();

private:
    enum class State
    {
        Idle,
        Connecting,
        AwaitingOpen,
        Open
    };
    struct SetupPacket
    {
        quint32 function;
        qint64 requestKey; // -1: not a data request
        QByteArray body;
    };

    void service();
    void startConnecting(qint64 now);
    void drop(const QString &why);
    QString openFailure(const QString &why);
    void readAvailable();
    bool takeMessage();
    bool checkMessage(const QByteArray &message);
    void sendPacket(quint32 function, const QByteArray &body);
    void reportException(const QByteArray &message);
    // True when a data request has waited too long with nothing arriving.
    bool answerOverdue(qint64 now) const;
    SimConnect::HResult record(quint32 function, qint64 requestKey, const QByteArray &body);
    QString describe() const;

    Endpoint m_endpoint;
    MillisecondClock m_clock;
    std::unique_ptr<QTcpSocket> m_socket;
    QByteArray m_appName;
    State m_state = State::Idle;
    qint64 m_attemptStarted = 0;
    bool m_attempted = false;
    bool m_handedOut = false;  // the caller holds the handle
    bool m_quitSeen = false;   // this connection's quit went out already
    bool m_quitPending = false;
    bool m_delivered = false;     // this connection handed out a message
    bool m_lastDropEarly = false; // the last connection dropped before handing out any
    bool m_openFailureReported = false; // said once until a connection opens
    bool m_lookupFailureReported = false;
    quint32 m_sendId = 0;
    QByteArray m_input;
    QByteArray m_current;
    QList<SetupPacket> m_setup;
    QHash<quint32, qint64> m_definitionSizes; // bytes of each definition's data block; -1: varies
    QHash<quint32, QByteArray> m_eventNames;  // client event id -> system event name
    // What the newest packets of this connection asked for, by send id, to
    // name the request of an exception.
    struct SentPacket
    {
        quint32 sendId = 0;
        quint32 function = 0;
        quint32 argument = 0; // the body's first field
        QByteArray name;      // the variable or event it names
    };
    std::array<SentPacket, 64> m_sent{};
    QSet<QString> m_reportedExceptions;
    bool m_requestWaiting = false; // a data request has not been answered yet
    qint64 m_requestSentAt = 0;
    qint64 m_lastMessageAt = 0;
    qint64 m_bytesArrivedAt = -1;   // the socket's last notice of new bytes
    qint64 m_messageArrivedAt = -1; // of the message handed out last
};

// The SimConnect the program uses: MSFS's Windows client library where it
// loads and no address is given, otherwise the network client, aimed at
// `address`, else SimConnect.cfg's address, else 127.0.0.1:5111.
std::shared_ptr<SimConnectApi> createSimConnect(const std::optional<NetworkAddress> &address = std::nullopt);
