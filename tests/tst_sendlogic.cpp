// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/checkbytes.h"
#include "send/commandlist.h"
#include "send/sendhistory.h"
#include "send/sendlogic.h"

#include <QtTest>

using CheckBytes::Kind;
using namespace Qt::StringLiterals;

// What the send path makes of the send box and the period box, the check bytes appended to the
// box, the send history and the command file; the automatic send's own table (tst_session) has
// the common periods.

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

    // Each add is a text, "h:" before it when sent as hexadecimal; the menu's texts, newest first.
    void history_data()
    {
        QTest::addColumn<QStringList>("adds");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("kept");
        QTest::newRow("sent again moves to the front")
            << QStringList { u"AT"_s, u"ATI"_s, u"AT"_s } << QStringList { u"AT"_s, u"ATI"_s } << 2;
        QTest::newRow("hex is marked and apart from the same text")
            << QStringList { u"01 02"_s, u"h:01 02"_s }
            << QStringList { u"HEX  01 02"_s, u"01 02"_s } << 2;
        QTest::newRow("one line, & kept")
            << QStringList { u"A&B\r\nC\t"_s } << QStringList { u"A&&B↵C→"_s } << 1;
        QTest::newRow("control characters shown, none that reorders")
            << QStringList { u"\u0001A\u001b\u007f\u0085\u2028\u202e"_s }
            << QStringList { u"␁A␛␡�↵�"_s } << 1;
        QStringList many;
        for (int i = 0; i < 105; ++i)
            many << QString::number(i);
        QStringList newest;
        for (int i = 104; i > 84; --i)
            newest << QString::number(i);
        QTest::newRow("20 shown, 100 kept") << many << newest << 100;
    }
    void history()
    {
        QFETCH(QStringList, adds);
        QFETCH(QStringList, shown);
        QFETCH(int, kept);
        SendHistory history;
        for (const QString& add : std::as_const(adds))
            history.add({ add.startsWith(u"h:"_s) ? add.mid(2) : add, add.startsWith(u"h:"_s) });
        QStringList texts;
        for (const SendHistory::Entry& entry : history.shown())
            texts << SendHistory::menuText(entry);
        QCOMPARE(texts, shown);
        const SendHistory::Read read = SendHistory::fromJson(history.toJson());
        QCOMPARE(read.history.entries(), history.entries());
        QCOMPARE(read.history.entries().size(), kept);
    }

    void commandFile()
    {
        // No two choices of a row alike, so that none reads back with another's value.
        const QList<Command> rows { { u"读"_s, u"01 03"_s, true, LineEnding::CrLf, 0, false },
            { QString(), u"AT\r\n\"x\""_s, false, LineEnding::Lf, 3600000, true } };
        const CommandList::Read read = CommandList::read(CommandList::write(rows));
        QCOMPARE(read.problem, QString());
        QCOMPARE(read.commands, rows);
        const QByteArray absent = R"({"format":"portlark-commands","version":1,
            "commands":[{"content":"AT","future":1}]})";
        const Command defaults { {}, u"AT"_s };
        QCOMPARE(CommandList::read(absent).commands, QList<Command> { defaults });
        // Version 1 knows no expectations: a member of that name is someone else's.
        QByteArray first = absent;
        first.replace(R"("future":1)", R"("expect":{"kind":"hex","pattern":"01"})");
        QCOMPARE(CommandList::read(first).commands, QList<Command> { defaults });

        QList<Command> expecting = rows;
        expecting[0].expect = { ReplyPattern::Kind::Hex, u"01 03 ?? ??"_s, false };
        expecting[0].timeoutMs = 250;
        expecting[0].retries = 3;
        expecting[1].expect = { ReplyPattern::Kind::Text, u"^OK"_s, true };
        CommandExtras extras;
        extras.answers = { { true, { ReplyPattern::Kind::Modbus, u"1"_s, false },
                               AutoAnswer::Reply::Registers, {}, 5 },
            { false, { ReplyPattern::Kind::Text, u"AT"_s, false }, AutoAnswer::Reply::Text,
                u"OK\\r\\n"_s, 0 } };
        extras.registers = { { 0, 1 }, { 65535, 65535 } };
        extras.stopAtFailure = true;
        const CommandList::Read second = CommandList::read(CommandList::write(expecting, extras));
        QCOMPARE(second.problem, QString());
        QCOMPARE(second.commands, expecting);
        QVERIFY(second.extras == extras);
    }

    // A file that is not a list of ours says why, and gives no rows at all.
    void commandFileRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("problem");
        const QByteArray head = R"({"format":"portlark-commands","version":1,"commands":)";
        QTest::newRow("not JSON") << QByteArray("[1,") << u"不是 JSON 文件（第 4 个字节"_s;
        QTest::newRow("another program's")
            << QByteArray(R"({"version":1,"commands":[]})") << u"不是快捷发送的命令列表"_s;
        QTest::newRow("a later version")
            << QByteArray(R"({"format":"portlark-commands","version":3})")
            << u"命令列表的版本 3 无法读取"_s;
        QTest::newRow("second row lacks content")
            << head + R"([{"content":"A"},{"name":"B"}]})" << u"第 2 条命令没有内容"_s;
        QTest::newRow("hex as text") << head + R"([{"content":"A","hex":"yes"}]})"
                                     << u"第 1 条命令的 name、hex 或 sequence 类型不对"_s;
        QTest::newRow("unknown ending")
            << head + R"([{"content":"A","ending":"\n"}]})" << u"第 1 条命令的结尾"_s;
        QTest::newRow("fractional delay")
            << head + R"([{"content":"A","delayMs":1.5}]})" << u"第 1 条命令的延时"_s;
        QByteArray second = head;
        second.replace(R"("version":1)", R"("version":2)");
        QTest::newRow("expectation of no known kind")
            << second + R"([{"content":"A","expect":{"kind":"any"}}]})"
            << u"第 1 条命令的 kind 不是 hex、text 或 modbus"_s;
        QTest::newRow("no time to wait")
            << second + R"([{"content":"A","expect":{"kind":"hex","timeoutMs":0}}]})"
            << u"第 1 条命令的超时"_s;
        QTest::newRow("register past 16 bits")
            << second + R"([],"registers":{"65536":1}})" << u"寄存器 65536 不是"_s;
    }
    void commandFileRefused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, problem);
        const CommandList::Read read = CommandList::read(json);
        QVERIFY2(read.problem.startsWith(problem), qPrintable(read.problem));
        QVERIFY(read.commands.isEmpty());
    }
};

QTEST_APPLESS_MAIN(SendLogicTest)
#include "tst_sendlogic.moc"
