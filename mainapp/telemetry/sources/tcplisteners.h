#pragma once

#include <QtGlobal>

#include <optional>

// Whether anything listens on a TCP port of this machine's loopback or
// every address, asked of the kernel's socket diagnostics (Linux netlink):
// no connection attempt, no packet on the loopback. Far cheaper than trying
// to connect, 50 times a second, to a service that is not there.
class TcpListeners
{
public:
    TcpListeners();
    ~TcpListeners();
    TcpListeners(const TcpListeners &) = delete;
    TcpListeners &operator=(const TcpListeners &) = delete;

    // Nothing where the kernel cannot be asked (another system, a sandbox).
    std::optional<bool> isListening(quint16 port);

private:
    std::optional<bool> listensIn(int family, quint16 port);

    int m_socket = -1; // -1: not opened yet; -2: cannot be opened
    quint32 m_sequence = 0;
};
