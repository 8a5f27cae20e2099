// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as built, and one row per wiring path: which control reaches which rule, and what
// the user then sees. The rules' own tables are in the core tests.
#include "app/helpwindow.h"
#include "app/intervaltimer.h"
#include "port/codepage.h"
#include "port/devicewatch.h"
#include "receive/saverecord.h"
#include "support/windowfixture.h"
#include "view/receiveview.h"

#include <QAccessible>
#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Every control's text as the window comes up with COM1 opened; a combo box's list after a " / ".
const QString startTexts
    = u"Label1=使用的时候注意串口号和波特率等设置正确，且串口为打开状态|"
      u"Label4=串口|CboCom=COM1 / COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 COM11 "
      u"COM12 COM13 COM14 COM15|Label5=波特率|CboBaudrate=9600 / 300 600 1200 2400 4800 9600 "
      u"14400 19200 28800 38400 56000 128000 256000|Label6=校验位|"
      u"CboParitybit=NONE / NONE ODD ENEV SPACE MARK|Label7=数据位|CboDatabit=8 / 8 7 6 5|"
      u"Label8=停止位|CboStopbit=1 / 1 1.5 2|CmdSwitch=关闭串口|LblReceive=接收区|"
      u"CmdClearReceive=清空接收区|CmdStopdisp=停止显示|ChkAutoClear=Check1|"
      u"LblArtoclear=自动清空|ChkHexReceive=Check2|Label10=十六进制显示|"
      u"CmdSaveDisp=保存显示数据|CmdAmend=更改|TxtSavePath=C:\\COMDATA|"
      u"LblNowTime=当前时间|LblNewDate=显示日前|CmdClearSend=清空重填|"
      u"LblSend=发送的字符/数据|TxtSend=在此处输入要发送的数据|ChkHexSend=Check3|"
      u"Label11=十六进制发送|CmdQuit=关闭程序|ChkAutoSend=Check4|"
      u"LblAutoSend=自动发送(周期改变后重选)|LblArtoSendCyc=自动发送周期：|"
      u"TxtAutoSendTime=1000|Label14=毫秒|CmdSelectFile=选择文件|"
      u"TxtSendPath=还没有选择文件|CmdSendFile=文件发送|"
      u"TxtStatus=串口：COM1 打开，9600,N,8,1|TxtRXCount=RX收:0|"
      u"TxtTXCount=TX发:0|CmdClearCounter=计数清零|LblWeb=官网|CmdHelp=关于|"
      u"CmdSend=点击发送"_s;
// The controls Tab visits, in the design's order; the last leads back to the first.
const QStringList tabOrder = QStringLiteral(
    "TxtReceive CmdSwitch CmdClearReceive CmdStopdisp ChkAutoClear ChkHexReceive TxtSavePath "
    "TxtSend CmdClearSend CmdSend ChkHexSend ChkAutoSend TxtStatus TxtRXCount TxtTXCount "
    "CmdSelectFile TxtSendPath CmdSendFile CmdClearCounter CmdQuit CmdHelp CboCom CboBaudrate "
    "CboParitybit CboDatabit CboStopbit CmdSaveDisp CmdAmend TxtAutoSendTime Picture1")
                                 .split(u' ');

} // namespace

class WindowTest : public QObject, WindowFixture {
    Q_OBJECT
    QTemporaryDir m_home;

