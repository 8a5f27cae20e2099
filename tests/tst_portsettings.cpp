// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/numberreading.h"
#include "port/portsession.h"
#include "port/portsettings.h"
#include "support/fakes.h"

#include <QtTest>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

// "COM1|9600|NONE|8|1": the five boxes' texts in one row cell.
SelectionTexts boxes(const QString& row)
{
    const QStringList t = row.split(u'|');
    return { t.value(0), t.value(1), t.value(2), t.value(3), t.value(4) };
}

// The port number and settings string, the line a UART is given ("refused" when none), or the
// message naming a text that does not convert; a bad row fails alone.
QString convert(const QString& row)
{
    const Conversion<PortArguments> arguments = convertSelection(boxes(row));
    if (!arguments)
        return arguments.refusal;
    const std::optional<LineSettings> line = lineSettings(*arguments);
    const QString uart = !line ? u"refused"_s
                               : u"%1 %2 %3 %4"_s.arg(line->baud)
                                     .arg(int(line->parity))
                                     .arg(line->dataBits)
                                     .arg(line->twoStopBits ? 2 : 1);
    return QString::number(arguments->port) + u' ' + settingsString(*arguments) + u" → "_s + uart;
}

} // namespace

class PortSettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void conversion_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QString& texts, const QString& expected) {
            QTest::newRow(name) << texts << expected;
        };
        row("COM12, even entry", u"COM12|9600|ENEV|8|1"_s, u"12 9600,E,8,1 → 9600 2 8 1"_s);
        row("COM15, odd, 7, 2", u"COM15|19200|ODD|7|2"_s, u"15 19200,O,7,2 → 19200 1 7 2"_s);
        row("COM99 typed", u"COM99|9600|NONE|8|1"_s, u"99 9600,N,8,1 → 9600 0 8 1"_s);
        row("1.5 with 5 data bits", u"COM 3|300|MARK|5|1.5"_s, u"3 300,M,5,1.5 → 300 4 5 2"_s);
        row("4 data bits", u"COM1|9600|NONE|4|1"_s, u"1 9600,N,4,1 → refused"_s);
        row("9 data bits", u"COM1|9600|NONE|9|1"_s, u"1 9600,N,9,1 → refused"_s);
        row("no number is port 0", u"COMx|9600|SPACE|8|1"_s, u"0 9600,S,8,1 → 9600 3 8 1"_s);
        row("COM3.5 reads only 3.", u"COM3.5|9600|NONE|8|1"_s, u"3 9600,N,8,1 → 9600 0 8 1"_s);
        row("too short, no parity", u"CO|9600||8|1"_s, u"0 9600,,8,1 → refused"_s);
        row("typed baud kept", u"COM1|1152 00|NONE|8|1"_s, u"1 1152 00,N,8,1 → refused"_s);
        row("custom baud", u"COM1|250000|NONE|8|1"_s, u"1 250000,N,8,1 → 250000 0 8 1"_s);
        row("baud 0", u"COM1|0|NONE|8|1"_s, u"1 0,N,8,1 → refused"_s);
        row("baud past 32 bits", u"COM1|2147483648|N|8|1"_s, u"1 2147483648,N,8,1 → refused"_s);
        row("parity X", u"COM1|9600|X|8|1"_s, u"1 9600,X,8,1 → refused"_s);
        row("data bits 7.5 to even 8", u"COM1|9600|NONE|7.5|1"_s, u"1 9600,N,8,1 → 9600 0 8 1"_s);
        row("16-bit top", u"COM1|9600|NONE|32767|1"_s, u"1 9600,N,32767,1 → refused"_s);
        row("negative port", u"COM-1|9600|NONE|8|1"_s,
            u"串口号无效：“COM-1”（端口号应为0到255）"_s);
        row("data bits letters", u"COM1|9600|NONE|abc|1"_s, u"数据位无效：“abc”（应为数字）"_s);
        row("rounds out of 16 bits", u"COM1|9600|NONE|32767.5|1"_s,
            u"数据位无效：“32767.5”（超出范围）"_s);
    }

    void conversion()
    {
        QFETCH(QString, texts);
        QFETCH(QString, expected);
        QCOMPARE(convert(texts), expected);
    }

    // Every word size with every parity and every stop-bits choice, picked on an open port: the
    // status line and the line the device is given, or message B, the closed state, the reason
    // the status line's tooltip gives and no open tried. A UART has 1.5 stop bits only with
    // 5-bit words, where it takes two stop bits for them.
    void pickedTogether_data()
    {
        QTest::addColumn<QString>("boxes"); // parity|data bits|stop bits
        QTest::addColumn<QString>("settings"); // as the status line shows them
        QTest::addColumn<QString>("line"); // as the device got it; empty: refused
        const auto row = [](const QString& boxes, const QString& settings, const QString& line) {
            QTest::newRow(qPrintable(boxes)) << boxes << settings << line;
        };
        for (const QString& data : { u"8"_s, u"7"_s, u"6"_s, u"5"_s }) {
            for (const char* parity : { "NONE", "ODD", "ENEV", "SPACE", "MARK" }) {
                const QString letter = QString::fromLatin1(parity, 1);
                row(u"%1|%2|1"_s.arg(QLatin1String(parity), data), letter + u',' + data + u",1"_s,
                    letter + u',' + data + u",1"_s);
            }
            row(u"ODD|%1|1.5"_s.arg(data), u"O,%1,1.5"_s.arg(data),
                data == u"5" ? u"O,5,2"_s : QString());
            row(u"MARK|%1|2"_s.arg(data), u"M,%1,2"_s.arg(data), u"M,%1,2"_s.arg(data));
        }
    }

    void pickedTogether()
    {
        QFETCH(QString, boxes);
        QFETCH(QString, settings);
        QFETCH(QString, line);
        FakePlatform fakes;
        PortSession session(fakes.serial);
        session.start({ u"COM1"_s, u"9600"_s, u"NONE"_s, u"8"_s, u"1"_s });
        const QStringList t = boxes.split(u'|');
        const PortView view = session.pick({ u"COM1"_s, u"9600"_s, t[0], t[1], t[2] });
        QCOMPARE(
            u"%1 | %2 | %3 | %4 | %5"_s.arg(view.message.text, view.status,
                QString::number(int(view.lamp)), session.lastFailure(), fakes.device->calls.last()),
            line.isEmpty()
                ? u"没有成功，请重试【检查端口是否被占用，或者端口号正确】 | 串口状态：COM "
                  u"Port 关闭 | 2 | 串口参数无效：9600,%1 | close"_s.arg(settings)
                : u" | 串口状态：COM1 OPEND，9600,%1 | 1 |  | open 1 9600,%2"_s.arg(
                    settings, line));
    }

    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("leading"); // the number at the front of the text
        QTest::addColumn<bool>("whole"); // the text is that number and nothing else
        QTest::addColumn<double>("rounded"); // the leading number, halves to even
        const auto row
            = [](const char* name, const QString& text, double leading, bool whole,
                  double rounded) { QTest::newRow(name) << text << leading << whole << rounded; };
        const double inf = std::numeric_limits<double>::infinity();
        row("blanks, tabs and line feeds anywhere", u"\t1\n2 3\t"_s, 123, false, 123);
        row("blanks around a whole number", u" \t7\n "_s, 7, true, 7);
        row("unit after the digits", u"500ms"_s, 500, false, 500);
        row("carriage return is no blank", u"1\r2"_s, 1, false, 1);
        row("blank after the sign, half to even", u"- 2.5"_s, -2.5, false, -2);
        row("two signs", u"--5"_s, 0, false, 0);
        row("point first, half of zero", u".5"_s, 0.5, true, 0);
        row("half rounds up to even", u"3.5"_s, 3.5, true, 4);
        row("just above a half", u"2.5000001"_s, 2.5000001, true, 3);
        row("point last", u"3."_s, 3, true, 3);
        row("second point stops", u"1.2.3"_s, 1.2, false, 1);
        row("point alone", u"."_s, 0, false, 0);
        row("blanks inside the exponent", u"1 e + 2"_s, 100, false, 100);
        row("exponent letter without digits", u"7e"_s, 7, false, 7);
        row("exponent too large keeps the sign", u"-1e999"_s, -inf, true, -inf);
        row("exponent too small", u"1e-999"_s, 0, true, 0);
        row("four hexadecimal digits stay positive", u"&hFFFF"_s, 65535, true, 65535);
        row("hexadecimal stops at G", u"&H1G2"_s, 1, false, 1);
        row("hexadecimal prefix alone", u"&H"_s, 0, false, 0);
        row("octal stops at 8", u"&o18"_s, 1, false, 1);
        row("sign before the prefix", u"-&H10"_s, 0, false, 0);
        row("empty", QString(), 0, false, 0);
        row("full-width digits are no digits", u"１２"_s, 0, false, 0);
    }

    void reading()
    {
        QFETCH(QString, text);
        QFETCH(double, leading);
        QFETCH(bool, whole);
        QFETCH(double, rounded);
        QCOMPARE(NumberReading::leadingNumber(text), leading);
        QCOMPARE(NumberReading::wholeNumber(text), whole ? std::optional(leading) : std::nullopt);
        QCOMPARE(NumberReading::roundHalfEven(leading), rounded);
    }

    // A period box reads "5d2" as 5; a data-bits box takes D as an exponent letter.
    void exponentD()
    {
        QCOMPARE(NumberReading::leadingNumber(u"5d2"), 5.0);
        QCOMPARE(NumberReading::wholeNumber(u"25D-1"), std::optional(2.5));
    }
};

QTEST_GUILESS_MAIN(PortSettingsTest)
#include "tst_portsettings.moc"
