// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// How long receive events wait after one that handed on `handedOn` bytes from a line at `baud`:
// while it waits the driver holds the input, and a device with no flow control loses bytes once
// the driver's 4 KiB fill, so a gather lasts at most the time the line takes to fill half of that.
int receiveGatherMs(qsizetype handedOn, qint32 baud);

// A line that filled that in one gather (or a pseudo-terminal, which has no speed) is read as fast
// as it comes: its gather is this short.
constexpr int busyGatherMs = 2;

// When a backend hands on what arrived. The first arrival after a quiet spell goes at once; what
// follows waits a gather (receiveGatherMs), so that a fast line is read in large pieces and a
// trickling one costs a wake-up or two a gather instead of one an arrival. While timed there is no
// gather: the bytes a gather leaves in the system would carry the instant they are read, not the
// one they came.
class ReadGather {
public:
    explicit ReadGather(std::function<void()> handOn);

    // The device has bytes: hand them on now, or once the gather since the last hand-on is over.
    void notified();
    // What was just handed on; returns the gather that now runs, in ms.
    int handedOn(qsizetype size, qint32 baud);
    void setTimed(bool timed);
    // Opened or closed: nothing waits, and the next arrival goes at once.
    void reset();

private:
    std::function<void()> m_handOn;
    QTimer m_timer;
    QElapsedTimer m_lastHandOn;
    int m_ms = 0;
    bool m_timed = false;
};
