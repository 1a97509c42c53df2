#pragma once

#include <QtGlobal>

#include <memory>

// The six SimConnect client operations the MSFS source uses, behind one seam:
// the production adapter loads the SimConnect client library at run time,
// tests replay scripted messages. Values and message layouts are those of the
// SimConnect client library.
namespace SimConnect {

using Handle = void *;
using HResult = qint32;
using Dword = quint32;

constexpr Dword UnusedDatumId = 0xFFFFFFFFu;
constexpr Dword DataTypeFloat64 = 4;
constexpr Dword DataTypeString256 = 9;
constexpr Dword SimObjectTypeUser = 0;

constexpr Dword RecvIdQuit = 3;
constexpr Dword RecvIdEvent = 4;
constexpr Dword RecvIdSimObjectDataByType = 9;

#pragma pack(push, 1)
struct Recv
{
    Dword size;
    Dword version;
    Dword id;
};
struct RecvEvent : Recv
{
    Dword groupId;
    Dword eventId;
    Dword data;
};
struct RecvSimObjectData : Recv
{
    Dword requestId;
    Dword objectId;
    Dword defineId;
    Dword flags;
    Dword entryNumber;
    Dword outOf;
    Dword defineCount;
    // The data block starts here.
};
#pragma pack(pop)
static_assert(sizeof(Recv) == 12);
static_assert(sizeof(RecvEvent) == 24);
static_assert(sizeof(RecvSimObjectData) == 40);

} // namespace SimConnect

class SimConnectApi
{
public:
    virtual ~SimConnectApi() = default;

    virtual SimConnect::HResult open(SimConnect::Handle *handle, const char *name) = 0;
    virtual SimConnect::HResult addToDataDefinition(SimConnect::Handle handle, SimConnect::Dword defineId,
                                                    const char *datumName, const char *unitsName,
                                                    SimConnect::Dword datumType, float epsilon,
                                                    SimConnect::Dword datumId) = 0;
    virtual SimConnect::HResult requestDataOnSimObjectType(SimConnect::Handle handle,
                                                           SimConnect::Dword requestId,
                                                           SimConnect::Dword defineId,
                                                           SimConnect::Dword radiusMeters,
                                                           SimConnect::Dword objectType) = 0;
    virtual SimConnect::HResult subscribeToSystemEvent(SimConnect::Handle handle, SimConnect::Dword eventId,
                                                       const char *systemEventName) = 0;
    // On success *data points at a message of *size bytes, valid until the next call.
    virtual SimConnect::HResult getNextDispatch(SimConnect::Handle handle, const SimConnect::Recv **data,
                                                SimConnect::Dword *size) = 0;
    virtual SimConnect::HResult close(SimConnect::Handle handle) = 0;

    // When the message last handed out by getNextDispatch reached this
    // program, on the caller's monotonic clock; -1 where the adapter cannot tell.
    virtual qint64 messageArrivedAt() const { return -1; }
};

// The SimConnect client library loaded at run time. Where it cannot be
// loaded (every platform but Windows with MSFS installed) every open fails.
std::shared_ptr<SimConnectApi> createSimConnectLibrary();
// The same, or null where the library cannot be loaded.
std::shared_ptr<SimConnectApi> loadSimConnectLibrary();
