// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/replycheck.h"

#include "port/codepage.h"
#include "send/sendlogic.h"

#include <QRegularExpression>

namespace {

// A hexadecimal pattern as bytes and, for "??", a mask of 0: blanks anywhere are ignored. None
// when a pair is neither two digits nor "??".
std::optional<std::pair<QByteArray, QByteArray>> hexPattern(const QString& text)
{
    QString packed = text;
    packed.remove(QLatin1Char(' '));
    if (packed.isEmpty() || packed.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes, mask;
    for (qsizetype i = 0; i < packed.size(); i += 2) {
        const QStringView pair = QStringView(packed).sliced(i, 2);
        if (pair == u"??") {
            bytes += '\0';
            mask += '\0';
            continue;
        }
        bool ok = false;
        const uint value = pair.toUInt(&ok, 16);
        if (!ok || pair.startsWith(u'+') || pair.startsWith(u'-'))
            return std::nullopt;
        bytes += char(value);
        mask += char(0xFF);
    }
    return std::make_pair(bytes, mask);
}

QString unescaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u'r' || next == u'n' || next == u'\\') {
                out += next == u'r' ? u'\r' : next == u'n' ? u'\n' : u'\\';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

QString ReplyPattern::problem() const
{
    switch (kind) {
    case Kind::Hex:
        if (!hexPattern(pattern))
            return QStringLiteral("期望的十六进制“%1”不是成对的数字或 ??").arg(pattern);
        break;
    case Kind::Text:
        if (pattern.isEmpty())
            return QStringLiteral("期望的文本是空的");
        if (regex) {
            const QRegularExpression expression(pattern);
            if (!expression.isValid())
                return QStringLiteral("正则表达式“%1”有误：%2")
                    .arg(pattern, expression.errorString());
        }
        break;
    case Kind::Modbus:
        if (!pattern.trimmed().isEmpty()) {
            bool ok = false;
            const uint unit = pattern.trimmed().toUInt(&ok);
            if (!ok || unit > 247)
                return QStringLiteral("从站地址“%1”不是 0 到 247 的数").arg(pattern);
        }
        break;
    case Kind::None:
        break;
    }
    return {};
}

bool ReplyPattern::matches(
    const QByteArray& frame, const QByteArray& request, const QByteArray& codePage) const
{
    switch (kind) {
    case Kind::Hex: {
        const auto parsed = hexPattern(pattern);
        if (!parsed || parsed->first.size() != frame.size())
            return false;
        for (qsizetype i = 0; i < frame.size(); ++i)
            if ((frame[i] ^ parsed->first[i]) & parsed->second[i])
                return false;
        return true;
    }
    case Kind::Text: {
        const QString text = CodePage::decode(frame, codePage);
        if (!regex)
            return !pattern.isEmpty() && text.contains(pattern);
        const QRegularExpression expression(pattern);
        return expression.isValid() && expression.match(text).hasMatch();
    }
    case Kind::Modbus: {
        const Modbus::Mode mode = modbusModeOf(request);
        return Modbus::answerTo(Modbus::open(request, mode).adu, frame, mode)
            == Modbus::Answer::Good;
    }
    case Kind::None:
        break;
    }
    return false;
}

bool ReplyPattern::triggers(const QByteArray& frame, const QByteArray& codePage) const
{
    if (kind != Kind::Modbus)
        return matches(frame, {}, codePage);
    const Modbus::Opened opened = Modbus::open(frame, modbusModeOf(frame));
    if (opened.check != Modbus::Opened::Check::Good || !Modbus::fitsRequest(opened.adu))
        return false;
    bool ok = false;
    const uint unit = pattern.trimmed().toUInt(&ok);
    return !ok || unit == opened.adu.unit;
}

Modbus::Mode modbusModeOf(const QByteArray& frame)
{
    return frame.startsWith(':') && frame.endsWith("\r\n") ? Modbus::Mode::Ascii
                                                           : Modbus::Mode::Rtu;
}

QString Verdict::text(bool asText, const QByteArray& codePage) const
{
    switch (result) {
    case Result::Pass:
        return QStringLiteral("✓ %1 ms").arg((responseNs + 500'000) / 1'000'000);
    case Result::Fail: {
        constexpr int shown = 32;
        const QByteArray first = got.first(qMin<qsizetype>(got.size(), shown));
        QString what = asText ? CodePage::decode(first, codePage)
                                    .replace(QLatin1Char('\r'), QStringLiteral("\\r"))
                                    .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
                              : QString::fromLatin1(first.toHex(' ').toUpper());
        if (got.size() > shown)
            what += QStringLiteral("…");
        return QStringLiteral("✗ ") + what;
    }
    case Result::Timeout:
        break;
    }
    return QStringLiteral("超时");
}

QByteArray AutoAnswer::replyTo(
    const QByteArray& frame, const Modbus::Registers& registers, const QByteArray& codePage) const
{
    switch (replyKind) {
    case Reply::Hex:
        return SendLogic::hexBytes(reply);
    case Reply::Text:
        return CodePage::encode(unescaped(reply), codePage);
    case Reply::Registers: {
        const Modbus::Mode mode = modbusModeOf(frame);
        const Modbus::Opened opened = Modbus::open(frame, mode);
        if (opened.check != Modbus::Opened::Check::Good)
            return {};
        const std::optional<Modbus::Adu> answer = Modbus::registerAnswer(opened.adu, registers);
        return answer ? Modbus::frame(*answer, mode) : QByteArray();
    }
    }
    return {};
}
