// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/codepage.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

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

// What Qt (through ICU) is asked for when a code page is named.
QByteArray converterName(const QByteArray& codePage)
{
    return codePage.compare("EUC-KR", Qt::CaseInsensitive) == 0 ? QByteArray("windows-949")
                                                                : codePage;
}

} // namespace

// The shape of a code page's byte sequences and its characters. Qt's converters map the
// characters (they are read out once into tables); the sequences are cut here, because the
// converters disagree on what an invalid sequence gives (U+001A for some, two U+FFFD or a lost
// byte for others) and lose a byte after an incomplete sequence held between two pieces.
struct CodePageScheme {
    enum class Kind { Utf8, SingleByte, DoubleByte, Gb18030 };
    Kind kind = Kind::SingleByte;
    std::array<char16_t, 256> single {}; // a byte alone; U+FFFD when it is nothing
    std::array<bool, 256> lead {};
    std::array<bool, 256> trail {};
    std::vector<char16_t> pairs; // by (lead - 0x81) * 256 + trail; 0: not a character
    std::vector<char16_t> fourByte; // GB18030's four-byte sequences in the BMP, by linear index
};

namespace {

constexpr char16_t replacement = 0xFFFD;

struct ByteRange {
    uchar first;
    uchar last;
};

std::array<bool, 256> bytesIn(std::initializer_list<ByteRange> ranges)
{
    std::array<bool, 256> set {};
    for (const ByteRange& range : ranges)
        for (int b = range.first; b <= range.last; ++b)
            set[size_t(b)] = true;
    return set;
}

// Sequences each followed by a line feed, decoded in one go: a sequence that comes out as one
// UTF-16 unit other than a substitute is that character, anything else is none (0).
std::vector<char16_t> characters(const QByteArray& codePage, const QByteArray& sequences)
{
    QStringDecoder decoder(codePage.constData());
    const QString text = decoder.decode(sequences);
    std::vector<char16_t> result;
    result.reserve(size_t(sequences.count('\n')));
    qsizetype at = 0;
    for (qsizetype end; (end = text.indexOf(QLatin1Char('\n'), at)) >= 0; at = end + 1) {
        const char16_t c = end == at + 1 ? text.at(at).unicode() : 0;
        result.push_back(c == replacement || c == 0x1A || QChar::isSurrogate(c) ? 0 : c);
    }
    result.resize(size_t(sequences.count('\n')), 0);
    return result;
}

std::shared_ptr<const CodePageScheme> makeScheme(const QByteArray& name)
{
    auto scheme = std::make_shared<CodePageScheme>();
    const auto is
        = [&name](const char* other) { return name.compare(other, Qt::CaseInsensitive) == 0; };
    const ByteRange gbkTrail[] = { { 0x40, 0x7E }, { 0x80, 0xFE } };
    if (is("UTF-8")) {
        scheme->kind = CodePageScheme::Kind::Utf8;
        return scheme;
    }
    if (is("GB18030")) {
        scheme->kind = CodePageScheme::Kind::Gb18030;
        scheme->lead = bytesIn({ { 0x81, 0xFE } });
        scheme->trail = bytesIn({ gbkTrail[0], gbkTrail[1] });
    } else if (is("GBK")) {
        scheme->kind = CodePageScheme::Kind::DoubleByte;
        scheme->lead = bytesIn({ { 0x81, 0xFE } });
        scheme->trail = bytesIn({ gbkTrail[0], gbkTrail[1] });
    } else if (is("Big5")) {
        scheme->kind = CodePageScheme::Kind::DoubleByte;
        scheme->lead = bytesIn({ { 0x81, 0xFE } });
        scheme->trail = bytesIn({ { 0x40, 0x7E }, { 0xA1, 0xFE } });
    } else if (is("Shift_JIS")) {
        scheme->kind = CodePageScheme::Kind::DoubleByte;
        scheme->lead = bytesIn({ { 0x81, 0x9F }, { 0xE0, 0xFC } });
        scheme->trail = bytesIn({ { 0x40, 0x7E }, { 0x80, 0xFC } });
    } else if (is("windows-949")) {
        scheme->kind = CodePageScheme::Kind::DoubleByte;
        scheme->lead = bytesIn({ { 0x81, 0xFE } });
        scheme->trail = bytesIn({ { 0x41, 0x5A }, { 0x61, 0x7A }, { 0x81, 0xFE } });
    }

    QByteArray sequences;
    for (int b = 0x80; b < 0x100; ++b)
        sequences.append(char(b)).append('\n');
    const std::vector<char16_t> singles = characters(name, sequences);
    for (int b = 0; b < 0x100; ++b)
        scheme->single[size_t(b)] = b < 0x80 ? char16_t(b)
            : singles[size_t(b - 0x80)]      ? singles[size_t(b - 0x80)]
                                             : replacement;
    if (scheme->kind == CodePageScheme::Kind::SingleByte)
        return scheme;

    sequences.clear();
    for (int lead = 0x81; lead < 0x100; ++lead)
        for (int trail = 0; trail < 0x100; ++trail)
            (scheme->trail[size_t(trail)] ? sequences.append(char(lead)).append(char(trail))
                                          : sequences)
                .append('\n');
    scheme->pairs = characters(name, sequences);
    if (scheme->kind == CodePageScheme::Kind::Gb18030) {
        constexpr int bmpFourByte = 39420; // 81 30 81 30 to 84 31 A4 39
        sequences.clear();
        for (int index = 0; index < bmpFourByte; ++index)
            sequences.append(char(0x81 + index / 12600))
                .append(char(0x30 + index / 1260 % 10))
                .append(char(0x81 + index / 10 % 126))
                .append(char(0x30 + index % 10))
                .append('\n');
        scheme->fourByte = characters(name, sequences);
    }
    return scheme;
}

std::shared_ptr<const CodePageScheme> schemeFor(const QByteArray& codePage)
{
    // Only the UI thread decodes.
    static QHash<QByteArray, std::shared_ptr<const CodePageScheme>> schemes;
    const QByteArray name = converterName(codePage);
    auto known = schemes.constFind(name.toLower());
    if (known == schemes.cend())
        known = schemes.insert(name.toLower(), makeScheme(name));
    return *known;
}

// Copies the run of ASCII bytes from p[i] on, eight at a time while it lasts; returns where the
// first other byte (or the end) is.
qsizetype copyAscii(const uchar* p, qsizetype i, qsizetype n, char16_t*& out)
{
    for (quint64 word; i + 8 <= n; i += 8, out += 8) {
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080u)
            break;
        for (int k = 0; k < 8; ++k)
            out[k] = p[i + k];
    }
    while (i < n && p[i] < 0x80)
        *out++ = p[i++];
    return i;
}

