// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "receive/protocolview.h"

#include <QByteArray>
#include <QString>

class ByteCounters;
class SerialComponent;

// What a receive event brings: the text or hex pairs to append (either may be empty), then the
// received count's text (none for a send), then whether the display empties itself.
struct Arrival {
    QString text;
    QByteArray hexPairs;
    QString count;
    bool clear = false;
};

// Reading what arrived for the display, counting it, and the stop/resume switch.
class ReceivePath {
public:
    ReceivePath(SerialComponent& serial, ByteCounters& counters)
        : m_serial(serial)
        , m_counters(counters)
    {
    }

    // What arrived, as text, counting the raw bytes: a byte the code page cannot map would be
    // miscounted by re-encoding the decoded text. While the display is stopped the text is counted
    // and dropped.
    // `at` is when it was read, looked at only while protocol().active().
    Arrival text(const QByteArray& received, bool autoClear, Moment at = {});
    // Every byte is formatted and counted, stopped or not; a byte a text read held back (already
    // counted) is shown first.
    Arrival hex(const QByteArray& received, bool autoClear, Moment at = {});

    // A send the port took, shown while 显示发送 is chosen; it counts toward nothing.
    Arrival sent(const QByteArray& bytes, ProtocolFormatter::SentAs as, bool hexDisplay, Moment at);
    // While 协议解析 reads frames: the open one's end once the line has been idle long enough
    // (ask at protocol().frameDeadlineNs()).
    Arrival idle(bool hexDisplay, Moment now);
    // A line of the program's own, shown where sent lines are.
    Arrival note(const QString& text, bool hexDisplay, Moment at);

    bool stopped() const { return m_stopped; }
    // The caption the stop button shows afterwards.
    QString toggleStopped();

    ProtocolFormatter& protocol() { return m_protocol; }
    // The display was emptied.
    void displayCleared() { m_protocol.reset(); }

private:
    SerialComponent& m_serial;
    ByteCounters& m_counters;
    bool m_stopped = false;
    ProtocolFormatter m_protocol;
};
