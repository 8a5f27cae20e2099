// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <limits>

// When something happened: on the steady clock, which every time between two things is taken on,
// and what the wall clock read then, which the stamps show. Stepping the wall clock moves the
// stamps, never a gap or a response time.
struct Moment {
    qint64 steadyNs = 0; // steadyNowNs()
    qint64 wallMs = 0; // milliseconds since the epoch
};

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
        m_headNs = none;
    }
    // Whether anything is added; then everything added depends on when bytes came, so the port
    // must read them as they come (SerialComponent::needTiming).
    bool active(bool hex) const
    {
        return m_choices.stamps || m_choices.frameMs > 0 || (hex && m_choices.hexChars)
            || m_choices.showSent;
    }

    // What to append for a read that came at `at`; every byte of one read shares it.
    QString text(const QString& text, Moment at);
    // A frame's character column is known only when the next frame begins, so it is appended
    // then, before that frame's line break. The head (line break, stamp, direction) comes first.
    struct Hex {
        QString head;
        QByteArray pairs;
    };
    Hex hex(const QByteArray& bytes, Moment at);
    // A send the port took, as its own line: hexadecimal pairs in the hexadecimal display and
    // for what was typed as hexadecimal, else text in `codePage`; a file's only begins.
    enum class SentAs { Text, Hex, File };
    QString sent(const QByteArray& bytes, SentAs as, bool hexDisplay, Moment at,
        const QByteArray& codePage = {});
    // The port reported every byte sent so far written at `steadyNs`: the next line received
    // is timed from here.
    void written(qint64 steadyNs);
    // The display was emptied: the next byte begins a line.
    void reset();

private:
    QString lineHead(Moment at);
    // "[HH:mm:ss.zzz" in local time.
    QString stamp(qint64 wallMs);
    QByteArray frameEnd();

    Choices m_choices;
    bool m_lineStart = true;
    bool m_afterCr = false; // a LF next belongs to the CR's line break
    qint64 m_lastNs = 0; // when the last read came
    QByteArray m_frame; // the open frame's bytes, for the character column
    // A reply is timed from the last write reported before its first line began; a line that
    // begins while a send is still unwritten shows +0 ms, and that send then times nothing more.
    static constexpr qint64 none = std::numeric_limits<qint64>::min();
    qint64 m_writtenNs = none; // the last write reported, until a line is timed from it
    bool m_unwritten = false; // a send taken whose write is not reported, and nothing timed by it
    QString m_head; // the head of a line for the read at m_headNs
    qint64 m_headNs = none;
    qint64 m_offsetMinute = none; // the minute the local time's offset was looked up for
    qint64 m_offsetMs = 0;
};
