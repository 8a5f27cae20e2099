// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewtext.h"

#include <QChar>

#include <algorithm>

// Changing the text, and breaking it into rows as it changes.

namespace {

bool isIdeograph(char32_t u)
{
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF)
        || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF)
        || (u >= 0x20000 && u <= 0x3FFFF);
}

// Punctuation that never begins a row, and punctuation that never ends one.
bool isClosingPunctuation(char32_t u)
{
    switch (u) {
    case 0x3001:
    case 0x3002:
    case 0x3009:
    case 0x300B:
    case 0x300D:
    case 0x300F:
    case 0x3011:
    case 0xFF01:
    case 0xFF09:
    case 0xFF0C:
    case 0xFF0E:
    case 0xFF1A:
    case 0xFF1B:
    case 0xFF1F:
        return true;
    default:
        return false;
    }
}

bool isOpeningPunctuation(char32_t u)
{
    switch (u) {
    case 0x3008:
    case 0x300A:
    case 0x300C:
    case 0x300E:
    case 0x3010:
    case 0xFF08:
        return true;
    default:
        return false;
    }
}

// A row may break on either side of an ideograph, except before closing punctuation (which stays
// with what it closes) and after opening punctuation.
bool breaksBefore(char32_t u) { return u >= 0x2E80 && isIdeograph(u); }
bool breaksAfter(char16_t c) { return c >= 0x2E80 && isIdeograph(c) && !isOpeningPunctuation(c); }

enum class CharClass : quint8 { Plain, Space, Other };

// What the layout must look at for each Latin-1 character.
struct Latin1Classes {
    CharClass kinds[256] {};
    constexpr Latin1Classes()
    {
        for (int c = 0; c < 256; ++c)
            kinds[c] = c > 0x20 && c < 0x7F ? CharClass::Plain
                : c == 0x20                 ? CharClass::Space
                                            : CharClass::Other;
    }
};
constexpr Latin1Classes latin1Classes;

} // namespace

void ViewText::setMetrics(const TextMetrics& metrics)
{
    m_wrapWidth = metrics.wrapWidth > 0 ? toFixed(metrics.wrapWidth) : 0;
    m_tabWidth = toFixed(metrics.tabWidth);
    for (int c = 0; c < 256; ++c)
        m_latin1[c] = toFixed(metrics.latin1[c]);
    m_measure = metrics.measure;
    m_bmp.reset();
    m_astral.clear();
    relayoutAll();
}

void ViewText::append(QStringView text)
{
    if (text.isEmpty())
        return;
    ensureState();
    const qint64 pos = m_chars.length();
    m_chars.append(text);
    wrap(text.utf16(), text.size(), pos);
}

void ViewText::appendLatin1(QByteArrayView text)
{
    if (text.isEmpty())
        return;
    ensureState();
    const qint64 pos = m_chars.length();
    m_chars.appendLatin1(text);
    wrap(reinterpret_cast<const uchar*>(text.data()), text.size(), pos);
}

void ViewText::insert(qint64 pos, QStringView text)
{
    pos = std::clamp<qint64>(pos, 0, length());
    if (text.isEmpty())
        return;
    if (pos == length()) {
        append(text);
        return;
    }
    m_chars.insert(pos, text);
    ++m_edits;
    relayoutAfterEdit(pos, 0, text.size());
}

void ViewText::remove(qint64 from, qint64 count)
{
    from = std::clamp<qint64>(from, 0, length());
    count = std::clamp<qint64>(count, 0, length() - from);
    if (count == 0)
        return;
    m_chars.remove(from, count);
    ++m_edits;
    relayoutAfterEdit(from, count, 0);
}

void ViewText::clear()
{
    m_chars.clear();
    ++m_edits;
    std::vector<qint64>({ 0 }).swap(m_rows);
    startRow(0, 0);
    m_stateValid = true;
}

ViewText::Fixed ViewText::advanceOf(char32_t c) const
{
    if (c < 256)
        return m_latin1[c];
    const auto measure = [this](char32_t u) { return m_measure ? toFixed(m_measure(u)) : 0; };
    if (c < 0x10000) {
        if (!m_bmp) {
            m_bmp.reset(new qint32[0x10000]);
            std::fill_n(m_bmp.get(), 0x10000, -1);
        }
        qint32& advance = m_bmp[c];
        if (advance < 0)
            advance = qint32(measure(c));
        return advance;
    }
    const auto it = m_astral.constFind(c);
    if (it != m_astral.constEnd())
        return *it;
    const Fixed advance = measure(c);
    m_astral.insert(c, advance);
    return advance;
}

ViewText::Fixed ViewText::tabAdvance(Fixed x) const
{
    return m_tabWidth > 0 ? (x / m_tabWidth + 1) * m_tabWidth - x : 0;
}

void ViewText::startRow(qint64 start, char16_t previous)
{
    m_rowStart = start;
    m_x = 0;
    m_breakPos = -1;
    m_xAtBreak = 0;
    m_prev = previous;
}

// Once a re-laid row starts where an old row started, with the character before it and everything
// after it untouched by the edit, every later row is the old one moved by the edit's size. (A row
// after a CR that an LF will join never matches: the old text had that LF too.)
bool ViewText::tryConverge(qint64 start)
{
    if (start < m_convergeFrom)
        return false;
    const qint64 old = start - m_delta;
    const auto it = std::lower_bound(m_oldRows.begin(), m_oldRows.end(), old);
    if (it == m_oldRows.end() || *it != old)
        return false;
    m_rows.reserve(m_rows.size() + size_t(m_oldRows.end() - it - 1));
    for (auto next = it + 1; next != m_oldRows.end(); ++next)
        m_rows.push_back(*next + m_delta);
    m_converged = true;
    return true;
}

