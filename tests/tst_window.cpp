// The window as built, and one row per wiring path: which control reaches which rule, and what
// the user then sees. The rules' own tables are in the core tests.
#include "app/intervaltimer.h"
#include "port/codepage.h"
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

// Every visible control as it stands once the window is up with COM1 opened. Items: a combo box's
// list, space-separated; background: "" leaves the platform's own colour unchecked.
struct Control {
    const char *name, *className, *text, *items, *background;
    bool inFrame; // in the port settings group rather than on the window
    int left, top, width, height, tab; // twips; place in the tab order
};

const char* const F = "#CACA91"; // the form's colour
const char* const COMS
    = "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 COM11 COM12 COM13 COM14 COM15";
const char* const BAUDS = "300 600 1200 2400 4800 9600 14400 19200 28800 38400 56000 128000 256000";
const char* const HINT = "使用的时候注意串口号和波特率等设置正确，且串口为打开状态";

// clang-format off
const Control kControls[] = {
    { "Frame1", "QGroupBox", "", "", F, 0, 0, -100, 1605, 2200, 2 },
    { "Label4", "QLabel", "串口", "", F, 1, 50, 160, 600, 255, 29 },
    { "CboCom", "QComboBox", "COM1", COMS, "", 1, 750, 111, 800, 300, 22 },
    { "Label5", "QLabel", "波特率", "", F, 1, 50, 470, 600, 255, 30 },
    { "CboBaudrate", "QComboBox", "9600", BAUDS, "", 1, 750, 400, 800, 300, 23 },
    { "Label6", "QLabel", "校验位", "", F, 1, 50, 760, 600, 255, 31 },
    { "CboParitybit", "QComboBox", "NONE", "NONE ODD ENEV SPACE MARK", "", 1, 750, 700, 800, 300, 24 },
    { "Label7", "QLabel", "数据位", "", F, 1, 50, 1080, 600, 255, 32 },
    { "CboDatabit", "QComboBox", "8", "8 7 6 5", "", 1, 750, 1000, 800, 300, 25 },
    { "Label8", "QLabel", "停止位", "", F, 1, 50, 1400, 600, 255, 33 },
    { "CboStopbit", "QComboBox", "1", "1 1.5 2", "", 1, 750, 1300, 800, 300, 26 },
    { "ImgSwitchOn", "QLabel", "", "", "", 1, 120, 1680, 450, 420, -1 },
    { "ImgSwitchOff", "QLabel", "", "", "", 1, 120, 1680, 450, 420, -1 },
    { "CmdSwitch", "QPushButton", "关闭串口", "", "", 1, 720, 1740, 870, 440, 1 },
    { "Label1", "QLabel", HINT, "", "", 0, 1680, 720, 735, 1335, 47 },
    { "LblReceive", "QLabel", "接收区", "", F, 0, 1920, 120, 600, 255, 27 },
    { "TxtReceive", "ReceiveView", "", "", "", 0, 2520, 0, 8835, 4875, 0 },
    { "CmdClearReceive", "QPushButton", "清空接收区", "", "", 0, 1320, 2400, 1050, 310, 3 },
    { "CmdStopdisp", "QPushButton", "停止显示", "", "", 0, 1320, 2760, 1050, 310, 4 },
    { "ChkAutoClear", "QCheckBox", "Check1", "", F, 0, 50, 2850, 255, 255, 5 },
    { "LblArtoclear", "QLabel", "自动清空", "", F, 0, 330, 2870, 800, 200, 34 },
    { "ChkHexReceive", "QCheckBox", "Check2", "", F, 0, 50, 3100, 255, 255, 6 },
    { "Label10", "QLabel", "十六进制显示", "", F, 0, 330, 3140, 1200, 200, 35 },
    { "CmdSaveDisp", "QPushButton", "保存显示数据", "", "", 0, 30, 3450, 1225, 300, 36 },
    { "CmdAmend", "QPushButton", "更改", "", "", 0, 1250, 3450, 505, 300, 37 },
    { "TxtSavePath", "QLineEdit", "C:\\COMDATA", "", F, 0, 60, 3760, 1650, 270, 7 },
    { "LblNowTime", "QLabel", "当前时间", "", F, 0, 240, 4200, 1215, 195, 44 },
    { "LblNewDate", "QLabel", "显示日前", "", F, 0, 240, 4440, 1215, 255, 45 },
    { "CmdClearSend", "QPushButton", "清空重填", "", "", 0, 100, 4850, 870, 300, 9 },
    { "LblSend", "QLabel", "发送的字符/数据", "", F, 0, 1100, 4850, 1420, 270, 28 },
    { "TxtSend", "QPlainTextEdit", "在此处输入要发送的数据", "", "", 0, 2520, 4935, 8820, 750, 8 },
    { "ChkHexSend", "QCheckBox", "Check3", "", F, 0, 30, 5160, 255, 255, 11 },
    { "Label11", "QLabel", "十六进制发送", "", F, 0, 240, 5200, 1200, 200, 38 },
    { "CmdQuit", "QPushButton", "关闭程序", "", "", 0, 1560, 5160, 870, 330, 20 },
    { "ChkAutoSend", "QCheckBox", "Check4", "", F, 0, 30, 5480, 255, 255, 12 },
    { "LblAutoSend", "QLabel", "自动发送(周期改变后重选)", "", F, 0, 240, 5510, 2215, 200, 39 },
    { "LblArtoSendCyc", "QLabel", "自动发送周期：", "", F, 0, 60, 5760, 1270, 200, 40 },
    { "TxtAutoSendTime", "QLineEdit", "1000", "", "", 0, 1320, 5730, 660, 300, 41 },
    { "Label14", "QLabel", "毫秒", "", F, 0, 2000, 5760, 450, 255, 42 },
    { "CmdSelectFile", "QPushButton", "选择文件", "", "", 0, 2520, 5700, 1225, 280, 16 },
    { "TxtSendPath", "QLineEdit", "还没有选择文件", "", F, 0, 3800, 5740, 1700, 270, 17 },
    { "CmdSendFile", "QPushButton", "文件发送", "", "", 0, 5580, 5700, 900, 280, 18 },
    { "TxtStatus", "QLineEdit", "串口：COM1 打开，9600,N,8,1", "", F, 0, 240, 6080, 3100, 270, 13 },
    { "TxtRXCount", "QLineEdit", "RX收:0", "", F, 0, 3340, 6080, 1350, 270, 14 },
    { "TxtTXCount", "QLineEdit", "TX发:0", "", F, 0, 4680, 6080, 1340, 270, 15 },
    { "CmdClearCounter", "QPushButton", "计数清零", "", "", 0, 6100, 6080, 865, 300, 19 },
    { "LblWeb", "QLabel", "官网", "", F, 0, 8800, 5760, 400, 225, 46 },
    { "CmdHelp", "QPushButton", "关于", "", "", 0, 8760, 6000, 505, 300, 21 },
    { "Picture1", "QLabel", "", "", "#E0E0E0", 0, 9360, 5850, 495, 500, 43 },
    { "CmdSend", "QPushButton", "点击发送", "", "", 0, 10080, 5760, 1335, 660, 10 },
};
// clang-format on

