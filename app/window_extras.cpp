// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// What lives in context menus and start-up options, so that no control moves or changes: the
// capture log (the receive box's menu, --log), line control and 远程串口 (the port group's menu),
// check bytes (the send box's menu), the boxes' text size (Ctrl with the wheel or +, - and 0) and
// the port that --com (a number or a URL) and --settings open at start-up, the receive display's
// time stamps, frames, character column, sent lines and 协议解析 (the receive box's menu). The
// 字符编码 menu (app/window_encoding.cpp), the plot window (app/window_plot.cpp) and the stored
// commands (app/window_commands.cpp) are added to these menus here. All but the start-up options
// are remembered between runs.
#include "app/mainwindow.h"

#include "app/boxzoom.h"
#include "app/options.h"
#include "app/remotedialog.h"
#include "app/window_commands.h"
#include "app/window_encoding.h"
#include "app/window_lines.h"
#include "app/window_transfer.h"
#include "modbus/modbus.h"
#include "plot/plotwindow.h"
#include "port/adapterlatency.h"
#include "port/remoteurl.h"
#include "port/serialcomponent.h"
#include "receive/capturelog.h"
#include "send/checkbytes.h"
#include "view/receiveview.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <cstdio>
#include <utility>

class WindowExtras : public QObject {
public:
    explicit WindowExtras(MainWindow& window);
    void applyStartOptions(const StartOptions& options);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool startLog(const QString& path);
    // Every item of a context menu is made with the menu, from the choices as they stand: a
    // reader holds on to what an item was in its first menu, so an item kept for the next menu
    // would be silent there.
    void receiveItems(QMenu* menu);
    void protocolItems(QMenu* menu);
    void addEncodings(QMenu* menu);
    void lineMenu(const QPoint& pos);
    void sendMenu(const QPoint& pos);
    void appendCheck(CheckBytes::Kind kind);
    void decodeItems(QMenu* menu);
    void applyProtocol();
    void showFramesTip(QMenu* frames);
    // What the user chose that changes every text send: where it is not the default, a line each.
    QStringList sendChoices() const;
    // A choice the user made: saved when it differs from what is remembered.
    template <typename T> void remember(T Options::*choice, const T& value);
    void saveOptions();

    MainWindow& w;
    Options m_options;
    bool m_saveFailed = false; // reported once
    CaptureLog m_log;
    std::function<void(QMenu*)> m_commandItems;
    WindowTransfer* m_transfer = nullptr;
    WindowLines* m_lines = nullptr;
};

namespace {

QAction* addCheckable(QMenu* menu, const QString& text, bool checked, bool enabled = true)
{
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setChecked(checked);
    action->setEnabled(enabled);
    return action;
}

} // namespace

void MainWindow::buildExtras(const StartOptions& options)
{
    (new WindowExtras(*this))->applyStartOptions(options);
}

WindowExtras::WindowExtras(MainWindow& window)
    : QObject(&window)
    , w(window)
{
    if (const QString path = w.m_platform.optionsFile; !path.isEmpty()) {
        const Options::Loaded loaded = Options::load(path);
        if (!loaded.problem.isEmpty())
            std::fprintf(stderr, "portlark: 设置文件 %s 无法读取（%s），使用默认设置\n",
                qPrintable(path), qPrintable(loaded.problem));
        m_options = loaded.options;
    }
    // Before the start-up open, which uses them.
    w.MSComm->setLines(m_options.dtr, m_options.rts);
    w.MSComm->setFlowControl(m_options.flow);
    w.MSComm->setTextCodePage(m_options.encoding.toLatin1());
    applyProtocol();
    // 十六进制附字符 shows something only in the hexadecimal display.
    connect(w.ChkHexReceive, &QCheckBox::stateChanged, this, &WindowExtras::applyProtocol);
    // The RTU silence follows the port's line.
    for (QComboBox* box : { w.CboBaudrate, w.CboParitybit, w.CboDatabit, w.CboStopbit })
        connect(box, &QComboBox::activated, this, &WindowExtras::applyProtocol);
    connect(w.CmdSwitch, &QPushButton::clicked, this, &WindowExtras::applyProtocol);
    auto* zoom = new BoxZoom(
        { w.TxtReceive, w.TxtSend }, [this](int points) { remember(&Options::fontPoints, points); },
        this);
    zoom->setPoints(m_options.fontPoints);

    // The log hears every byte of every receive event, whatever the display makes of it.
    connect(w.MSComm, &SerialComponent::onComm, &m_log,
        [this](int commEvent, const QByteArray& received) {
            if (commEvent == SerialComponent::EventReceive)
                m_log.append(received);
            else if (commEvent == SerialComponent::EventDeviceLost)
                m_log.flush();
        });
    // Told after the receive event that hit the failure has finished.
    connect(
        &m_log, &CaptureLog::failed, this,
        [this](const QString& message) { w.showMessage({ message }); }, Qt::QueuedConnection);
    w.TxtReceive->setExtraItems([this](QMenu* menu) { receiveItems(menu); });
    w.TxtStatus->installEventFilter(this);
    w.CmdSend->installEventFilter(this);

    w.Frame1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w.Frame1, &QWidget::customContextMenuRequested, this, &WindowExtras::lineMenu);
    w.TxtSend->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w.TxtSend, &QWidget::customContextMenuRequested, this, &WindowExtras::sendMenu);
    m_commandItems = buildWindowCommands(w, m_options, [this] { saveOptions(); });
    m_transfer = new WindowTransfer(w);
    m_lines = new WindowLines(w, m_options, [this] { saveOptions(); });
}

