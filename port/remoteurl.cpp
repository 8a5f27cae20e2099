// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/remoteurl.h"

namespace {

bool hostCharacter(QChar c, bool bracketed)
{
    if (c.isLetterOrNumber() && c.unicode() < 0x80)
        return true;
    if (bracketed)
        return c == u':' || c == u'.' || c == u'%';
    return c == u'-' || c == u'.' || c == u'_';
}

} // namespace

std::optional<RemoteUrl> RemoteUrl::parse(QStringView text)
{
    RemoteUrl url;
    const auto scheme = [&](QLatin1String name) {
        return text.startsWith(name, Qt::CaseInsensitive)
            && text.mid(name.size()).startsWith(QLatin1String("://"));
    };
    if (scheme(QLatin1String("rfc2217"))) {
        text = text.mid(10);
    } else if (scheme(QLatin1String("tcp"))) {
        url.kind = Kind::RawTcp;
        text = text.mid(6);
    } else {
        return std::nullopt;
    }
    if (text.endsWith(u'/'))
        text.chop(1);
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    QStringView host = text.left(colon);
    const bool bracketed = host.startsWith(u'[');
    if (bracketed) {
        // Brackets are for IPv6 addresses alone, which always hold a colon.
        if (!host.endsWith(u']') || !host.contains(u':'))
            return std::nullopt;
        host = host.mid(1, host.size() - 2);
    }
    for (const QChar c : host)
        if (!hostCharacter(c, bracketed))
            return std::nullopt;
    const QStringView digits = text.mid(colon + 1);
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    uint port = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        port = port * 10 + uint(c.unicode() - u'0');
    }
    if (port == 0 || port > 65535)
        return std::nullopt;
    url.host = host.toString();
    url.port = quint16(port);
    return url;
}

QString RemoteUrl::address() const
{
    const QString shownHost
        = host.contains(u':') ? QStringLiteral("[") + host + QStringLiteral("]") : host;
    return shownHost + u':' + QString::number(port);
}

QString rawTcpNote(const QString& openedPath)
{
    const std::optional<RemoteUrl> url = RemoteUrl::parse(openedPath);
    if (!url || url->kind != RemoteUrl::Kind::RawTcp)
        return {};
    return url->toString()
        + QStringLiteral(" 是原始 TCP 连接：只传字节，波特率等参数和线路控制由服务器决定");
}

QString RemoteUrl::toString() const
{
    return (kind == Kind::Rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://"))
        + address();
}
