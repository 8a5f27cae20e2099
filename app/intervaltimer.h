#pragma once

#include <QObject>
#include <QTimer>

// A timer whose interval 0 means "never fires" and that refuses intervals it cannot keep,
// instead of QTimer's "fire on every pass of the event loop".
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

    QTimer m_timer;
    qint64 m_interval = 0;
    bool m_enabled = false;
};
