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
};

QTEST_GUILESS_MAIN(CodePageTest)
#include "tst_codepage.moc"
