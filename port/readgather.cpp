// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/readgather.h"

#include <algorithm>
#include <utility>

namespace {

// What the driver may hold of a line while a gather waits, and the longest wait, which keeps the
// tail of a burst from showing late.
constexpr qsizetype gatherBytes = 2048;
constexpr int longestGatherMs = 50;

} // namespace

int receiveGatherMs(qsizetype handedOn, qint32 baud)
{
    if (handedOn >= gatherBytes || baud <= 0)
        return busyGatherMs;
    // Ten bits a character on the line: start, eight data bits and a stop bit.
    const qint64 fillMs = qint64(gatherBytes) * 10 * 1000 / baud;
    return int(std::clamp<qint64>(fillMs, busyGatherMs, longestGatherMs));
}

ReadGather::ReadGather(std::function<void()> handOn)
    : m_handOn(std::move(handOn))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { m_handOn(); });
}

void ReadGather::notified()
{
    if (m_timer.isActive())
        return;
    const qint64 since = m_lastHandOn.isValid() ? m_lastHandOn.elapsed() : m_ms;
    if (since >= m_ms)
        m_handOn();
    else
        m_timer.start(int(m_ms - since));
}

int ReadGather::handedOn(qsizetype size, qint32 baud)
{
    m_ms = m_timed ? 0 : receiveGatherMs(size, baud);
    m_lastHandOn.start();
    return m_ms;
}

// A gather under way ends at once: what it holds is already late.
void ReadGather::setTimed(bool timed)
{
    m_timed = timed;
    if (!timed)
        return;
    m_ms = 0;
    if (m_timer.isActive())
        m_timer.start(0);
}

void ReadGather::reset()
{
    m_timer.stop();
    m_ms = 0;
}
