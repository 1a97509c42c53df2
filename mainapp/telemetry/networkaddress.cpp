#include "networkaddress.h"

#include <QHostAddress>

namespace {

// A DNS name: letters, digits, hyphens and dots, no empty label at the start.
bool isHostName(const QString &host)
{
    if (host.isEmpty() || host.size() > 253 || host.startsWith(QLatin1Char('.')) ||
        host.startsWith(QLatin1Char('-')))
        return false;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                        u == u'-' || u == u'.' || u == u'_';
        if (!ok)
            return false;
    }
    return !host.contains(QLatin1String(".."));
}

} // namespace

std::optional<NetworkAddress> NetworkAddress::parse(const QString &text, std::optional<quint16> defaultPort)
{
    const QString trimmed = text.trimmed();
    QString host;
    QString port;
    bool hasPort = false;
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return std::nullopt;
            port = rest.mid(1);
            hasPort = true;
        }
        QHostAddress address;
        if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
    } else {
        const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
        if (colon >= 0 && trimmed.indexOf(QLatin1Char(':'), colon + 1) >= 0)
            return std::nullopt; // an IPv6 host needs its brackets
        host = colon >= 0 ? trimmed.left(colon) : trimmed;
        if (colon >= 0) {
            port = trimmed.mid(colon + 1);
            hasPort = true;
        }
        if (!isHostName(host))
            return std::nullopt;
    }
    NetworkAddress result;
    result.host = host;
    if (hasPort) {
        bool ok = false;
        const uint value = port.toUInt(&ok);
        if (!ok || value == 0 || value > 65535 || port.startsWith(QLatin1Char('+')))
            return std::nullopt;
        result.port = quint16(value);
    } else if (defaultPort) {
        result.port = *defaultPort;
    } else {
        return std::nullopt;
    }
    return result;
}

QString NetworkAddress::toString() const
{
    if (host.contains(QLatin1Char(':')))
        return QStringLiteral("[%1]:%2").arg(host).arg(port);
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
