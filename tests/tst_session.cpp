// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules the window only wires up: the port session, the counters with the auto-clear mark,
// the receive path and the automatic send's state table, over a fake device. (What a send writes
// is SendLogic's table; the window tests follow each send from its button.)
#include "port/codepage.h"
#include "port/portsession.h"
#include "receive/counters.h"
#include "receive/receivepath.h"
#include "send/sendpath.h"
#include "support/fakes.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString render(const Message& message)
{
    return message.text + (message.offerCancel ? u" [OK Cancel]"_s : QString())
        + (message.icon == Message::Icon::Error ? u" [error]"_s : QString());
}

QString render(const PortView& view)
{
    static const char* const lamps[] = { "unchanged", "open", "closed" };
    return render(view.message) + u" | "_s + (view.status.isNull() ? u"-"_s : view.status)
        + u" | "_s + QLatin1String(lamps[int(view.lamp)])
        + (view.reason.isEmpty() ? QString() : u" ("_s + view.reason + u')');
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { CodePage::setSystemOverride("GBK"); } // a half character to hold
    void port_data()
    {
        QTest::addColumn<QString>("steps"); // "; " between; see port()
        QTest::addColumn<QString>("view"); // of the last step: message | status | lamp
        QTest::addColumn<QString>("calls"); // to the device, all steps
        const QString b = u"没有成功，请重试【检查端口是否被占用，或者端口号正确】"_s;
        const QString closed = u"串口状态：COM Port 关闭"_s;
        const QString open1 = u"open 1 9600,N,8,1"_s;
        const auto row
            = [](const char* name, const QString& steps, const QString& view,
                  const QString& calls) { QTest::newRow(name) << steps << view << calls; };
        row("start, opens but stays closed", u"silent; start"_s, u" | "_s + closed + u" | closed"_s,
            open1);
        row("pick reopens with all five", u"start; baud 19200; parity ODD; port COM12; pick"_s,
            u" | 串口状态：COM12 OPEND，19200,O,8,1 | open"_s,
            open1 + u", close, open 12 19200,O,8,1"_s);
        row("the status shows the boxes, the device the converted values",
            u"start; data 7.5; stop 2; pick"_s, u" | 串口状态：COM1 OPEND，9600,N,7.5,2 | open"_s,
            open1 + u", close, open 1 9600,N,8,2"_s);
        row("pick while closed opens", u"start; toggle; pick"_s,
            u" | 串口状态：COM1 OPEND，9600,N,8,1 | open"_s, open1 + u", close, "_s + open1);
        row("pick, absent", u"start; absent; pick"_s,
            b + u" | "_s + closed + u" | closed (absent)"_s, open1 + u", close, "_s + open1);
        row("pick, data bits that do not convert keep the port", u"start; data abc; pick"_s,
            u"数据位无效：“abc”（应为数字） | - | unchanged"_s, open1);
        row("switch, stays closed", u"start; toggle; silent; toggle"_s,
            u" | 串口状态：COM关闭 | closed"_s, open1 + u", close, "_s + open1);
        row("switch, bad port number is silent", u"start; toggle; port COM-1; toggle"_s,
            u" | - | unchanged"_s, open1 + u", close"_s);
        // After a device loss the session watches for the port until it re-opens it or the user
        // does anything with the port; "return" is the watch seeing the device again.
        const QString reopened = u", open 1 600,N,8,1"_s;
        row("return: the settings it had, shown as the switch would",
            u"baud 600; start; lose; baud 19200; return"_s,
            u" | 串口：COM1 打开，600,N,8,1 | open"_s, u"open 1 600,N,8,1"_s + reopened);
        const QString waitFake = u" | 等待 COM1 原设备 (ttyFAKE1) 重新连接"_s;
        row("return refused: still watching, only the reason", u"start; lose; absent; return"_s,
            u" | - | unchanged (absent)"_s + waitFake, open1 + u", "_s + open1);
        row("return finds another device by the open: closed again, still watching",
            u"start; lose; plug name ttyS0; return"_s, u" | - | unchanged"_s + waitFake,
            open1 + u", "_s + open1 + u", close"_s);
        // "poll" is the watch's look at COM1: only the device the port had is re-opened.
        const QString back = u" | 串口：COM1 打开，9600,N,8,1 | open"_s,
                      twice = open1 + u", "_s + open1;
        const QString lostView = u" | "_s + closed + u" | closed | 等待 COM1 原设备 ("_s;
        const QString a = u"plug link byid/dev-a; start; lose; plug "_s;
        row("the same link target comes back", a + u"link byid/dev-a; poll"_s, back, twice);
        row("a re-pointed link", a + u"link byid/dev-b; poll"_s,
            lostView + u"byid/dev-a) 重新连接"_s, open1);
        const QString usb = u"plug usb 0403:6001 A10K1234; start; lose; plug "_s;
        row("another USB adapter moved up into the number", usb + u"usb 0403:6001 B7; poll"_s,
            lostView + u"USB 0403:6001 A10K1234) 重新连接"_s, open1);
        row("the same USB adapter back, on whichever ttyUSB number",
            usb + u"usb 0403:6001 A10K1234; poll"_s, back, twice);
        row("a pick ends the watch", u"start; lose; pick"_s,
            u" | 串口状态：COM1 OPEND，9600,N,8,1 | open"_s, open1 + u", "_s + open1);
        row("quit ends the watch", u"start; lose; end"_s, u" | - | unchanged"_s, open1);
        // A remote port's connection fails after its open has returned.
        row("a failed connection: closed, with the reason", u"start; fail"_s,
            u" | "_s + closed + u" | closed (refused)"_s, open1);
        row("a re-open's failed connection: watching again", u"start; lose; return; fail"_s,
            u" | "_s + closed + u" | closed (refused)"_s + waitFake, open1 + u", "_s + open1);
    }

    // Steps: "start", "pick", "toggle", "lose", "fail", "return", "poll", "end"; "absent" or "silent" for
    // the opens that follow; "plug link|usb|name KEY" puts a device known so at COM1; "port",
    // "baud", "parity", "data" or "stop" followed by a box's new text.
    void port()
    {
        QFETCH(QString, steps);
        QFETCH(QString, view);
        QFETCH(QString, calls);
        FakePlatform fakes;
        PortSession session(fakes.serial);
        SelectionTexts boxes { u"COM1"_s, u"9600"_s, u"NONE"_s, u"8"_s, u"1"_s };
        PortView last;
        const QStringList kinds { u"-"_s, u"link"_s, u"usb"_s, u"name"_s };
        QObject::connect(
            &session.watch(), &DeviceWatch::returned, [&] { last = session.returned(); });
        for (const QString& step : steps.split(u"; "_s)) {
            const QString verb = step.section(u' ', 0, 0), text = step.section(u' ', 1);
            if (verb == u"start")
                last = session.start(boxes);
            else if (verb == u"pick")
                last = session.pick(boxes);
            else if (verb == u"toggle")
                last = session.toggle(boxes);
            else if (verb == u"lose")
                fakes.device->loseDevice(), last = session.lost();
            else if (verb == u"fail")
                fakes.device->failOpen(u"refused"_s), last = session.failed();
            else if (verb == u"return")
                last = session.returned();
            else if (verb == u"poll")
                session.watch().poll();
            else if (verb == u"plug") // where it is plays no part
                fakes.device->plugged[1] = { u"/dev/somewhere"_s,
                    { DeviceIdentity::Kind(kinds.indexOf(text.section(u' ', 0, 0))),
                        text.section(u' ', 1) } };
            else if (verb == u"end")
                session.end(), last = {};
            else if (verb == u"absent")
                fakes.device->absentPorts = { 1 };
            else if (verb == u"silent")
                fakes.device->openSilentlyFails = true;
            const QHash<QString, QString*> texts { { u"port"_s, &boxes.port },
                { u"baud"_s, &boxes.baud }, { u"parity"_s, &boxes.parity },
                { u"data"_s, &boxes.dataBits }, { u"stop"_s, &boxes.stopBits } };
            if (texts.contains(verb))
                *texts[verb] = text;
        }
        const QString waiting = session.waitingText();
        QCOMPARE(render(last) + (waiting.isEmpty() ? QString() : u" | "_s + waiting), view);
        QCOMPARE(fakes.device->calls.join(u", "_s), calls);
    }

    void receive_data()
    {
        QTest::addColumn<QString>("steps"); // see receive()
        QTest::addColumn<QString>("expected"); // shown | RX text | clears so far
        const auto row = [](const char* name, const QString& steps, const QString& expected) {
            QTest::newRow(name) << steps << expected;
        };
        row("hex with nothing waiting", u"hex "_s, u"|RX:0|0"_s);
        row("hex shows first the byte a text read held", u"text %D6; hex x"_s, u"D6 78 |RX:2|0"_s);
        row("stopped: text counted, not shown", u"stop; text x; stop; text y"_s, u"y|RX:2|0"_s);
        row("stopped: hex shown", u"stop; hex x"_s, u"78 |RX:1|0"_s);
        row("the 65535th byte clears", u"auto; text* 65534; text* 1"_s, u"|RX:65535|1"_s);
        row("not again before a further 65535", u"auto; text* 65535; text* 65534"_s,
            u"65534…aaaa|RX:131069|1"_s);
        row("again after a further 65535", u"auto; text* 65535; text* 65535"_s, u"|RX:131070|2"_s);
        row("reset puts the mark back", u"auto; text* 65535; text* 9; reset; text* 65535"_s,
            u"|RX:65535|2"_s);
        row("unticked never clears", u"text* 65535; text* 65535"_s, u"131070…aaaa|RX:131070|0"_s);
        row("stamps: LF, CR LF (split), lone CR begin lines",
            u"stamps; text a%0Ab%0D; text %0Ac%0Dd"_s,
            u"[00:00:00.000] a\n[00:00:00.000] b\r\n[00:00:00.000] c\r[00:00:00.000] d|RX:8|0"_s);
        row("50 ms gap: 49 ms stays, 50 ms begins a line",
            u"frame 50; text a; at 49; text b; at 99; text c"_s, u"ab\nc|RX:3|0"_s);
        row("hex stamps split at 50 ms; characters when the next frame begins",
            u"stamps; chars; hex a%00; at 49; hex %20b; at 99; hex c"_s,
            u"[00:00:00.000] 61 00 20 62   a. b\n[00:00:00.099] 63 |RX:5|0"_s);
        row("clearing begins a stamped line", u"stamps; text a; clear; text b"_s,
            u"[00:00:00.000] b|RX:2|0"_s);
        row("sent lines between received ones; the first line back timed from the write, not by "
            "the wall clock set back an hour",
            u"stamps; show; text ab; at 5; sent AT%0D%0A; at 7; written; wall -3600000; at 19; "
            u"text OK%0D%0A; text x"_s,
            u"[00:00:00.000] 收← ab\n[00:00:00.005] 发→ AT\n[23:00:00.019 +12 ms] 收← OK\r\n"
            u"[23:00:00.019] 收← x|RX:7|0"_s);
        row("each line of a send begins its own; a reply before the write is reported: +0 ms, "
            "and that write times nothing",
            u"show; stamps; sent a%0D%0Ab%0D; text c%0A; written; at 9; text d"_s,
            u"[00:00:00.000] 发→ a\r\n[00:00:00.000] 发→ b\n[00:00:00.000 +0 ms] 收← c\n"
            u"[00:00:00.009] 收← d|RX:3|0"_s);
        row("overlapping sends: each reply timed from the last write reported before it",
            u"stamps; show; sent A; at 2; written; at 5; sent B; at 12; text r%0A; at 14; written; "
            u"at 40; text s%0A; sent C; sent D; at 52; written; at 60; text t"_s,
            u"[00:00:00.000] 发→ A\n[00:00:00.005] 发→ B\n[00:00:00.012 +10 ms] 收← r\n"
            u"[00:00:00.040 +26 ms] 收← s\n[00:00:00.040] 发→ C\n[00:00:00.040] 发→ D\n"
            u"[00:00:00.060 +8 ms] 收← t|RX:5|0"_s);
        row("hex: a send closes the frame, with its own characters",
            u"show; chars; hex a; sentx %01%03; hex b"_s,
            u"收← 61   a\n发→ 01 03   ..\n收← 62 |RX:2|0"_s);
        row("a file shows its first 256 bytes and its size", u"show; file 300"_s,
            u"271…aaaa…(共 300 字节)\n||0"_s);
        row("a stopped text display shows no send; a hexadecimal one shows its pairs",
            u"show; stop; sent x; stop; text a; sentx %01%0A%FF; text b"_s,
            u"收← a\n发→ 01 0A FF \n收← b|RX:2|0"_s);
    }

    // Steps: "text BYTES" or "hex BYTES" (percent-encoded) arrive and are shown so; "text* N" and
    // "hex* N" for N bytes 'a'; "stop" toggles the display; "auto" ticks automatic clearing;
    // "reset" resets the counters; "stamps", "frame MS", "chars" and "show" choose the protocol
    // view, "at MS" sets the steady clock for what follows, "wall MS" sets the wall clock forward
    // or back, "clear" clears the display; "sent BYTES" and "sentx BYTES" are sends typed as text
    // or hexadecimal, shown in the display the last arrival was shown in, "file N" a file of N
    // bytes, "written" the port reporting them written. Past 250 characters, only the count and
    // the end of what is shown are compared.
    void receive()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        FakePlatform fakes;
        QVERIFY(fakes.serial.setPortOpen(true));
        ByteCounters counters;
        ReceivePath path(fakes.serial, counters);
        bool autoClear = false;
        int clears = 0;
        QString shown;
        Arrival last;
        ProtocolFormatter::Choices choices;
        // Local midnight on a summer day: run under a zone with summer time (CTest does), a stamp
        // that took the zone's standard offset, or its offset with the wrong sign, shows it.
        const qint64 midnight = QDateTime(QDate(2026, 7, 1), QTime(0, 0)).toMSecsSinceEpoch();
        Moment at { 1'000'000'000'000, midnight }; // steady: since the machine started
        const qint64 steadyStart = at.steadyNs;
        qint64 wallStep = 0;
        bool hexDisplay = false;
        for (const QString& step : steps.split(u"; "_s)) {
            const QString verb = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            if (verb == u"stop")
                path.toggleStopped();
            else if (verb == u"auto")
                autoClear = true;
            else if (verb == u"reset")
                counters.reset();
            else if (verb == u"clear") {
                path.displayCleared();
                shown.clear();
            } else if (verb == u"at")
                at.steadyNs = steadyStart + arg.toInt() * 1'000'000LL;
            else if (verb == u"wall")
                wallStep = arg.toInt();
            else if (verb == u"written")
                path.protocol().written(at.steadyNs);
            at.wallMs = midnight + wallStep + (at.steadyNs - steadyStart) / 1'000'000;
            choices.stamps |= verb == u"stamps";
            choices.hexChars |= verb == u"chars";
            choices.showSent |= verb == u"show";
            if (verb == u"frame")
                choices.frameMs = arg.toInt();
            path.protocol().setChoices(choices);
            if (verb.startsWith(u"sent") || verb == u"file") {
                const QByteArray bytes = verb == u"file"
                    ? QByteArray(arg.toInt(), 'a')
                    : QByteArray::fromPercentEncoding(arg.toLatin1());
                using As = ProtocolFormatter::SentAs;
                const As as = verb == u"file" ? As::File : verb == u"sentx" ? As::Hex : As::Text;
                shown += path.sent(bytes, as, hexDisplay, at).text;
            }
            if (!verb.startsWith(u"text") && !verb.startsWith(u"hex"))
                continue;
            hexDisplay = verb.startsWith(u"hex");
            const QByteArray bytes = verb.endsWith(u'*')
                ? QByteArray(arg.toInt(), 'a')
                : QByteArray::fromPercentEncoding(arg.toLatin1());
            last = verb.startsWith(u"hex") ? path.hex(bytes, autoClear, at)
                                           : path.text(bytes, autoClear, at);
            shown += last.text + QString::fromLatin1(last.hexPairs);
            if (last.clear)
                shown.clear();
            clears += last.clear;
        }
        if (shown.size() > 250)
            shown = u"%1…%2"_s.arg(shown.size()).arg(shown.right(shown.endsWith(u'\n') ? 16 : 4));
        QCOMPARE(u"%1|%2|%3"_s.arg(shown, last.count).arg(clears), expected);
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