void WindowExtras::applyStartOptions(const StartOptions& options)
{
    if (!options.com.isEmpty() || !options.settings.isEmpty()) {
        const Conversion<SelectionTexts> boxes = startSelection(options, w.selectionTexts());
        if (boxes) {
            const auto show = [](QComboBox* box, const QString& text) {
                if (const int index = box->findText(text); index >= 0)
                    box->setCurrentIndex(index);
                box->setEditText(text);
            };
            show(w.CboCom, boxes->port);
            show(w.CboBaudrate, boxes->baud);
            show(w.CboParitybit, boxes->parity);
            show(w.CboDatabit, boxes->dataBits);
            show(w.CboStopbit, boxes->stopBits);
        } else {
            w.showMessage({ boxes.refusal });
        }
    }
    if (!options.logFile.isEmpty())
        startLog(options.logFile);
}

bool WindowExtras::startLog(const QString& path)
{
    const bool started = m_log.start(path);
    if (!started)
        w.showMessage({ m_log.errorMessage() });
    return started;
}

void WindowExtras::receiveItems(QMenu* menu)
{
    connect(menu->addAction(QStringLiteral("记录到文件…")), &QAction::triggered, this, [this] {
        const QString path
            = w.m_platform.dialogs->saveFile(&w, QStringLiteral("记录到文件"), m_options.logFolder);
        if (path.isEmpty())
            return;
        // A log that --log starts is for that run only, as the other start-up options are.
        if (startLog(path))
            remember(&Options::logFolder, QFileInfo(path).absolutePath());
    });
    if (m_log.isRunning())
        connect(menu->addAction(QStringLiteral("停止记录")), &QAction::triggered, &m_log,
            &CaptureLog::stop);
    protocolItems(menu);
    addEncodings(menu);
    QAction* plot = plotAction(*w.MSComm, *w.m_platform.dialogs, w);
    plot->setParent(menu);
    menu->addAction(plot);
}

void WindowExtras::protocolItems(QMenu* menu)
{
    QAction* stamps = addCheckable(menu, QStringLiteral("时间戳"), m_options.timestamps);
    connect(stamps, &QAction::toggled, this, [this](bool on) {
        remember(&Options::timestamps, on);
        applyProtocol();
    });
    QMenu* frames = menu->addMenu(QStringLiteral("分帧"));
    showFramesTip(frames);
    auto* group = new QActionGroup(frames);
    QList<int> choices { 0 };
    for (const int ms : ProtocolFormatter::frameChoices)
        choices << ms;
    for (const int ms : std::as_const(choices)) {
        QAction* action = addCheckable(frames,
            ms ? QStringLiteral("%1 ms").arg(ms) : QStringLiteral("关"), m_options.frameMs == ms);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, ms] {
            remember(&Options::frameMs, ms);
            applyProtocol();
        });
    }
    // The text display has no frames to show as characters.
    QAction* chars = addCheckable(menu, QStringLiteral("十六进制附字符"), m_options.hexChars,
        MainWindow::ticked(w.ChkHexReceive));
    connect(chars, &QAction::toggled, this, [this](bool on) {
        remember(&Options::hexChars, on);
        applyProtocol();
    });
    QAction* sent = addCheckable(menu, QStringLiteral("显示发送"), m_options.showSent);
    connect(sent, &QAction::toggled, this, [this](bool on) {
        remember(&Options::showSent, on);
        applyProtocol();
    });
    decodeItems(menu);
}

