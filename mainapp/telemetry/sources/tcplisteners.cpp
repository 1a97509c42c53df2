#include "tcplisteners.h"

#ifdef Q_OS_LINUX
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

TcpListeners::TcpListeners() = default;

TcpListeners::~TcpListeners()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

std::optional<bool> TcpListeners::isListening(quint16 port)
{
    // Opened at the first question: most sources that own one never ask.
    if (m_socket == -1)
        m_socket = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (m_socket < 0) {
        m_socket = -2; // cannot be asked here; not tried again
        return std::nullopt;
    }
    const std::optional<bool> v4 = listensIn(AF_INET, port);
    if (!v4 || *v4)
        return v4;
    return listensIn(AF_INET6, port);
}

std::optional<bool> TcpListeners::listensIn(int family, quint16 port)
{
    // One socket looked up as a connection to the loopback's port would be:
    // a hash lookup in the kernel, where a dump would walk every bucket.
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.header.nlmsg_seq = ++m_sequence;
    inet_diag_req_v2 &request = message.request;
    request.sdiag_family = quint8(family);
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = 1u << TCP_LISTEN;
    request.id.idiag_sport = htons(port);
    request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (family == AF_INET)
        request.id.idiag_src[0] = htonl(INADDR_LOOPBACK);
    else
        request.id.idiag_src[3] = htonl(1); // ::1
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(m_socket, &message, sizeof message, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) < 0)
        return std::nullopt;

    alignas(nlmsghdr) char buffer[1024];
    for (;;) {
        const ssize_t length = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        auto remaining = std::size_t(length);
        for (auto *h = reinterpret_cast<nlmsghdr *>(buffer); NLMSG_OK(h, remaining); h = NLMSG_NEXT(h, remaining)) {
            if (h->nlmsg_seq != m_sequence)
                continue; // an answer to an earlier question
            if (h->nlmsg_type == NLMSG_ERROR) {
                const auto *error = static_cast<const nlmsgerr *>(NLMSG_DATA(h));
                if (error->error == -ENOENT)
                    return false; // no such socket: nothing listens there
                return std::nullopt;
            }
            if (h->nlmsg_type == SOCK_DIAG_BY_FAMILY)
                return true;
        }
    }
}

#else

TcpListeners::TcpListeners() = default;
TcpListeners::~TcpListeners() = default;

std::optional<bool> TcpListeners::isListening(quint16)
{
    return std::nullopt;
}

std::optional<bool> TcpListeners::listensIn(int, quint16)
{
    return std::nullopt;
}

#endif
