// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/mainwindow.h"

#include "app/helpwindow.h"
#include "app/intervaltimer.h"
#include "port/serialcomponent.h"
#include "send/sendlogic.h"
#include "view/receiveview.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionComplex>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace {

// The design is laid out in twips; 15 twips make a pixel at 96 dots per inch.
int px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

const QColor formColour(0xCA, 0xCA, 0x91);

// Colours are set on the one widget that carries them, never on a widget with children: a
// palette passes on to every child, and the style draws outlines, fields and faces from it.
void setBackground(QWidget* widget, const QColor& colour)
{
    Q_ASSERT(widget->children().isEmpty());
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setFieldColour(QLineEdit* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

// SimSun where it is installed; otherwise a Chinese font whose Latin letters are narrow enough
// for the design's small boxes, before whatever other Chinese font the system has.
// (Under a Chinese locale the font database lists these by their Chinese names; hasFamily()
// knows both.)
QString cjkFamily()
{
    for (const QString& wanted : { QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
             QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
             QStringLiteral("Source Han Sans SC") }) {
        if (QFontDatabase::hasFamily(wanted))
            return wanted;
    }
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return chinese.isEmpty() ? QString() : chinese.first();
}

// The design's combo boxes are 53 pixels wide, made for a narrow drop-down button and thin
// borders; with the usual style's wide button a text like "COM1" would not fit.
class NarrowComboStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
        const QWidget* widget) const override
    {
        if (control == CC_ComboBox) {
            const QRect& r = option->rect;
            if (sub == SC_ComboBoxArrow)
                return QRect(r.right() - arrowWidth + 1, r.top(), arrowWidth, r.height());
            if (sub == SC_ComboBoxEditField)
                return QRect(r.left() + 2, r.top() + 2, r.width() - arrowWidth - 3, r.height() - 4);
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

private:
    static constexpr int arrowWidth = 14;
};

// A port setting box. A pick is a list item chosen with the mouse or the arrow keys; a wheel acts
// as the arrow keys do, but only on the box that has the focus, so that scrolling past a box never
// re-opens the port. Typed text stays as typed: no inline completion, and neither Enter nor
// leaving the box turns it into a pick.
class SettingBox : public QComboBox {
public:
    explicit SettingBox(QWidget* parent)
        : QComboBox(parent)
    {
        setEditable(true);
        setCompleter(nullptr);
        setInsertPolicy(QComboBox::NoInsert);
        setFocusPolicy(Qt::StrongFocus); // a wheel does not take the focus
        lineEdit()->setMaxLength(std::numeric_limits<int>::max());
        QObject::disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
        QObject::disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!hasFocus()) {
            event->ignore();
            return;
        }
        // A fine-grained wheel or touchpad sends parts of a notch; a pick takes a whole one.
        m_wheel += event->angleDelta().y();
        for (; m_wheel >= notch; m_wheel -= notch)
            press(Qt::Key_Up);
        for (; m_wheel <= -notch; m_wheel += notch)
            press(Qt::Key_Down);
        event->accept();
    }

private:
    void press(Qt::Key key)
    {
        QKeyEvent arrow(QEvent::KeyPress, key, Qt::NoModifier);
        keyPressEvent(&arrow);
    }
    static constexpr int notch = 120;
    int m_wheel = 0;
};

// A label whose text wraps anywhere at a line pitch of one em, as the design's narrow hint column
// expects; the usual line spacing of a Chinese font would push its last line out of the box.
class WrappedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        QTextLayout layout(text(), font());
        layout.setTextOption(option);
        const QRectF area = contentsRect();
        const qreal pitch = QFontInfo(font()).pixelSize();
        qreal y = area.top();
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(area.width());
            line.setPosition(QPointF(area.left(), y));
            y += pitch;
        }
        layout.endLayout();
        layout.draw(&painter, QPointF());
    }
};

} // namespace

MainWindow::MainWindow(const Platform& platform, QWidget* parent)
    : MainWindow(platform, StartOptions(), parent)
{
}

MainWindow::MainWindow(const Platform& platform, const StartOptions& options, QWidget* parent)
    : QWidget(parent)
    , m_platform(platform)
    , MSComm(platform.serial)
    , m_endProgram([] { QCoreApplication::exit(0); })
    , m_background(QStringLiteral(":/assets/background.xpm"))
    , m_port(*platform.serial)
    , m_receive(*platform.serial, m_counters)
    , m_send(*platform.serial)
{
    buildControls();
    connectHandlers();
    buildExtras(options);
    Form_Load();
}