// The layout is designed in twips: 15 to the pixel, rounded to the nearest pixel.
int px(int twips) { return qRound(twips / 15.0); }

// Labels (Lbl..., Label...), the lamps (Img...) and the group box (Frame1) hold tab places but
// never take the focus; the picture does.
bool takesFocus(const Control& c) { return !QByteArray("LIF").contains(c.name[0]); }

// The names of the controls that Tab visits, in the order of the design.
QStringList designTabOrder()
{
    QMap<int, QString> byTab;
    for (const Control& c : kControls)
        if (takesFocus(c))
            byTab.insert(c.tab, QLatin1String(c.name));
    return byTab.values();
}

QString shownText(const QWidget* widget)
{
    for (const char* property : { "text", "currentText", "plainText", "title" })
        if (widget->property(property).isValid())
            return widget->property(property).toString();
    return QString(); // the receive view, which starts empty
}

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
    // "absent" (later opens of COM1 fail), "file CONTENT" (chosen), "notice" (waits for the save
    // notice to end), "ticks N" (waits for N more bytes sent automatically), "unticks" (waits for
    // the automatic send to stop itself).
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
        } else if (verb == u"file") {
            QFile file(m_home.filePath(u"send.txt"_s));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(arg.toUtf8()) == arg.size());
            file.close();
            fakes->dialogs.nextFile = file.fileName();
            click("CmdSelectFile");
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
    // folder), "auto" (box ticked, timer ticking), or a control's name.
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
                texts << box.text;
            return texts.join(u" / "_s);
        }
        if (what == u"saved") {
            QFile file(m_home.filePath(u"COMDATA/1.txt"_s));
            return file.open(QIODevice::ReadOnly) ? CodePage::decode(file.readAll()) : u"none"_s;
        }
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
        row("start-up, COM1 absent", {}, { closed, u"boxes=没有发现此串口或被占用"_s }, true);
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
        row("text send counted when drained", u"type TxtSend   AB ; click CmdSend; drain"_s,
            { u"written=AB"_s, u"counts=RX收:0 TX:2"_s });
        row("hex send counted at once", u"type TxtSend 01 41; click ChkHexSend; click CmdSend"_s,
            { u"written=\u0001A"_s, u"counts=RX收:0 TX:2"_s });
        row("send, port closed", u"click CmdSwitch; click CmdSend"_s,
            { portClosed, u"written="_s });
        row("send, box empty", u"click CmdClearSend; click CmdSend"_s,
            { u"boxes=发送数据不能为空"_s, u"written="_s });
        row("file sent as read, never as hex",
            u"file  12 ; click ChkHexSend; click CmdSendFile; drain"_s,
            { u"written=12"_s, u"counts=RX收:0 TX:2"_s });
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
        row("the notice shows", u"click CmdSaveDisp"_s, { u"TxtSavePath=OK,1.txt Save"_s });
        row("a folder chosen during the notice comes back",
            u"click CmdSaveDisp; click CmdAmend; notice"_s, { u"TxtSavePath=/x/y"_s });
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

    // A box is modal: it shows before the state it reports.
    void messageShowsBeforeTheClosedState()
    {
        QString atBox;
        fakes->dialogs.onMessage = [&](const FakeDialogs::Message&) { atBox = indicators(); };
        fakes->device->absentPorts = { 1 };
        pick("CboParitybit", u"ODD"_s);
        QCOMPARE(atBox, u"串口：COM1 打开，9600,N,8,1 | 关闭串口 | red"_s);
        QCOMPARE(fakes->dialogs.messages.value(0).buttons, Dialogs::Buttons::Ok);
    }

    // The port is closed on the way out, also while the save notice shows.
    void quitAndFrameClose_data()
    {
        QTest::addColumn<bool>("quit"); // else the frame's close
        QTest::newRow("quit") << true;
        QTest::newRow("frame") << false;
    }
    void quitAndFrameClose()
    {
        QFETCH(bool, quit);
        click("CmdSaveDisp");
        if (quit)
            click("CmdQuit");
        else
            QVERIFY(window->close());
        QVERIFY(!fakes->serial.portOpen());
        QCOMPARE(ends, quit ? 1 : 0);
        QCOMPARE(control<QTimer>("TmrSaveNotice")->isActive(), !quit);
    }

    void windowAsBuilt()
    {
        QCOMPARE(window->objectName(), u"串口调试软件"_s);
        QCOMPARE(window->windowTitle(), u"Velmora-串口调试助手PORTLARK2.1"_s);
        QCOMPARE(window->palette().color(QPalette::Window), QColor(0xCA, 0xCA, 0x91));
        QVERIFY(window->windowIcon().availableSizes().contains(QSize(32, 32)));
        QCOMPARE(control<IntervalTimer>("TmrNowTime")->interval(), qint64(1000));
        QVERIFY(control<IntervalTimer>("TmrNowTime")->isTicking());
        QCOMPARE(control<IntervalTimer>("TmrAutoSend")->interval(), qint64(0));
        // The port looks open until it is first switched: the lit red lamp lies over the dark one.
        auto* on = control<QLabel>("ImgSwitchOn");
        QCOMPARE(on->parentWidget()->childAt(on->geometry().center()), on);
        const QColor lit = on->pixmap().toImage().pixelColor(18, 17);
        const QColor dark = control<QLabel>("ImgSwitchOff")->pixmap().toImage().pixelColor(18, 17);
        QVERIFY2(lit.red() > 180 && lit.green() < 80 && dark.value() < 100, qPrintable(lit.name()));
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
        QCOMPARE(send.pointSize(), 9);
        QCOMPARE(send.weight(), QFont::Bold);
        for (const QFont& font : { window->font(), send }) // every caption is Chinese
            QVERIFY(QFontDatabase::writingSystems(QFontInfo(font).family())
                        .contains(QFontDatabase::SimplifiedChinese));
        window->show();
        if (!QTest::qWaitForWindowActive(window.get()))
            QSKIP("this platform cannot activate a window");
        QTRY_COMPARE(focused(), u"TxtReceive"_s);
        window->resize(900, 600); // what dragging an edge asks for
        QCOMPARE(window->size(), QSize(764, 430));
    }

    void controlAsBuilt_data()
    {
        QTest::addColumn<int>("row");
        for (const Control& c : kControls)
            QTest::newRow(c.name) << int(&c - kControls);
    }

    void controlAsBuilt()
    {
        QFETCH(int, row);
        const Control& c = kControls[row];
        const QList<QWidget*> found = window->findChildren<QWidget*>(QLatin1String(c.name));
        QCOMPARE(found.size(), 1);
        QWidget* widget = found.first();
        QCOMPARE(QLatin1String(widget->metaObject()->className()), QLatin1String(c.className));
        QCOMPARE(widget->parentWidget(), c.inFrame ? control("Frame1") : window.get());
        QCOMPARE(widget->geometry(), QRect(px(c.left), px(c.top), px(c.width), px(c.height)));
        QVERIFY(widget->isEnabled() && !widget->isHidden());
        QVERIFY(!widget->property("readOnly").toBool());
        QCOMPARE(shownText(widget), QString::fromUtf8(c.text));
        auto* combo = qobject_cast<QComboBox*>(widget);
        QStringList items;
        for (int i = 0; combo && i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items.join(u' '), QLatin1String(c.items));
        QCOMPARE(widget->property("editable").toBool(), combo != nullptr);
        if (*c.background) {
            const bool edit = widget->inherits("QLineEdit");
            QVERIFY(edit || widget->autoFillBackground());
            QCOMPARE(widget->palette().color(edit ? QPalette::Base : widget->backgroundRole()),
                QColor::fromString(QLatin1String(c.background)));
        }

        QCOMPARE(widget->focusPolicy() == Qt::NoFocus, !takesFocus(c));
        if (!takesFocus(c))
            return;
        // Tab leads on to the control after this one in the design's order, the last back to the
        // first.
        window->show();
        if (!QTest::qWaitForWindowActive(window.get()))
            QSKIP("this platform cannot activate a window");
        widget->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QStringList order = designTabOrder();
        QCOMPARE(focused(), order.at((order.indexOf(QLatin1String(c.name)) + 1) % order.size()));
        // Passing through a setting box is not a pick: the port was opened once, at start-up.
        QCOMPARE(fakes->device->openCount, 1);
    }

    void checkBoxOnlyToggledBySquare_data()
    {
        QTest::addColumn<int>("row"); // the label beside a check box follows it in the table
        for (const Control& c : kControls)
            if (qstrcmp(c.className, "QCheckBox") == 0)
                QTest::newRow(c.name) << int(&c - kControls);
    }

    void checkBoxOnlyToggledBySquare()
    {
        QFETCH(int, row);
        auto* box = control<QCheckBox>(kControls[row].name);
        auto* text = control<QLabel>(kControls[row + 1].name);
        window->show();
        QVERIFY(box && text && QTest::qWaitForWindowExposed(window.get()));
        // Clicks land on whatever the user sees at that spot of the window.
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
            text->mapTo(window.get(), text->rect().center()));
        QCOMPARE(box->isChecked(), false);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
            box->mapTo(window.get(), box->rect().center()));
        QCOMPARE(box->isChecked(), true);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