    // Runs one step of a row: "click NAME", "pick BOX ITEM", "type BOX TEXT", "paste BOX N" (N
    // characters), "arrive BYTES" (percent-encoded), "arrive* N" (N bytes), "drain", "lose",
    // "absent" (later opens of COM1 fail), "file CONTENT" (chosen; "file" alone: one that cannot be
    // read), "notice" (waits for the save notice to end), "ticks N" (waits for N more bytes sent
    // automatically), "unticks" (waits for the automatic send to stop itself), "frame"
    // (closed by it), "key BOX Down|Return" (with the focus), "wheel BOX" (one notch down),
    // "find TEXT" (Ctrl+F in the receive box, the text, Enter).
    void run(const QString& step)
    {
        const QString verb = step.section(u' ', 0, 0);
        const QString arg = step.section(u' ', 1);
        const QByteArray name = arg.section(u' ', 0, 0).toLatin1();
        FakeBackend& device = *fakes->device;
        if (verb == u"click") {
            click(name.constData());
        } else if (verb == u"pick") {
            pick(name.constData(), arg.section(u' ', 1));
        } else if (verb == u"type") {
            type(name.constData(), arg.section(u' ', 1));
        } else if (verb == u"key") {
            control(name.constData())->setFocus();
            QTest::keyClick(
                control(name.constData()), arg.endsWith(u"Down") ? Qt::Key_Down : Qt::Key_Return);
        } else if (verb == u"wheel") { // one notch down, as the field under the pointer passes on
            QWidget* box = control(name.constData());
            const QPointF at = box->rect().center();
            QWheelEvent wheel(at, box->mapToGlobal(at), {}, { 0, -120 }, Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &wheel);
        } else if (verb == u"find") {
            QTest::keyClick(control("TxtReceive"), Qt::Key_F, Qt::ControlModifier);
            QTest::keyClicks(control("findText"), arg);
            QTest::keyClick(control("findText"), Qt::Key_Return);
        } else if (verb == u"paste") {
            QGuiApplication::clipboard()->setText(QString(arg.section(u' ', 1).toInt(), u'7'));
            type(name.constData(), QString());
            QTest::keySequence(control(name.constData()), QKeySequence::Paste);
        } else if (verb == u"arrive") {
            device.deliver(QByteArray::fromPercentEncoding(arg.toLatin1()));
        } else if (verb == u"arrive*") { // N bytes 'a'
            device.deliver(QByteArray(arg.toInt(), 'a'));
        } else if (verb == u"hover") { // a combo box's text field, where the pointer rests
            auto* box = control<QComboBox>(name.constData());
            QWidget* at = box ? static_cast<QWidget*>(box->lineEdit()) : control(name.constData());
            QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), at->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(at, &help);
        } else if (verb == u"drain") {
            device.drain();
        } else if (verb == u"lose") {
            device.loseDevice();
        } else if (verb == u"absent") {
            device.absentPorts = { 1 };
        } else if (step == u"file") {
            fakes->dialogs.nextFile = u"/x/none.txt"_s;
            click("CmdSelectFile");
        } else if (verb == u"file") {
            QFile file(m_home.filePath(u"send.txt"_s));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(arg.toUtf8()) == arg.size());
            file.close();
            fakes->dialogs.nextFile = file.fileName();
            click("CmdSelectFile");
        } else if (step == u"cancel") { // the next question is answered Cancel
            fakes->dialogs.answer = Dialogs::Answer::Cancel;
        } else if (verb == u"frame") {
            QVERIFY(window->close());
        } else if (verb == u"notice") {
            QVERIFY(!control("CmdSaveDisp")->isEnabled());
            QTRY_VERIFY(control("CmdSaveDisp")->isEnabled());
        } else if (verb == u"unticks") {
            QTRY_VERIFY(!control<QCheckBox>("ChkAutoSend")->isChecked());
        } else if (verb == u"ticks") {
            const qsizetype before = device.written.size();
            QTRY_VERIFY(device.written.size() >= before + arg.toInt());
        } else {
            QFAIL(qPrintable(u"unknown step "_s + step));
        }
    }
    // What a row's expectation names: "port", "shown" (the receive display), "counts",
    // "written" (Latin-1), "boxes" (message texts, " / " between), "saved" (1.txt in the home
    // folder), "auto" (box ticked, timer ticking), "atbox" (port indicators while the first box
    // showed), "ended" (quits, port, notice), "dialogs" (file filter / folder title),
    // "windows" (top-level windows showing), "opened" (the device's last open), "tip" (the tooltip
    // showing), "selected" (in the receive box), or a control's name.
    QString observe(const QString& what)
    {
        if (what == u"port")
            return indicators();
        if (what == u"shown")
            return shown("TxtReceive");
        if (what == u"selected")
            return control<ReceiveView>("TxtReceive")->selectedText();
        if (what == u"opened") {
            const QStringList opens = fakes->device->calls.filter(u"open"_s);
            return opens.isEmpty() ? QString() : opens.last();
        }
        if (what == u"tip")
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        if (what == u"counts")
            return shown("TxtRXCount") + u' ' + shown("TxtTXCount");
        if (what == u"written")
            return QString::fromLatin1(fakes->device->written);
        if (what == u"boxes") {
            QStringList texts;
            for (const FakeDialogs::Message& box : fakes->dialogs.messages)
                texts << box.text
                        + (box.buttons == Dialogs::Buttons::OkCancel ? u" [OK Cancel]"_s : u""_s);
            return texts.join(u" / "_s).replace(m_home.path(), u"~"_s);
        }
        if (what == u"atbox") // what the window showed while the first box was up
            return statesAtBoxes.value(0);
        if (what == u"ended")
            return u"%1 %2%3"_s.arg(ends).arg(fakes->serial.portOpen() ? u"open"_s : u"closed"_s,
                control<QTimer>("TmrSaveNotice")->isActive() ? u" notice"_s : u""_s);
        if (what == u"saved") { // 1.txt in the folder the box shows
            QFile file(SaveRecord::filePath(shown("TxtSavePath")));
            return file.open(QIODevice::ReadOnly) ? CodePage::decode(file.readAll()) : u"none"_s;
        }
        if (what == u"dialogs")
            return fakes->dialogs.lastFilter + u" / "_s + fakes->dialogs.lastFolderTitle;
        if (what == u"windows") {
            const QWidgetList all = QApplication::topLevelWidgets();
            return QString::number(
                std::count_if(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); }));
        }
        if (what == u"auto")
            return u"%1 %2"_s.arg(control<QCheckBox>("ChkAutoSend")->isChecked())
                .arg(control<IntervalTimer>("TmrAutoSend")->isTicking());
        return shown(what.toLatin1().constData());
    }

    // Root writes into any folder whatever its mode, but not into sysfs.
    QString readOnlyFolder() const
    {
        return ::geteuid() == 0 ? u"/sys"_s : m_home.filePath(u"readonly"_s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QVERIFY(QDir(m_home.path()).mkdir(u"COMDATA"_s));
        QVERIFY(QDir(m_home.path()).mkdir(u"readonly"_s));
        QVERIFY(QFile::setPermissions(
            m_home.filePath(u"readonly"_s), QFile::ReadOwner | QFile::ExeOwner));
        CodePage::setSystemOverride("GBK");
        qputenv("TZ", "CST-8"); // a stamp taken in UTC would slide into the next year
    }

    void init()
    {
        start([](FakePlatform& fakes) {
            fakes.clock.time = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
        });
    }

    void cleanup()
    {
        QFile::remove(m_home.filePath(u"COMDATA/1.txt"_s));
        QVERIFY(finish());
    }

    void wiring_data()
    {
        QTest::addColumn<bool>("comAbsent"); // at start-up
        QTest::addColumn<QString>("steps"); // "; " between
        QTest::addColumn<QStringList>("expected"); // "what=value", see observe()
        const auto row = [](const char* name, const QString& steps, const QStringList& expected,
                             bool comAbsent = false) {
            QTest::newRow(name) << comAbsent << steps << expected;
        };
        const QString opened = u"port=串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s;
        const QString closed = u"port=串口状态：COM Port 关闭 | 打开串口 | dark"_s;
        // Port
        row("start-up, COM1 absent", {}, { closed, u"boxes=没有发现此串口或被占用 [OK Cancel]"_s },
            true);
        // Each box's pick reaches the port with all five texts.
        for (const auto& [box, item, settings] :
            { std::tuple("CboBaudrate", "19200", "19200,N,8,1"),
                std::tuple("CboParitybit", "MARK", "9600,M,8,1"),
                std::tuple("CboDatabit", "7", "9600,N,7,1"),
                std::tuple("CboStopbit", "2", "9600,N,8,2") })
            row(qPrintable(u"pick in "_s + QLatin1String(box)),
                u"pick %1 %2"_s.arg(QLatin1String(box), QLatin1String(item)),
                { u"port=串口状态：COM1 OPEND，%1 | 关闭串口 | red"_s.arg(QLatin1String(settings)),
                    u"opened=open 1 %1"_s.arg(QLatin1String(settings)) });
        row("pick in CboCom", u"pick CboCom COM12"_s,
            { u"port=串口状态：COM12 OPEND，9600,N,8,1 | 关闭串口 | red"_s,
                u"opened=open 12 9600,N,8,1"_s });
        row("a pick with the arrow keys, then a wheel over the box with the focus",
            u"type CboBaudrate 9600; key CboBaudrate Down; wheel CboBaudrate"_s,
            { u"port=串口状态：COM1 OPEND，19200,N,8,1 | 关闭串口 | red"_s });
        row("the port box names the device its text finds", u"type CboCom COM3; hover CboCom"_s,
            { u"tip=COM3 → /dev/ttyFAKE3"_s });
        row("typed text is not completed",
            u"type CboBaudrate 19; click CmdSwitch; click CmdSwitch"_s,
            { u"port=串口：COM1 打开，19,N,8,1 | 关闭串口 | red"_s });
        row("neither a wheel over a box without the focus nor Enter after typed text picks",
            u"wheel CboCom; wheel CboBaudrate; type CboBaudrate 19200; key CboBaudrate Return"_s,
            { opened });
        row("device lost", u"lose"_s, { closed });
        row("a box shows before the state it reports", u"absent; pick CboParitybit ODD"_s,
            { u"atbox=串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s, closed });
        row("quit closes the port and the About window, also during the save notice",
            u"click CmdHelp; click CmdSaveDisp; click CmdQuit"_s,
            { u"ended=1 closed"_s, u"windows=0"_s });
        row("frame close closes the port, the About window stays",
            u"click CmdHelp; click CmdSaveDisp; frame"_s,
            { u"ended=0 closed notice"_s, u"windows=1"_s, u"TxtSavePath=OK,1.txt Save"_s });
        // Receive and counters
        row("automatic clearing at the 65535th byte",
            u"click ChkAutoClear; arrive* 65534; arrive ab; arrive c"_s,
            { u"shown=c"_s, u"counts=RX:65537 TX发:0"_s });
        row("cleared, then stopped: counted, never shown",
            u"arrive ab; click CmdClearReceive; click CmdStopdisp; arrive x; click CmdStopdisp; arrive y"_s,
            { u"shown=y"_s, u"counts=RX:4 TX发:0"_s, u"CmdStopdisp=停止显示"_s });
        row("find in the hex display: the bytes where pairs begin",
            u"click ChkHexReceive; arrive %10%01%03; find 0103"_s, { u"selected=01 03"_s });
        row("find in the text display: the same needle is text", u"arrive %01%03; find 0103"_s,
            { u"selected="_s, u"findStatus=未找到"_s });
        row("find in the hex display: an odd count of digits is no bytes",
            u"click ChkHexReceive; arrive %01%23; find 123"_s,
            { u"selected="_s, u"findStatus=十六进制数字个数为奇数，每个字节两位"_s });
        // Send
        row("text send trimmed at the blanks, counted when drained",
            u"type TxtSend   AB ; click CmdSend; drain"_s,
            { u"written=AB"_s, u"counts=RX收:0 TX:2"_s });
        row("hex send counted when it leaves; a no-break space is no blank",
            u"type TxtSend 01 41\u00A042; click ChkHexSend; click CmdSend; drain"_s,
            { u"written=\u0001A"_s, u"counts=RX收:0 TX:2"_s });
        row("send and auto send, port closed",
            u"click CmdSwitch; click CmdSend; click ChkAutoSend"_s,
            { u"boxes=串口没有打开，请打开串口 / 串口没有打开，请打开串口"_s, u"auto=0 0"_s });
        row("send and file send, nothing to send",
            u"click CmdClearSend; click CmdSend; click CmdSendFile"_s,
            { u"boxes=发送数据不能为空 / 发送的文件为空"_s, u"written="_s });
        row("file sent as read, only blanks trimmed, never as hex",
            u"file \r\n 12 ; click ChkHexSend; click CmdSend; click CmdSendFile; drain"_s,
            { u"written=\r\n 12"_s, u"counts=RX收:0 TX:5"_s });
        row("a send while a file still leaves is refused, and says so",
            u"file "_s + QString(5000, u'x')
                + u"; click CmdSendFile; click CmdSend; click CmdSendFile"_s,
            { u"boxes=发送缓冲区已满，请等上一次发送完成后再发送 / 发送缓冲区已满，请等上一次发送完成后再发送"_s,
                u"written="_s + QString(5000, u'x') });
        row("a file that cannot be read keeps the content", u"file ab; file; click CmdSendFile"_s,
            { u"written=ab"_s, u"TxtSendPath=/x/none.txt"_s });
        row("auto send repeats",
            u"type TxtSend x; type TxtAutoSendTime 5; click ChkAutoSend; ticks 3"_s,
            { u"auto=1 1"_s, u"boxes="_s });
        for (const char* period : { "abc", "0", "-5", "2147483648" })
            row(qPrintable(u"auto send, period %1: ticked, silent"_s.arg(QLatin1String(period))),
                u"type TxtAutoSendTime %1; click ChkAutoSend"_s.arg(QLatin1String(period)),
                { u"auto=1 0"_s, u"written="_s, u"boxes="_s });
        row("auto send stops on an empty box",
            u"type TxtAutoSendTime 5; click ChkAutoSend; click CmdClearSend; unticks"_s,
            { u"auto=0 0"_s, u"boxes=发送数据不能为空"_s });
        row("a paste is kept whole", u"paste TxtAutoSendTime 40000"_s,
            { u"TxtAutoSendTime="_s + QString(40000, u'7') });
        // Save
        row("save, then the notice ends", u"arrive hi; click CmdSaveDisp; notice"_s,
            { u"saved=2026年12月31日23时59分59秒\r\nhi\r\n"_s, u"TxtSavePath=C:\\COMDATA"_s });
        row("a missing folder, not made: no file, no notice",
            u"cancel; type TxtSavePath C:\\NO; click CmdSaveDisp"_s,
            { u"saved=none"_s, u"TxtSavePath=C:\\NO"_s,
                u"boxes=文件夹“C:\\NO”（~/NO）不存在，是否创建？ [OK Cancel]"_s });
        row("a missing folder, made with its parents",
            u"type TxtSavePath C:\\a\\b; click CmdSaveDisp; notice"_s,
            { u"saved=2026年12月31日23时59分59秒\r\n\r\n"_s, u"TxtSavePath=C:\\a\\b"_s });
        row("a folder without write permission: the folder and why",
            u"type TxtSavePath %1; click CmdSaveDisp"_s.arg(readOnlyFolder()),
            { u"saved=none"_s,
                u"boxes=无法保存到文件夹“%1”：没有写入权限（Permission denied）"_s.arg(
                    readOnlyFolder()) });
        row("a folder chosen during the notice comes back",
            u"file x; click CmdSaveDisp; click CmdAmend; notice"_s,
            { u"TxtSavePath=/x/y"_s, u"dialogs=文本文件（*.txt）(*.txt) / 选择目录:"_s });
    }

    void wiring()
    {
        QFETCH(bool, comAbsent);
        QFETCH(QString, steps);
        QFETCH(QStringList, expected);
        if (comAbsent) {
            QVERIFY(finish());
            start([](FakePlatform& fakes) { fakes.device->absentPorts = { 1 }; });
        }
        fakes->dialogs.nextFolder = u"/x/y"_s;
        for (const QString& step : steps.split(u"; "_s, Qt::SkipEmptyParts)) {
            run(step);
            if (QTest::currentTestFailed())
                return;
        }
        for (const QString& expectation : expected)
            QTRY_COMPARE(observe(expectation.section(u'=', 0, 0)), expectation.section(u'=', 1));
    }

    // The sent count takes only bytes that left ("leave N" lets N of the queue go), and a lost
    // device that comes back ("back") re-opens the port by itself unless the user acted first.
    void sentCountAndReturn_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected"); // counts | status | caption | lamp
        const auto row = [](const char* name, const QString& steps, const QString& expected) {
            QTest::newRow(name) << steps << expected;
        };
        const QString opened = u" | 串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s;
        const QString text = u"type TxtSend abcdef; click CmdSend; leave 2; "_s;
        const QString file = u"file abcdef; click CmdSendFile; leave 2; "_s;
        const QString sendAB = u"; type TxtSend AB; click CmdSend; drain"_s;
        row("close", file + u"click CmdSwitch; click CmdSwitch"_s + sendAB,
            u"RX收:0 TX:4"_s + opened);
        row("loss, then the device returns", text + u"absent; lose; back; reopened"_s + sendAB,
            u"RX收:0 TX:4"_s + opened);
        row("re-open on a pick", file + u"pick CboBaudrate 600"_s + sendAB,
            u"RX收:0 TX:4 | 串口状态：COM1 OPEND，600,N,8,1 | 关闭串口 | red"_s);
        row("counter reset: what leaves later counts", text + u"click CmdClearCounter; drain"_s,
            u"RX:0 TX:4"_s + opened);
        row("the switch while waiting ends the watch",
            u"absent; lose; click CmdSwitch; back; stays"_s,
            u"RX收:0 TX发:0 | 串口状态：COM关闭 | 打开串口 | dark"_s);
    }

    void sentCountAndReturn()
    {
        QFETCH(QString, steps);
        for (const QString& step : steps.split(u"; "_s)) {
            const int opens = fakes->device->openCount;
            if (step.startsWith(u"leave "))
                fakes->device->leave(step.section(u' ', 1).toInt());
            else if (step == u"back")
                fakes->device->absentPorts.clear();
            else if (step == u"reopened")
                QTRY_VERIFY(fakes->serial.portOpen());
            else if (step == u"stays") // two polls of the watch would have re-opened it
                QVERIFY(!QTest::qWaitFor(
                    [&] { return fakes->device->openCount > opens; }, 2 * DeviceWatch::pollMs));
            else
                run(step);
        }
        QTEST(observe(u"counts"_s) + u" | "_s + indicators(), "expected");
    }

    void windowAsBuilt()
    {
        QCOMPARE(window->windowTitle(), u"Velmora-串口调试助手PORTLARK2.1"_s);
        QVERIFY(window->windowIcon().availableSizes().contains(QSize(32, 32)));
        for (const QString& entry : startTexts.split(u'|')) {
            const QByteArray name = entry.section(u'=', 0, 0).toLatin1();
            QString seen = shown(name.constData());
            if (const auto* combo = control<QComboBox>(name.constData()))
                for (int i = 0; i < combo->count(); ++i)
                    seen += (i ? u" "_s : u" / "_s) + combo->itemText(i);
            QCOMPARE(entry.section(u'=', 0, 0) + u'=' + seen, entry);
        }
        // The hint: green, wrapped a few characters to a line, with
        // none of it cut off.
        auto* hint = control<QLabel>("Label1");
        const int height = hint->height();
        hint->resize(hint->width(), height * 3); // room below, where text cut off would show
        // MaskOutColor leaves the pure green pixels, the text, as the bitmap's set bits.
        const QImage mask
            = hint->grab().toImage().createMaskFromColor(0xFF00FF00, Qt::MaskOutColor);
        const int bottom = QRegion(QBitmap::fromImage(mask)).boundingRect().bottom();
        QVERIFY2(bottom > height / 2 && bottom < height, qPrintable(QString::number(bottom)));
        const QFont send = control("CmdSend")->font();
        QCOMPARE(send.weight(), QFont::Bold);
        for (const QFont& font : { window->font(), send }) // every caption is Chinese
            QVERIFY(QFontDatabase::writingSystems(QFontInfo(font).family())
                        .contains(QFontDatabase::SimplifiedChinese));
    }

    // What a reader hears of each control it can reach, read from the reader's own tree with the
    // find bar open: never nothing and never the control's value (a setting box's COM1); unless
    // it is a button, which shows its own words, where a label stands beside it on its row, that
    // label's words or their start, not a caption nobody sees (Check1) nor another label's words.
    void readersHearTheWordsBeside()
    {
        QTest::keyClick(control("TxtReceive"), Qt::Key_F, Qt::ControlModifier);
        QList<QAccessibleInterface*> labels;
        QList<QAccessibleInterface*> controls;
        const std::function<void(QAccessibleInterface*)> collect = [&](QAccessibleInterface* node) {
            for (int i = 0; i < node->childCount(); ++i) {
                QAccessibleInterface* item = node->child(i);
                const auto* widget = qobject_cast<QWidget*>(item->object());
                if (!widget)
                    continue;
                if (item->role() == QAccessible::StaticText) {
                    if (widget->isVisible() && !item->text(QAccessible::Name).isEmpty())
                        labels << item;
                } else if (item->state().focusable || item->role() == QAccessible::Graphic) {
                    controls << item;
                }
                if (item->role() != QAccessible::ComboBox) // its list is its own
                    collect(item);
            }
        };
        collect(QAccessible::queryAccessibleInterface(window.get()));
        QVERIFY(controls.size() > 30);
        QStringList wrong;
        for (QAccessibleInterface* item : std::as_const(controls)) {
            const auto relations = item->relations(QAccessible::Label);
            const QString heard
                = (relations.isEmpty() ? item : relations.first().first)->text(QAccessible::Name);
            const QRect at = item->rect();
            QStringList beside;
            for (QAccessibleInterface* label : std::as_const(labels)) {
                const QRect words = label->rect();
                const bool sameRow
                    = std::min(at.bottom(), words.bottom()) - std::max(at.top(), words.top())
                    >= std::min(at.height(), words.height()) / 2;
                const int gap = std::max(words.left() - at.right(), at.left() - words.right());
                if (item->role() != QAccessible::Button
                    && static_cast<QWidget*>(item->object())->isVisible() && sameRow && gap <= 8)
                    beside << label->text(QAccessible::Name);
            }
            if (heard.isEmpty() || heard == item->text(QAccessible::Value)
                || !(beside.isEmpty()
                    || std::any_of(beside.begin(), beside.end(),
                        [&](const QString& words) { return words.startsWith(heard); })))
                wrong << u"%1 heard as \"%2\" beside \"%3\""_s.arg(
                    item->object()->objectName(), heard, beside.join(u"\", \""_s));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u"\n"_s)));
    }

    // The form's colour only where the design gives it, read from what the window shows: a point
    // in a control (negative: from its right or bottom edge) shows the form's colour, the
    // platform's field colour (base), the inactive-border colour (hint) or what a lone button of
    // that size shows there.
    void colours()
    {
        const QImage shown = window->grab().toImage();
        for (const QString& row :
            u"window 520 415 form|Frame1 46 60 form|Frame1 10 30 form|LblArtoclear 1 1 form|"
            u"ChkHexSend -1 0 form|ChkAutoClear 8 8 base|TxtSavePath 4 -5 form|"
            u"TxtSendPath 4 -5 form|TxtStatus 4 -5 form|TxtRXCount 4 -5 form|"
            u"TxtTXCount 4 -5 form|TxtAutoSendTime -4 -5 base|TxtSend -30 6 base|"
            u"TxtReceive -30 6 base|CboBaudrate -18 10 base|"
            u"CmdClearCounter 6 4 button|CmdSwitch 6 4 button|Label1 1 -2 hint"_s.split(u'|')) {
            const QStringList field = row.split(u' ');
            QWidget* widget = control(field[0].toLatin1().constData()); // or the window
            widget = widget ? widget : window.get();
            const QPoint at((field[1].toInt() + widget->width()) % widget->width(),
                (field[2].toInt() + widget->height()) % widget->height());
            QColor wanted = field[3] == u"form" ? QColor(0xCA, 0xCA, 0x91)
                : field[3] == u"hint"
                ? QApplication::palette().color(QPalette::Inactive, QPalette::Window)
                : QApplication::palette().color(QPalette::Base);
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                QPushButton lone(button->text());
                lone.setFont(button->font());
                lone.resize(button->size());
                wanted = lone.grab().toImage().pixelColor(at);
            }
            QCOMPARE(row + u' ' + shown.pixelColor(widget->mapTo(window.get(), at)).name(),
                row + u' ' + wanted.name());
        }
    }

    // Ticks in the locale's form: the C locale's, 24-hour.
    void clockTicks() { QTRY_COMPARE(shown("LblNowTime"), u"23:59:59"_s); }

    void aboutWindowIsSingleAndRebuilt()
    {
        click("CmdHelp");
        QPointer<HelpWindow> about = window->helpWindow();
        QVERIFY(about && !about->parentWidget());
        QCOMPARE(about->size(), QSize(304, 154));
        QCOMPARE(about->focusWidget()->objectName(), u"CmdAssurance"_s);
        click("CmdHelp");
        QCOMPARE(observe(u"windows"_s), u"2"_s);
        QTest::mouseClick(about->focusWidget(), Qt::LeftButton);
        QTRY_VERIFY(!about);
        click("CmdHelp");
        about = window->helpWindow();
        QStringList texts { about->windowTitle() };
        for (const QObject* control : about->children())
            texts << control->property("text").toString();
        QCOMPARE(texts.join(u'|'),
            u"www.velmora.example|Velmora—串口调试助手V2.1|联系：support@velmora.example|确  定"_s);
    }

    void linkFollowsThePointerAndOpensTheAddress()
    {
        auto* link = control<QLabel>("LblWeb");
        const auto colour = [link] { return link->palette().color(QPalette::WindowText).name(); };
        QCOMPARE(colour(), u"#0000ff"_s); // as start-up leaves it
        QVERIFY(link->font().underline());
        // Qt drops a move to where the pointer already is: start from a neutral control.
        QTest::mouseMove(control("CmdSend"));
        QTest::mouseMove(link);
        QTRY_COMPARE(colour(), u"#39788a"_s);
        QCOMPARE(link->cursor().shape(), Qt::BitmapCursor);
        // Only the bare window turns it blue again, not the button just below it.
        QTest::mouseMove(control("CmdHelp"));
        QCOMPARE(colour(), u"#39788a"_s);
        QTest::mouseMove(window.get(), QPoint(520, 415));
        QTRY_COMPARE(colour(), u"#0000ff"_s);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(fakes->urlOpener.opened, QList { QUrl(u"https://www.velmora.example/"_s) });
        QCOMPARE(observe(u"boxes"_s), QString());
    }

    // Tab visits the controls in the design's order; passing through a setting box is no pick.
    void tabOrderOpensNothing()
    {
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTRY_VERIFY(
            QApplication::focusWidget() == control(tabOrder.first().toLatin1().constData()));
        QStringList visited;
        for (qsizetype i = 0; i <= tabOrder.size(); ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, tabOrder + QStringList { tabOrder.first() });
        QCOMPARE(fakes->device->openCount, 1);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