void put(char16_t*& out, char32_t codePoint)
{
    if (codePoint > 0xFFFF) {
        *out++ = QChar::highSurrogate(codePoint);
        *out++ = QChar::lowSurrogate(codePoint);
    } else {
        *out++ = char16_t(codePoint);
    }
}

// The longest start of a valid sequence is one U+FFFD and the byte that cut it short is read
// again; C0, C1 and F5 to FF start nothing, so an overlong form of two bytes is two.
qsizetype decodeUtf8(const uchar* p, qsizetype n, char16_t*& out)
{
    qsizetype i = 0;
    while (i < n) {
        const uchar b = p[i];
        if (b < 0x80) {
            i = copyAscii(p, i, n, out);
            continue;
        }
        int need = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        char32_t codePoint = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            codePoint = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            codePoint = b & 0x0F;
            low = b == 0xE0 ? 0xA0 : 0x80; // shorter forms are overlong
            high = b == 0xED ? 0x9F : 0xBF; // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            codePoint = b & 0x07;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF; // past U+10FFFF
        } else {
            *out++ = replacement;
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        for (; j <= i + need; ++j) {
            if (j == n)
                return i;
            if (p[j] < low || p[j] > high)
                break;
            codePoint = (codePoint << 6) | (p[j] & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        put(out, j > i + need ? codePoint : replacement);
        i = j;
    }
    return n;
}

qsizetype decodeSingle(const CodePageScheme& s, const uchar* p, qsizetype n, char16_t*& out)
{
    for (qsizetype i = 0; i < n; ++i)
        *out++ = s.single[p[i]];
    return n;
}

// A lead byte followed by a byte that cannot trail it is one U+FFFD and the byte is read again;
// a pair the code page leaves empty is one U+FFFD, and its trail byte is read again when it is
// ASCII. A four-byte GB18030 sequence cut short is one U+FFFD up to the byte that cut it, which
// can never be a digit and so is read again: an ASCII byte after it is never swallowed.
qsizetype decodeDouble(const CodePageScheme& s, const uchar* p, qsizetype n, char16_t*& out)
{
    const bool gb18030 = s.kind == CodePageScheme::Kind::Gb18030;
    qsizetype i = 0;
    while (i < n) {
        const uchar b = p[i];
        if (b < 0x80) {
            i = copyAscii(p, i, n, out);
            continue;
        }
        if (!s.lead[b]) {
            *out++ = s.single[b];
            ++i;
            continue;
        }
        if (i + 1 == n)
            return i;
        const uchar t = p[i + 1];
        if (gb18030 && t >= 0x30 && t <= 0x39) {
            if (i + 2 == n)
                return i;
            const uchar u = p[i + 2];
            if (u < 0x81 || u > 0xFE) {
                *out++ = replacement;
                i += 2;
                continue;
            }
            if (i + 3 == n)
                return i;
            const uchar v = p[i + 3];
            if (v < 0x30 || v > 0x39) {
                *out++ = replacement;
                i += 3;
                continue;
            }
            const qsizetype index
                = qsizetype(b - 0x81) * 12600 + (t - 0x30) * 1260 + (u - 0x81) * 10 + (v - 0x30);
            const qsizetype above = index - qsizetype(0x90 - 0x81) * 12600; // from U+10000
            if (index < qsizetype(s.fourByte.size()) && s.fourByte[size_t(index)])
                *out++ = s.fourByte[size_t(index)];
            else if (above >= 0 && above <= 0xFFFFF)
                put(out, char32_t(0x10000 + above));
            else
                *out++ = replacement;
            i += 4;
            continue;
        }
        if (!s.trail[t]) {
            *out++ = replacement;
            ++i;
            continue;
        }
        const char16_t c = s.pairs[size_t(b - 0x81) * 256 + t];
        *out++ = c ? c : replacement;
        i += c || t >= 0x80 ? 2 : 1;
    }
    return n;
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

QByteArrayList choices()
{
    return { "UTF-8", "GB18030", "GBK", "Big5", "Shift_JIS", "EUC-KR", "Windows-1252" };
}

QByteArray resolve(const QByteArray& choice) { return choice.isEmpty() ? system() : choice; }

QString displayName(const QByteArray& codePage)
{
    QString name = QString::fromLatin1(codePage);
    if (name.startsWith(QLatin1String("windows-")))
        name[0] = QLatin1Char('W');
    return name;
}

QByteArray encode(QStringView text, const QByteArray& choice)
{
    // A converter holds a trailing high surrogate back, waiting for its pair, and never writes it.
    const bool danglingSurrogate = !text.isEmpty() && text.back().isHighSurrogate();
    if (danglingSurrogate)
        text.chop(1);
    const QByteArray codePage = converterName(resolve(choice));
    QStringEncoder encoder(codePage.constData());
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        bytes = encodeSubstituting(codePage, text);
    if (danglingSurrogate)
        bytes += '?';
    return bytes;
}

QString decode(const QByteArray& bytes, const QByteArray& codePage)
{
    CodePageDecoder decoder(codePage);
    QString text = decoder.decode(bytes);
    if (!decoder.takeHeld().isEmpty())
        text += QChar(replacement);
    return text;
}

qint64 byteLength(QStringView text) { return encode(text).size(); }

} // namespace CodePage

CodePageDecoder::CodePageDecoder(const QByteArray& codePage)
    : m_choice(codePage)
    , m_scheme(schemeFor(CodePage::resolve(codePage)))
{
}

CodePageDecoder::~CodePageDecoder() = default;

QString CodePageDecoder::decode(QByteArrayView bytes)
{
    QByteArray joined;
    if (!m_held.isEmpty()) {
        joined = m_held;
        joined.append(bytes);
        bytes = joined;
    }
    // No sequence gives more UTF-16 units than it has bytes.
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = start;
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const CodePageScheme& s = *m_scheme;
    qsizetype done = 0;
    switch (s.kind) {
    case CodePageScheme::Kind::Utf8:
        done = decodeUtf8(p, bytes.size(), out);
        break;
    case CodePageScheme::Kind::SingleByte:
        done = decodeSingle(s, p, bytes.size(), out);
        break;
    case CodePageScheme::Kind::DoubleByte:
    case CodePageScheme::Kind::Gb18030:
        done = decodeDouble(s, p, bytes.size(), out);
        break;
    }
    m_held = bytes.sliced(done).toByteArray();
    text.truncate(out - start);
    return text;
}

QByteArray CodePageDecoder::takeHeld() { return std::exchange(m_held, QByteArray()); }

void CodePageDecoder::reset()
{
    m_scheme = schemeFor(CodePage::resolve(m_choice));
    m_held.clear();
}

void CodePageDecoder::setCodePage(const QByteArray& codePage)
{
    m_choice = codePage;
    m_scheme = schemeFor(CodePage::resolve(codePage));
}
