// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/checkbytes.h"
#include "send/sendlogic.h"

#include <QtTest>

using CheckBytes::Kind;
using namespace Qt::StringLiterals;

// What the send path makes of the send box and the period box, and the check bytes appended to
// the box; the automatic send's own table (tst_session) has the common periods.

class SendLogicTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hexBytes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lower case, blanks inside pairs")
            << QStringLiteral("a b cd") << QByteArray("\xab\xcd");
        QTest::newRow("one run, not tokens, odd digit dropped")
            << QStringLiteral("1 02") << QByteArray("\x10");
        QTest::newRow("comma stops") << QStringLiteral("12,34") << QByteArray("\x12");
        QTest::newRow("line break stops") << QStringLiteral("12\r\n34") << QByteArray("\x12");
        QTest::newRow("0x prefix stops at x") << QStringLiteral("0x12") << QByteArray();
        QTest::newRow("letter past F stops") << QStringLiteral("123G45") << QByteArray("\x12");
        QTest::newRow("tab stops") << QStringLiteral("AB\tCD") << QByteArray("\xab");
        QTest::newRow("full-width digit stops") << QStringLiteral("AB１２") << QByteArray("\xab");
        QTest::newRow("zero bytes kept") << QStringLiteral("00 00") << QByteArray(2, '\0');
        // Far past a 16-bit length, in both cases.
        QTest::newRow("large paste")
            << QStringLiteral("0aF5 ").repeated(40000) << QByteArray("\x0a\xf5").repeated(40000);
    }
    void hexBytes()
    {
        QFETCH(QString, box);
        QFETCH(QByteArray, bytes);
        QCOMPARE(SendLogic::hexBytes(box), bytes);
    }

    // Only U+0020 / 0x20 is trimmed; other white space is data.
    void trimBlanks_data()
    {
        QTest::addColumn<QByteArray>("latin1");
        QTest::addColumn<QByteArray>("trimmed");
        QTest::newRow("blanks at the ends, inner kept")
            << QByteArray("  A B  ") << QByteArray("A B");
        QTest::newRow("control bytes kept")
            << QByteArray(" \r\n\0A\t ", 7) << QByteArray("\r\n\0A\t", 5);
        QTest::newRow("no-break space kept")
            << QByteArray("\xa0 A\xa0") << QByteArray("\xa0 A\xa0");
        QTest::newRow("only blanks") << QByteArray("   ") << QByteArray();
    }
    void trimBlanks()
    {
        QFETCH(QByteArray, latin1);
        QFETCH(QByteArray, trimmed);
        QCOMPARE(SendLogic::trimBlanks(QString::fromLatin1(latin1)), QString::fromLatin1(trimmed));
        const QByteArray result = SendLogic::trimBlankBytes(latin1);
        QCOMPARE(result, trimmed);
        if (trimmed == latin1) // a large file is not copied when nothing is trimmed
            QCOMPARE(result.constData(), latin1.constData());
    }

    void readPeriod_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("period"); // -1: does not fit 32 bits
        QTest::newRow("negative fits") << QStringLiteral("-5") << qint64(-5);
        QTest::newRow("largest 32-bit") << QStringLiteral("2147483647") << qint64(2147483647);
        QTest::newRow("past 32 bits") << QStringLiteral("2147483648") << qint64(-1);
        QTest::newRow("past 32 bits once rounded") << QStringLiteral("2147483647.5") << qint64(-1);
        QTest::newRow("smallest 32-bit") << QStringLiteral("-2147483648") << qint64(-2147483648LL);
        QTest::newRow("below 32 bits") << QStringLiteral("-2147483649") << qint64(-1);
        QTest::newRow("infinite") << QStringLiteral("1E999") << qint64(-1);
    }
    void readPeriod()
    {
        QFETCH(QString, text);
        QFETCH(qint64, period);
        QCOMPARE(SendLogic::readPeriod(text).value_or(-1), period);
    }

    // Published check values over "123456789", and the line order of each.
    void of_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("check");
        const QByteArray digits("123456789");
        QTest::newRow("modbus, low byte first")
            << Kind::ModbusCrc16 << digits << QByteArray("\x37\x4b");
        QTest::newRow("ccitt-false, high byte first")
            << Kind::CcittFalse << digits << QByteArray("\x29\xb1");
        QTest::newRow("sum wraps at 256") << Kind::Sum8 << digits << QByteArray("\xdd");
        QTest::newRow("xor") << Kind::Xor8 << digits << QByteArray("\x31");
        QTest::newRow("modbus of nothing is the seed")
            << Kind::ModbusCrc16 << QByteArray() << QByteArray("\xff\xff");
        QTest::newRow("sum of nothing") << Kind::Sum8 << QByteArray() << QByteArray(1, '\0');
    }
    void of()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, check);
        QCOMPARE(CheckBytes::of(kind, data), check);
    }

    // The box is read as a hexadecimal send reads it, and rewritten only when such a send would
    // send every digit of it; otherwise the box stays as typed and the refusal says why.
    void appendedTo_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("result"); // the new box, or "!" and the refusal
        QTest::newRow("unspaced lower case")
            << u"0103000000 0a"_s << Kind::ModbusCrc16 << u"01 03 00 00 00 0A C5 CD"_s;
        QTest::newRow("nothing sent") << u"zz 01"_s << Kind::Sum8
                                      << u"!第 1 个字符“z”不是十六进制数字，十六进制发送到此为止"_s;
        QTest::newRow("cut short") << u"01 zz 02"_s << Kind::Xor8
                                   << u"!第 4 个字符“z”不是十六进制数字，十六进制发送到此为止"_s;
        QTest::newRow("line break") << u"01\r\n02"_s << Kind::Xor8
                                    << u"!第 3 个字符换行不是十六进制数字，十六进制发送到此为止"_s;
        QTest::newRow("unpaired digit")
            << u"01 0"_s << Kind::Xor8 << u"!十六进制数字是奇数个，最后一位“0”不会发送"_s;
        QTest::newRow("empty box") << QString() << Kind::Sum8 << u"!发送框里没有十六进制数字"_s;
    }
    void appendedTo()
    {
        QFETCH(QString, box);
        QFETCH(Kind, kind);
        QFETCH(QString, result);
        const CheckBytes::Appended appended = CheckBytes::appendedTo(box, kind);
        QCOMPARE(
            appended.text.isNull() ? u"!"_s + appended.refusal.section(u'：', 1) : appended.text,
            result);
    }
};

QTEST_APPLESS_MAIN(SendLogicTest)
#include "tst_sendlogic.moc"
