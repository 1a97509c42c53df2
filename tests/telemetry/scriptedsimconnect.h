#pragma once

#include "simconnectapi.h"
#include "telemetrysourcemsfs.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstring>

// A SimConnect that replays queued messages laid out as the client library
// delivers them, and records what the source asked for.
class ScriptedSimConnect : public SimConnectApi
{
public:
    bool simulatorRunning = true;
    int openCalls = 0;
    int requests = 0;
    int controlsRequests = 0;
    int closes = 0;
    QStringList definition;
    QStringList subscriptions;
    QList<QByteArray> messages;

    SimConnect::HResult open(SimConnect::Handle *handle, const char *name) override
    {
        ++openCalls;
        if (!simulatorRunning || QByteArray(name) != "Kestrox")
            return -1;
        *handle = this;
        return 0;
    }
    SimConnect::HResult addToDataDefinition(SimConnect::Handle, SimConnect::Dword defineId,
                                            const char *datumName, const char *unitsName,
                                            SimConnect::Dword datumType, float epsilon,
                                            SimConnect::Dword datumId) override
    {
        definition << QStringLiteral("%1|%2|%3|%4|%5|%6")
                          .arg(defineId)
                          .arg(QString::fromLatin1(datumName),
                               QString::fromLatin1(unitsName ? unitsName : "-"))
                          .arg(datumType)
                          .arg(double(epsilon))
                          .arg(datumId, 0, 16);
        return 0;
    }
    SimConnect::HResult requestDataOnSimObjectType(SimConnect::Handle, SimConnect::Dword requestId,
                                                   SimConnect::Dword defineId, SimConnect::Dword radius,
                                                   SimConnect::Dword objectType) override
    {
        if (requestId == 0 && defineId == 0 && radius == 0 && objectType == 0)
            ++requests;
        if (requestId == 1 && defineId == 1 && radius == 0 && objectType == 0)
            ++controlsRequests;
        return 0;
    }
    SimConnect::HResult subscribeToSystemEvent(SimConnect::Handle, SimConnect::Dword eventId,
                                               const char *name) override
    {
        subscriptions << QStringLiteral("%1:%2").arg(eventId).arg(QString::fromLatin1(name));
        return 0;
    }
    SimConnect::HResult getNextDispatch(SimConnect::Handle, const SimConnect::Recv **data,
                                        SimConnect::Dword *size) override
    {
        if (messages.isEmpty())
            return -1;
        m_current = messages.takeFirst();
        *data = reinterpret_cast<const SimConnect::Recv *>(m_current.constData());
        *size = SimConnect::Dword(m_current.size());
        return 0;
    }
    SimConnect::HResult close(SimConnect::Handle) override
    {
        ++closes;
        return 0;
    }

    static QByteArray header(SimConnect::Dword id, qsizetype size)
    {
        QByteArray bytes(size, '\0');
        const SimConnect::Recv recv{SimConnect::Dword(size), 4, id};
        std::memcpy(bytes.data(), &recv, sizeof recv);
        return bytes;
    }
    void queueQuit() { messages << header(SimConnect::RecvIdQuit, sizeof(SimConnect::Recv)); }
    void queueEvent(SimConnect::Dword eventId)
    {
        QByteArray bytes = header(SimConnect::RecvIdEvent, sizeof(SimConnect::RecvEvent));
        SimConnect::RecvEvent event;
        std::memcpy(&event, bytes.constData(), sizeof event);
        event.eventId = eventId;
        std::memcpy(bytes.data(), &event, sizeof event);
        messages << bytes;
    }
    void queueSample(const TelemetrySourceMSFS::Sample &sample, SimConnect::Dword requestId = 0)
    {
        constexpr auto headerSize = sizeof(SimConnect::RecvSimObjectData);
        QByteArray bytes = header(SimConnect::RecvIdSimObjectDataByType, headerSize + sizeof sample);
        SimConnect::RecvSimObjectData data;
        std::memcpy(&data, bytes.constData(), headerSize);
        data.requestId = requestId;
        data.defineCount = 19;
        std::memcpy(bytes.data(), &data, headerSize);
        std::memcpy(bytes.data() + headerSize, &sample, sizeof sample);
        messages << bytes;
    }

private:
    QByteArray m_current;
};

inline TelemetrySourceMSFS::Sample msfsSample(const char *title = "Cessna 172")
{
    TelemetrySourceMSFS::Sample s{};
    std::strncpy(s.title, title, sizeof s.title);
    return s;
}
