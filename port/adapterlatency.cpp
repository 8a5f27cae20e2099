// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/adapterlatency.h"

#include <QFile>
#include <QFileInfo>

std::optional<int> adapterLatencyMs(const QString& devicePath, const QString& sysfsRoot)
{
    // COMn is often a chain of links (comN, then /dev/serial/by-id/…) ending at the tty.
    QString path = devicePath;
    for (int hops = 0; hops < 16 && QFileInfo(path).isSymLink(); ++hops)
        path = QFileInfo(path).symLinkTarget();
    const QString name = QFileInfo(path).fileName();
    if (!name.startsWith(QLatin1String("ttyUSB")))
        return std::nullopt;
    QFile timer(sysfsRoot + QStringLiteral("/bus/usb-serial/devices/") + name
        + QStringLiteral("/latency_timer"));
    if (!timer.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool number = false;
    const int ms = timer.read(16).trimmed().toInt(&number);
    if (!number || ms < 1 || ms > 255)
        return std::nullopt;
    return ms;
}
