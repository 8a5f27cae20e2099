#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "receive/receiveview.h"
#include "support/fakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The layout is designed in twips: 15 to the pixel, rounded to the nearest pixel.
QRect twips(int left, int top, int width, int height)
{
    const auto pixels = [](int value) { return static_cast<int>(std::lround(value / 15.0)); };
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

const QColor form(0xCA, 0xCA, 0x91);

struct Control {
    const char* name;
    const char* className;
    bool inFrame; // placed in the port settings group rather than on the window
    QString text; // what shows right after start-up; a null string is not checked
    QStringList items;
    QRect geometry;
    int tab; // place in the tab order; -1 for none
    bool takesFocus;
    QColor background; // invalid: the platform's ordinary colour, not checked
    QColor foreground;
};

QStringList numbered(const QString& prefix, int from, int to)
{
    QStringList list;
    for (int n = from; n <= to; ++n)
        list << prefix + QString::number(n);
    return list;
}

QStringList split(const char* items) { return QString::fromUtf8(items).split(QLatin1Char(' ')); }

// Every visible control, as it should stand once the window has come up with COM1 opened.
QList<Control> controls()
{
    const QColor none;
    const QColor inactiveBorder
        = QApplication::palette().color(QPalette::Inactive, QPalette::Window);
    const auto t = [](const char* text) { return QString::fromUtf8(text); };
    return {
        { "Frame1", "QGroupBox", false, QString(), {}, twips(0, -100, 1605, 2200), 2, false, form,
            none },
        { "Label4", "QLabel", true, t("串口"), {}, twips(50, 160, 600, 255), 29, false, form,
            none },
        { "CboCom", "QComboBox", true, t("COM1"), numbered(t("COM"), 1, 15),
            twips(750, 111, 800, 300), 22, true, none, none },
        { "Label5", "QLabel", true, t("波特率"), {}, twips(50, 470, 600, 255), 30, false, form,
            none },
        { "CboBaudrate", "QComboBox", true, t("9600"),
            split("300 600 1200 2400 4800 9600 14400 19200 28800 38400 56000 128000 256000"),
            twips(750, 400, 800, 300), 23, true, none, none },
        { "Label6", "QLabel", true, t("校验位"), {}, twips(50, 760, 600, 255), 31, false, form,
            none },
        { "CboParitybit", "QComboBox", true, t("NONE"), split("NONE ODD ENEV SPACE MARK"),
            twips(750, 700, 800, 300), 24, true, none, none },
        { "Label7", "QLabel", true, t("数据位"), {}, twips(50, 1080, 600, 255), 32, false, form,
            none },
        { "CboDatabit", "QComboBox", true, t("8"), split("8 7 6 5"), twips(750, 1000, 800, 300), 25,
            true, none, none },
        { "Label8", "QLabel", true, t("停止位"), {}, twips(50, 1400, 600, 255), 33, false, form,
            none },
        { "CboStopbit", "QComboBox", true, t("1"), split("1 1.5 2"), twips(750, 1300, 800, 300), 26,
            true, none, none },
        { "ImgSwitchOn", "QLabel", true, t(""), {}, twips(120, 1680, 450, 420), -1, false, none,
            none },
        { "ImgSwitchOff", "QLabel", true, t(""), {}, twips(120, 1680, 450, 420), -1, false, none,
            none },
        { "CmdSwitch", "QPushButton", true, t("关闭串口"), {}, twips(720, 1740, 870, 440), 1, true,
            none, none },
        { "Label1", "QLabel", false, t("使用的时候注意串口号和波特率等设置正确，且串口为打开状态"),
            {}, twips(1680, 720, 735, 1335), 47, false, inactiveBorder, QColor(0x00, 0xFF, 0x00) },
        { "LblReceive", "QLabel", false, t("接收区"), {}, twips(1920, 120, 600, 255), 27, false,
            form, none },
        { "TxtReceive", "ReceiveView", false, t(""), {}, twips(2520, 0, 8835, 4875), 0, true, none,
            none },
        { "CmdClearReceive", "QPushButton", false, t("清空接收区"), {},
            twips(1320, 2400, 1050, 310), 3, true, none, none },
        { "CmdStopdisp", "QPushButton", false, t("停止显示"), {}, twips(1320, 2760, 1050, 310), 4,
            true, none, none },
        { "ChkAutoClear", "QCheckBox", false, t("Check1"), {}, twips(50, 2850, 255, 255), 5, true,
            form, none },
        { "LblArtoclear", "QLabel", false, t("自动清空"), {}, twips(330, 2870, 800, 200), 34, false,
            form, none },
        { "ChkHexReceive", "QCheckBox", false, t("Check2"), {}, twips(50, 3100, 255, 255), 6, true,
            form, none },
        { "Label10", "QLabel", false, t("十六进制显示"), {}, twips(330, 3140, 1200, 200), 35, false,
            form, none },
        { "CmdSaveDisp", "QPushButton", false, t("保存显示数据"), {}, twips(30, 3450, 1225, 300),
            36, true, none, none },
        { "CmdAmend", "QPushButton", false, t("更改"), {}, twips(1250, 3450, 505, 300), 37, true,
            none, none },
        { "TxtSavePath", "QLineEdit", false, t("C:\\COMDATA"), {}, twips(60, 3760, 1650, 270), 7,
            true, form, none },
        { "LblNowTime", "QLabel", false, t("当前时间"), {}, twips(240, 4200, 1215, 195), 44, false,
            form, QColor(0, 0, 0) },
        { "LblNewDate", "QLabel", false, t("显示日前"), {}, twips(240, 4440, 1215, 255), 45, false,
            form, none },
        { "CmdClearSend", "QPushButton", false, t("清空重填"), {}, twips(100, 4850, 870, 300), 9,
            true, none, none },
        { "LblSend", "QLabel", false, t("发送的字符/数据"), {}, twips(1100, 4850, 1420, 270), 28,
            false, form, none },
        { "TxtSend", "QPlainTextEdit", false, t("在此处输入要发送的数据"), {},
            twips(2520, 4935, 8820, 750), 8, true, none, none },
        { "ChkHexSend", "QCheckBox", false, t("Check3"), {}, twips(30, 5160, 255, 255), 11, true,
            form, none },
        { "Label11", "QLabel", false, t("十六进制发送"), {}, twips(240, 5200, 1200, 200), 38, false,
            form, none },
        { "CmdQuit", "QPushButton", false, t("关闭程序"), {}, twips(1560, 5160, 870, 330), 20, true,
            none, none },
        { "ChkAutoSend", "QCheckBox", false, t("Check4"), {}, twips(30, 5480, 255, 255), 12, true,
            form, none },
        { "LblAutoSend", "QLabel", false, t("自动发送(周期改变后重选)"), {},
            twips(240, 5510, 2215, 200), 39, false, form, none },
        { "LblArtoSendCyc", "QLabel", false, t("自动发送周期："), {}, twips(60, 5760, 1270, 200),
            40, false, form, none },
        { "TxtAutoSendTime", "QLineEdit", false, t("1000"), {}, twips(1320, 5730, 660, 300), 41,
            true, none, none },
        { "Label14", "QLabel", false, t("毫秒"), {}, twips(2000, 5760, 450, 255), 42, false, form,
            none },
        { "CmdSelectFile", "QPushButton", false, t("选择文件"), {}, twips(2520, 5700, 1225, 280),
            16, true, none, none },
        { "TxtSendPath", "QLineEdit", false, t("还没有选择文件"), {}, twips(3800, 5740, 1700, 270),
            17, true, form, none },
        { "CmdSendFile", "QPushButton", false, t("文件发送"), {}, twips(5580, 5700, 900, 280), 18,
            true, none, none },
        { "TxtStatus", "QLineEdit", false, t("串口：COM1 打开，9600,N,8,1"), {},
            twips(240, 6080, 3100, 270), 13, true, form, none },
        { "TxtRXCount", "QLineEdit", false, t("RX收:0"), {}, twips(3340, 6080, 1350, 270), 14, true,
            form, none },
        { "TxtTXCount", "QLineEdit", false, t("TX发:0"), {}, twips(4680, 6080, 1340, 270), 15, true,
            form, none },
        { "CmdClearCounter", "QPushButton", false, t("计数清零"), {}, twips(6100, 6080, 865, 300),
            19, true, none, none },
        { "LblWeb", "QLabel", false, t("官网"), {}, twips(8800, 5760, 400, 225), 46, false, form,
            none },
        { "CmdHelp", "QPushButton", false, t("关于"), {}, twips(8760, 6000, 505, 300), 21, true,
            none, none },
        { "Picture1", "QLabel", false, t(""), {}, twips(9360, 5850, 495, 500), 43, true,
            QColor(0xE0, 0xE0, 0xE0), none },
        { "CmdSend", "QPushButton", false, t("点击发送"), {}, twips(10080, 5760, 1335, 660), 10,
            true, none, none },
    };
}

// The names of the controls that Tab visits, in the order of the design.
QStringList designTabOrder()
{
    QList<Control> focusable;
    for (const Control& control : controls()) {
        if (control.takesFocus)
            focusable << control;
    }
    std::sort(focusable.begin(), focusable.end(),
        [](const Control& a, const Control& b) { return a.tab < b.tab; });
    QStringList names;
    for (const Control& control : focusable)
        names << QString::fromLatin1(control.name);
    return names;
}

QString shownText(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return edit->toPlainText();
    if (auto* view = qobject_cast<ReceiveView*>(widget))
        return view->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    return QStringLiteral("<no text>");
}

// The colour the control's face is painted in.
QColor shownBackground(QWidget* widget)
{
    if (qobject_cast<QLineEdit*>(widget))
        return widget->palette().color(QPalette::Base);
    if (!widget->autoFillBackground())
        return QColor();
    return widget->palette().color(widget->backgroundRole());
}

QString focusName(const QWidget* widget)
{
    return widget ? widget->objectName() : QStringLiteral("<nothing>");
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;

    template <typename T = QWidget> T* control(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    // The focusable controls as the Tab chain links them, starting at TxtReceive.
    QStringList tabChain() const
    {
        QStringList names;
        QWidget* start = control("TxtReceive");
        QWidget* widget = start;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy()
                && widget->isEnabled() && widget->isVisibleTo(window.get()))
                names << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget && widget != start && names.size() < 200);
        return names;
    }

    bool activate()
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
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

    void windowItself()
    {
        QCOMPARE(window->objectName(), QStringLiteral("串口调试软件"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Velmora-串口调试助手PORTLARK2.1"));
        QCOMPARE(window->palette().color(QPalette::Window), form);
        QVERIFY(!window->windowIcon().pixmap(32, 32).isNull());
        QCOMPARE(window->size(), QSize(764, 430));
        QCOMPARE(window->minimumSize(), QSize(764, 430));
        QCOMPARE(window->maximumSize(), QSize(764, 430));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(900, 600); // what dragging an edge asks for
        QCOMPARE(window->size(), QSize(764, 430));
    }

    void controlAsBuilt_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<bool>("inFrame");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("takesFocus");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("foreground");
        for (const Control& c : controls()) {
            QTest::newRow(c.name) << QString::fromLatin1(c.className) << c.inFrame << c.text
                                  << c.items << c.geometry << c.tab << c.takesFocus << c.background
                                  << c.foreground;
        }
    }

    void controlAsBuilt()
    {
        QFETCH(QString, className);
        QFETCH(bool, inFrame);
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QFETCH(QRect, geometry);
        QFETCH(int, tab);
        QFETCH(bool, takesFocus);
        QFETCH(QColor, background);
        QFETCH(QColor, foreground);

        const QList<QWidget*> found
            = window->findChildren<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(found.size(), 1);
        QWidget* widget = found.first();
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QCOMPARE(focusName(widget->parentWidget()),
            inFrame ? QStringLiteral("Frame1") : window->objectName());
        QCOMPARE(widget->geometry(), geometry);
        QVERIFY(widget->isEnabled());
        QVERIFY(!widget->isHidden());
        if (!text.isNull())
            QCOMPARE(shownText(widget), text);

        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            QVERIFY(combo->isEditable());
            QStringList shown;
            for (int i = 0; i < combo->count(); ++i)
                shown << combo->itemText(i);
            QCOMPARE(shown, items);
        } else {
            QVERIFY(items.isEmpty());
        }
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            QVERIFY(!edit->isReadOnly());
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
            QVERIFY(!edit->isReadOnly());

        if (background.isValid())
            QCOMPARE(shownBackground(widget), background);
        if (foreground.isValid())
            QCOMPARE(widget->palette().color(QPalette::WindowText), foreground);

        if (takesFocus) {
            // Its place among the controls that take the focus, as the tab places rank them.
            const auto all = controls();
            const auto before = std::count_if(all.begin(), all.end(),
                [tab](const Control& c) { return c.takesFocus && c.tab < tab; });
            QVERIFY(widget->focusPolicy() & Qt::TabFocus);
            QCOMPARE(tabChain().indexOf(widget->objectName()), before);
        } else {
            QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
        }
    }

    void lampsAndPictures()
    {
        auto* on = control<QLabel>("ImgSwitchOn");
        auto* off = control<QLabel>("ImgSwitchOff");
        // After an open at start-up both lamps stay as built, the lit one above the dark one.
        QVERIFY(!on->isHidden());
        QVERIFY(!off->isHidden());
        QCOMPARE(on->parentWidget()->childAt(on->geometry().center()), on);
        QCOMPARE(on->pixmap().size(), QSize(30, 28));
        QCOMPARE(off->pixmap().size(), QSize(30, 28));
        QCOMPARE(control<QLabel>("Picture1")->pixmap().size(), QSize(29, 29));
        QCOMPARE(control<QLabel>("Picture1")->frameShadow(), QFrame::Sunken);
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("maxColours");
        QTest::addColumn<bool>("transparentCorners");
        QTest::newRow("lit lamp") << QStringLiteral(":/assets/lamp-on.xpm") << QSize(30, 28) << 0
                                  << true;
        QTest::newRow("dark lamp")
            << QStringLiteral(":/assets/lamp-off.xpm") << QSize(30, 28) << 0 << true;
        QTest::newRow("boxed product")
            << QStringLiteral(":/assets/picture.xpm") << QSize(29, 29) << 0 << false;
        QTest::newRow("window background")
            << QStringLiteral(":/assets/background.xpm") << QSize(29, 29) << 0 << false;
        QTest::newRow("icon of two computers")
            << QStringLiteral(":/assets/portlark.xpm") << QSize(32, 32) << 16 << true;
        QTest::newRow("left-pointing hand")
            << QStringLiteral(":/assets/hand.xpm") << QSize(32, 32) << 0 << true;
    }

    void pictures()
    {
        QFETCH(QString, resource);
        QFETCH(QSize, size);
        QFETCH(int, maxColours);
        QFETCH(bool, transparentCorners);
        const QImage image = QImage(resource).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), size);
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        }
        QVERIFY2(colours.size() > 3, "a drawing, not a flat placeholder");
        if (maxColours > 0)
            QVERIFY(colours.size() <= maxColours);
        const QList<QPoint> corners = { { 0, 0 }, { size.width() - 1, 0 }, { 0, size.height() - 1 },
            { size.width() - 1, size.height() - 1 } };
        for (const QPoint& corner : corners)
            QCOMPARE(qAlpha(image.pixel(corner)) == 0, transparentCorners);
    }

    void lampsLookLitAndDark()
    {
        const QImage on = QImage(QStringLiteral(":/assets/lamp-on.xpm"));
        const QImage off = QImage(QStringLiteral(":/assets/lamp-off.xpm"));
        const QColor litCentre = on.pixelColor(18, 17);
        QVERIFY2(litCentre.red() > 180 && litCentre.green() < 80, qPrintable(litCentre.name()));
        const QColor darkCentre = off.pixelColor(18, 17);
        QVERIFY2(darkCentre.value() < 100, qPrintable(darkCentre.name()));
        // A highlight up and to the left, brighter than the glass around it.
        int brightest = 0;
        for (int y = 6; y < 14; ++y) {
            for (int x = 6; x < 15; ++x)
                brightest = std::max(brightest, qGray(on.pixel(x, y)));
        }
        QVERIFY(brightest > 200);
    }

    void checkBoxOnlyToggledBySquare_data()
    {
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("label");
        QTest::newRow("clear automatically")
            << QStringLiteral("ChkAutoClear") << QStringLiteral("LblArtoclear");
        QTest::newRow("hexadecimal display")
            << QStringLiteral("ChkHexReceive") << QStringLiteral("Label10");
        QTest::newRow("hexadecimal send")
            << QStringLiteral("ChkHexSend") << QStringLiteral("Label11");
        QTest::newRow("automatic send")
            << QStringLiteral("ChkAutoSend") << QStringLiteral("LblAutoSend");
    }

    void checkBoxOnlyToggledBySquare()
    {
        QFETCH(QString, check);
        QFETCH(QString, label);
        auto* box = window->findChild<QCheckBox*>(check);
        auto* text = window->findChild<QLabel*>(label);
        QVERIFY(box && text);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        // The check box's own caption never shows: it looks as one without a caption.
        QCheckBox bare(window.get()); // made after show(), so never shown itself
        bare.setPalette(box->palette());
        bare.setAutoFillBackground(box->autoFillBackground());
        bare.setFont(box->font());
        bare.setGeometry(box->geometry());
        QCOMPARE(bare.grab().toImage(), box->grab().toImage());

        // Click where the user sees the label's text, on whatever lies there.
        const QPoint onText = text->mapTo(window.get(), text->rect().center());
        QWidget* hit = window->childAt(onText);
        QVERIFY(hit);
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(window.get(), onText));
        QCOMPARE(box->isChecked(), false);

        const QPoint onSquare = box->mapTo(window.get(), box->rect().center());
        QCOMPARE(window->childAt(onSquare), box);
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        QCOMPARE(box->isChecked(), true);
    }

    void hintLabelShowsWholeText()
    {
        auto* hint = control<QLabel>("Label1");
        const int height = hint->height();
        // Laid out in a box far taller than its own, no text may fall below its own height.
        hint->resize(hint->width(), height * 3);
        const QImage image = hint->grab().toImage();
        int lowestGreen = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor colour = image.pixelColor(x, y);
                if (colour.green() > 160 && colour.red() < 120 && colour.blue() < 120)
                    lowestGreen = y;
            }
        }
        QVERIFY2(lowestGreen > height / 2, "the text wraps down the narrow column");
        QVERIFY2(lowestGreen < height, qPrintable(QString::number(lowestGreen)));
    }

    void fonts()
    {
        if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
            QSKIP("no Chinese font installed");
        const auto chinese = [](const QFont& font) {
            return QFontDatabase::writingSystems(QFontInfo(font).family())
                .contains(QFontDatabase::SimplifiedChinese);
        };
        QVERIFY(chinese(window->font()));
        QVERIFY(chinese(control("Label1")->font()));
        const QFont send = control("CmdSend")->font();
        QCOMPARE(send.pointSize(), 9);
        QCOMPARE(send.weight(), QFont::Bold);
        QVERIFY(chinese(send));
        if (QFontDatabase::families().contains(QStringLiteral("SimSun")))
            QCOMPARE(QFontInfo(send).family(), QStringLiteral("SimSun"));
        QVERIFY(!control("CmdHelp")->font().bold());
    }

    void focusStartsInReceiveBox()
    {
        if (!activate())
            QSKIP("this platform cannot activate a window");
        QTRY_COMPARE(focusName(QApplication::focusWidget()), QStringLiteral("TxtReceive"));
    }

    void tabFollowsOrder()
    {
        if (!activate())
            QSKIP("this platform cannot activate a window");
        QTRY_COMPARE(focusName(QApplication::focusWidget()), QStringLiteral("TxtReceive"));
        QStringList visited;
        const QStringList expected = designTabOrder();
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focusName(QApplication::focusWidget());
        }
        // Round the whole window and back to the receive box.
        QCOMPARE(visited, expected.mid(1) << expected.first());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(focusName(QApplication::focusWidget()), expected.last());
    }

    void timers_data()
    {
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<bool>("ticking");
        QTest::newRow("TmrNowTime") << qint64(1000) << true;
        QTest::newRow("TmrAutoSend") << qint64(0) << false;
    }

    void timers()
    {
        QFETCH(qint64, interval);
        QFETCH(bool, ticking);
        auto* timer
            = window->findChild<IntervalTimer*>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), interval);
        QCOMPARE(timer->isTicking(), ticking);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