// 协议解析
void WindowExtras::decodeItems(QMenu* menu)
{
    QMenu* decode = menu->addMenu(QStringLiteral("协议解析"));
    auto* group = new QActionGroup(decode);
    const struct {
        const char* text;
        Modbus::Mode mode;
    } modes[] = { { "无", Modbus::Mode::Off }, { "Modbus RTU", Modbus::Mode::Rtu },
        { "Modbus ASCII", Modbus::Mode::Ascii } };
    for (const auto& choice : modes) {
        QAction* action
            = addCheckable(decode, QString::fromUtf8(choice.text), m_options.decode == choice.mode);
        group->addAction(action);
        const Modbus::Mode mode = choice.mode;
        connect(action, &QAction::triggered, this, [this, mode] {
            remember(&Options::decode, mode);
            applyProtocol();
        });
    }
}

void WindowExtras::addEncodings(QMenu* menu)
{
    addEncodingMenu(
        menu, *w.MSComm, m_options.encoding.toLatin1(), [this](const QByteArray& choice) {
            remember(&Options::encoding, QString::fromLatin1(choice));
        });
}

void WindowExtras::applyProtocol()
{
    ProtocolFormatter& protocol = w.m_receive.protocol();
    const std::optional<LineSettings> line = lineSettings(w.MSComm->settings());
    protocol.setChoices({ m_options.timestamps, m_options.frameMs, m_options.hexChars,
        m_options.showSent, m_options.decode, Modbus::rtuGapNs(line.value_or(LineSettings())) });
    w.MSComm->needTiming(
        SerialComponent::ProtocolView, protocol.active(MainWindow::ticked(w.ChkHexReceive)));
}

// Worked out as the item is pointed at: COMn may be another device by then.
void WindowExtras::showFramesTip(QMenu* frames)
{
    const SerialComponent& port = *w.MSComm;
    const std::optional<int> ms = adapterLatencyMs(
        (port.portOpen() ? port.openedDevice() : port.locate(port.settings().port)).path);
    const QString tip = ms
        ? QStringLiteral("此适配器每 %1 ms 送一次数据，短于此的间隔看不出").arg(*ms)
        : QStringLiteral("USB 转串口适配器成批送来收到的字节（常为每 16 ms 一次），短于约 20 ms "
                         "的间隔分出的是适配器的节奏，而不是设备的。");
    frames->menuAction()->setToolTip(tip);
    frames->setToolTip(tip);
}

template <typename T> void WindowExtras::remember(T Options::*choice, const T& value)
{
    if (m_options.*choice == value)
        return;
    m_options.*choice = value;
    saveOptions();
}

void WindowExtras::saveOptions()
{
    const QString path = w.m_platform.optionsFile;
    if (!path.isEmpty() && !m_options.save(path) && !std::exchange(m_saveFailed, true))
        std::fprintf(stderr, "portlark: 设置无法保存到 %s\n", qPrintable(path));
}

QStringList WindowExtras::sendChoices() const
{
    QStringList lines;
    if (m_options.lineEnding != LineEnding::None)
        lines << QStringLiteral("发送结尾：%1").arg(lineEndingName(m_options.lineEnding));
    if (!m_options.encoding.isEmpty())
        lines << QStringLiteral("字符编码：%1").arg(m_options.encoding);
    return lines;
}

// The tooltips of the status line and the send button, a line for each thing that applies: why
// the last open failed, the device the port waits for, that a raw TCP port's settings are the
// server's, the running log (the status line only); an ending or an encoding other than the
// default, remembered from an earlier run perhaps. Worked out as one is about to show: the log's
// size changes with every arrival.
bool WindowExtras::eventFilter(QObject* watched, QEvent* event)
{
    // Only the two are watched. They also report other events here while the window is torn
    // down, when nothing of the window may be touched; a tooltip only comes from a hover.
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    QStringList lines;
    if (watched == w.TxtStatus) {
        lines << w.m_port.lastFailure() << w.m_port.waitingText() << w.MSComm->rs485Problem()
              << rawTcpNote(w.MSComm->openedDevice().path);
        if (m_log.isRunning())
            lines << QStringLiteral("正在记录到文件：%1（%2 字节）")
                         .arg(QDir::toNativeSeparators(m_log.fileName()))
                         .arg(m_log.size());
    }
    lines << sendChoices();
    lines.removeAll(QString());
    static_cast<QWidget*>(watched)->setToolTip(lines.join(QLatin1Char('\n')));
    return QObject::eventFilter(watched, event);
}

