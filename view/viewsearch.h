// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <utility>
#include <vector>

class ViewText;

// What the receive display's find bar looks for. Case is ignored unless asked for. In the
// hexadecimal display a needle of hexadecimal digits, however spaced ("01 03", "0103"), stands
// for those bytes: it matches their pairs as the display shows them ("01 03"), beginning and
// ending where a pair does, so "10 3" never matches inside "01 03 ", and never in the characters
// that may follow a line's pairs after two blanks ("31 32   12"). An odd count of digits is no
// bytes and finds nothing; problem() says so. Any other needle is found as text there too (a time
// stamp, say).
class SearchPattern {
public:
    SearchPattern() = default;
    SearchPattern(const QString& needle, bool caseSensitive, bool hexDisplay);

    bool isEmpty() const { return m_needle.isEmpty(); }
    qsizetype length() const { return m_needle.size(); }
    // True when the needle was read as bytes.
    bool isPairs() const { return m_pairs; }
    // Why the needle finds nothing whatever the text; empty when it may.
    QString problem() const;

    // Where the first (last, backward) match starting in [from, to) begins, or -1. Reads only
    // the characters it needs: to - from and the needle's length, and for bytes back to where the
    // line of `from` begins (see learnLine()).
    qint64 find(const ViewText& text, qint64 from, qint64 to, bool backward) const;
    // Every match starting in [from, to), as [begin, end) pairs. For bytes, a line that began
    // further back than it looks is taken to have no characters (the rows in view are marked).
    std::vector<std::pair<qint64, qint64>> matches(
        const ViewText& text, qint64 from, qint64 to) const;

    // For bytes: reads back from pos, at most about `budget` characters a call, until it knows
    // whether pos lies in a line's characters, that is past two blanks since the line began;
    // true once it knows. What it learnt is kept for the positions that follow, until the text
    // is edited. A search in slices asks it first, so that no slice reads a long line whole.
    bool learnLine(const ViewText& text, qint64 pos, qint64 budget) const;

private:
    // Calls f(start) for each match starting in [from, to), in order, until f returns false.
    template <typename F>
    void scan(
        const ViewText& text, qint64 from, qint64 to, bool backward, qint64 lookBack, F&& f) const;
    bool atPairBoundaries(
        QStringView hay, qsizetype index, bool hayStartsText, bool hayEndsText) const;
    bool knows(const ViewText& text) const;

    QString m_needle;
    Qt::CaseSensitivity m_case = Qt::CaseInsensitive;
    bool m_pairs = false;
    bool m_oddDigits = false;
    // From `from` to `to` the text holds neither a line break nor two blanks, so every position
    // there is in a line's characters, or none is. A look back under way for `target` has read
    // back to `lookedTo`.
    struct Stretch {
        const ViewText* text = nullptr;
        quint64 edits = 0;
        qint64 from = 0;
        qint64 to = -1; // -1: nothing known
        bool characters = false;
        qint64 target = -1;
        qint64 lookedTo = 0;
    };
    mutable Stretch m_known;
};

// A search through the whole display in slices, so that the window keeps going between them.
// Forward it looks from the start position to the end, then from the start of the text back to
// the start position; backward the other way round. Text appended meanwhile only moves the end,
// so positions already looked at stay valid; the text's other edits must cancel the search.
class ViewSearch {
public:
    enum class Result { Found, Searching, NotFound };

    void start(const SearchPattern& pattern, qint64 from, bool backward);
    // Looks at about `budget` more characters.
    Result step(const ViewText& text, qint64 budget);
    void cancel() { m_running = false; }
    bool isRunning() const { return m_running; }
    // The match last found, as [begin, end).
    std::pair<qint64, qint64> found() const { return { m_found, m_found + m_pattern.length() }; }

private:
    SearchPattern m_pattern;
    bool m_running = false;
    bool m_backward = false;
    bool m_wrapped = false; // on the second leg, beyond the start of the text or its end
    qint64 m_origin = 0;
    qint64 m_pos = 0; // forward: the next start to look at; backward: one past it
    qint64 m_found = -1;
};
