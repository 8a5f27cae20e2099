// The window as built, and one row per wiring path: which control reaches which rule, and what
// the user then sees. The rules' own tables are in the core tests.
#include "app/intervaltimer.h"
#include "port/codepage.h"
#include "port/devicewatch.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Every control's text as the window comes up with COM1 opened, and the combo boxes' lists.
const QString startTexts
    = u"Label1=使用的时候注意串口号和波特率等设置正确，且串口为打开状态|"
      u"Label4=串口|CboCom=COM1|Label5=波特率|CboBaudrate=9600|"
      u"Label6=校验位|CboParitybit=NONE|Label7=数据位|CboDatabit=8|"
      u"Label8=停止位|CboStopbit=1|CmdSwitch=关闭串口|LblReceive=接收区|"
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
const QStringList lists = {
    u"CboCom=COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 COM11 COM12 COM13 COM14 COM15"_s,
    u"CboBaudrate=300 600 1200 2400 4800 9600 14400 19200 28800 38400 56000 128000 256000"_s,
    u"CboParitybit=NONE ODD ENEV SPACE MARK"_s,
    u"CboDatabit=8 7 6 5"_s,
    u"CboStopbit=1 1.5 2"_s,
};
// The controls Tab visits, in the design's order; the last leads back to the first.
const QStringList tabOrder = QStringLiteral(
    "TxtReceive CmdSwitch CmdClearReceive CmdStopdisp ChkAutoClear ChkHexReceive TxtSavePath "
    "TxtSend CmdClearSend CmdSend ChkHexSend ChkAutoSend TxtStatus TxtRXCount TxtTXCount "
    "CmdSelectFile TxtSendPath CmdSendFile CmdClearCounter CmdQuit CmdHelp CboCom CboBaudrate "
    "CboParitybit CboDatabit CboStopbit CmdSaveDisp CmdAmend TxtAutoSendTime Picture1")
                                 .split(u' ');

QString focused()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

} // namespace

class WindowTest : public QObject, WindowFixture {
    Q_OBJECT
    QTemporaryDir m_home;

