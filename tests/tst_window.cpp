#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "support/fakes.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QtTest>

#include <memory>

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

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;

    template <typename T = QWidget> T* control(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }

private Q_SLOTS:
    void init()
    {
        fakes = std::make_unique<FakePlatform>();
        window = std::make_unique<MainWindow>(fakes->platform());
    }

    void cleanup()
    {
        window.reset();
        fakes.reset();
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
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
        QCOMPARE(fakes->serial.openCount, 1);
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
