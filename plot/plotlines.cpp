// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "plot/plotlines.h"

#include <charconv>
#include <cmath>
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

// The number at the start of the field, if it starts with one.
bool leadingNumber(QStringView field, double& value)
{
    const qsizetype size = field.size();
    qsizetype end = 0;
    const bool negative = end < size && field[end] == u'-';
    if (end < size && (field[end] == u'-' || field[end] == u'+'))
        ++end;
    const qsizetype mantissa = end;
    qsizetype digits = 0;
    for (; end < size && isDigit(field[end]); ++end)
        ++digits;
    if (end < size && field[end] == u'.') {
        ++end;
        for (; end < size && isDigit(field[end]); ++end)
            ++digits;
    }
    if (digits == 0)
        return false;
    if (end < size && (field[end] == u'e' || field[end] == u'E')) {
        qsizetype exponent = end + 1;
        if (exponent < size && (field[exponent] == u'-' || field[exponent] == u'+'))
            ++exponent;
        if (exponent < size && isDigit(field[exponent])) {
            end = exponent;
            while (end < size && isDigit(field[end]))
                ++end;
        }
    }
    // Every character is ASCII by now; from_chars reads no sign of its own but '-'.
    char text[80];
    const qsizetype length = end - mantissa;
    if (length >= qsizetype(sizeof text) - 1)
        return false;
    qsizetype at = 0;
    if (negative)
        text[at++] = '-';
    for (qsizetype k = mantissa; k < end; ++k)
        text[at++] = char(field[k].unicode());
    const auto [stop, error] = std::from_chars(text, text + at, value);
    return error == std::errc() && stop == text + at && std::isfinite(value);
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
