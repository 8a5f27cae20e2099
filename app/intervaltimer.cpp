// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/intervaltimer.h"

#include <limits>

namespace {
// Lateness beyond this is not made up: after a long stall the schedule starts again from now
// rather than bursting out everything that was missed.
constexpr qint64 maxCatchUpMs = 50;
}

IntervalTimer::IntervalTimer(QObject* parent, Qt::TimerType type)
    : QObject(parent)
{
    m_timer.setTimerType(type);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::onTimeout);
}

bool IntervalTimer::setInterval(qint64 ms)
{
    if (ms < 0 || ms > std::numeric_limits<int>::max())
        return false;
    m_interval = ms;
    update();
    return true;
}

void IntervalTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

void IntervalTimer::update()
{
    ++m_generation;
    if (m_enabled && m_interval > 0) {
        m_timer.start(static_cast<int>(m_interval));
        m_clock.start();
        m_fired = 0;
    } else {
        m_timer.stop();
    }
}

void IntervalTimer::onTimeout()
{
    if (m_timer.timerType() != Qt::PreciseTimer) {
        Q_EMIT timeout();
        return;
    }
    const qint64 due = m_clock.elapsed() / m_interval;
    qint64 ticks = qMax<qint64>(1, due - m_fired);
    if (ticks * m_interval > maxCatchUpMs && ticks > 1) {
        ticks = 1;
        m_fired = due - 1;
    }
    // A handler may stop or restart the timer; the ticks still owed then lapse.
    const quint64 generation = m_generation;
    for (qint64 i = 0; i < ticks && generation == m_generation; ++i) {
        ++m_fired;
        Q_EMIT timeout();
    }
}
