#include "port/codepage.h"

#include <QtTest>

class CodePageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { CodePage::setSystemOverride(QByteArray()); }

    void forLocale_data();
    void forLocale();
    void encode_data();
    void encode();
    void decoderAcrossPieces_data();
    void decoderAcrossPieces();
    void decoderReset();
};

void CodePageTest::forLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("codePage");

    QTest::newRow("Chinese, mainland") << QByteArray("zh_CN.UTF-8") << QByteArray("GBK");
    QTest::newRow("Chinese, Singapore") << QByteArray("zh_SG") << QByteArray("GBK");
    QTest::newRow("Chinese without territory") << QByteArray("zh") << QByteArray("GBK");
    QTest::newRow("Chinese, Taiwan") << QByteArray("zh_TW.UTF-8") << QByteArray("Big5");
    QTest::newRow("Chinese, Hong Kong") << QByteArray("zh_HK") << QByteArray("Big5");
    QTest::newRow("Japanese") << QByteArray("ja_JP.UTF-8") << QByteArray("Shift_JIS");
    QTest::newRow("Korean") << QByteArray("ko_KR.EUC-KR") << QByteArray("windows-949");
    QTest::newRow("Russian") << QByteArray("ru_RU.UTF-8") << QByteArray("windows-1251");
    QTest::newRow("Serbian, Latin") << QByteArray("sr_RS@latin") << QByteArray("windows-1250");
    QTest::newRow("Polish") << QByteArray("pl_PL.UTF-8") << QByteArray("windows-1250");
    QTest::newRow("Greek") << QByteArray("el_GR.UTF-8") << QByteArray("windows-1253");
    QTest::newRow("Turkish") << QByteArray("tr_TR") << QByteArray("windows-1254");
    QTest::newRow("Hebrew") << QByteArray("he_IL") << QByteArray("windows-1255");
    QTest::newRow("Arabic") << QByteArray("ar_EG.UTF-8") << QByteArray("windows-1256");
    QTest::newRow("Lithuanian") << QByteArray("lt_LT") << QByteArray("windows-1257");
    QTest::newRow("Vietnamese") << QByteArray("vi_VN") << QByteArray("windows-1258");
    QTest::newRow("Thai") << QByteArray("th_TH.UTF-8") << QByteArray("windows-874");
    QTest::newRow("English") << QByteArray("en_US.UTF-8") << QByteArray("windows-1252");
    QTest::newRow("C") << QByteArray("C") << QByteArray("windows-1252");
    QTest::newRow("empty") << QByteArray("") << QByteArray("windows-1252");
}

void CodePageTest::forLocale()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, codePage);

    QCOMPARE(CodePage::forLocale(locale), codePage);
}

void CodePageTest::encode_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ASCII, one byte each")
        << QByteArray("GBK") << QStringLiteral("AB\r\n") << QByteArray("AB\r\n");
    QTest::newRow("GBK double-byte characters")
        << QByteArray("GBK") << QStringLiteral("中文") << QByteArray("\xD6\xD0\xCE\xC4");
    QTest::newRow("outside GBK: one question mark per character")
        << QByteArray("GBK") << QStringLiteral("x😀Āy") << QByteArray("x??y");
    QTest::newRow("outside windows-1252: a question mark, not SUB")
        << QByteArray("windows-1252") << QStringLiteral("é中") << QByteArray("\xE9?");
    QTest::newRow("outside Shift_JIS: one byte, not two")
        << QByteArray("Shift_JIS") << QStringLiteral("日Āz") << QByteArray("\x93\xFA?z");
    const QString high(QChar(0xD800));
    const QString low(QChar(0xDC00));
    QTest::newRow("lone surrogates, inside and at the end")
        << QByteArray("GBK") << QStringLiteral("a") + high + QStringLiteral("b") + low + high
        << QByteArray("a?b??");
    QTest::newRow("lone high surrogate at the end of an inner run")
        << QByteArray("GBK") << QString(255, QLatin1Char('a')) + high + QStringLiteral("€")
        << QByteArray(255, 'a') + QByteArray("?\x80");
    QTest::newRow("long text, one unencodable character")
        << QByteArray("GBK")
        << QString(1000, QLatin1Char('a')) + QStringLiteral("😀中") + QString(1000, QLatin1Char('b'))
        << QByteArray(1000, 'a') + QByteArray("?\xD6\xD0") + QByteArray(1000, 'b');
}

void CodePageTest::encode()
{
    QFETCH(QByteArray, codePage);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    CodePage::setSystemOverride(codePage);
    QCOMPARE(CodePage::system(), codePage);
    QCOMPARE(CodePage::encode(text), bytes);
    QCOMPARE(CodePage::byteLength(text), bytes.size());
}

void CodePageTest::decoderAcrossPieces_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("GBK character split in two")
        << QByteArray("GBK")
        << QList<QByteArray> { "A\xD6",
               "\xD0"
               "B" }
        << QStringList { QStringLiteral("A"), QStringLiteral("中B") };
    QTest::newRow("GBK, one byte at a time")
        << QByteArray("GBK") << QList<QByteArray> { "\xD6", "\xD0", "\xCE", "\xC4" }
        << QStringList { QString(), QStringLiteral("中"), QString(), QStringLiteral("文") };
    QTest::newRow("Shift_JIS character split in two")
        << QByteArray("Shift_JIS") << QList<QByteArray> { "x\x93", "\xFAy" }
        << QStringList { QStringLiteral("x"), QStringLiteral("日y") };
}

void CodePageTest::decoderAcrossPieces()
{
    QFETCH(QByteArray, codePage);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, texts);

    CodePage::setSystemOverride(codePage);
    CodePageDecoder decoder;
    for (int i = 0; i < pieces.size(); ++i)
        QCOMPARE(decoder.decode(pieces.at(i)), texts.at(i));
}

void CodePageTest::decoderReset()
{
    CodePage::setSystemOverride("GBK");
    CodePageDecoder decoder;
    QCOMPARE(decoder.decode("\xD6"), QString());
    // After a reset the held lead byte is gone, and the code page is read again.
    CodePage::setSystemOverride("windows-1251");
    decoder.reset();
    QCOMPARE(decoder.decode("\xD0\xCF"), QStringLiteral("РП"));
}

QTEST_GUILESS_MAIN(CodePageTest)
#include "tst_codepage.moc"
