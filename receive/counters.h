#pragma once

#include <QString>

// The received and sent byte counts, the received count at which the display next empties itself,
// and the sent bytes that wait for the next send event.
class ByteCounters {
public:
    // The automatic clearing fires each time this many more bytes have arrived.
    static constexpr qint64 autoClearStep = 65535;

    qint64 received() const { return m_received; }
    qint64 sent() const { return m_sent; }

    // True when the display is to be emptied now: automatic clearing is on and the count has
    // reached the mark, which then moves a further step on.
    bool addReceived(qint64 bytes, bool autoClear);
    // A hexadecimal send counts its bytes at once.
    void addSent(qint64 bytes) { m_sent += bytes; }
    // Text and file writes are counted at the next send event, once.
    void addPending(qint64 bytes) { m_pending += bytes; }
    void countPending();
    // Both counts to 0 and the mark back to its first place.
    void reset();

    QString receivedText() const; // "RX:12"
    QString sentText() const; // "TX:12"

private:
    qint64 m_received = 0;
    qint64 m_sent = 0;
    qint64 m_nextAutoClear = autoClearStep;
    qint64 m_pending = 0;
};