// While the port is closed every choice is open, for the next opening; on an open port what it
// cannot do is shown disabled.
void WindowExtras::lineMenu(const QPoint& pos)
{
    SerialComponent* port = w.MSComm;
    const bool open = port->portOpen();
    const SerialBackend::LineControls can = port->lineControls();
    const auto allowed
        = [&](SerialBackend::LineControl control) { return !open || can.testFlag(control); };

    auto* menu = new QMenu(w.Frame1);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* dtr = addCheckable(
        menu, QStringLiteral("DTR"), port->dataTerminalReady(), allowed(SerialBackend::Dtr));
    connect(dtr, &QAction::triggered, this, [this, port](bool on) {
        port->setLines(on, port->requestToSend());
        remember(&Options::dtr, on);
    });
    // Under RTS/CTS the driver drives RTS.
    QAction* rts = addCheckable(menu, QStringLiteral("RTS"), port->requestToSend(),
        allowed(SerialBackend::Rts) && port->flowControl() != FlowControl::Hardware);
    connect(rts, &QAction::triggered, this, [this, port](bool on) {
        port->setLines(port->dataTerminalReady(), on);
        remember(&Options::rts, on);
    });

    QMenu* flowMenu = menu->addMenu(QStringLiteral("流控制"));
    auto* group = new QActionGroup(flowMenu);
    const struct {
        const char* text;
        FlowControl flow;
        bool enabled;
    } flows[] = {
        { "无", FlowControl::None, true },
        { "RTS/CTS", FlowControl::Hardware, allowed(SerialBackend::HardwareFlow) },
        { "XON/XOFF", FlowControl::Software, allowed(SerialBackend::SoftwareFlow) },
    };
    for (const auto& choice : flows) {
        QAction* action = addCheckable(flowMenu, QString::fromUtf8(choice.text),
            port->flowControl() == choice.flow, choice.enabled);
        group->addAction(action);
        const FlowControl flow = choice.flow;
        connect(action, &QAction::triggered, this, [this, port, flow] {
            port->setFlowControl(flow);
            remember(&Options::flow, flow);
        });
    }

    m_lines->addRs485(menu);

    menu->addSeparator();
    QAction* breakAction = menu->addAction(QStringLiteral("发送 Break"));
    breakAction->setEnabled(open && can.testFlag(SerialBackend::Break));
    connect(breakAction, &QAction::triggered, port, &SerialComponent::sendBreak);
    m_lines->addLineState(menu);
    connect(menu->addAction(QStringLiteral("远程串口…")), &QAction::triggered, this, [this, port] {
        auto* dialog = new RemotePortDialog(
            port->settings().port, [port](int n) { return port->locate(n); }, &w);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    menu->popup(w.Frame1->mapToGlobal(pos));
}

void WindowExtras::sendMenu(const QPoint& pos)
{
    QMenu* menu = w.TxtSend->createStandardContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    QMenu* checks = menu->addMenu(QStringLiteral("追加校验"));
    // The check is of the bytes a hexadecimal send would write; text has none to check.
    checks->menuAction()->setEnabled(MainWindow::ticked(w.ChkHexSend));
    const struct {
        const char* text;
        CheckBytes::Kind kind;
    } kinds[] = {
        { "Modbus CRC-16", CheckBytes::Kind::ModbusCrc16 },
        { "CRC-16/CCITT-FALSE", CheckBytes::Kind::CcittFalse },
        { "累加和 (8 位)", CheckBytes::Kind::Sum8 },
        { "异或 (8 位)", CheckBytes::Kind::Xor8 },
    };
    for (const auto& choice : kinds) {
        const CheckBytes::Kind kind = choice.kind;
        connect(checks->addAction(QString::fromUtf8(choice.text)), &QAction::triggered, this,
            [this, kind] { appendCheck(kind); });
    }
    m_commandItems(menu);
    m_transfer->addToSendMenu(menu);
    addEncodings(menu);
    menu->popup(w.TxtSend->viewport()->mapToGlobal(pos));
}

// One edit, so that undo gives the frame back.
void WindowExtras::appendCheck(CheckBytes::Kind kind)
{
    const CheckBytes::Appended appended = CheckBytes::appendedTo(w.sendBoxText(), kind);
    if (appended.text.isNull()) {
        w.showMessage({ appended.refusal });
        return;
    }
    QTextCursor cursor(w.TxtSend->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(appended.text);
}
