#include "simconnectapi.h"

#include "telemetrylogging.h"

#include <QLibrary>

#ifdef Q_OS_WIN
#define KESTROX_SIMCONNECT_CALL __stdcall
#else
#define KESTROX_SIMCONNECT_CALL
#endif

namespace {

using namespace SimConnect;

class SimConnectLibrary final : public SimConnectApi
{
public:
    SimConnectLibrary()
    {
        m_library.setFileName(QStringLiteral("SimConnect"));
        if (!m_library.load()) {
            qCInfo(lcTelemetry) << "SimConnect client library not available";
            return;
        }
        m_open = reinterpret_cast<OpenFn>(m_library.resolve("SimConnect_Open"));
        m_add = reinterpret_cast<AddFn>(m_library.resolve("SimConnect_AddToDataDefinition"));
        m_request = reinterpret_cast<RequestFn>(m_library.resolve("SimConnect_RequestDataOnSimObjectType"));
        m_subscribe = reinterpret_cast<SubscribeFn>(m_library.resolve("SimConnect_SubscribeToSystemEvent"));
        m_dispatch = reinterpret_cast<DispatchFn>(m_library.resolve("SimConnect_GetNextDispatch"));
        m_close = reinterpret_cast<CloseFn>(m_library.resolve("SimConnect_Close"));
        if (!(m_open && m_add && m_request && m_subscribe && m_dispatch && m_close)) {
            qCWarning(lcTelemetry) << "SimConnect client library lacks a required function";
            m_open = nullptr;
        }
    }

    bool isLoaded() const { return m_open != nullptr; }

    HResult open(Handle *handle, const char *name) override
    {
        if (!m_open)
            return -1;
        return m_open(handle, name, nullptr, 0, nullptr, 0);
    }
    HResult addToDataDefinition(Handle handle, Dword defineId, const char *datumName, const char *unitsName,
                                Dword datumType, float epsilon, Dword datumId) override
    {
        return m_add(handle, defineId, datumName, unitsName, datumType, epsilon, datumId);
    }
    HResult requestDataOnSimObjectType(Handle handle, Dword requestId, Dword defineId, Dword radiusMeters,
                                       Dword objectType) override
    {
        return m_request(handle, requestId, defineId, radiusMeters, objectType);
    }
    HResult subscribeToSystemEvent(Handle handle, Dword eventId, const char *systemEventName) override
    {
        return m_subscribe(handle, eventId, systemEventName);
    }
    HResult getNextDispatch(Handle handle, const Recv **data, Dword *size) override
    {
        Recv *message = nullptr;
        const HResult result = m_dispatch(handle, &message, size);
        *data = message;
        return result;
    }
    HResult close(Handle handle) override { return m_close(handle); }

private:
    using OpenFn = HResult(KESTROX_SIMCONNECT_CALL *)(Handle *, const char *, void *, Dword, void *, Dword);
    using AddFn = HResult(KESTROX_SIMCONNECT_CALL *)(Handle, Dword, const char *, const char *, Dword, float,
                                                     Dword);
    using RequestFn = HResult(KESTROX_SIMCONNECT_CALL *)(Handle, Dword, Dword, Dword, Dword);
    using SubscribeFn = HResult(KESTROX_SIMCONNECT_CALL *)(Handle, Dword, const char *);
    using DispatchFn = HResult(KESTROX_SIMCONNECT_CALL *)(Handle, Recv **, Dword *);
    using CloseFn = HResult(KESTROX_SIMCONNECT_CALL *)(Handle);

    QLibrary m_library;
    OpenFn m_open = nullptr;
    AddFn m_add = nullptr;
    RequestFn m_request = nullptr;
    SubscribeFn m_subscribe = nullptr;
    DispatchFn m_dispatch = nullptr;
    CloseFn m_close = nullptr;
};

} // namespace

std::shared_ptr<SimConnectApi> createSimConnectLibrary()
{
    return std::make_shared<SimConnectLibrary>();
}

std::shared_ptr<SimConnectApi> loadSimConnectLibrary()
{
    auto library = std::make_shared<SimConnectLibrary>();
    if (!library->isLoaded())
        return nullptr;
    return library;
}
