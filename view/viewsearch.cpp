// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewsearch.h"

#include "view/viewtext.h"

#include <QScopeGuard>

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

namespace {

bool isPairGap(QChar c) { return c == u' ' || ViewText::isLineBreak(c.unicode()); }

bool isHexDigit(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F');
}

// The needle's hexadecimal digits, blanks left out; nothing when it holds anything else.
QString hexDigits(const QString& needle)
{
    QString digits;
    for (const QChar c : needle) {
        if (c.isSpace())
            continue;
        if (!isHexDigit(c))
            return {};
        digits += c.toUpper();
    }
    return digits;
}

// An even count of digits as the display writes bytes ("01 03").
QString asPairs(const QString& digits)
{
    QString pairs;
    for (qsizetype k = 0; k < digits.size(); k += 2) {
        if (k > 0)
            pairs += u' ';
        pairs += QStringView(digits).mid(k, 2);
    }
    return pairs;
}

// Where a line break or two blanks in a row end in a piece of text, and which it was.
struct Mark {
    qsizetype end = -1;
    bool blanks = false;
};

Mark lastMark(QStringView part)
{
    for (qsizetype i = part.size() - 1; i >= 0; --i) {
        const char16_t c = part[i].unicode();
        if (ViewText::isLineBreak(c))
            return { i + 1, false };
        if (c == u' ' && i > 0 && part[i - 1] == u' ')
            return { i + 1, true };
    }
    return {};
}

std::vector<Mark> marksIn(QStringView part)
{
    std::vector<Mark> marks;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const char16_t c = part[i].unicode();
        if (ViewText::isLineBreak(c))
            marks.push_back({ i + 1, false });
        else if (c == u' ' && i > 0 && part[i - 1] == u' ')
            marks.push_back({ i + 1, true });
    }
    return marks;
}

// Characters read at a time while looking back for the start of a line.
constexpr qint64 lookBackBlock = 4096;
// How far the marks of the rows in view look back.
constexpr qint64 paintLookBack = qint64(1) << 18;

} // namespace

SearchPattern::SearchPattern(const QString& needle, bool caseSensitive, bool hexDisplay)
    : m_needle(needle)
    , m_case(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive)
{
    const QString digits = hexDisplay ? hexDigits(needle) : QString();
    m_oddDigits = digits.size() % 2 != 0;
    if (!digits.isEmpty() && !m_oddDigits) {
        m_needle = asPairs(digits);
        m_case = Qt::CaseInsensitive;
        m_pairs = true;
    }
}

QString SearchPattern::problem() const
{
    return m_oddDigits ? QStringLiteral("十六进制数字个数为奇数，每个字节两位") : QString();
}

bool SearchPattern::knows(const ViewText& text) const
{
    return m_known.text == &text && m_known.edits == text.edits() && m_known.to >= 0;
}

bool SearchPattern::learnLine(const ViewText& text, qint64 pos, qint64 budget) const
{
    Stretch& known = m_known;
    if (knows(text) && pos >= known.from && pos - known.to <= budget) {
        if (pos > known.to) {
            // From one back, for two blanks that straddle the end of what is known.
            const qint64 from = std::max<qint64>(known.to - 1, 0);
            if (const Mark mark = lastMark(text.mid(from, pos - from)); mark.end >= 0) {
                known.from = from + mark.end;
                known.characters = mark.blanks;
            }
            known.to = pos;
        }
        return true;
    }
    if (known.text != &text || known.edits != text.edits() || known.target != pos)
        known = { &text, text.edits(), 0, -1, false, pos, pos };
    while (known.lookedTo > 0) {
        if (budget <= 0)
            return false;
        // Each block starts one back, for two blanks that straddle the block before.
        const qint64 from = std::max<qint64>(known.lookedTo - std::min(budget, lookBackBlock), 0);
        const qint64 at = std::max<qint64>(from - 1, 0);
        budget -= known.lookedTo - from;
        if (const Mark mark = lastMark(text.mid(at, known.lookedTo - at)); mark.end >= 0) {
            known.from = at + mark.end;
            known.characters = mark.blanks;
            break;
        }
        known.lookedTo = from;
    }
    if (known.lookedTo == 0)
        known.from = 0;
    known.to = pos;
    known.target = -1;
    return true;
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
void SearchPattern::scan(
    const ViewText& text, qint64 from, qint64 to, bool backward, qint64 lookBack, F&& f) const
{
    const qint64 length = text.length();
    const qsizetype n = m_needle.size();
    from = std::max<qint64>(from, 0);
    to = std::min<qint64>(to, length - n + 1);
    if (n == 0 || from >= to || m_oddDigits)
        return;
    // One character more on either side, to tell where a pair begins and ends.
    const qint64 first = std::max<qint64>(from - 1, 0);
    const qint64 last = std::min<qint64>(to + n, length);
    const QString chars = text.mid(first, last - first);
    const QStringView hay(chars);
    const qsizetype lo = qsizetype(from - first);
    const qsizetype hi = qsizetype(to - first);
    // Bytes are never in a line's characters: what the line held before `from` is learnt, what
    // it holds after is read from the characters at hand.
    const bool lineKnown = m_pairs && learnLine(text, from, lookBack);
    const bool charactersAtFrom = lineKnown && m_known.characters;
    const qsizetype marksFrom = std::max<qsizetype>(lo - 1, 0);
    std::vector<Mark> marks;
    bool marked = false;
    const auto inCharacters = [&](qsizetype i) {
        if (!std::exchange(marked, true))
            marks = marksIn(hay.sliced(marksFrom));
        const auto after = std::upper_bound(marks.begin(), marks.end(), i - marksFrom,
            [](qsizetype at, const Mark& mark) { return at < mark.end; });
        return after == marks.begin() ? charactersAtFrom : std::prev(after)->blanks;
    };
    const auto take = [&](qsizetype i) {
        return !m_pairs
            || (atPairBoundaries(hay, i, first == 0, last == length) && !inCharacters(i));
    };
    // What was read carries what is known on to its end, for the slice that follows.
    const auto carry = qScopeGuard([&] {
        if (!lineKnown || !knows(text) || m_known.to >= last)
            return;
        // From one back, for two blanks that straddle the end of what is known.
        const qsizetype at = std::max<qsizetype>(qsizetype(m_known.to - first) - 1, 0);
        if (const Mark mark = lastMark(hay.sliced(at)); mark.end >= 0) {
            m_known.from = first + at + mark.end;
            m_known.characters = mark.blanks;
        }
        m_known.to = last;
    });
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
    scan(text, from, to, backward, std::numeric_limits<qint64>::max(), [&](qint64 at) {
        found = at;
        return false;
    });
    return found;
}

std::vector<std::pair<qint64, qint64>> SearchPattern::matches(
    const ViewText& text, qint64 from, qint64 to) const
{
    std::vector<std::pair<qint64, qint64>> all;
    scan(text, from, to, false, paintLookBack, [&](qint64 at) {
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
            if (m_pattern.isPairs() && !m_pattern.learnLine(text, m_pos, left))
                return Result::Searching;
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
            if (m_pattern.isPairs() && !m_pattern.learnLine(text, from, left))
                return Result::Searching;
            const qint64 at = m_pattern.find(text, from, m_pos, true);
            left -= m_pos - from;
            m_pos = from;
            if (at >= 0)
                return finish(at);
        }
    }
    return Result::Searching;
}
