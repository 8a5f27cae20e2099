// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "view/textchunks.h"

#include <QHash>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

// How wide characters are and how wide a row may be, in pixels, as the display's font has them.
struct TextMetrics {
    qreal wrapWidth = 0; // rows never wrap when this is 0 or less
    qreal tabWidth = 64; // distance between tab stops
    qreal latin1[256] = {}; // advance of each Latin-1 character (control characters: their mark)
    std::function<qreal(char32_t)> measure; // advance of any other character
};

// The characters of one displayed row and the x of every boundary between them.
struct RowLayout {
    qint64 start = 0;
    QString chars;
    std::vector<qreal> x; // chars.size() + 1 entries; x[k] is where character k begins
};

// The text of the receive display and its rows: the characters are a TextChunks, and every
// displayed row is known by where it starts. Rows break after a line break (CR LF, a lone LF or a
// lone CR, however the pieces arrive), after blanks, beside ideographs, and inside a run longer
// than the row. Widths are summed in 1/64 pixel so that laying out a row from its start always
// gives the same breaks as laying it out as part of its paragraph: appending only continues the
// last row and an edit re-lays the rows around it until the old breaks come back. It also holds
// the rules of where a caret may stand and what a word is. Changing the text and breaking it into
// rows is in rowbreaking.cpp; reading the rows and the caret rules in viewtext.cpp.
class ViewText {
public:
    ViewText();
    ~ViewText();
    ViewText(const ViewText&) = delete;
    ViewText& operator=(const ViewText&) = delete;

    // LF and CR each end a line; CR LF is one break, and no caret stands between its two.
    static bool isLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }

    // Lays out every row again with new metrics.
    void setMetrics(const TextMetrics& metrics);

    qint64 length() const { return m_chars.length(); }
    QString text() const { return m_chars.mid(0, m_chars.length()); }
    QString mid(qint64 from, qint64 count) const { return m_chars.mid(from, count); }
    char16_t at(qint64 pos) const { return m_chars.at(pos); }

    void append(QStringView text);
    void appendLatin1(QByteArrayView text);
    void insert(qint64 pos, QStringView text);
    void remove(qint64 from, qint64 count);
    // Empties the text and gives its memory back.
    void clear();
    // Counts the changes other than appends: what was learnt of the text before one may be stale.
    quint64 edits() const { return m_edits; }

    qint64 rowCount() const { return qint64(m_rows.size()); }
    qint64 rowStart(qint64 row) const
    {
        Q_ASSERT(row >= 0 && row < rowCount());
        return m_rows[size_t(row)];
    }
    // Where the next row starts (the text's length for the last row).
    qint64 rowEnd(qint64 row) const;
    // Where the row's characters end, before the line break that ends it.
    qint64 rowContentEnd(qint64 row) const;
    // The row a position belongs to; a position where a wrapped row begins belongs to that row.
    qint64 rowOf(qint64 pos) const;
    // True when the row follows a line break (or is the first row), false for a wrapped row.
    bool isHardRowStart(qint64 row) const;
    // The row a caret at pos is drawn in: upstream, where a wrapped row begins, the row before.
    qint64 caretRow(qint64 pos, bool upstream) const;
    // Lays out a row, stopping once a character begins beyond maxX.
    RowLayout layoutRow(qint64 row, qreal maxX) const;

    // Positions where the caret may stand: never inside CR LF or inside a surrogate pair.
    bool isCaretStop(qint64 pos) const;
    qint64 nextStop(qint64 pos) const;
    qint64 previousStop(qint64 pos) const;
    // Word moves as a text box makes them: words are runs of characters other than blanks.
    qint64 nextWordStart(qint64 pos) const;
    qint64 previousWordStart(qint64 pos) const;
    // The run of word characters (or of blanks) around pos, for a double click.
    std::pair<qint64, qint64> wordAround(qint64 pos) const;

    // Bytes held by the text and its rows, for the benchmark.
    qint64 memoryUsed() const;

private:
    using Fixed = qint64; // 1/64 pixel
    static Fixed toFixed(qreal pixels) { return std::llround(pixels * 64.0); }

    void startRow(qint64 start, char16_t previous);
    void ensureState();
    template <typename Ch> bool wrap(const Ch* data, qsizetype count, qint64 pos);
    bool tryConverge(qint64 start);
    void relayoutAll();
    void relayoutAfterEdit(qint64 pos, qint64 removed, qint64 inserted);

    Fixed advanceOf(char32_t c) const;
    Fixed tabAdvance(Fixed x) const;

    TextChunks m_chars;
    std::vector<qint64> m_rows { 0 };
    quint64 m_edits = 0;

    // Metrics in 1/64 pixel
    Fixed m_wrapWidth = 0;
    Fixed m_tabWidth = 64 * 64;
    Fixed m_latin1[256] = {};
    std::function<qreal(char32_t)> m_measure;
    mutable std::unique_ptr<qint32[]> m_bmp; // advances of the rest of the first plane, -1 unknown
    mutable QHash<char32_t, Fixed> m_astral;

    // The state of the row being laid out
    qint64 m_rowStart = 0;
    Fixed m_x = 0;
    qint64 m_breakPos = -1; // the last place in the row where it may break
    Fixed m_xAtBreak = 0;
    char16_t m_prev = 0;
    bool m_stateValid = true; // false: the state must be rebuilt from the last row's start

    // While re-laying rows after an edit: the rows that followed, as they were
    bool m_converging = false;
    bool m_converged = false;
    std::vector<qint64> m_oldRows;
    qint64 m_delta = 0;
    qint64 m_convergeFrom = 0;
};
