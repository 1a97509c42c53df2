#pragma once

#include "simconnectapi.h"
#include "telemetryrecordingformat.h"

#include <QByteArray>
#include <QList>

#include <functional>

// Recording and replay for the MSFS source, at its SimConnect seam, so that
// the source itself reads recorded messages exactly as it reads live ones.

// Passes every call through to the live adapter and hands each message the
// source reads to `tap`.
class RecordingSimConnect final : public SimConnectApi
{
public:
    using Tap = std::function<void(const QByteArray &message)>;
    explicit RecordingSimConnect(std::shared_ptr<SimConnectApi> live) : m_live(std::move(live)) {}

    void setTap(Tap tap) { m_tap = std::move(tap); }

    SimConnect::HResult open(SimConnect::Handle *handle, const char *name) override
    {
        return m_live->open(handle, name);
    }
    SimConnect::HResult addToDataDefinition(SimConnect::Handle handle, SimConnect::Dword defineId,
                                            const char *datumName, const char *unitsName,
                                            SimConnect::Dword datumType, float epsilon,
                                            SimConnect::Dword datumId) override
    {
        return m_live->addToDataDefinition(handle, defineId, datumName, unitsName, datumType, epsilon, datumId);
    }
    SimConnect::HResult requestDataOnSimObjectType(SimConnect::Handle handle, SimConnect::Dword requestId,
                                                   SimConnect::Dword defineId, SimConnect::Dword radiusMeters,
                                                   SimConnect::Dword objectType) override
    {
        return m_live->requestDataOnSimObjectType(handle, requestId, defineId, radiusMeters, objectType);
    }
    SimConnect::HResult subscribeToSystemEvent(SimConnect::Handle handle, SimConnect::Dword eventId,
                                               const char *systemEventName) override
    {
        return m_live->subscribeToSystemEvent(handle, eventId, systemEventName);
    }
    SimConnect::HResult getNextDispatch(SimConnect::Handle handle, const SimConnect::Recv **data,
                                        SimConnect::Dword *size) override;
    SimConnect::HResult close(SimConnect::Handle handle) override { return m_live->close(handle); }
    qint64 messageArrivedAt() const override { return m_live->messageArrivedAt(); }

private:
    std::shared_ptr<SimConnectApi> m_live;
    Tap m_tap;
};

// A simulator that answers with the recorded messages as they fall due, one
// per call.
class ReplaySimConnect final : public SimConnectApi
{
public:
    void push(const QByteArray &message) { m_due.append(message); }

    // Connects once the recording holds MSFS messages, as MSFS would.
    SimConnect::HResult open(SimConnect::Handle *handle, const char *) override
    {
        if (m_due.isEmpty())
            return -1;
        *handle = this;
        return 0;
    }
    SimConnect::HResult addToDataDefinition(SimConnect::Handle, SimConnect::Dword, const char *, const char *,
                                            SimConnect::Dword, float, SimConnect::Dword) override
    {
        return 0;
    }
    SimConnect::HResult requestDataOnSimObjectType(SimConnect::Handle, SimConnect::Dword, SimConnect::Dword,
                                                   SimConnect::Dword, SimConnect::Dword) override
    {
        return 0;
    }
    SimConnect::HResult subscribeToSystemEvent(SimConnect::Handle, SimConnect::Dword, const char *) override
    {
        return 0;
    }
    SimConnect::HResult getNextDispatch(SimConnect::Handle, const SimConnect::Recv **data,
                                        SimConnect::Dword *size) override;
    SimConnect::HResult close(SimConnect::Handle) override { return 0; }

private:
    QList<QByteArray> m_due;
    QByteArray m_current; // what the last dispatch pointed at
};
