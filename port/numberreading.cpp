// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/numberreading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace NumberReading {

namespace {

    bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }
    bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

    int digitValue(QChar c, int radix)
    {
        int value = -1;
        if (c >= u'0' && c <= u'9')
            value = c.unicode() - u'0';
        else if (c >= u'a' && c <= u'f')
            value = c.unicode() - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            value = c.unicode() - u'A' + 10;
        return value < radix ? value : -1;
    }

    // Walks the text; in the leading-number form it steps over blanks wherever they are.
    class Cursor {
    public:
        Cursor(QStringView text, bool skipBlanks)
            : m_text(text)
            , m_skipBlanks(skipBlanks)
        {
        }
        QChar peek()
        {
            if (m_skipBlanks) {
                while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
                    ++m_pos;
            }
            return m_pos < m_text.size() ? m_text[m_pos] : QChar();
        }
        void next() { ++m_pos; }
        qsizetype position() const { return m_pos; }
        void moveTo(qsizetype pos) { m_pos = pos; }

    private:
        QStringView m_text;
        bool m_skipBlanks;
        qsizetype m_pos = 0;
    };

    struct Scan {
        double value = 0;
        bool hasDigits = false;
        qsizetype end = 0; // just past the last character that belongs to the number
    };

    Scan scanRadix(Cursor& cursor, int radix)
    {
        Scan scan;
        while (true) {
            const int digit = digitValue(cursor.peek(), radix);
            if (digit < 0)
                break;
            scan.value = scan.value * radix + digit;
            scan.hasDigits = true;
            cursor.next();
        }
        scan.end = cursor.position();
        return scan;
    }

    // Decides the side of an out-of-range decimal: the decimal exponent of the leading significant
    // digit, positive for an overflow.
    bool overflows(const std::string& whole, const std::string& fraction, long exponent)
    {
        const auto firstSignificant = whole.find_first_not_of('0');
        if (firstSignificant != std::string::npos)
            return long(whole.size() - firstSignificant) + exponent > 0;
        const auto leadingZeros = fraction.find_first_not_of('0');
        if (leadingZeros == std::string::npos)
            return false;
        return exponent - long(leadingZeros) > 0;
    }

    Scan scanDecimal(Cursor& cursor, bool exponentD)
    {
        Scan scan;
        bool negative = false;
        if (cursor.peek() == u'+' || cursor.peek() == u'-') {
            negative = cursor.peek() == u'-';
            cursor.next();
        }
        std::string whole;
        std::string fraction;
        while (isDigit(cursor.peek())) {
            whole += char(cursor.peek().unicode());
            cursor.next();
        }
        if (cursor.peek() == u'.') {
            cursor.next();
            while (isDigit(cursor.peek())) {
                fraction += char(cursor.peek().unicode());
                cursor.next();
            }
        }
        scan.hasDigits = !whole.empty() || !fraction.empty();
        if (!scan.hasDigits)
            return scan;
        scan.end = cursor.position();

        // An exponent counts only when at least one digit follows its letter and sign.
        std::string exponentDigits;
        bool exponentNegative = false;
        const QChar letter = cursor.peek();
        if (letter == u'e' || letter == u'E' || (exponentD && (letter == u'd' || letter == u'D'))) {
            cursor.next();
            if (cursor.peek() == u'+' || cursor.peek() == u'-') {
                exponentNegative = cursor.peek() == u'-';
                cursor.next();
            }
            while (isDigit(cursor.peek())) {
                exponentDigits += char(cursor.peek().unicode());
                cursor.next();
            }
            if (!exponentDigits.empty())
                scan.end = cursor.position();
        }

        std::string number = (whole.empty() ? std::string("0") : whole) + '.' + fraction + '0';
        long exponent = 0;
        if (!exponentDigits.empty()) {
            number += 'e';
            if (exponentNegative)
                number += '-';
            number += exponentDigits;
            for (char digit : exponentDigits) {
                exponent = std::min(exponent * 10 + (digit - '0'), 1000000L);
            }
            if (exponentNegative)
                exponent = -exponent;
        }
        double value = 0;
        const auto [rest, error]
            = std::from_chars(number.data(), number.data() + number.size(), value);
        Q_UNUSED(rest);
        if (error == std::errc::result_out_of_range)
            value = overflows(whole, fraction, exponent) ? std::numeric_limits<double>::infinity()
                                                         : 0.0;
        scan.value = negative ? -value : value;
        return scan;
    }

    Scan scan(Cursor& cursor, bool exponentD)
    {
        const qsizetype start = cursor.position();
        if (cursor.peek() == u'&') {
            cursor.next();
            const QChar kind = cursor.peek();
            if (kind == u'h' || kind == u'H' || kind == u'o' || kind == u'O') {
                cursor.next();
                return scanRadix(cursor, kind == u'h' || kind == u'H' ? 16 : 8);
            }
            cursor.moveTo(start);
            return {};
        }
        return scanDecimal(cursor, exponentD);
    }

} // namespace

double leadingNumber(QStringView text)
{
    Cursor cursor(text, true);
    const Scan result = scan(cursor, false);
    return result.hasDigits ? result.value : 0.0;
}

std::optional<double> wholeNumber(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    const QStringView number = text.mid(first, last - first);
    Cursor cursor(number, false);
    const Scan result = scan(cursor, true);
    if (!result.hasDigits || result.end != number.size())
        return std::nullopt;
    return result.value;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    const double part = value - below;
    if (part < 0.5)
        return below;
    if (part > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

} // namespace NumberReading
