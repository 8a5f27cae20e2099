// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A serial port served over the network: "rfc2217://lab-pi:7777" (telnet with the COM port
// option, so the settings and line control reach the remote port) or "tcp://lab-pi:7777" (bytes
// only). A COMn link in the devices folder or --com may name one in place of a device.
struct RemoteUrl {
    enum class Kind { Rfc2217, RawTcp };
    Kind kind = Kind::Rfc2217;
    QString host; // a name or an address; an IPv6 address without its brackets
    quint16 port = 0;

    // Scheme in either case, a host, a port from 1 to 65535 and at most a closing "/"; nothing
    // else (no user, path or query), and no blanks.
    static std::optional<RemoteUrl> parse(QStringView text);
    static bool isRemote(QStringView text) { return parse(text).has_value(); }
    // "lab-pi:7777", "[::1]:7777": what the user's messages name.
    QString address() const;
    // "rfc2217://lab-pi:7777"
    QString toString() const;
};

// What the status line's tooltip says while the port open is `openedPath`: for raw TCP, that the
// settings shown are not the line's; otherwise nothing.
QString rawTcpNote(const QString& openedPath);
