// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Modbus frames read aloud: the annotations, where frames end on the line, and the receive
// display that shows them.
#include "modbus/framesplitter.h"
#include "modbus/modbus.h"
#include "port/serialbackend.h"
#include "receive/protocolview.h"
#include "send/replycheck.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using Modbus::Mode;

namespace {

QByteArray rtu(const char* hex)
{
    const QByteArray body = QByteArray::fromHex(hex);
    return body + Modbus::crcBytes(body);
}

QByteArray ascii(const char* hex)
{
    return Modbus::frame(Modbus::open(rtu(hex), Mode::Rtu).adu, Mode::Ascii);
}

constexpr qint64 ms = 1'000'000;

} // namespace

class ModbusTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void annotations_data()
    {
        QTest::addColumn<QByteArray>("before"); // a frame seen first, read the same way
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("annotation");
        const int r = int(Mode::Rtu), a = int(Mode::Ascii);
        const QByteArray read03 = rtu("010300000002");
        QTest::newRow("03 request")
            << QByteArray() << read03 << r << u"✓ 从站1 读保持寄存器(03) 起始0 数量2"_s;
        QTest::newRow("03 answer paired") << read03 << "\x01\x03\x04\x00\x01\x00\x65\x6B\xD8"_ba
                                          << r << u"✓ 从站1 03 应答 2个寄存器: 1, 101"_s;
        QTest::newRow("01 answer counts the coils asked for") << rtu(
            "010100000005") << rtu("0101010A") << r << u"✓ 从站1 01 应答 5个线圈: 0, 1, 0, 1, 0"_s;
        QTest::newRow("02 answer unpaired counts every bit")
            << QByteArray() << rtu("02020103") << r
            << u"✓ 从站2 02 应答 8个输入: 1, 1, 0, 0, 0, 0, 0, 0"_s;
        QTest::newRow("04 request") << QByteArray() << rtu("11040008000A") << r
                                    << u"✓ 从站17 读输入寄存器(04) 起始8 数量10"_s;
        QTest::newRow("05 request")
            << QByteArray() << rtu("01050003FF00") << r << u"✓ 从站1 写单个线圈(05) 地址3 值ON"_s;
        QTest::newRow("05 echo answers it")
            << rtu("01050003FF00") << rtu("01050003FF00") << r << u"✓ 从站1 05 应答 地址3 值ON"_s;
        QTest::newRow("06 request")
            << QByteArray() << rtu("010600010003") << r << u"✓ 从站1 写单个寄存器(06) 地址1 值3"_s;
        QTest::newRow("0F request") << QByteArray() << rtu("010F0013000A02CD01") << r
                                    << u"✓ 从站1 写多个线圈(0F) 起始19 数量10"_s;
        QTest::newRow("10 request") << QByteArray() << rtu("011000000002040001000A") << r
                                    << u"✓ 从站1 写多个寄存器(10) 起始0 数量2: 1, 10"_s;
        QTest::newRow("10 answer") << rtu("011000000002040001000A") << rtu("011000000002") << r
                                   << u"✓ 从站1 10 应答 起始0 数量2"_s;
        QTest::newRow("other function by number")
            << QByteArray() << rtu("012B0E0100") << r << u"✓ 从站1 功能2B"_s;
        QTest::newRow("exception")
            << read03 << rtu("018302") << r << u"✗ 从站1 03 异常 02 非法数据地址"_s;
        QTest::newRow("bad CRC says the right one")
            << QByteArray() << "\x01\x03\x00\x00\x00\x02\x00\x00"_ba << r
            << u"✗ CRC 错 (应为 C4 0B)"_s;
        QTest::newRow("cut short") << QByteArray() << "\x01\x03\x04"_ba << r << u"✗ 不完整"_s;
        QTest::newRow("ASCII request") << QByteArray() << ":010300000002FA\r\n"_ba << a
                                       << u"✓ 从站1 读保持寄存器(03) 起始0 数量2"_s;
        QTest::newRow("ASCII answer paired") << ascii("010300000002") << ascii("0103040001 0065")
                                             << a << u"✓ 从站1 03 应答 2个寄存器: 1, 101"_s;
        QTest::newRow("ASCII bad LRC")
            << QByteArray() << ":010300000002FB\r\n"_ba << a << u"✗ LRC 错"_s;
        QTest::newRow("ASCII without CR LF")
            << QByteArray() << ":010300000002FA"_ba << a << u"✗ 不完整"_s;
    }

    void annotations()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, frame);
        QFETCH(int, mode);
        QFETCH(QString, annotation);
        Modbus::Annotator annotator;
        if (!before.isEmpty())
            annotator.annotate(before, Mode(mode));
        QCOMPARE(annotator.annotate(frame, Mode(mode)), annotation);
    }

    // A recorded exchange comes out as the same frames however the reads cut it, with no silence
    // between them: the RTU frames end by their length and CRC, the ASCII ones at CR LF.
    void framesAcrossReads_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::newRow("RTU request, exception, request, answer")
            << int(Mode::Rtu)
            << QByteArrayList { rtu("010300000002"), rtu("018302"), rtu("010300000002"),
                   rtu("0103040001 0065"), rtu("011000000002040001000A") };
        QTest::newRow("ASCII") << int(
            Mode::Ascii) << QByteArrayList { ascii("010300000002"), ascii("0103040001 0065") };
    }

    void framesAcrossReads()
    {
        QFETCH(int, mode);
        QFETCH(QByteArrayList, frames);
        const QByteArray line = frames.join();
        for (qsizetype cut = 0; cut <= line.size(); ++cut) {
            FrameSplitter splitter;
            splitter.setRule({ Mode(mode), 4 * ms });
            QByteArrayList got;
            for (const QByteArray& part : { line.first(cut), line.sliced(cut) })
                for (const FrameSplitter::Piece& piece : splitter.feed(part, ms))
                    if (piece.ends())
                        got << piece.frame;
            QCOMPARE(got, frames);
            QCOMPARE(splitter.deadlineNs(), FrameSplitter::none);
        }
    }

    // A frame cut short ends where the line went quiet for 3.5 characters: about 3.6 ms at 9600
    // baud, and the standard's 1.75 ms from 19200 up.
    void silenceEndsAFrame_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<qint64>("gapNs");
        QTest::newRow("9600 8N1: 10 bits")
            << 9600 << int(LineSettings::Parity::None) << qint64(3'645'833);
        QTest::newRow("9600 8E1: 11 bits")
            << 9600 << int(LineSettings::Parity::Even) << qint64(4'010'416);
        QTest::newRow("115200: fixed")
            << 115200 << int(LineSettings::Parity::Even) << qint64(1'750'000);
    }

    void silenceEndsAFrame()
    {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(qint64, gapNs);
        LineSettings line;
        line.baud = baud;
        line.parity = LineSettings::Parity(parity);
        QCOMPARE(Modbus::rtuGapNs(line), gapNs);
        FrameSplitter splitter;
        splitter.setRule({ Mode::Rtu, gapNs });
        splitter.feed("\x01\x03\x04\x00"_ba, 0);
        QVERIFY(splitter.expire(gapNs - 1).isNull());
        QCOMPARE(splitter.feed("\x01"_ba, gapNs - 1).size(), 1); // still the same frame
        QCOMPARE(splitter.deadlineNs(), 2 * gapNs - 1);
        const QList<FrameSplitter::Piece> next = splitter.feed("\x02"_ba, 2 * gapNs - 1);
        QCOMPARE(next.size(), 2);
        QCOMPARE(next[0].frame, "\x01\x03\x04\x00\x01"_ba);
        QCOMPARE(splitter.expire(3 * gapNs), "\x02"_ba);
    }

    // The pattern forms an expectation or an automatic answer's trigger is written in.
    void patterns_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("matches");
        const int hex = int(ReplyPattern::Kind::Hex), text = int(ReplyPattern::Kind::Text);
        const QByteArray answer = rtu("0103040001 0065");
        QTest::newRow("hex, ?? any byte")
            << hex << u"01 03 04 ?? ?? ?? ?? ?? ??"_s << false << answer << true;
        QTest::newRow("hex, one byte differs")
            << hex << u"01 03 04 00 02 ?? ?? ?? ??"_s << false << answer << false;
        QTest::newRow("hex, a byte more")
            << hex << u"01 03 04 ?? ?? ?? ?? ?? ?? ??"_s << false << answer << false;
        QTest::newRow("text held") << text << u"OK"_s << false << "\r\nOK\r\n"_ba << true;
        QTest::newRow("text, a regex is plain text")
            << text << u"^OK"_s << false << "OK"_ba << false;
        QTest::newRow("regex") << text << u"^\\+CSQ: \\d+,\\d+"_s << true << "+CSQ: 21,99\r\n"_ba
                               << true;
        QTest::newRow("Modbus request to any unit")
            << int(ReplyPattern::Kind::Modbus) << QString() << false << rtu("110300000002") << true;
        QTest::newRow("Modbus request to another unit")
            << int(ReplyPattern::Kind::Modbus) << u"1"_s << false << rtu("110300000002") << false;
        QTest::newRow("Modbus answer is no request")
            << int(ReplyPattern::Kind::Modbus) << QString() << false << answer << false;
    }

    void patterns()
    {
        QFETCH(int, kind);
        QFETCH(QString, pattern);
        QFETCH(bool, regex);
        QFETCH(QByteArray, frame);
        QFETCH(bool, matches);
        const ReplyPattern reply { ReplyPattern::Kind(kind), pattern, regex };
        QCOMPARE(reply.problem(), QString());
        QCOMPARE(reply.triggers(frame, "UTF-8"), matches);
    }

    void patternProblems_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("odd digit") << int(ReplyPattern::Kind::Hex) << u"01 0"_s;
        QTest::newRow("one ?") << int(ReplyPattern::Kind::Hex) << u"01 ?"_s;
        QTest::newRow("regex that does not compile") << int(ReplyPattern::Kind::Text) << u"(OK"_s;
        QTest::newRow("unit past 247") << int(ReplyPattern::Kind::Modbus) << u"248"_s;
    }

    void patternProblems()
    {
        QFETCH(int, kind);
        QFETCH(QString, pattern);
        const ReplyPattern bad { ReplyPattern::Kind(kind), pattern, true };
        QVERIFY(!bad.problem().isEmpty());
    }

    // 读寄存器 answers from the table; a register it lacks is exception 02, a count past 125 03.
    void registerAnswers()
    {
        const Modbus::Registers table { { 0, 1 }, { 1, 101 } };
        const auto answer = [&](const char* request) {
            AutoAnswer row;
            row.replyKind = AutoAnswer::Reply::Registers;
            return row.replyTo(rtu(request), table, {});
        };
        QCOMPARE(answer("070400000002"), rtu("0704040001 0065"));
        QCOMPARE(answer("010300010002"), rtu("018302"));
        QCOMPARE(answer("01030000007E"), rtu("018303"));
        QVERIFY(answer("010600000001").isNull());
        AutoAnswer text { true, {}, AutoAnswer::Reply::Text, u"OK\\r\\n\\\\"_s, 0 };
        QCOMPARE(text.replyTo({}, table, "UTF-8"), "OK\r\n\\"_ba);
    }

    // The display: each frame on its own line, the annotation after it; a sent request pairs the
    // answer even when sent lines are not shown; the frame that never completes ends on the timer.
    void displayReadsFramesAloud()
    {
        ProtocolFormatter view;
        ProtocolFormatter::Choices choices;
        choices.decode = Mode::Rtu;
        choices.rtuGapNs = 2 * ms;
        view.setChoices(choices);
        QVERIFY(view.active(false));
        view.pairSent(rtu("010300000002"));
        const QByteArray answer = "\x01\x03\x04\x00\x01\x00\x65\x6B\xD8"_ba;
        QString shown = view.frames(answer.first(4), { 10 * ms, 0 }, true, {});
        shown += view.frames(answer.sliced(4) + "\x01\x02"_ba, { 11 * ms, 0 }, true, {});
        QCOMPARE(view.frameDeadlineNs(), 13 * ms);
        QCOMPARE(view.idle({ 12 * ms, 0 }, true), QString());
        shown += view.idle({ 13 * ms, 0 }, true);
        QCOMPARE(shown,
            u"01 03 04 00 01 00 65 6B D8  ✓ 从站1 03 应答 2个寄存器: 1, 101\n01 02  ✗ 不完整\n"_s);
        // The text display: a frame is one line, its CR LF no line break of its own.
        choices.decode = Mode::Ascii;
        view.setChoices(choices);
        const auto latin1 = [](const QByteArray& bytes) { return QString::fromLatin1(bytes); };
        shown = view.frames(":010300000002FA\r"_ba, { 20 * ms, 0 }, false, latin1);
        shown += view.frames("\n"_ba, { 21 * ms, 0 }, false, latin1);
        QCOMPARE(shown, u":010300000002FA  ✓ 从站1 读保持寄存器(03) 起始0 数量2\n"_s);
    }
};

QTEST_GUILESS_MAIN(ModbusTest)
#include "tst_modbus.moc"