    // Runs one step of a row: "click NAME", "pick BOX ITEM", "type BOX TEXT", "paste BOX N" (N
    // characters), "arrive BYTES" (percent-encoded) or "arrive* N" (N bytes 'a'), "drain", "lose",
    // "absent" (later opens of COM1 fail), "file CONTENT" (chosen; "file" alone: one that cannot be
    // read), "notice" (waits for the save notice to end), "ticks N" (waits for N more bytes sent
    // automatically), "unticks" (waits for the automatic send to stop itself), "quit", "frame"
    // (closed by it).
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
        } else if (verb == u"paste") {
            QGuiApplication::clipboard()->setText(QString(arg.section(u' ', 1).toInt(), u'7'));
            type(name.constData(), QString());
            QTest::keySequence(control(name.constData()), QKeySequence::Paste);
        } else if (verb == u"arrive") {
            device.deliver(QByteArray::fromPercentEncoding(arg.toLatin1()));
        } else if (verb == u"arrive*") {
            device.deliver(QByteArray(arg.toInt(), 'a'));
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
        } else if (verb == u"quit") {
            click("CmdQuit");
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
    // showed), "ended" (quits, port, notice), "dialogs" (file filter / folder title), or a
    // control's name.
    QString observe(const QString& what)
    {
        if (what == u"port")
            return indicators();
        if (what == u"shown")
            return shown("TxtReceive");
        if (what == u"counts")
            return shown("TxtRXCount") + u' ' + shown("TxtTXCount");
        if (what == u"written")
            return QString::fromLatin1(fakes->device->written);
        if (what == u"boxes") {
            QStringList texts;
            for (const FakeDialogs::Message& box : fakes->dialogs.messages)
                texts << box.text
                        + (box.buttons == Dialogs::Buttons::OkCancel ? u" [OK Cancel]"_s : u""_s);
            return texts.join(u" / "_s);
        }
        if (what == u"atbox") // what the window showed while the first box was up
            return statesAtBoxes.value(0);
        if (what == u"ended")
            return u"%1 %2%3"_s.arg(ends).arg(fakes->serial.portOpen() ? u"open"_s : u"closed"_s,
                control<QTimer>("TmrSaveNotice")->isActive() ? u" notice"_s : u""_s);
        if (what == u"saved") {
            QFile file(m_home.filePath(u"COMDATA/1.txt"_s));
            return file.open(QIODevice::ReadOnly) ? CodePage::decode(file.readAll()) : u"none"_s;
        }
        if (what == u"dialogs")
            return fakes->dialogs.lastFilter + u" / "_s + fakes->dialogs.lastFolderTitle;
        if (what == u"auto")
            return u"%1 %2"_s.arg(control<QCheckBox>("ChkAutoSend")->isChecked())
                .arg(control<IntervalTimer>("TmrAutoSend")->isTicking());
        return shown(what.toLatin1().constData());
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QVERIFY(QDir(m_home.path()).mkdir(u"COMDATA"_s));
        CodePage::setSystemOverride("GBK");
    }

    void init()
    {
        start([](FakePlatform& fakes) {
            fakes.clock.time = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 7));
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
        const QString messageB = u"boxes=没有成功，请重试【检查端口是否被占用，或者端口号正确】"_s;
        const QString portClosed = u"boxes=串口没有打开，请打开串口"_s;
        // Port
        row("start-up opens COM1", {}, { opened, u"boxes="_s });
        row("start-up, COM1 absent", {}, { closed, u"boxes=没有发现此串口或被占用 [OK Cancel]"_s },
            true);
        row("pick reopens", u"pick CboBaudrate 19200"_s,
            { u"port=串口状态：COM1 OPEND，19200,N,8,1 | 关闭串口 | red"_s });
        row("pick with typed data bits that do not convert",
            u"type CboDatabit abc; pick CboStopbit 2"_s,
            { opened, u"boxes=数据位无效：“abc”（应为数字）"_s });
        row("switch closes, then opens what is typed",
            u"click CmdSwitch; type CboCom COM12; click CmdSwitch"_s,
            { u"port=串口：COM12 打开，9600,N,8,1 | 关闭串口 | red"_s });
        row("switch, absent", u"click CmdSwitch; absent; click CmdSwitch"_s,
            { u"port=串口状态：COM关闭 | 打开串口 | dark"_s, messageB });
        row("device lost", u"lose"_s, { closed });
        row("a box shows before the state it reports", u"absent; pick CboParitybit ODD"_s,
            { u"atbox=串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s, closed });
        row("quit closes the port, also during the save notice", u"click CmdSaveDisp; quit"_s,
            { u"ended=1 closed"_s });
        row("frame close closes the port", u"click CmdSaveDisp; frame"_s,
            { u"ended=0 closed notice"_s });
        // Receive and counters
        row("text arrives", u"arrive AB%0D%0A; arrive %D6%D0"_s,
            { u"shown=AB\r\n中"_s, u"counts=RX:6 TX发:0"_s });
        row("hex arrives", u"click ChkHexReceive; arrive %00%0F; arrive A"_s,
            { u"shown=00 0F 41 "_s, u"counts=RX:3 TX发:0"_s });
        row("stopped: text counted, never shown",
            u"click CmdStopdisp; arrive x; click CmdStopdisp; arrive y"_s,
            { u"shown=y"_s, u"counts=RX:2 TX发:0"_s, u"CmdStopdisp=停止显示"_s });
        row("counter reset puts the mark back",
            u"click ChkAutoClear; arrive* 65535; arrive y; click CmdClearCounter; arrive* 65535"_s,
            { u"shown="_s, u"counts=RX:65535 TX:0"_s });
        row("clearing the display keeps the counts", u"arrive ab; click CmdClearReceive"_s,
            { u"shown="_s, u"counts=RX:2 TX发:0"_s });
        // Send
        row("hex send counted when it leaves",
            u"type TxtSend 01 41; click ChkHexSend; click CmdSend; drain"_s,
            { u"written=\u0001A"_s, u"counts=RX收:0 TX:2"_s });
        row("send, port closed", u"click CmdSwitch; click CmdSend"_s,
            { portClosed, u"written="_s });
        row("send, box empty", u"click CmdClearSend; click CmdSend"_s,
            { u"boxes=发送数据不能为空"_s, u"written="_s });
        row("file sent as read, never as hex",
            u"file  12 ; click ChkHexSend; click CmdSendFile; drain"_s,
            { u"written=12"_s, u"counts=RX收:0 TX:2"_s });
        row("a file that cannot be read keeps the content", u"file ab; file; click CmdSendFile"_s,
            { u"written=ab"_s, u"TxtSendPath=/x/none.txt"_s });
        row("file, nothing chosen", u"click CmdSendFile"_s, { u"boxes=发送的文件为空"_s });
        row("auto send repeats",
            u"type TxtSend x; type TxtAutoSendTime 5; click ChkAutoSend; ticks 3"_s,
            { u"auto=1 1"_s, u"boxes="_s });
        row("auto send, port closed", u"click CmdSwitch; click ChkAutoSend"_s,
            { u"auto=0 0"_s, portClosed });
        row("auto send stops on an empty box",
            u"type TxtAutoSendTime 5; click ChkAutoSend; click CmdClearSend; unticks"_s,
            { u"auto=0 0"_s, u"boxes=发送数据不能为空"_s });
        row("a paste is kept whole", u"paste TxtAutoSendTime 40000"_s,
            { u"TxtAutoSendTime="_s + QString(40000, u'7') });
        // Save
        row("save, then the notice ends", u"arrive hi; click CmdSaveDisp; notice"_s,
            { u"saved=2026年12月5日9时5分7秒\r\nhi\r\n"_s, u"TxtSavePath=C:\\COMDATA"_s });
        row("a folder that is missing: no file, no notice",
            u"type TxtSavePath C:\\NO; click CmdSaveDisp"_s,
            { u"saved=none"_s, u"TxtSavePath=C:\\NO"_s });
        row("the notice shows", u"click CmdSaveDisp"_s, { u"TxtSavePath=OK,1.txt Save"_s });
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
            QCOMPARE(observe(expectation.section(u'=', 0, 0)), expectation.section(u'=', 1));
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
        row("refused: past the output bound, hex too",
            u"file "_s + QString(4096, u'f')
                + u"; click CmdSendFile; type TxtSend 41; click ChkHexSend; click CmdSend; drain"_s,
            u"RX收:0 TX:4096"_s + opened);
        row("the switch while waiting ends the watch",
            u"absent; lose; click CmdSwitch; back; stays"_s,
            u"RX收:0 TX发:0 | 串口状态：COM关闭 | 打开串口 | dark"_s);
    }

    void sentCountAndReturn()
    {
        QFETCH(QString, steps);
        window->setComResolver([this](int port) {
            return fakes->device->absentPorts.contains(port) ? QString() : u"/dev/fake"_s;
        });
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
        QCOMPARE(window->objectName(), u"串口调试软件"_s);
        QCOMPARE(window->windowTitle(), u"Velmora-串口调试助手PORTLARK2.1"_s);
        QCOMPARE(window->palette().color(QPalette::Window), QColor(0xCA, 0xCA, 0x91));
        QVERIFY(window->windowIcon().availableSizes().contains(QSize(32, 32)));
        for (const QString& entry : startTexts.split(u'|')) {
            const QByteArray name = entry.section(u'=', 0, 0).toLatin1();
            QCOMPARE(entry.section(u'=', 0, 0) + u'=' + shown(name.constData()), entry);
        }
        for (const QString& list : lists) {
            auto* combo = control<QComboBox>(list.section(u'=', 0, 0).toLatin1().constData());
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            QCOMPARE(items.join(u' '), list.section(u'=', 1));
        }
        // The hint: green on the inactive-border colour, wrapped a few characters to a line, with
        // none of it cut off.
        auto* hint = control<QLabel>("Label1");
        QCOMPARE(hint->palette().color(hint->backgroundRole()),
            QApplication::palette().color(QPalette::Inactive, QPalette::Window));
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
        window->resize(900, 600); // what dragging an edge asks for
        QCOMPARE(window->size(), QSize(764, 430));
    }

    // Tab visits the controls in the design's order; passing through a setting box is no pick.
    void tabOrderOpensNothing()
    {
        if (!QTest::qWaitForWindowActive(window.get()))
            QSKIP("this platform cannot activate a window");
        QTRY_COMPARE(focused(), tabOrder.first());
        QStringList visited;
        for (qsizetype i = 0; i <= tabOrder.size(); ++i) {
            visited << focused();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, tabOrder + QStringList { tabOrder.first() });
        QCOMPARE(fakes->device->openCount, 1);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
