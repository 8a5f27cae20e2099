// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/sendlogic.h"

#include "port/numberreading.h"

#include <cmath>
#include <limits>

namespace {

constexpr char16_t blank = u' ';

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

} // namespace

namespace SendLogic {

QString fromTextBox(QStringView rawText)
{
    QString text;
    text.reserve(rawText.size());
    for (const QChar c : rawText) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            text += QLatin1String("\r\n");
        else
            text += c;
    }
    return text;
}

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == blank)
        ++begin;
    while (end > begin && text[end - 1] == blank)
        --end;
    return text.sliced(begin, end - begin).toString();
}

QByteArray trimBlankBytes(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && bytes[begin] == ' ')
        ++begin;
    while (end > begin && bytes[end - 1] == ' ')
        --end;
    if (begin == 0 && end == bytes.size())
        return bytes;
    return bytes.sliced(begin, end - begin);
}

QByteArray hexBytes(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    int high = -1; // the first digit of a pair, while waiting for the second
    for (const QChar c : text) {
        if (c.unicode() == blank)
            continue;
        const int value = hexValue(c.unicode());
        if (value < 0)
            break;
        if (high < 0) {
            high = value;
        } else {
            bytes.append(static_cast<char>(high << 4 | value));
            high = -1;
        }
    }
    return bytes;
}

QString hexShortfall(QStringView text)
{
    qsizetype digits = 0;
    QChar last;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() == blank)
            continue;
        if (hexValue(c.unicode()) < 0) {
            const QString shown = c == u'\t' ? QStringLiteral("制表符")
                : c == u'\r' || c == u'\n'   ? QStringLiteral("换行")
                                             : QStringLiteral("“%1”").arg(c);
            return QStringLiteral("第 %1 个字符%2不是十六进制数字，十六进制发送到此为止")
                .arg(i + 1)
                .arg(shown);
        }
        ++digits;
        last = c;
    }
    if (digits == 0)
        return QStringLiteral("发送框里没有十六进制数字");
    if (digits % 2 != 0)
        return QStringLiteral("十六进制数字是奇数个，最后一位“%1”不会发送").arg(last);
    return {};
}

std::optional<qint64> readPeriod(QStringView text)
{
    const double rounded = NumberReading::roundHalfEven(NumberReading::leadingNumber(text));
    // Written so that NaN fails too.
    if (!(rounded >= std::numeric_limits<qint32>::min()
            && rounded <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint64>(rounded);
}

} // namespace SendLogic
