// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "modbus/framesplitter.h"

#include <QByteArray>
#include <QString>

#include <functional>
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
// own between the received ones, with how long the reply took; with 协议解析 each Modbus frame on
// a line of its own, read aloud after it. All off, arrivals pass unchanged.
class ProtocolFormatter {
public:
    struct Choices {
        bool stamps = false;
        int frameMs = 0; // 0: no gap starts a line
        bool hexChars = false;
        bool showSent = false;
        Modbus::Mode decode = Modbus::Mode::Off;
        qint64 rtuGapNs = 1'750'000; // 3.5 characters at the port's line
    };
    static constexpr int frameChoices[] = { 10, 20, 50, 100, 200, 500, 1000 };
    // A file send shows this many bytes of its beginning.
    static constexpr int fileShown = 256;

    const Choices& choices() const { return m_choices; }
    void setChoices(const Choices& choices);
    // Whether anything is added; then everything added depends on when bytes came, so the port
    // must read them as they come (SerialComponent::needTiming).
    bool active(bool hex) const
    {
        return m_choices.stamps || m_choices.frameMs > 0 || (hex && m_choices.hexChars)
            || m_choices.showSent || decoding();
    }
    bool decoding() const { return m_choices.decode != Modbus::Mode::Off; }
    // The gap that ends a frame: the RTU silence or an ASCII frame's second, unless 分帧 is
    // longer.
    FrameSplitter::Rule frameRule() const;

    // While decoding: a read cut into frames, each frame's annotation after its last byte. The
    // text display gets each frame's bytes through `textOf` (the port's decoder), without line
    // breaks: a frame is one line.
    using TextOf = std::function<QString(const QByteArray&)>;
    QString frames(const QByteArray& bytes, Moment at, bool hex, const TextOf& textOf);
    // The open frame's end once the line has been idle for the gap by `now`, or nothing yet.
    QString idle(Moment now, bool hex);
    // When idle() will end the open frame; FrameSplitter::none without one.
    qint64 frameDeadlineNs() const { return m_splitter.deadlineNs(); }
    // A line of the program's own (a reply's verdict), after whatever the display holds.
    QString note(const QString& text, bool hexDisplay, Moment at);
    // A send not shown still pairs the next answer with it.
    void pairSent(const QByteArray& bytes);

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
    QString frameClose(const QByteArray& frame, bool hex);
    // Whatever line is open ends (a frame being read, with its annotation) before one of our own.
    QString endOpenLine(bool hexDisplay);

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
    FrameSplitter m_splitter;
    Modbus::Annotator m_annotator;
};
