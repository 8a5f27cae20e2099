// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotlines.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

namespace {

bool isSeparator(QChar c)
{
    switch (c.unicode()) {
    case u',':
    case u';':
    case u' ':
    case u'\t':
    case u'，':
    case u'；':
        return true;
    default:
        return false;
    }
}

bool isJoint(QChar c) { return c == u':' || c == u'=' || c == u'：'; }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Words that stand for a number that is not finite, as C's printf, most languages' float
// formatting and Arduino's print (its "ovf") write them: infinity, or NaN for the others.
bool nonFiniteWord(QStringView word, double& value)
{
    const auto is = [word](const char* known) {
        return word.compare(QLatin1String(known), Qt::CaseInsensitive) == 0;
    };
    if (is("inf") || is("infinity"))
        value = std::numeric_limits<double>::infinity();
    else if (is("nan") || is("ovf"))
        value = std::numeric_limits<double>::quiet_NaN();
    else
        return false;
    return true;
}

// The number at the start of the field, if it starts with one: finite, or infinite when its
// exponent takes it past the largest double, or a word that names a number that is not finite.
bool leadingNumber(QStringView field, double& value)
{
    const qsizetype size = field.size();
    qsizetype end = 0;
    const bool negative = end < size && field[end] == u'-';
    if (end < size && (field[end] == u'-' || field[end] == u'+'))
        ++end;
    if (end < size && !isDigit(field[end]) && field[end] != u'.'
        && nonFiniteWord(field.sliced(end), value)) {
        value = negative ? -value : value;
        return true;
    }
    const qsizetype mantissa = end;
    qsizetype digits = 0;
    // Where the first significant digit stands, as a power of ten, to tell an overflow from an
    // underflow.
    qint64 magnitude = 0;
    bool significant = false;
    for (; end < size && isDigit(field[end]); ++end) {
        ++digits;
        significant = significant || field[end] != u'0';
        magnitude += significant ? 1 : 0;
    }
    if (end < size && field[end] == u'.') {
        ++end;
        for (; end < size && isDigit(field[end]); ++end) {
            ++digits;
            if (!significant && field[end] == u'0')
                --magnitude;
            significant = significant || field[end] != u'0';
        }
    }
    if (digits == 0)
        return false;
    if (end < size && (field[end] == u'e' || field[end] == u'E')) {
        qsizetype exponent = end + 1;
        const bool below = exponent < size && field[exponent] == u'-';
        if (exponent < size && (field[exponent] == u'-' || field[exponent] == u'+'))
            ++exponent;
        if (exponent < size && isDigit(field[exponent])) {
            qint64 power = 0;
            for (end = exponent; end < size && isDigit(field[end]); ++end)
                power = std::min<qint64>(power * 10 + field[end].digitValue(), 1'000'000);
            magnitude += below ? -power : power;
        }
    }
    // Every character is ASCII by now; from_chars reads no sign of its own but '-'.
    QVarLengthArray<char, 80> text;
    if (negative)
        text.append('-');
    for (qsizetype k = mantissa; k < end; ++k)
        text.append(char(field[k].unicode()));
    const char* const last = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), last, value);
    if (error == std::errc::result_out_of_range) {
        const double limit = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        value = negative ? -limit : limit;
        return true;
    }
    return error == std::errc() && stop == last;
}

} // namespace

void PlotLines::read(QStringView line, Values& into)
{
    into.clear();
    QStringView pendingName;
    int position = 0;
    const qsizetype size = line.size();
    qsizetype at = 0;
    while (at < size) {
        while (at < size && isSeparator(line[at]))
            ++at;
        const qsizetype start = at;
        while (at < size && !isSeparator(line[at]))
            ++at;
        if (at == start)
            break;
        QStringView field = line.sliced(start, at - start);
        QStringView name = std::exchange(pendingName, QStringView());
        for (qsizetype k = 0; k < field.size(); ++k) {
            if (isJoint(field[k])) {
                name = field.first(k);
                field = field.sliced(k + 1);
                break;
            }
        }
        if (field.isEmpty()) {
            pendingName = name;
            continue;
        }
        double value = 0;
        if (leadingNumber(field, value))
            into.append({ name, ++position, value });
    }
}

void PlotLines::feed(QStringView text, const std::function<void(const Values&)>& line)
{
    qsizetype start = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c != u'\n' && c != u'\r')
            continue;
        const bool secondHalf = c == u'\n' && m_afterCr && at == start && m_partial.isEmpty();
        m_afterCr = c == u'\r';
        if (!secondHalf) {
            if (m_partial.isEmpty()) {
                finishLine(text.sliced(start, at - start), line);
            } else {
                m_partial.append(text.sliced(start, at - start));
                finishLine(m_partial, line);
                m_partial.clear();
            }
        }
        start = at + 1;
    }
    if (start < text.size()) {
        m_afterCr = false;
        m_partial.append(text.sliced(start));
        // A stream with no line ends is no plot data; what is left of the line is dropped as the
        // first line is.
        if (m_partial.size() > longestLine) {
            m_partial.clear();
            m_seenEnd = false;
        }
    }
}

void PlotLines::finishLine(QStringView text, const std::function<void(const Values&)>& take)
{
    if (!std::exchange(m_seenEnd, true))
        return;
    if (!text.startsWith(m_prefix))
        return;
    read(text.sliced(m_prefix.size()), m_values);
    if (!m_values.isEmpty())
        take(m_values);
}