// Lays out characters that continue the current row; false when it stopped early (converged).
// The row's state stays in locals while the characters stream through.
template <typename Ch> bool ViewText::wrap(const Ch* data, qsizetype count, qint64 pos)
{
    const Fixed width = m_wrapWidth;
    Fixed x = m_x;
    qint64 rowStart = m_rowStart;
    qint64 breakPos = m_breakPos;
    Fixed xAtBreak = m_xAtBreak;
    char16_t prev = m_prev;
    const auto save = [&] {
        m_x = x;
        m_rowStart = rowStart;
        m_breakPos = breakPos;
        m_xAtBreak = xAtBreak;
        m_prev = prev;
    };
    // Starts a row; true when the rows have caught up with the old ones.
    const auto push = [&](qint64 start) {
        m_rows.push_back(start);
        rowStart = start;
        breakPos = -1;
        return m_converging && tryConverge(start);
    };
    // Makes room for a character of the given advance that begins at `cluster`.
    const auto fit = [&](Fixed advance, qint64 cluster) {
        if (width <= 0 || x + advance <= width || cluster <= rowStart)
            return false;
        qint64 start = cluster;
        if (breakPos > rowStart) {
            start = breakPos;
            x -= xAtBreak;
        } else {
            x = 0;
        }
        if (push(start))
            return true;
        if (x + advance > width && cluster > rowStart) {
            // The run alone is longer than a row: break inside it.
            x = 0;
            return push(cluster);
        }
        return false;
    };

    for (qsizetype k = 0; k < count; ++k) {
        const char16_t c = char16_t(data[k]);
        const char16_t before = prev;
        const qint64 i = pos + k;
        prev = c;
        const CharClass kind = c < 0x100 ? latin1Classes.kinds[c] : CharClass::Other;
        if (kind == CharClass::Plain) {
            // Printable ASCII other than the blank: the bulk of what arrives. Within Latin-1
            // data only the first character can follow an ideograph.
            const Fixed advance = m_latin1[c];
            if ((sizeof(Ch) > 1 || k == 0) && before >= 0x2E80 && i > rowStart
                && breaksAfter(before)) {
                breakPos = i;
                xAtBreak = x;
            }
            if (x + advance > width && fit(advance, i))
                return false;
            x += advance;
            continue;
        }
        if (kind == CharClass::Space) {
            // Blanks hang at the end of a row, however many there are.
            x += m_latin1[c];
            breakPos = i + 1;
            xAtBreak = x;
            continue;
        }
        if (c == u'\n' && before == u'\r' && m_rows.back() == i) {
            // The LF completes the CR before it: one break, the row starts after both.
            m_rows.back() = i + 1;
            rowStart = i + 1;
            x = 0;
            breakPos = -1;
            if (m_converging && tryConverge(i + 1))
                return false;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            x = 0;
            if (push(i + 1))
                return false;
            continue;
        }
        if (c == u'\t') {
            x += tabAdvance(x);
            breakPos = i + 1;
            xAtBreak = x;
            continue;
        }

        Fixed advance = 0;
        char32_t code = c;
        qint64 cluster = i;
        if (c < 0x100) {
            advance = m_latin1[c];
        } else if (QChar::isHighSurrogate(c)) {
            code = 0; // measured with its low half
        } else if (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(before)) {
            code = QChar::surrogateToUcs4(before, c);
            cluster = i - 1;
            advance = advanceOf(code);
        } else {
            advance = advanceOf(c);
        }
        if (cluster > rowStart && (breaksAfter(before) || breaksBefore(code))
            && !isClosingPunctuation(code) && !isOpeningPunctuation(before)) {
            breakPos = cluster;
            xAtBreak = x;
        }
        if (fit(advance, cluster))
            return false;
        x += advance;
    }
    save();
    return true;
}

void ViewText::relayoutAll()
{
    std::vector<qint64>({ 0 }).swap(m_rows);
    startRow(0, 0);
    m_chars.forEachSpan(0, length(),
        [this](const auto* data, qsizetype n, qint64 pos) { return wrap(data, n, pos); });
    m_stateValid = true;
}

void ViewText::ensureState()
{
    if (m_stateValid)
        return;
    const qint64 start = m_rows.back();
    startRow(start, at(start - 1));
    m_chars.forEachSpan(start, length(),
        [this](const auto* data, qsizetype n, qint64 pos) { return wrap(data, n, pos); });
    m_stateValid = true;
}

// The characters have changed at pos (removed old ones, inserted new ones); the rows still
// describe the old text. The row before the edit may change too: its last word may now fit.
void ViewText::relayoutAfterEdit(qint64 pos, qint64 removed, qint64 inserted)
{
    const qint64 row = std::max<qint64>(rowOf(pos) - 1, 0);
    m_oldRows.assign(m_rows.begin() + qptrdiff(row) + 1, m_rows.end());
    m_rows.resize(size_t(row) + 1);
    m_delta = inserted - removed;
    m_convergeFrom = pos + inserted + 1;
    m_converging = true;
    m_converged = false;
    const qint64 start = m_rows.back();
    startRow(start, at(start - 1));
    m_chars.forEachSpan(start, length(),
        [this](const auto* data, qsizetype n, qint64 from) { return wrap(data, n, from); });
    m_converging = false;
    m_stateValid = !m_converged;
    std::vector<qint64>().swap(m_oldRows);
    Q_ASSERT(m_rows.front() == 0 && m_rows.back() <= length());
}
