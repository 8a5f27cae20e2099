// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewtext.h"

#include <QChar>

#include <algorithm>

// Reading the rows, and where the caret may stand.

namespace {

// How many characters a row layout reads at a time.
constexpr qsizetype layoutBlock = 256;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isWordChar(char16_t c) { return !isBlank(c) && !ViewText::isLineBreak(c); }

} // namespace

ViewText::ViewText() = default;
ViewText::~ViewText() = default;

qint64 ViewText::memoryUsed() const
{
    return m_chars.memoryUsed() + qint64(m_rows.capacity() * sizeof(qint64));
}

qint64 ViewText::rowEnd(qint64 row) const
{
    return row + 1 < rowCount() ? m_rows[size_t(row) + 1] : length();
}

qint64 ViewText::rowContentEnd(qint64 row) const
{
    const qint64 end = rowEnd(row);
    if (row + 1 >= rowCount() || !isHardRowStart(row + 1))
        return end;
    if (end - 2 >= rowStart(row) && at(end - 1) == u'\n' && at(end - 2) == u'\r')
        return end - 2;
    return end - 1;
}

qint64 ViewText::rowOf(qint64 pos) const
{
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), pos);
    return it == m_rows.begin() ? 0 : qint64(it - m_rows.begin()) - 1;
}

bool ViewText::isHardRowStart(qint64 row) const
{
    return row <= 0 || isLineBreak(at(m_rows[size_t(row)] - 1));
}

qint64 ViewText::caretRow(qint64 pos, bool upstream) const
{
    const qint64 row = rowOf(pos);
    if (upstream && row > 0 && pos == rowStart(row) && !isHardRowStart(row))
        return row - 1;
    return row;
}

RowLayout ViewText::layoutRow(qint64 row, qreal maxX) const
{
    RowLayout layout;
    layout.start = rowStart(row);
    const qint64 end = rowEnd(row);
    const Fixed limit = toFixed(maxX);
    Fixed x = 0;
    char16_t prev = at(layout.start - 1);
    layout.x.push_back(0);
    for (qint64 pos = layout.start; pos < end && x <= limit;) {
        const QString block = mid(pos, std::min<qint64>(layoutBlock, end - pos));
        for (const QChar ch : block) {
            if (x > limit)
                break;
            const char16_t c = ch.unicode();
            Fixed advance = 0;
            if (isLineBreak(c) || QChar::isHighSurrogate(c))
                advance = 0;
            else if (c == u'\t')
                advance = tabAdvance(x);
            else if (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(prev))
                advance = advanceOf(QChar::surrogateToUcs4(prev, c));
            else
                advance = advanceOf(c);
            x += advance;
            layout.chars.append(ch);
            layout.x.push_back(qreal(x) / 64.0);
            prev = c;
        }
        pos += block.size();
    }
    return layout;
}

// ---- caret stops and words

bool ViewText::isCaretStop(qint64 pos) const
{
    if (pos <= 0 || pos >= length())
        return true;
    const char16_t before = at(pos - 1);
    const char16_t after = at(pos);
    return !(before == u'\r' && after == u'\n')
        && !(QChar::isHighSurrogate(before) && QChar::isLowSurrogate(after));
}

qint64 ViewText::nextStop(qint64 pos) const
{
    qint64 next = std::min(pos + 1, length());
    while (next < length() && !isCaretStop(next))
        ++next;
    return next;
}

qint64 ViewText::previousStop(qint64 pos) const
{
    qint64 previous = std::max<qint64>(pos - 1, 0);
    while (previous > 0 && !isCaretStop(previous))
        --previous;
    return previous;
}

qint64 ViewText::nextWordStart(qint64 pos) const
{
    if (pos >= length())
        return length();
    if (isLineBreak(at(pos)))
        return nextStop(pos);
    qint64 next = pos;
    while (next < length() && isWordChar(at(next)))
        ++next;
    while (next < length() && isBlank(at(next)))
        ++next;
    return next;
}

qint64 ViewText::previousWordStart(qint64 pos) const
{
    if (pos <= 0)
        return 0;
    if (isLineBreak(at(pos - 1)))
        return previousStop(pos);
    qint64 previous = pos;
    while (previous > 0 && isBlank(at(previous - 1)))
        --previous;
    while (previous > 0 && isWordChar(at(previous - 1)))
        --previous;
    return previous;
}

std::pair<qint64, qint64> ViewText::wordAround(qint64 pos) const
{
    pos = std::clamp<qint64>(pos, 0, length());
    if (pos == length() || isLineBreak(at(pos))) {
        if (pos == 0 || isLineBreak(at(pos - 1)))
            return { pos, pos };
        --pos;
    }
    const bool word = isWordChar(at(pos));
    const auto same = [&](char16_t c) { return word ? isWordChar(c) : isBlank(c); };
    qint64 from = pos;
    qint64 to = pos + 1;
    while (from > 0 && same(at(from - 1)))
        --from;
    while (to < length() && same(at(to)))
        ++to;
    return { from, to };
}
