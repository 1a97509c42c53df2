#include "simconnectnetworkclient.h"

#include "telemetrylogging.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtEndian>

#include <cstring>

using namespace SimConnect;

// Messages are handed out as they arrive, which is the client library's
// own layout only where the host is little-endian, as every MSFS host is.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);

namespace {

constexpr HResult S_Ok = 0;
constexpr HResult E_Fail = -1;

constexpr quint32 ProtocolVersion = 5; // MSFS 2020's; MSFS 2024 accepts it too
constexpr quint32 HeaderSize = 16;
constexpr quint32 RecvHeaderSize = sizeof(SimConnect::Recv);
constexpr quint32 DataHeaderSize = sizeof(SimConnect::RecvSimObjectData); // up to the data block

constexpr quint32 FunctionOpen = 0x01;
constexpr quint32 FunctionAddToDataDefinition = 0x0C;
constexpr quint32 FunctionRequestDataOnSimObjectType = 0x0F;
constexpr quint32 FunctionSubscribeToSystemEvent = 0x17;

constexpr quint32 RecvIdException = 1;
constexpr quint32 RecvIdOpen = 2;
constexpr quint32 RecvIdSimObjectData = 8;

constexpr int NameSize = 256;

void appendLe32(QByteArray &bytes, quint32 value)
{
    char le[4];
    qToLittleEndian(value, le);
    bytes.append(le, 4);
}

void appendFloat(QByteArray &bytes, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendLe32(bytes, bits);
}

// A fixed-size, NUL-padded string field; longer text is cut to leave a NUL.
void appendName(QByteArray &bytes, const char *text, int width = NameSize)
{
    const qsizetype length = text ? qsizetype(qstrnlen(text, size_t(width - 1))) : 0;
    bytes.append(text, length);
    bytes.append(width - length, '\0');
}

quint32 le32At(const QByteArray &bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

// Bytes a variable of this data type takes in the data block; -1 where it varies.
qint64 dataTypeSize(Dword type)
{
    switch (type) {
    case 1: // int32
    case 3: // float32
        return 4;
    case 2: // int64
    case 4: // float64
    case 5: // string8
        return 8;
    case 6:
        return 32;
    case 7:
        return 64;
    case 8:
        return 128;
    case 9:
        return 256;
    case 10:
        return 260;
    default:
        return -1;
    }
}

QByteArray quitMessage()
{
    QByteArray bytes;
    appendLe32(bytes, RecvHeaderSize);
    appendLe32(bytes, ProtocolVersion);
    appendLe32(bytes, RecvIdQuit);
    return bytes;
}

} // namespace

SimConnectNetworkClient::SimConnectNetworkClient(Endpoint endpoint, MillisecondClock clock)
    : m_endpoint(std::move(endpoint)), m_clock(std::move(clock))
{}

SimConnectNetworkClient::~SimConnectNetworkClient() = default;

QString SimConnectNetworkClient::describe() const
{
    return m_endpoint.toString();
}

HResult SimConnectNetworkClient::open(Handle *handle, const char *name)
{
    if (m_handedOut) {
        *handle = this;
        return S_Ok;
    }
    m_appName = QByteArray(name ? name : "");
    service();
    if (m_state != State::Open)
        return E_Fail;
    m_handedOut = true;
    *handle = this;
    return S_Ok;
}

HResult SimConnectNetworkClient::addToDataDefinition(Handle handle, Dword defineId, const char *datumName,
                                                     const char *unitsName, Dword datumType, float epsilon,
                                                     Dword datumId)
{
    if (handle != this || !m_handedOut)
        return E_Fail;
    QByteArray body;
    appendLe32(body, defineId);
    appendName(body, datumName);
    appendName(body, unitsName);
    appendLe32(body, datumType);
    appendFloat(body, epsilon);
    appendLe32(body, datumId);

    const qint64 added = dataTypeSize(datumType);
    qint64 &size = m_definitionSizes[defineId];
    size = (size < 0 || added < 0) ? -1 : size + added;
    return record(FunctionAddToDataDefinition, -1, body);
}

HResult SimConnectNetworkClient::requestDataOnSimObjectType(Handle handle, Dword requestId, Dword defineId,
                                                            Dword radiusMeters, Dword objectType)
{
    if (handle != this || !m_handedOut)
        return E_Fail;
    QByteArray body;
    appendLe32(body, requestId);
    appendLe32(body, defineId);
    appendLe32(body, radiusMeters);
    appendLe32(body, objectType);
    return record(FunctionRequestDataOnSimObjectType, requestId, body);
}

HResult SimConnectNetworkClient::subscribeToSystemEvent(Handle handle, Dword eventId,
                                                        const char *systemEventName)
{
    if (handle != this || !m_handedOut)
        return E_Fail;
    QByteArray body;
    appendLe32(body, eventId);
    appendName(body, systemEventName);
    m_eventNames.insert(eventId, QByteArray(systemEventName ? systemEventName : ""));
    return record(FunctionSubscribeToSystemEvent, -1, body);
}

HResult SimConnectNetworkClient::record(quint32 function, qint64 requestKey, const QByteArray &body)
{
    // A repeated request replaces its older self: a new connection needs only the latest.
    bool replaced = false;
    if (requestKey >= 0) {
        for (SetupPacket &packet : m_setup) {
            if (packet.function == function && packet.requestKey == requestKey) {
                packet.body = body;
                replaced = true;
                break;
            }
        }
    }
    if (!replaced)
        m_setup.append({function, requestKey, body});
    if (m_state == State::Open)
        sendPacket(function, body);
    return S_Ok;
}

HResult SimConnectNetworkClient::getNextDispatch(Handle handle, const Recv **data, Dword *size)
{
    if (handle != this || !m_handedOut)
        return E_Fail;
    service();
    if (m_state == State::Open) {
        readAvailable();
        if (takeMessage()) {
            const quint32 id = le32At(m_current, 8);
            m_lastMessageAt = m_clock();
            // The bytes that completed it came with the newest notice, or before.
            m_messageArrivedAt = m_bytesArrivedAt >= 0 ? m_bytesArrivedAt : m_lastMessageAt;
            if (id == RecvIdQuit)
                m_quitSeen = true;
            if (id == RecvIdSimObjectData || id == RecvIdSimObjectDataByType)
                m_requestWaiting = false;
            // After SimStop no data flows until SimStart asks again: nothing is overdue.
            if (id == RecvIdEvent && m_current.size() >= 20 &&
                m_eventNames.value(le32At(m_current, 16)) == QByteArrayLiteral("SimStop"))
                m_requestWaiting = false;
            m_delivered = true;
            *data = reinterpret_cast<const Recv *>(m_current.constData());
            *size = Dword(m_current.size());
            return S_Ok;
        }
        if (m_state == State::Open && m_socket->state() != QAbstractSocket::ConnectedState
            && m_socket->bytesAvailable() == 0) {
            drop(m_input.isEmpty() ? QStringLiteral("MSFS closed the connection at")
                                   : QStringLiteral("MSFS closed the connection mid-message at"));
        } else if (m_state == State::Open && answerOverdue(m_clock())) {
            drop(QStringLiteral("no answer for %1 s from").arg(AnswerTimeoutMs / 1000));
        }
    }
    if (m_quitPending) {
        m_quitPending = false;
        m_current = quitMessage();
        *data = reinterpret_cast<const Recv *>(m_current.constData());
        *size = Dword(m_current.size());
        return S_Ok;
    }
    return E_Fail;
}

HResult SimConnectNetworkClient::close(Handle handle)
{
    if (handle != this)
        return E_Fail;
    if (m_socket)
        m_socket->abort();
    m_state = State::Idle;
    m_attempted = false;
    m_handedOut = false;
    m_quitSeen = false;
    m_quitPending = false;
    m_input.clear();
    m_setup.clear();
    m_definitionSizes.clear();
    m_eventNames.clear();
    m_requestWaiting = false;
    return S_Ok;
}

bool SimConnectNetworkClient::answerOverdue(qint64 now) const
{
    return m_requestWaiting && now - std::max(m_requestSentAt, m_lastMessageAt) > AnswerTimeoutMs;
}

void SimConnectNetworkClient::service()
{
    if (!m_socket) {
        // Created here, on the thread that polls, not where this object was built.
        m_socket = std::make_unique<QTcpSocket>();
        m_socket->setReadBufferSize(4 * qint64(MaxMessageSize));
        QObject::connect(m_socket.get(), &QTcpSocket::readyRead, m_socket.get(),
                         [this] { m_bytesArrivedAt = m_clock(); });
    }
    const qint64 now = m_clock();
    if (m_state == State::Idle) {
        if (!m_attempted || now - m_attemptStarted >= RetryIntervalMs)
            startConnecting(now);
        return;
    }
    if (m_state == State::Connecting) {
        const auto socketState = m_socket->state();
        if (socketState == QAbstractSocket::UnconnectedState) {
            // A name that cannot be found is said once; a refusal means nobody listens yet.
            if (m_socket->error() == QAbstractSocket::HostNotFoundError && !m_lookupFailureReported) {
                m_lookupFailureReported = true;
                qCWarning(lcTelemetry).noquote() << "cannot find the address of" << m_endpoint.host;
            }
            m_state = State::Idle; // try again later
            return;
        }
        if (socketState == QAbstractSocket::ConnectedState) {
            m_sendId = 0;
            QByteArray body;
            appendName(body, m_appName.constData());
            appendLe32(body, 0);
            body.append('\0');
            body.append("HK\0", 3);
            for (quint32 v : {11u, 0u, 62651u, 3u})
                appendLe32(body, v);
            sendPacket(FunctionOpen, body);
            m_state = State::AwaitingOpen;
        }
    }
    if (m_state != State::Open && now - m_attemptStarted > OpenTimeoutMs) {
        drop(openFailure(QStringLiteral("no SimConnect open message from")));
        return;
    }
    if (m_state != State::AwaitingOpen)
        return;
    readAvailable();
    while (m_state == State::AwaitingOpen && takeMessage()) {
        if (le32At(m_current, 8) != RecvIdOpen)
            continue;
        m_state = State::Open;
        m_quitSeen = false;
        m_delivered = false;
        m_openFailureReported = false;
        m_requestWaiting = false;
        m_lastMessageAt = now;
        const QByteArray appName = m_current.size() >= RecvHeaderSize + NameSize
                                       ? m_current.mid(RecvHeaderSize, NameSize)
                                       : QByteArray();
        qCInfo(lcTelemetry).noquote() << "connected to"
                                      << QString::fromUtf8(appName.constData(),
                                                           qstrnlen(appName.constData(), appName.size()))
                                      << "at" << describe();
        if (m_handedOut) {
            for (const SetupPacket &packet : std::as_const(m_setup))
                sendPacket(packet.function, packet.body);
        }
    }
    if (m_state == State::AwaitingOpen && m_socket->state() != QAbstractSocket::ConnectedState
        && m_socket->bytesAvailable() == 0)
        drop(openFailure(QStringLiteral("MSFS closed the connection before opening it at")));
}

QString SimConnectNetworkClient::openFailure(const QString &why)
{
    // Once is enough: something else may hold the port for a long time.
    if (m_openFailureReported)
        return {};
    m_openFailureReported = true;
    return why;
}

void SimConnectNetworkClient::startConnecting(qint64 now)
{
    if (!m_attempted)
        qCInfo(lcTelemetry).noquote() << "looking for MSFS's SimConnect server at" << describe();
    m_attempted = true;
    m_attemptStarted = now;
    m_state = State::Connecting;
    m_socket->abort();
    m_socket->connectToHost(m_endpoint.host, m_endpoint.port);
}

void SimConnectNetworkClient::drop(const QString &why)
{
    if (!why.isEmpty()) {
        // A server that fails the same way on every connection is told of once.
        const bool repeated = !m_delivered && m_lastDropEarly;
        if (repeated)
            qCDebug(lcTelemetry).noquote() << why << describe();
        else
            qCWarning(lcTelemetry).noquote() << why << describe();
        m_lastDropEarly = !m_delivered;
    }
    if (m_state == State::Open && m_handedOut && !m_quitSeen)
        m_quitPending = true;
    m_socket->abort();
    m_input.clear();
    m_state = State::Idle;
    m_attempted = true;
    m_attemptStarted = m_clock();
}

void SimConnectNetworkClient::readAvailable()
{
    // Two of the largest messages at most; the rest waits in the socket.
    const qint64 room = 2 * qint64(MaxMessageSize) - m_input.size();
    if (room > 0 && m_socket->bytesAvailable() > 0)
        m_input += m_socket->read(room);
}

bool SimConnectNetworkClient::takeMessage()
{
    if (m_input.size() < 4)
        return false;
    const quint32 size = le32At(m_input, 0);
    if (size < RecvHeaderSize || size > MaxMessageSize) {
        drop(QStringLiteral("broken SimConnect stream (message size %1) from").arg(size));
        return false;
    }
    if (m_input.size() < qsizetype(size))
        return false;
    QByteArray message = m_input.left(size);
    m_input.remove(0, size);
    if (!checkMessage(message))
        return false;
    m_current = std::move(message);
    return true;
}

bool SimConnectNetworkClient::checkMessage(const QByteArray &message)
{
    const quint32 id = le32At(message, 8);
    if (id == RecvIdException)
        reportException(message);
    if (id == RecvIdSimObjectData || id == RecvIdSimObjectDataByType) {
        bool complete = message.size() >= qsizetype(DataHeaderSize);
        if (complete) {
            const auto it = m_definitionSizes.constFind(le32At(message, 20));
            if (it != m_definitionSizes.constEnd() && *it >= 0)
                complete = message.size() >= DataHeaderSize + *it;
        }
        if (!complete) {
            drop(QStringLiteral("SimConnect data message shorter than its definition (%1 bytes) from")
                     .arg(message.size()));
            return false;
        }
    }
    return true;
}

void SimConnectNetworkClient::reportException(const QByteArray &message)
{
    // A variable one version of MSFS does not know is rejected on every
    // connection: once is enough.
    const quint32 exception = message.size() >= 16 ? le32At(message, 12) : 0;
    const quint32 sendId = message.size() >= 20 ? le32At(message, 16) : 0;
    QString request = QStringLiteral("request %1").arg(sendId);
    for (const SentPacket &sent : m_sent) {
        if (sent.sendId != sendId || sendId == 0)
            continue;
        switch (sent.function) {
        case FunctionOpen:
            request = QStringLiteral("Open");
            break;
        case FunctionAddToDataDefinition:
            request = QStringLiteral("AddToDataDefinition \"%1\"").arg(QString::fromLatin1(sent.name));
            break;
        case FunctionSubscribeToSystemEvent:
            request = QStringLiteral("SubscribeToSystemEvent \"%1\"").arg(QString::fromLatin1(sent.name));
            break;
        case FunctionRequestDataOnSimObjectType:
            request = QStringLiteral("RequestDataOnSimObjectType %1").arg(sent.argument);
            break;
        default:
            request = QStringLiteral("function 0x%1").arg(sent.function, 0, 16);
            break;
        }
    }
    const QString text = QStringLiteral("SimConnect exception %1 for %2").arg(exception).arg(request);
    if (m_reportedExceptions.contains(text))
        return;
    m_reportedExceptions.insert(text);
    qCWarning(lcTelemetry).noquote() << text << "from" << describe();
}

void SimConnectNetworkClient::sendPacket(quint32 function, const QByteArray &body)
{
    QByteArray packet;
    packet.reserve(HeaderSize + body.size());
    appendLe32(packet, quint32(HeaderSize + body.size()));
    appendLe32(packet, ProtocolVersion);
    appendLe32(packet, 0xF0000000u | function);
    appendLe32(packet, ++m_sendId);
    packet += body;
    m_socket->write(packet);

    if (function == FunctionRequestDataOnSimObjectType) {
        m_requestWaiting = true;
        m_requestSentAt = m_clock();
    }
    // Kept to name the request of an exception; the name only for the set-up packets.
    SentPacket &sent = m_sent[m_sendId % m_sent.size()];
    sent.sendId = m_sendId;
    sent.function = function;
    sent.argument = body.size() >= 4 ? le32At(body, 0) : 0;
    sent.name.clear();
    if ((function == FunctionAddToDataDefinition || function == FunctionSubscribeToSystemEvent) &&
        body.size() >= 4 + NameSize)
        sent.name = QByteArray(body.constData() + 4, qsizetype(qstrnlen(body.constData() + 4, NameSize)));
}

std::optional<SimConnectNetworkClient::Endpoint> SimConnectNetworkClient::readConfigFile(const QString &path)
{
    if (!QFile::exists(path))
        return std::nullopt;
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("SimConnect"));
    const QString protocol = file.value(QStringLiteral("Protocol")).toString().trimmed();
    const QString address = file.value(QStringLiteral("Address")).toString().trimmed();
    bool ok = false;
    const uint port = file.value(QStringLiteral("Port")).toString().trimmed().toUInt(&ok);
    // Pipe, the Windows default, does not reach over TCP.
    const bool tcp = protocol.isEmpty() || protocol.compare(QLatin1String("IPv4"), Qt::CaseInsensitive) == 0
                     || protocol.compare(QLatin1String("IPv6"), Qt::CaseInsensitive) == 0;
    // The file's Address and Port, checked as an address on the command line is.
    const auto endpoint = tcp && ok && port <= 65535
                              ? NetworkAddress::parse(NetworkAddress{address, quint16(port)}.toString())
                              : std::nullopt;
    if (!endpoint)
        qCWarning(lcTelemetry).noquote() << path << "names no TCP address in its [SimConnect] section";
    return endpoint;
}

QString SimConnectNetworkClient::configFilePath()
{
    // The per-user data folder both programs share ($XDG_DATA_HOME/kestrox).
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kestrox/SimConnect.cfg");
}

std::shared_ptr<SimConnectApi> createSimConnect(const std::optional<NetworkAddress> &address)
{
    if (!address) {
        if (auto library = loadSimConnectLibrary())
            return library;
    }
    SimConnectNetworkClient::Endpoint endpoint = SimConnectNetworkClient::defaultEndpoint();
    if (address) {
        endpoint = *address;
    } else if (const auto configured =
                   SimConnectNetworkClient::readConfigFile(SimConnectNetworkClient::configFilePath())) {
        endpoint = *configured;
    }
    return std::make_shared<SimConnectNetworkClient>(endpoint);
}
