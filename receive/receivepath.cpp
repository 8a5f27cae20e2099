// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/receivepath.h"

#include "port/serialcomponent.h"
#include "receive/counters.h"
#include "receive/hexformat.h"

Arrival ReceivePath::text(const QByteArray& received, bool autoClear)
{
    Arrival arrival;
    QString text = m_serial.textOf(received);
    if (!m_stopped)
        arrival.text = std::move(text);
    arrival.clear = m_counters.addReceived(received.size(), autoClear);
    arrival.count = m_counters.receivedText();
    return arrival;
}

Arrival ReceivePath::hex(const QByteArray& received, bool autoClear)
{
    Arrival arrival;
    const QByteArray bytes = m_serial.bytesOf(received);
    if (!bytes.isEmpty())
        arrival.hexPairs = HexFormat::pairs(bytes);
    arrival.clear = m_counters.addReceived(received.size(), autoClear);
    arrival.count = m_counters.receivedText();
    return arrival;
}

QString ReceivePath::toggleStopped()
{
    m_stopped = !m_stopped;
    return m_stopped ? QStringLiteral("继续显示") : QStringLiteral("停止显示");
}
