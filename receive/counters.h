// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The received and sent byte counts, the received count at which the display next empties itself,
// and the bytes that have left for the device and wait for the next send event to be counted.
// Only bytes that left are ever counted: what a close, a loss or a re-open drops never is.
class ByteCounters {
public:
    // The automatic clearing fires each time this many more bytes have arrived.
    static constexpr qint64 autoClearStep = 65535;

    qint64 received() const { return m_received; }
    qint64 sent() const { return m_sent; }

    // True when the display is to be emptied now: automatic clearing is on and the count has
    // reached the mark, which then moves a further step on.
    bool addReceived(qint64 bytes, bool autoClear);
    void addPending(qint64 bytesLeft) { m_pending += bytesLeft; }
    // The send event.
    void countPending();
    // Both counts and what is pending to 0, the mark back to its first place.
    void reset();

    QString receivedText() const; // "RX:12"
    QString sentText() const; // "TX:12"

private:
    qint64 m_received = 0;
    qint64 m_sent = 0;
    qint64 m_nextAutoClear = autoClearStep;
    qint64 m_pending = 0;
};
