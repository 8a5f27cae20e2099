#include "port/codepage.h"

#include <QStringEncoder>

#include <cstdlib>

namespace {

struct LocaleRow {
    const char* locale; // language, or language_TERRITORY
    const char* codePage;
};

// As Wine maps a locale to its ANSI code page. A territory row wins over its language row.
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

} // namespace

namespace CodePage {

QByteArray forLocale(const QByteArray& locale)
{
    // language[_TERRITORY][.codeset][@modifier]
    QByteArray name = locale;
    for (char stop : { '.', '@' }) {
        const qsizetype at = name.indexOf(stop);
        if (at >= 0)
            name.truncate(at);
    }
    const qsizetype underscore = name.indexOf('_');
    const QByteArray language = underscore >= 0 ? name.left(underscore) : name;
    for (const LocaleRow& row : localeTable) {
        if (name == row.locale)
            return QByteArray(row.codePage);
    }
    for (const LocaleRow& row : localeTable) {
        if (language == row.locale)
            return QByteArray(row.codePage);
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
    QStringEncoder encoder(system().constData());
    return encoder.encode(text);
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

QString CodePageDecoder::decode(QByteArrayView bytes) { return m_decoder.decode(bytes); }

void CodePageDecoder::reset()
{
    m_name = CodePage::system();
    m_decoder = QStringDecoder(m_name.constData());
}
