// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "modbus/modbus.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <limits>

// Cuts what arrives into frames. Every rule ends a frame after the line was idle for the gap;
// Modbus RTU also where the bytes make a whole frame with a right CRC (so a reply needs no wait,
// and one that follows its request's echo in the same read is still its own), ASCII at the LF
// after CR and before a ':' that starts another. Reads are fed with the instant they came.
class FrameSplitter {
public:
    struct Rule {
        Modbus::Mode mode = Modbus::Mode::Off;
        qint64 gapNs = 50'000'000;
        bool operator==(const Rule& o) const { return mode == o.mode && gapNs == o.gapNs; }
    };
    // A run of bytes of the open frame, and when it ends the frame, all its bytes.
    struct Piece {
        QByteArray bytes;
        QByteArray frame; // null unless the piece ends it
        bool ends() const { return !frame.isNull(); }
    };
    static constexpr qint64 none = std::numeric_limits<qint64>::max();

    const Rule& rule() const { return m_rule; }
    // The open frame is dropped.
    void setRule(const Rule& rule);
    QList<Piece> feed(QByteArrayView bytes, qint64 atNs);
    // The open frame, if the line has been idle for the gap by `nowNs`; null otherwise.
    QByteArray expire(qint64 nowNs);
    // When the open frame ends unless more comes; none without one.
    qint64 deadlineNs() const { return m_open.isEmpty() ? none : m_lastNs + m_rule.gapNs; }
    // Ends the open frame now (null without one).
    QByteArray flush();
    void reset() { m_open.clear(); }

private:
    Rule m_rule;
    QByteArray m_open;
    qint64 m_lastNs = 0;
};
