// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/mainwindow.h"

#include "app/formwidgets.h"
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
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

namespace {

const QColor formColour(0xCA, 0xCA, 0x91);

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
    // Designer names the form's class after its window, so the form calls it MainWindow.
    setObjectName(QStringLiteral("串口调试软件"));
    setupUi(this);
    // The form gives every control 9 points; the family is the installed one that shows Chinese.
    if (const QString family = cjkFamily(); !family.isEmpty()) {
        QFont windowFont = font();
        windowFont.setFamily(family);
        setFont(windowFont);
    }
    // The desktop's own colour, not the form's: the hint stands out as a grey strip.
    QPalette hint = Label1->palette();
    hint.setColor(
        QPalette::Window, QApplication::palette().color(QPalette::Inactive, QPalette::Window));
    Label1->setPalette(hint);
    LblWeb->installEventFilter(this);

    // Made after the setting boxes, so that it is destroyed after them.
    auto* comboStyle = new NarrowComboStyle;
    comboStyle->setParent(this);
    for (QComboBox* box : { CboCom, CboBaudrate, CboParitybit, CboDatabit, CboStopbit }) {
        box->setStyle(comboStyle);
        box->lineEdit()->setTextMargins(-2, 0, -2, 0);
        // A setting box's own name is its value to readers on Linux, so the label beside it names
        // it as its buddy (in the form); the focus rests in its text field, named on its own.
        box->lineEdit()->setAccessibleName(box->accessibleName());
    }
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
    TmrFrameEnd = new QTimer(this);
    TmrFrameEnd->setObjectName(QStringLiteral("TmrFrameEnd"));
    TmrFrameEnd->setSingleShot(true);
    TmrFrameEnd->setTimerType(Qt::PreciseTimer);
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
    connect(TmrFrameEnd, &QTimer::timeout, this, &MainWindow::TmrFrameEnd_Timer);
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
    TmrFrameEnd->stop();
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
