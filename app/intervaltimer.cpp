#include "app/intervaltimer.h"

#include <limits>

IntervalTimer::IntervalTimer(QObject* parent, Qt::TimerType type)
    : QObject(parent)
{
    m_timer.setTimerType(type);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::timeout);
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
    if (m_enabled && m_interval > 0)
        m_timer.start(static_cast<int>(m_interval));
    else
        m_timer.stop();
}
