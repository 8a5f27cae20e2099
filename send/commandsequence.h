// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "send/commandlist.h"
#include "send/tallies.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class ReplyWatch;
class SerialComponent;

// 循环发送: the ticked rows in order, round and round, each row's delay after it before the next.
// A row the output bound refuses is held, not skipped: it is tried again when the port reports
// its output gone and on a short timer, and the sequence waits with it. It stops by itself when
// the port is closed or lost. A row that expects a reply waits for its verdict (ReplyWatch, with
// its retries) before its delay begins; the run keeps the tallies, and may stop at the first row
// that fails or times out.
class CommandSequence : public QObject {
    Q_OBJECT
public:
    static constexpr int retryMs = 10;
    static constexpr int portWatchMs = 100;

    CommandSequence(SendPath& send, SerialComponent& serial, QObject* parent = nullptr);

    // Checks the rows that expect a reply; without one they are sent as the others.
    void setWatch(ReplyWatch* watch);
    // Sends the first ticked row at once. False when there is none or the port is closed.
    bool start(const QList<Command>& commands, bool stopAtFailure = false);
    void stop();
    bool isRunning() const { return m_current >= 0; }
    bool isWaiting() const { return m_waiting; }
    // The row (an index into the list given to start) last sent or waiting; -1 when stopped.
    int currentRow() const { return m_current < 0 ? -1 : m_rows[m_current]; }
    // The list as it was given to start.
    const QList<Command>& commands() const { return m_commands; }
    // The last run's, kept after it stops until the next starts.
    const Tallies& tallies() const { return m_tallies; }

Q_SIGNALS:
    // A row went out, or is held by the output bound (waiting); or the sequence stopped (-1).
    void stepped(int row, bool waiting);
    // A row's expectation ended; the tallies count it already.
    void checked(int row, const Verdict& verdict);

private:
    void sendCurrent();
    void next();
    void onChecked(int row, const Verdict& verdict);
    // The current row's delay, from when it was due or, late or held, from now.
    void startDelay(const Command& command, bool fromNow);

    SendPath& m_send;
    SerialComponent& m_serial;
    QList<Command> m_commands;
    QList<int> m_rows; // the ticked rows
    int m_current = -1; // into m_rows
    bool m_waiting = false;
    bool m_checking = false; // the current row waits for its verdict
    bool m_stopAtFailure = false;
    ReplyWatch* m_watch = nullptr;
    Tallies m_tallies;
    QElapsedTimer m_clock;
    qint64 m_dueNs = 0; // when the current row was due, on m_clock
    QTimer m_delay;
    QTimer m_retry;
    QTimer m_portWatch; // a close raises no event, and a delay may be long
};