MainWindow::~MainWindow()
{
    // Tearing the controls down moves the focus and fires their signals; no handler may run on a
    // window that is being destroyed.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    MSComm->disconnect(this);
    if (FrmHelp)
        delete FrmHelp.data();
}

void MainWindow::buildControls()
{
    setObjectName(QStringLiteral("串口调试软件"));
    setWindowTitle(QStringLiteral("Velmora-串口调试助手PORTLARK2.1"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/portlark.xpm")));
    setFixedSize(px(11460), px(6450));
    setMouseTracking(true);
    // One font for every control, 9 points as the design's; it must carry Chinese.
    QFont windowFont = font();
    const QString family = cjkFamily();
    if (!family.isEmpty())
        windowFont.setFamily(family);
    windowFont.setPointSize(9);
    setFont(windowFont);

    const auto place
        = [](QWidget* widget, const char* name, int left, int top, int width, int height) {
              widget->setObjectName(QString::fromLatin1(name));
              widget->setGeometry(px(left), px(top), px(width), px(height));
          };
    const auto label = [&](QWidget* parent, const char* name, const QString& text, int left,
                           int top, int width, int height) {
        auto* widget = new QLabel(text, parent);
        place(widget, name, left, top, width, height);
        setBackground(widget, formColour);
        return widget;
    };
    const auto centred = [&](QWidget* parent, const char* name, const QString& text, int left,
                             int top, int width, int height) {
        QLabel* widget = label(parent, name, text, left, top, width, height);
        widget->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        return widget;
    };
    const auto bordered = [&](QWidget* parent, const char* name, const QString& text, int left,
                              int top, int width, int height) {
        QLabel* widget = label(parent, name, text, left, top, width, height);
        widget->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        widget->setIndent(1); // a framed label would otherwise indent by half an "x"
        return widget;
    };
    const auto button = [&](QWidget* parent, const char* name, const QString& text, int left,
                            int top, int width, int height) {
        auto* widget = new QPushButton(text, parent);
        place(widget, name, left, top, width, height);
        return widget;
    };
    const auto combo = [&](QWidget* parent, const char* name, const QString& text,
                           const QStringList& items, int left, int top, int width, int height) {
        auto* widget = new SettingBox(parent);
        widget->addItems(items);
        const int index = widget->findText(text);
        if (index >= 0)
            widget->setCurrentIndex(index);
        widget->setEditText(text);
        widget->lineEdit()->setTextMargins(-2, 0, -2, 0);
        place(widget, name, left, top, width, height);
        return widget;
    };
    const auto check = [&](const char* name, const QString& caption, int left, int top) {
        // No palette of its own: the style draws the square's outline from the window colour,
        // and the form's colour shows around it anyway.
        auto* widget = new QCheckBox(caption, this);
        place(widget, name, left, top, 255, 255);
        return widget;
    };
    const auto lineEdit = [&](const char* name, const QString& text, int left, int top, int width,
                              int height, bool centre, bool coloured) {
        auto* widget = new QLineEdit(text, this);
        // A paste is never cut short without a word (QLineEdit stops at 32767 by default).
        widget->setMaxLength(std::numeric_limits<int>::max());
        place(widget, name, left, top, width, height);
        if (centre)
            widget->setAlignment(Qt::AlignCenter);
        if (coloured)
            setFieldColour(widget, formColour);
        return widget;
    };
    const auto image = [&](QWidget* parent, const char* name, const QString& resource, int left,
                           int top, int width, int height) {
        auto* widget = new QLabel(parent);
        place(widget, name, left, top, width, height);
        widget->setPixmap(QPixmap(resource));
        widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return widget;
    };

    // Port settings group; its top edge lies above the client area.
    // An etched box, as a group box without a caption is drawn; the style's group box would lay
    // a tint over the form's colour.
    Frame1 = new QFrame(this);
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    place(Frame1, "Frame1", 0, -100, 1605, 2200);
    Label4 = centred(Frame1, "Label4", QStringLiteral("串口"), 50, 160, 600, 255);
    QStringList ports;
    for (int n = 1; n <= 15; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    CboCom = combo(Frame1, "CboCom", QStringLiteral("COM1"), ports, 750, 111, 800, 300);
    Label5 = centred(Frame1, "Label5", QStringLiteral("波特率"), 50, 470, 600, 255);
    CboBaudrate = combo(Frame1, "CboBaudrate", QStringLiteral("9600"),
        { QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"),
            QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
            QStringLiteral("14400"), QStringLiteral("19200"), QStringLiteral("28800"),
            QStringLiteral("38400"), QStringLiteral("56000"), QStringLiteral("128000"),
            QStringLiteral("256000") },
        750, 400, 800, 300);
    Label6 = centred(Frame1, "Label6", QStringLiteral("校验位"), 50, 760, 600, 255);
    CboParitybit = combo(Frame1, "CboParitybit", QStringLiteral("NONE"),
        { QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("ENEV"),
            QStringLiteral("SPACE"), QStringLiteral("MARK") },
        750, 700, 800, 300);
    Label7 = centred(Frame1, "Label7", QStringLiteral("数据位"), 50, 1080, 600, 255);
    CboDatabit = combo(Frame1, "CboDatabit", QStringLiteral("8"),
        { QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6"), QStringLiteral("5") }, 750,
        1000, 800, 300);
    Label8 = centred(Frame1, "Label8", QStringLiteral("停止位"), 50, 1400, 600, 255);
    CboStopbit = combo(Frame1, "CboStopbit", QStringLiteral("1"),
        { QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2") }, 750, 1300, 800, 300);
    // As built both lamps show, the lit one above the dark one.
    ImgSwitchOff = image(
        Frame1, "ImgSwitchOff", QStringLiteral(":/assets/lamp-off.xpm"), 120, 1680, 450, 420);
    ImgSwitchOn
        = image(Frame1, "ImgSwitchOn", QStringLiteral(":/assets/lamp-on.xpm"), 120, 1680, 450, 420);
    CmdSwitch = button(Frame1, "CmdSwitch", QStringLiteral("关闭串口"), 720, 1740, 870, 440);

    Label1 = new WrappedLabel(
        QStringLiteral("使用的时候注意串口号和波特率等设置正确，且串口为打开状态"), this);
    place(Label1, "Label1", 1680, 720, 735, 1335);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The desktop's own colour, not the form's: the label stands out as a grey strip.
    setBackground(Label1, QApplication::palette().color(QPalette::Inactive, QPalette::Window));
    setTextColour(Label1, QColor(0x00, 0xFF, 0x00));

    // Receive area
    LblReceive = bordered(this, "LblReceive", QStringLiteral("接收区"), 1920, 120, 600, 255);
    TxtReceive = new ReceiveView(this);
    place(TxtReceive, "TxtReceive", 2520, 0, 8835, 4875);
    CmdClearReceive
        = button(this, "CmdClearReceive", QStringLiteral("清空接收区"), 1320, 2400, 1050, 310);
    CmdStopdisp = button(this, "CmdStopdisp", QStringLiteral("停止显示"), 1320, 2760, 1050, 310);
    ChkAutoClear = check("ChkAutoClear", QStringLiteral("Check1"), 50, 2850);
    LblArtoclear = label(this, "LblArtoclear", QStringLiteral("自动清空"), 330, 2870, 800, 200);
    ChkHexReceive = check("ChkHexReceive", QStringLiteral("Check2"), 50, 3100);
    Label10 = label(this, "Label10", QStringLiteral("十六进制显示"), 330, 3140, 1200, 200);

    // Saving
    CmdSaveDisp = button(this, "CmdSaveDisp", QStringLiteral("保存显示数据"), 30, 3450, 1225, 300);
    CmdAmend = button(this, "CmdAmend", QStringLiteral("更改"), 1250, 3450, 505, 300);
    TxtSavePath
        = lineEdit("TxtSavePath", QStringLiteral("C:\\COMDATA"), 60, 3760, 1650, 270, false, true);

    // Clock
    LblNowTime = centred(this, "LblNowTime", QStringLiteral("当前时间"), 240, 4200, 1215, 195);
    setTextColour(LblNowTime, Qt::black);
    LblNewDate = centred(this, "LblNewDate", QStringLiteral("显示日前"), 240, 4440, 1215, 255);

    // Send area and options
    CmdClearSend = button(this, "CmdClearSend", QStringLiteral("清空重填"), 100, 4850, 870, 300);
    LblSend = bordered(this, "LblSend", QStringLiteral("发送的字符/数据"), 1100, 4850, 1420, 270);
    TxtSend = new QPlainTextEdit(this);
    place(TxtSend, "TxtSend", 2520, 4935, 8820, 750);
    TxtSend->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on, as in every other text box of the window.
    TxtSend->setTabChangesFocus(true);
    ChkHexSend = check("ChkHexSend", QStringLiteral("Check3"), 30, 5160);
    Label11 = centred(this, "Label11", QStringLiteral("十六进制发送"), 240, 5200, 1200, 200);
    CmdQuit = button(this, "CmdQuit", QStringLiteral("关闭程序"), 1560, 5160, 870, 330);

    // Automatic send
    ChkAutoSend = check("ChkAutoSend", QStringLiteral("Check4"), 30, 5480);
    LblAutoSend = centred(
        this, "LblAutoSend", QStringLiteral("自动发送(周期改变后重选)"), 240, 5510, 2215, 200);
    LblArtoSendCyc
        = label(this, "LblArtoSendCyc", QStringLiteral("自动发送周期："), 60, 5760, 1270, 200);
    TxtAutoSendTime
        = lineEdit("TxtAutoSendTime", QStringLiteral("1000"), 1320, 5730, 660, 300, false, false);
    Label14 = label(this, "Label14", QStringLiteral("毫秒"), 2000, 5760, 450, 255);

    // File send
    CmdSelectFile
        = button(this, "CmdSelectFile", QStringLiteral("选择文件"), 2520, 5700, 1225, 280);
    TxtSendPath = lineEdit(
        "TxtSendPath", QStringLiteral("还没有选择文件"), 3800, 5740, 1700, 270, true, true);
    CmdSendFile = button(this, "CmdSendFile", QStringLiteral("文件发送"), 5580, 5700, 900, 280);

    // Status line and counters
    TxtStatus = lineEdit("TxtStatus", QString(), 240, 6080, 3100, 270, true, true);
    TxtRXCount
        = lineEdit("TxtRXCount", QStringLiteral("RX收:0"), 3340, 6080, 1350, 270, true, true);
    TxtTXCount
        = lineEdit("TxtTXCount", QStringLiteral("TX发:0"), 4680, 6080, 1340, 270, true, true);
    CmdClearCounter
        = button(this, "CmdClearCounter", QStringLiteral("计数清零"), 6100, 6080, 865, 300);

    // Bottom right
    LblWeb = label(this, "LblWeb", QStringLiteral("官网"), 8800, 5760, 400, 225);
    setTextColour(LblWeb, QColor(0x39, 0x78, 0x8A));
    LblWeb->setMouseTracking(true);
    LblWeb->installEventFilter(this);
    CmdHelp = button(this, "CmdHelp", QStringLiteral("关于"), 8760, 6000, 505, 300);
    Picture1
        = image(this, "Picture1", QStringLiteral(":/assets/picture.xpm"), 9360, 5850, 495, 500);
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setBackground(Picture1, QColor(0xE0, 0xE0, 0xE0));
    CmdSend = button(this, "CmdSend", QStringLiteral("点击发送"), 10080, 5760, 1335, 660);
    QFont sendFont = windowFont;
    sendFont.setWeight(QFont::Bold);
    CmdSend->setFont(sendFont);

    // Made after the combo boxes, so that it is destroyed after them.
    auto* comboStyle = new NarrowComboStyle;
    comboStyle->setParent(this);
    for (QComboBox* widget : { CboCom, CboBaudrate, CboParitybit, CboDatabit, CboStopbit })
        widget->setStyle(comboStyle);

    // What a screen reader says each control is: the words beside it. A setting box's own name is
    // its value to readers on Linux, so the label beside it names it as its buddy; with no mnemonic
    // in its text a buddy takes no key, and a click on a label does nothing, so the tab order and
    // clicks stay as they are. A check box's caption is not its words, so it is named outright.
    const std::pair<QLabel*, QWidget*> labelled[] = { { Label4, CboCom }, { Label5, CboBaudrate },
        { Label6, CboParitybit }, { Label7, CboDatabit }, { Label8, CboStopbit },
        { LblReceive, TxtReceive }, { LblSend, TxtSend }, { LblArtoSendCyc, TxtAutoSendTime } };
    for (const auto& [words, widget] : labelled) {
        words->setBuddy(widget);
        // The focus rests in a setting box's text field, which readers name on its own.
        if (auto* box = qobject_cast<QComboBox*>(widget)) {
            box->setAccessibleName(words->text());
            box->lineEdit()->setAccessibleName(words->text());
        }
    }
    const std::pair<QWidget*, QString> named[] = { { ChkAutoClear, QStringLiteral("自动清空") },
        { ChkHexReceive, QStringLiteral("十六进制显示") },
        { ChkHexSend, QStringLiteral("十六进制发送") }, { ChkAutoSend, QStringLiteral("自动发送") },
        { ImgSwitchOn, QStringLiteral("串口已打开") },
        { ImgSwitchOff, QStringLiteral("串口已关闭") }, { Frame1, QStringLiteral("串口设置") },
        { Picture1, QStringLiteral("软件图片") }, { TxtSavePath, QStringLiteral("保存目录") },
        { TxtSendPath, QStringLiteral("发送的文件") }, { TxtStatus, QStringLiteral("状态") },
        { TxtRXCount, QStringLiteral("接收计数") }, { TxtTXCount, QStringLiteral("发送计数") } };
    for (const auto& [widget, name] : named)
        widget->setAccessibleName(name);
    ChkAutoSend->setAccessibleDescription(QStringLiteral("周期改变后重选"));

    // Labels, the group box and the lamps never take the focus.
    for (QLabel* widget : findChildren<QLabel*>())
        widget->setFocusPolicy(Qt::NoFocus);
    Frame1->setFocusPolicy(Qt::NoFocus);
    // The picture box is no label: it keeps its place in the Tab chain.
    Picture1->setFocusPolicy(Qt::TabFocus);

    // Tab order of the controls that can take the focus.
    const QList<QWidget*> tabOrder = { TxtReceive, CmdSwitch, CmdClearReceive, CmdStopdisp,
        ChkAutoClear, ChkHexReceive, TxtSavePath, TxtSend, CmdClearSend, CmdSend, ChkHexSend,
        ChkAutoSend, TxtStatus, TxtRXCount, TxtTXCount, CmdSelectFile, TxtSendPath, CmdSendFile,
        CmdClearCounter, CmdQuit, CmdHelp, CboCom, CboBaudrate, CboParitybit, CboDatabit,
        CboStopbit, CmdSaveDisp, CmdAmend, TxtAutoSendTime, Picture1 };
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    TxtReceive->setFocus();

    TmrNowTime = new IntervalTimer(this);
    TmrNowTime->setObjectName(QStringLiteral("TmrNowTime"));
    TmrNowTime->setInterval(1000);
    TmrNowTime->setEnabled(true);
    TmrAutoSend = new IntervalTimer(this, Qt::PreciseTimer);
    TmrAutoSend->setObjectName(QStringLiteral("TmrAutoSend"));
    TmrAutoSend->setInterval(0);
    TmrAutoSend->setEnabled(true);
    TmrSaveNotice = new QTimer(this);
    TmrSaveNotice->setObjectName(QStringLiteral("TmrSaveNotice"));
    TmrSaveNotice->setSingleShot(true);
    TmrSaveNotice->setTimerType(Qt::PreciseTimer);
}

void MainWindow::connectHandlers()
{
    connect(CboCom, &QComboBox::activated, this, &MainWindow::CboCom_Click);
    connect(CboBaudrate, &QComboBox::activated, this, &MainWindow::CboBaudrate_Click);
    connect(CboParitybit, &QComboBox::activated, this, &MainWindow::CboParitybit_Click);
    connect(CboDatabit, &QComboBox::activated, this, &MainWindow::CboDatabit_Click);
    connect(CboStopbit, &QComboBox::activated, this, &MainWindow::CboStopbit_Click);
    connect(CmdSwitch, &QPushButton::clicked, this, &MainWindow::CmdSwitch_Click);
    connect(MSComm, &SerialComponent::onComm, this, &MainWindow::MSComm_OnComm);
    connect(MSComm, &SerialComponent::sent, this, [this](qint64 n) { m_counters.addPending(n); });
    m_send.setSentListener(
        [this](const QByteArray& bytes, bool file, bool hex) { showSent(bytes, file, hex); });
    connect(&m_port.watch(), &DeviceWatch::returned, this, &MainWindow::MSComm_DeviceReturned);
    connect(CmdClearReceive, &QPushButton::clicked, this, &MainWindow::CmdClearReceive_Click);
    connect(CmdStopdisp, &QPushButton::clicked, this, &MainWindow::CmdStopdisp_Click);
    const auto hexShown = [this] { TxtReceive->setHexDisplay(ticked(ChkHexReceive)); };
    connect(ChkHexReceive, &QCheckBox::stateChanged, this, hexShown);
    hexShown();
    connect(CmdClearCounter, &QPushButton::clicked, this, &MainWindow::CmdClearCounter_Click);
    connect(CmdSaveDisp, &QPushButton::clicked, this, &MainWindow::CmdSaveDisp_Click);
    connect(TmrSaveNotice, &QTimer::timeout, this, &MainWindow::TmrSaveNotice_Timer);
    connect(TxtReceive, &ReceiveView::frame, this, &MainWindow::showReceivedCount);
    connect(CmdAmend, &QPushButton::clicked, this, &MainWindow::CmdAmend_Click);
    connect(CmdSend, &QPushButton::clicked, this, &MainWindow::CmdSend_Click);
    connect(CmdClearSend, &QPushButton::clicked, this, &MainWindow::CmdClearSend_Click);
    connect(ChkAutoSend, &QCheckBox::toggled, this, &MainWindow::ChkAutoSend_Click);
    connect(TmrAutoSend, &IntervalTimer::timeout, this, &MainWindow::TmrAutoSend_Timer);
    connect(CmdSelectFile, &QPushButton::clicked, this, &MainWindow::CmdSelectFile_Click);
    connect(CmdSendFile, &QPushButton::clicked, this, &MainWindow::CmdSendFile_Click);
    connect(CmdQuit, &QPushButton::clicked, this, &MainWindow::CmdQuit_Click);
    connect(TmrNowTime, &IntervalTimer::timeout, this, &MainWindow::TmrNowTime_Timer);
    connect(CmdHelp, &QPushButton::clicked, this, &MainWindow::CmdHelp_Click);
    // The device a COM name stands for can change while the text does not (a link re-pointed, an
    // adapter plugged in), so the tooltip is worked out again each time it is about to show.
    connect(CboCom, &QComboBox::editTextChanged, this, &MainWindow::CboCom_Change);
    CboCom->lineEdit()->installEventFilter(this);
    CboCom_Change();
}

// toPlainText() would turn a no-break space into a blank.
QString MainWindow::sendBoxText() const
{
    return SendLogic::fromTextBox(TxtSend->document()->toRawText());
}

bool MainWindow::ticked(const QCheckBox* box) { return box->checkState() == Qt::Checked; }

Dialogs::Answer MainWindow::showMessage(const Message& message)
{
    if (message.isNull())
        return Dialogs::Answer::Cancel;
    const Dialogs::Icon icon = message.icon == Message::Icon::Error ? Dialogs::Icon::Error
        : message.icon == Message::Icon::Question                   ? Dialogs::Icon::Question
                                                                    : Dialogs::Icon::Warning;
    return m_platform.dialogs->message(this, message.text, QStringLiteral("串口调试助手"), icon,
        message.offerCancel ? Dialogs::Buttons::OkCancel : Dialogs::Buttons::Ok);
}

void MainWindow::Form_Load()
{
    QFont font = LblWeb->font();
    font.setUnderline(true);
    LblWeb->setFont(font);
    setTextColour(LblWeb, QColor(0x00, 0x00, 0xFF));
    TxtSend->setPlainText(QStringLiteral("在此处输入要发送的数据"));
    showPort(m_port.start(selectionTexts()));
}

void MainWindow::CmdQuit_Click()
{
    m_port.end();
    TmrNowTime->setEnabled(false);
    TmrAutoSend->setEnabled(false);
    TmrSaveNotice->stop();
    if (FrmHelp)
        FrmHelp->close();
    hide();
    m_endProgram();
}

// Closing by the frame closes the port first, as quit does.
void MainWindow::closeEvent(QCloseEvent* event)
{
    m_port.end();
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    // Moves over a control reach the window too when the control does not track the pointer;
    // only the bare surface counts.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // Painted, not set on the palette, so that no control inherits it; the group box and the
    // check boxes are see-through and show it.
    QPainter painter(this);
    painter.fillRect(rect(), formColour);
    // The port group lies over the picture and hides it, although the group itself is see-through.
    painter.setClipRegion(QRegion(rect()).subtracted(Frame1->geometry()));
    painter.drawPixmap(0, 0, m_background);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == CboCom->lineEdit() && event->type() == QEvent::ToolTip)
        CboCom_Change();
    if (watched == LblWeb) {
        if (event->type() == QEvent::MouseMove) {
            LblWeb_MouseMove();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton
                && LblWeb->rect().contains(mouse->position().toPoint()))
                LblWeb_Click();
        }
    }
    return QWidget::eventFilter(watched, event);
}
