// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/codepage.h"

#include <QtTest>

class CodePageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:

    void forLocale_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QByteArray>("codePage");
        const auto row = [](const char* name, const char* locale, const char* codePage) {
            QTest::newRow(name) << QByteArray(locale) << QByteArray(codePage);
        };
        row("Chinese, Taiwan", "zh_TW.UTF-8", "Big5");
        row("Japanese", "ja_JP.UTF-8", "Shift_JIS");
        row("script modifier wins over the language", "sr_RS@latin", "windows-1250");
        row("English", "en_US.UTF-8", "windows-1252");
    }

    void forLocale()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QByteArray, codePage);
        QCOMPARE(CodePage::forLocale(locale), codePage);
    }

    // Counts and files must agree: byteLength is what encode writes, one '?' per lost character.
    // Where nothing is lost, the bytes cut anywhere in two come back whole through one decoder.
    void encodeAndDecode_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* name, const char* cp, QStringView text, QByteArray b) {
            QTest::newRow(name) << QByteArray(cp) << text.toString() << b;
        };
        const QChar high(0xD800);
        row("GBK double-byte", "GBK", u"A中文", "A\xD6\xD0\xCE\xC4");
        row("outside GBK, a pair and a BMP character", "GBK", u"x😀Āy", "x??y");
        row("outside windows-1252: ?, not SUB", "windows-1252", u"é中", "\xE9?");
        row("outside Shift_JIS: one byte, not two", "Shift_JIS", u"日Āz", "\x93\xFA?z");
        row("lone surrogates", "GBK", QStringLiteral("a") + high + u'b' + high, "a?b?");
        // Long text is encoded in runs; a converter would hold a trailing high surrogate back.
        row("lone high surrogate ending an inner run", "GBK", QString(255, u'a') + high + u'€',
            QByteArray(255, 'a') + "?\x80");
    }

    void encodeAndDecode()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        CodePage::setSystemOverride(codePage);
        QCOMPARE(CodePage::encode(text), bytes);
        QCOMPARE(CodePage::byteLength(text), bytes.size());
        for (qsizetype cut = 1; cut < bytes.size() && !bytes.contains('?'); ++cut) {
            CodePageDecoder decoder;
            const QString first = decoder.decode(bytes.left(cut));
            QCOMPARE(first + decoder.decode(bytes.mid(cut)), text);
        }
    }

    // Each encoding's characters, cut in two at every byte, come out whole; text goes out as
    // these bytes.
    void choicesSplitAnywhere_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* codePage, QStringView text, const QByteArray& bytes) {
            QTest::newRow(codePage) << QByteArray(codePage) << text.toString() << bytes;
        };
        row("UTF-8", u"é温℃😀", "\xC3\xA9\xE6\xB8\xA9\xE2\x84\x83\xF0\x9F\x98\x80");
        row("GB18030", u"温€\u0080😀", "\xCE\xC2\xA2\xE3\x81\x30\x81\x30\x94\x39\xFC\x36");
        row("GBK", u"A中€", "A\xD6\xD0\x80");
        row("Big5", u"中文", "\xA4\xA4\xA4\xE5");
        row("Shift_JIS", u"日ｱ本", "\x93\xFA\xB1\x96\x7B");
        row("EUC-KR", u"한국", "\xC7\xD1\xB1\xB9");
        row("Windows-1252", u"é€", "\xE9\x80");
    }

    void choicesSplitAnywhere()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QVERIFY(CodePage::choices().contains(codePage));
        QCOMPARE(CodePage::encode(text, codePage), bytes);
        for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
            CodePageDecoder decoder(codePage);
            const QString first = decoder.decode(bytes.left(cut));
            QCOMPARE(first + decoder.decode(bytes.mid(cut)), text);
            QCOMPARE(decoder.takeHeld(), QByteArray());
        }
    }

    // One U+FFFD for each invalid sequence, and the byte that ended it read again.
    void invalidSequences_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const char* codePage, const QByteArrayList& reads,
                             QStringView text) {
            QTest::newRow(name) << QByteArray(codePage) << reads << text.toString();
        };
        row("UTF-8 lone continuation byte", "UTF-8", { "a\x80z" }, u"a\uFFFDz");
        row("UTF-8 cut short at a read's end, then ASCII", "UTF-8", { "a\xF0\x9F\x98", "z" },
            u"a\uFFFDz");
        // C0 can never start a character, so C0 and AF are two invalid sequences.
        row("UTF-8 overlong slash", "UTF-8", { "\xC0\xAF" }, u"\uFFFD\uFFFD");
        row("UTF-8 overlong three-byte form", "UTF-8", { "\xE0\x80", "\xAFz" },
            u"\uFFFD\uFFFD\uFFFDz");
        row("GB18030 lone trail byte", "GB18030", { "\x80z" }, u"\uFFFDz");
        row("GB18030 four bytes cut short, then ASCII", "GB18030", { "\x81\x30\x81", "z" },
            u"\uFFFDz");
        row("GBK lead cut short, then a line break", "GBK", { "\xD6", "\r\n" }, u"\uFFFD\r\n");
        row("Big5 lead before a byte that cannot trail it", "Big5", { "\xA4\x80\xA4\x40" },
            u"\uFFFD\u0080一");
        row("Shift_JIS lone byte, then a lead cut short", "Shift_JIS", { "\xFD\x82", "1" },
            u"\uFFFD\uFFFD1");
        row("EUC-KR lead cut short, then a blank", "EUC-KR", { "\xC7", " " }, u"\uFFFD ");
    }

    void invalidSequences()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(QByteArrayList, reads);
        QFETCH(QString, text);
        CodePageDecoder decoder(codePage);
        QString decoded;
        for (const QByteArray& read : reads)
            decoded += decoder.decode(read);
        QCOMPARE(decoded, text);
        QCOMPARE(CodePage::decode(reads.join(), codePage), text);
    }
};

QTEST_GUILESS_MAIN(CodePageTest)
#include "tst_codepage.moc"
