// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// A timer whose interval 0 means "never fires" and that refuses intervals it cannot keep,
// instead of QTimer's "fire on every pass of the event loop". A precise one keeps its schedule
// against a steady clock: a tick that comes late is made up at once, so over any stretch the
// number of ticks matches the time passed (QTimer alone drifts by its lateness on every tick).
class IntervalTimer : public QObject {
    Q_OBJECT
public:
    explicit IntervalTimer(QObject* parent = nullptr, Qt::TimerType type = Qt::CoarseTimer);

    // False (and nothing changed) for a negative interval or one past the signed 32-bit range.
    bool setInterval(qint64 ms);
    qint64 interval() const { return m_interval; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // True while ticks are actually coming.
    bool isTicking() const { return m_timer.isActive(); }

Q_SIGNALS:
    void timeout();

private:
    void update();
    void onTimeout();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_interval = 0;
    qint64 m_fired = 0; // ticks given since the schedule started
    quint64 m_generation = 0; // bumped whenever the schedule restarts or stops
    bool m_enabled = false;
};
