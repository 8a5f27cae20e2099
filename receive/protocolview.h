// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <limits>

// The receive display's optional lines: a time stamp where each line begins, a new line after an
// idle gap, in hexadecimal each frame's bytes as characters, and what was sent on lines of its
// own between the received ones, with how long the reply took. All off, arrivals pass unchanged.
class ProtocolFormatter {
public:
    struct Choices {
        bool stamps = false;
        int frameMs = 0; // 0: no gap starts a line
        bool hexChars = false;
        bool showSent = false;
    };
    static constexpr int frameChoices[] = { 10, 20, 50, 100, 200, 500, 1000 };
    // A file send shows this many bytes of its beginning.
    static constexpr int fileShown = 256;

    const Choices& choices() const { return m_choices; }
    void setChoices(const Choices& choices)
    {
        m_choices = choices;
        m_headMs = noHead;
    }
    bool active(bool hex) const
    {
        return m_choices.stamps || m_choices.frameMs > 0 || (hex && m_choices.hexChars)
            || m_choices.showSent;
    }

    // What to append for what arrived at the given time (milliseconds since the epoch); every
    // byte of one arrival shares it.
    QString text(const QString& text, qint64 at);
    // A frame's character column is known only when the next frame begins, so it is appended
    // then, before that frame's line break. The head (line break, stamp, direction) comes first.
    struct Hex {
        QString head;
        QByteArray pairs;
    };
    Hex hex(const QByteArray& bytes, qint64 at);
    // A send the port took, as its own line in the display's mode (text in `codePage`); a file's
    // only begins.
    QString sent(
        const QByteArray& bytes, bool file, bool hex, qint64 at, const QByteArray& codePage = {});
    // The port reported every byte sent so far written: a reply is timed from here.
    void written(qint64 at);
    bool awaitsWritten() const { return m_choices.stamps && m_choices.showSent && m_replyDue; }
    // The display was emptied: the next byte begins a line.
    void reset();

private:
    QString lineHead(qint64 at);
    // "[HH:mm:ss.zzz" in local time.
    QString stamp(qint64 at);
    QByteArray frameEnd();

    Choices m_choices;
    bool m_lineStart = true;
    bool m_afterCr = false; // a LF next belongs to the CR's line break
    qint64 m_lastMs = 0;
    QByteArray m_frame; // the open frame's bytes, for the character column
    bool m_replyDue = false; // something was sent and nothing has come back since
    qint64 m_writtenMs = -1; // when the port last reported it all written, while a reply is due
    static constexpr qint64 noHead = std::numeric_limits<qint64>::min();
    QString m_head; // the head of a line for the time m_headMs
    qint64 m_headMs = noHead;
    qint64 m_offsetMinute = noHead; // the minute the local time's offset was looked up for
    qint64 m_offsetMs = 0;
};
