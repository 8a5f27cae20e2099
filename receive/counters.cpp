// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/counters.h"

// The first clear comes when the count reaches 65535, the next after a further 65535 bytes, so
// a long session keeps showing its newest data instead of emptying at every event.
bool ByteCounters::addReceived(qint64 bytes, bool autoClear)
{
    m_received += bytes;
    if (!autoClear || m_received < m_nextAutoClear)
        return false;
    m_nextAutoClear = m_received + autoClearStep;
    return true;
}

void ByteCounters::countPending()
{
    m_sent += m_pending;
    m_pending = 0;
}

void ByteCounters::reset()
{
    m_sent = 0;
    m_pending = 0;
    m_received = 0;
    m_nextAutoClear = autoClearStep;
}

QString ByteCounters::receivedText() const
{
    return QStringLiteral("RX:") + QString::number(m_received);
}

QString ByteCounters::sentText() const { return QStringLiteral("TX:") + QString::number(m_sent); }
