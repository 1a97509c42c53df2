#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// A host and a port as the user writes them: HOST or HOST:PORT, where HOST
// is a name, an IPv4 address or an IPv6 address in brackets ([::1]:5111).
// Nothing is looked up here: a name is resolved where it is first used, on
// the thread that uses it.
struct NetworkAddress
{
    QString host; // without brackets
    quint16 port = 0;

    // With defaultPort, HOST alone is accepted and takes it; without, the port is required.
    static std::optional<NetworkAddress> parse(const QString &text,
                                               std::optional<quint16> defaultPort = std::nullopt);
    // HOST:PORT, with brackets around an IPv6 host.
    QString toString() const;

    friend bool operator==(const NetworkAddress &, const NetworkAddress &) = default;
};
