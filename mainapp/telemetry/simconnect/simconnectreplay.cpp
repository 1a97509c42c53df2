#include "simconnectreplay.h"

#include <algorithm>

using namespace SimConnect;

HResult RecordingSimConnect::getNextDispatch(Handle handle, const Recv **data, Dword *size)
{
    const HResult result = m_live->getNextDispatch(handle, data, size);
    if (result >= 0 && *data && m_tap) {
        // Never past what the adapter says the message holds.
        const Dword length = std::min<Dword>(*size, Dword(TelemetryRecording::MaxPayload));
        m_tap(QByteArray(reinterpret_cast<const char *>(*data), qsizetype(length)));
    }
    return result;
}

HResult ReplaySimConnect::getNextDispatch(Handle, const Recv **data, Dword *size)
{
    if (m_due.isEmpty())
        return -1;
    m_current = m_due.takeFirst();
    *data = reinterpret_cast<const Recv *>(m_current.constData());
    *size = Dword(m_current.size());
    return 0;
}
