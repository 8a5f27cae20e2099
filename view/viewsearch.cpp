// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewsearch.h"

#include "view/viewtext.h"

#include <algorithm>

namespace {

bool isPairGap(QChar c) { return c == u' ' || ViewText::isLineBreak(c.unicode()); }

bool isHexDigit(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F');
}

// The needle's digits as the display writes bytes ("01 03"), or nothing when it is not bytes.
QString asPairs(const QString& needle)
{
    QString digits;
    for (const QChar c : needle) {
        if (c.isSpace())
            continue;
        if (!isHexDigit(c))
            return {};
        digits += c.toUpper();
    }
    if (digits.isEmpty() || digits.size() % 2 != 0)
        return {};
    QString pairs;
    for (qsizetype k = 0; k < digits.size(); k += 2) {
        if (k > 0)
            pairs += u' ';
        pairs += QStringView(digits).mid(k, 2);
    }
    return pairs;
}

} // namespace

SearchPattern::SearchPattern(const QString& needle, bool caseSensitive, bool hexDisplay)
    : m_needle(needle)
    , m_case(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive)
{
    if (hexDisplay) {
        const QString pairs = asPairs(needle);
        if (!pairs.isEmpty()) {
            m_needle = pairs;
            m_case = Qt::CaseInsensitive;
            m_pairs = true;
        }
    }
}

bool SearchPattern::atPairBoundaries(
    QStringView hay, qsizetype index, bool hayStartsText, bool hayEndsText) const
{
    const qsizetype end = index + m_needle.size();
    const bool before = index > 0 ? isPairGap(hay[index - 1]) : hayStartsText;
    const bool after = end < hay.size() ? isPairGap(hay[end]) : hayEndsText;
    return before && after;
}

template <typename F>
void SearchPattern::scan(const ViewText& text, qint64 from, qint64 to, bool backward, F&& f) const
{
    const qint64 length = text.length();
    const qsizetype n = m_needle.size();
    from = std::max<qint64>(from, 0);
    to = std::min<qint64>(to, length - n + 1);
    if (n == 0 || from >= to)
        return;
    // One character more on either side, to tell where a pair begins and ends.
    const qint64 first = std::max<qint64>(from - 1, 0);
    const qint64 last = std::min<qint64>(to + n, length);
    const QString chars = text.mid(first, last - first);
    const QStringView hay(chars);
    const qsizetype lo = qsizetype(from - first);
    const qsizetype hi = qsizetype(to - first);
    const auto take = [&](qsizetype i) {
        return !m_pairs || atPairBoundaries(hay, i, first == 0, last == length);
    };
    if (!backward) {
        for (qsizetype i = hay.indexOf(m_needle, lo, m_case); i >= 0 && i < hi;
             i = hay.indexOf(m_needle, i + 1, m_case)) {
            if (take(i) && !f(first + i))
                return;
        }
    } else {
        // lastIndexOf takes -1 for "from the end", so a search from before 0 must not ask it.
        for (qsizetype i = hay.lastIndexOf(m_needle, hi - 1, m_case); i >= lo;
             i = i > 0 ? hay.lastIndexOf(m_needle, i - 1, m_case) : -1) {
            if (take(i) && !f(first + i))
                return;
        }
    }
}

qint64 SearchPattern::find(const ViewText& text, qint64 from, qint64 to, bool backward) const
{
    qint64 found = -1;
    scan(text, from, to, backward, [&](qint64 at) {
        found = at;
        return false;
    });
    return found;
}

std::vector<std::pair<qint64, qint64>> SearchPattern::matches(
    const ViewText& text, qint64 from, qint64 to) const
{
    std::vector<std::pair<qint64, qint64>> all;
    scan(text, from, to, false, [&](qint64 at) {
        all.emplace_back(at, at + m_needle.size());
        return true;
    });
    return all;
}

void ViewSearch::start(const SearchPattern& pattern, qint64 from, bool backward)
{
    m_pattern = pattern;
    m_running = !pattern.isEmpty();
    m_backward = backward;
    m_wrapped = false;
    m_origin = m_pos = std::max<qint64>(from, 0);
    m_found = -1;
}

ViewSearch::Result ViewSearch::step(const ViewText& text, qint64 budget)
{
    if (!m_running)
        return m_found >= 0 ? Result::Found : Result::NotFound;
    const auto finish = [this](qint64 at) {
        m_running = false;
        m_found = at;
        return at >= 0 ? Result::Found : Result::NotFound;
    };
    qint64 left = std::max<qint64>(budget, 1);
    while (left > 0) {
        if (!m_backward) {
            // The end is read afresh each time: appended text is looked at too.
            const qint64 end = m_wrapped ? m_origin : text.length();
            if (m_pos >= end) {
                if (m_wrapped)
                    return finish(-1);
                m_wrapped = true;
                m_pos = 0;
                continue;
            }
            const qint64 to = std::min(end, m_pos + left);
            const qint64 at = m_pattern.find(text, m_pos, to, false);
            left -= to - m_pos;
            m_pos = to;
            if (at >= 0)
                return finish(at);
        } else {
            const qint64 end = m_wrapped ? m_origin : 0;
            if (m_pos <= end) {
                if (m_wrapped)
                    return finish(-1);
                m_wrapped = true;
                m_pos = text.length();
                continue;
            }
            const qint64 from = std::max(end, m_pos - left);
            const qint64 at = m_pattern.find(text, from, m_pos, true);
            left -= m_pos - from;
            m_pos = from;
            if (at >= 0)
                return finish(at);
        }
    }
    return Result::Searching;
}
