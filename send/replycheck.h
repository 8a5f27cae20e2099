// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "modbus/modbus.h"

#include <QByteArray>
#include <QString>

// What a frame that came back must be, for a stored command's 期望回复 and an 自动应答's trigger:
//   Hex:    the frame's bytes exactly, "??" standing for any one byte ("01 03 04 ?? ?? ?? ?? ??
//   ??"); Text:   the frame, read in the text code page, holds the text; with `regex`, a match of
//   it; Modbus: for a 期望回复, a right answer to the request sent (from its unit, of its function,
//           with a right CRC or LRC, no exception); for an 自动应答, any whole request, to the unit
//           the pattern names if it names one ("1"), else to any.
struct ReplyPattern {
    enum class Kind { None, Hex, Text, Modbus };
    Kind kind = Kind::None;
    QString pattern;
    bool regex = false;

    bool operator==(const ReplyPattern& o) const
    {
        return kind == o.kind && pattern == o.pattern && regex == o.regex;
    }
    // Why it cannot be used as written, in the user's words; empty when it can.
    QString problem() const;
    // An expectation's frame check. Modbus answers are told apart by answerTo(); this only says
    // whether the frame is a good one.
    bool matches(
        const QByteArray& frame, const QByteArray& request, const QByteArray& codePage) const;
    // An automatic answer's trigger.
    bool triggers(const QByteArray& frame, const QByteArray& codePage) const;
};

// RTU unless the bytes are an ASCII frame.
Modbus::Mode modbusModeOf(const QByteArray& frame);

// How an expectation ended.
struct Verdict {
    enum class Result { Pass, Fail, Timeout };
    Result result = Result::Timeout;
    QByteArray got; // the frame that passed, or the first one that did not
    qint64 responseNs = -1; // from the request's last byte written to the reply's first; -1: none
    int attempts = 1;
    // "✓ 12 ms", "✗ 01 83 02 C0 F1" (text for a text pattern) or "超时".
    QString text(bool asText, const QByteArray& codePage) const;
};

// An automatic answer: when a frame triggers `when`, `reply` goes out after `delayMs`: its
// hexadecimal bytes, its text (\r, \n and \\ stand for CR, LF and a backslash) in the text code
// page, or, for Registers, the answer to a register read from the window's register table.
struct AutoAnswer {
    static constexpr int longestDelayMs = 60000;
    enum class Reply { Hex, Text, Registers };
    bool enabled = true;
    ReplyPattern when { ReplyPattern::Kind::Hex, {}, false };
    Reply replyKind = Reply::Hex;
    QString reply;
    int delayMs = 0;

    bool operator==(const AutoAnswer& o) const
    {
        return enabled == o.enabled && when == o.when && replyKind == o.replyKind
            && reply == o.reply && delayMs == o.delayMs;
    }
    // The bytes to send for `frame`; null when there is none to give (a register answer to a
    // frame that is not a register read).
    QByteArray replyTo(const QByteArray& frame, const Modbus::Registers& registers,
        const QByteArray& codePage) const;
};
