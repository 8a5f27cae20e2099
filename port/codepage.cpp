// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/codepage.h"

#include <QHash>
#include <QStringEncoder>

#include <algorithm>
#include <cstdlib>

namespace {

struct LocaleRow {
    const char* locale; // language, language@script or language_TERRITORY
    const char* codePage;
};

// As Wine maps a locale to its ANSI code page. A territory row wins over a script (@modifier) row,
// which wins over its language row.
constexpr LocaleRow localeTable[] = {
    { "zh_CN", "GBK" },
    { "zh_SG", "GBK" },
    { "zh_TW", "Big5" },
    { "zh_HK", "Big5" },
    { "zh_MO", "Big5" },
    { "zh", "GBK" },
    { "ja", "Shift_JIS" },
    { "ko", "windows-949" },
    // Cyrillic
    { "ru", "windows-1251" },
    { "uk", "windows-1251" },
    { "be", "windows-1251" },
    { "bg", "windows-1251" },
    { "sr", "windows-1251" },
    { "sr@latin", "windows-1250" },
    { "uz@cyrillic", "windows-1251" },
    { "mk", "windows-1251" },
    { "kk", "windows-1251" },
    { "ky", "windows-1251" },
    { "tt", "windows-1251" },
    { "mn", "windows-1251" },
    { "ba", "windows-1251" },
    { "tg", "windows-1251" },
    // Central European
    { "pl", "windows-1250" },
    { "cs", "windows-1250" },
    { "sk", "windows-1250" },
    { "hu", "windows-1250" },
    { "sl", "windows-1250" },
    { "hr", "windows-1250" },
    { "bs", "windows-1250" },
    { "ro", "windows-1250" },
    { "sq", "windows-1250" },
    { "el", "windows-1253" },
    { "tr", "windows-1254" },
    { "az", "windows-1254" },
    { "uz", "windows-1254" },
    { "he", "windows-1255" },
    { "yi", "windows-1255" },
    { "ar", "windows-1256" },
    { "fa", "windows-1256" },
    { "ur", "windows-1256" },
    { "lt", "windows-1257" },
    { "lv", "windows-1257" },
    { "et", "windows-1257" },
    { "vi", "windows-1258" },
    { "th", "windows-874" },
};

constexpr char defaultCodePage[] = "windows-1252";

QByteArray& overrideName()
{
    static QByteArray name;
    return name;
}

QByteArray fromEnvironment()
{
    for (const char* variable : { "LC_ALL", "LC_CTYPE", "LANG" }) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return CodePage::forLocale(QByteArray(value));
    }
    return QByteArray(defaultCodePage);
}

// The converters substitute what a code page cannot hold with their own filler: 0x1A in the
// single-byte pages, 0xFCFC in Shift_JIS, "?" elsewhere. Windows writes one "?" per character, so
// counts and files agree whatever the code page. Only runs holding such a character pay for it.
// (A converter's error flag survives resetState(), hence a fresh converter for every check.)
QByteArray encodeSubstituting(const QByteArray& codePage, QStringView text)
{
    constexpr qsizetype run = 256;
    QHash<char32_t, QByteArray> characters;
    auto encodeCharacter = [&](QStringView character) {
        if (character.size() == 1 && character.at(0).isSurrogate())
            return QByteArray("?");
        const char32_t key = character.size() == 2
            ? QChar::surrogateToUcs4(character.at(0), character.at(1))
            : character.at(0).unicode();
        auto known = characters.constFind(key);
        if (known == characters.cend()) {
            QStringEncoder encoder(codePage.constData());
            QByteArray encoded = encoder.encode(character);
            known = characters.insert(key, encoder.hasError() ? QByteArray("?") : encoded);
        }
        return *known;
    };

    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = std::min(at + run, text.size());
        // Never end a run on a high surrogate: a pair must stay whole, and a lone one would be
        // held back by the converter and lost without an error.
        if (end < text.size() && text.at(end - 1).isHighSurrogate())
            --end;
        const QStringView piece = text.sliced(at, end - at);
        QStringEncoder encoder(codePage.constData());
        const QByteArray encoded = encoder.encode(piece);
        if (!encoder.hasError()) {
            bytes += encoded;
        } else {
            qsizetype i = 0;
            while (i < piece.size()) {
                const qsizetype width = (piece.at(i).isHighSurrogate() && i + 1 < piece.size()
                                            && piece.at(i + 1).isLowSurrogate())
                    ? 2
                    : 1;
                bytes += encodeCharacter(piece.sliced(i, width));
                i += width;
            }
        }
        at = end;
    }
    return bytes;
}

} // namespace

namespace CodePage {

QByteArray forLocale(const QByteArray& locale)
{
    // language[_TERRITORY][.codeset][@modifier]
    QByteArray name = locale;
    QByteArray modifier;
    const qsizetype at = name.indexOf('@');
    if (at >= 0) {
        modifier = name.mid(at);
        name.truncate(at);
    }
    const qsizetype dot = name.indexOf('.');
    if (dot >= 0)
        name.truncate(dot);
    const qsizetype underscore = name.indexOf('_');
    const QByteArray language = underscore >= 0 ? name.left(underscore) : name;
    for (const QByteArray& key : { name, language + modifier, language }) {
        for (const LocaleRow& row : localeTable) {
            if (key == row.locale)
                return QByteArray(row.codePage);
        }
    }
    return QByteArray(defaultCodePage);
}

QByteArray system()
{
    if (!overrideName().isEmpty())
        return overrideName();
    static const QByteArray fromEnv = fromEnvironment();
    return fromEnv;
}

void setSystemOverride(const QByteArray& name) { overrideName() = name; }

QByteArray encode(QStringView text)
{
    // A converter holds a trailing high surrogate back, waiting for its pair, and never writes it.
    const bool danglingSurrogate = !text.isEmpty() && text.back().isHighSurrogate();
    if (danglingSurrogate)
        text.chop(1);
    const QByteArray codePage = system();
    QStringEncoder encoder(codePage.constData());
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        bytes = encodeSubstituting(codePage, text);
    if (danglingSurrogate)
        bytes += '?';
    return bytes;
}

QString decode(const QByteArray& bytes)
{
    QStringDecoder decoder(system().constData());
    return decoder.decode(bytes);
}

qint64 byteLength(QStringView text) { return encode(text).size(); }

} // namespace CodePage

CodePageDecoder::CodePageDecoder()
    : m_name(CodePage::system())
    , m_decoder(m_name.constData())
{
}

QString CodePageDecoder::decode(QByteArrayView bytes)
{
    constexpr qsizetype longestHeld = 3;
    m_tail.append(bytes.last(std::min(bytes.size(), longestHeld)));
    m_tail = m_tail.right(longestHeld);
    return m_decoder.decode(bytes);
}

// The converter keeps what it holds to itself. A line feed cannot continue a character, so it
// comes out alone unless something was held; the held bytes are then the longest end of the tail
// that a fresh converter also holds whole (a trail byte that could start a character is not).
QByteArray CodePageDecoder::takeHeld()
{
    QByteArray held;
    if (QString(m_decoder.decode(QByteArrayView("\n", 1))).size() > 1) {
        for (qsizetype size = m_tail.size(); size > 0 && held.isEmpty(); --size) {
            QStringDecoder fresh(m_name.constData());
            if (QString(fresh.decode(m_tail.right(size))).isEmpty())
                held = m_tail.right(size);
        }
    }
    reset();
    return held;
}

void CodePageDecoder::reset()
{
    m_name = CodePage::system();
    m_decoder = QStringDecoder(m_name.constData());
    m_tail.clear();
}
