// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// What the send box gains without any control moving: its history (the menu, Ctrl+Up and
// Ctrl+Down), the ending added to its text sends, Ctrl+Enter to send, and the 快捷发送 window with
// its stored commands. The history and the list are kept as JSON beside the options file; with no
// options file nothing is kept.
#include "app/window_commands.h"

#include "app/commandwindow.h"
#include "app/mainwindow.h"
#include "app/options.h"
#include "port/serialcomponent.h"
#include "send/commandsequence.h"
#include "send/replywatch.h"
#include "send/sendhistory.h"
#include "view/receiveview.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSaveFile>
#include <QShortcut>
#include <QTextCursor>
#include <QTimer>

#include <cstdio>

class WindowCommands : public QObject {
public:
    WindowCommands(MainWindow& window, Options& options, std::function<void()> saveOptions);
    ~WindowCommands() override;
    void addToSendMenu(QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void putInBox(const SendHistory::Entry& entry);
    void openWindow();
    void sendRow(int row);
    void runSequence(bool start);
    void importList();
    void exportList();
    void exportReport();
    void answer(bool on);
    // The expectation's verdict in the row and, with 显示发送, after the reply in the display.
    void showVerdict(int row, const Verdict& verdict);
    // A row's content that a send would refuse or cut short: false when the user does not go on.
    bool confirm(const Command& command);
    // Reads a kept file; one that does not read is renamed aside, and said so, never overwritten.
    void readKept(const QString& path, const std::function<QString(const QByteArray&)>& read);
    // The history and the list; the options too when `withOptions`, which only the event loop
    // may ask: while the window is torn down the options' owner may be gone. The folder is made
    // when missing: on a fresh system nothing else may have made it yet.
    void saveKept(bool withOptions = true);

    MainWindow& w;
    Options& m_options;
    std::function<void()> m_saveOptions;
    QString m_historyPath; // empty: nothing kept
    QString m_commandsPath;
    SendHistory m_history;
    QList<Command> m_commands;
    CommandExtras m_extras;
    CommandSequence m_sequence;
    ReplyWatch m_watch;
    QPointer<CommandWindow> m_window;
    QTimer m_saveLater; // a sequence changes the history every few milliseconds
    // What the files hold, as far as this run knows: an unchanged list is not written again.
    QByteArray m_historyKept;
    QByteArray m_commandsKept;
    bool m_geometryMoved = false;
    QStringList m_unwritable; // said once each on standard error
};

std::function<void(QMenu*)> buildWindowCommands(
    MainWindow& window, Options& options, std::function<void()> saveOptions)
{
    auto* commands = new WindowCommands(window, options, std::move(saveOptions));
    return [commands](QMenu* menu) { commands->addToSendMenu(menu); };
}

WindowCommands::WindowCommands(
    MainWindow& window, Options& options, std::function<void()> saveOptions)
    : QObject(&window)
    , w(window)
    , m_options(options)
    , m_saveOptions(std::move(saveOptions))
    , m_sequence(window.m_send, *window.MSComm)
    , m_watch(window.m_send, *window.MSComm)
{
    if (const QString path = w.m_platform.optionsFile; !path.isEmpty()) {
        const QString folder = QFileInfo(path).absolutePath();
        m_historyPath = folder + QStringLiteral("/history.json");
        m_commandsPath = folder + QStringLiteral("/commands.json");
    }
    readKept(m_historyPath, [this](const QByteArray& json) {
        SendHistory::Read read = SendHistory::fromJson(json);
        m_history = read.history;
        return read.problem;
    });
    readKept(m_commandsPath, [this](const QByteArray& json) {
        CommandList::Read read = CommandList::read(json);
        m_commands = read.commands;
        m_extras = read.extras;
        return read.problem;
    });
    m_historyKept = m_history.toJson();
    m_commandsKept = CommandList::write(m_commands, m_extras);
    m_watch.setFramesSource([this] {
        const ProtocolFormatter::Choices& view = w.m_receive.protocol().choices();
        return ReplyWatch::Frames { view.decode, view.rtuGapNs, view.frameMs };
    });
    m_watch.setAnswers(m_extras.answers, m_extras.registers);
    m_sequence.setWatch(&m_watch);
    connect(&m_watch, &ReplyWatch::checked, this, &WindowCommands::showVerdict);
    connect(&m_sequence, &CommandSequence::checked, this, [this] {
        if (m_window)
            m_window->showTallies(m_sequence.tallies());
    });
    w.m_send.setHistory(&m_history);
    w.m_send.setLineEnding(m_options.lineEnding);
    w.TxtSend->installEventFilter(this);
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F8), &w);
    connect(shortcut, &QShortcut::activated, this, &WindowCommands::openWindow);

    m_saveLater.setSingleShot(true);
    m_saveLater.setInterval(1000);
    connect(&m_saveLater, &QTimer::timeout, this, [this] { saveKept(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { saveKept(); });
    connect(&m_sequence, &CommandSequence::stepped, this, [this](int row, bool waiting) {
        if (row >= 0 && !waiting) {
            const Command& command = m_sequence.commands()[row];
            m_history.add({ command.content, command.hex });
        }
        if (m_window) {
            m_window->showSequence(row, waiting);
            m_window->showTallies(m_sequence.tallies());
        }
        if (!m_saveLater.isActive())
            m_saveLater.start();
    });
}

WindowCommands::~WindowCommands() { saveKept(false); }

void WindowCommands::readKept(
    const QString& path, const std::function<QString(const QByteArray&)>& read)
{
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return;
    const QString problem
        = file.open(QIODevice::ReadOnly) ? read(file.readAll()) : file.errorString();
    file.close();
    if (problem.isEmpty())
        return;
    const QString aside = path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    if (QFile::rename(path, aside)) {
        std::fprintf(stderr, "portlark: %s 无法读取（%s），已改名为 %s\n", qPrintable(path),
            qPrintable(problem), qPrintable(aside));
    } else {
        // Left where it is and not written over: what the user had there stays.
        std::fprintf(stderr, "portlark: %s 无法读取（%s），本次运行不会保存它\n", qPrintable(path),
            qPrintable(problem));
        if (path == m_historyPath)
            m_historyPath.clear();
        else
            m_commandsPath.clear();
    }
}

void WindowCommands::saveKept(bool withOptions)
{
    m_saveLater.stop();
    if (withOptions && std::exchange(m_geometryMoved, false))
        m_saveOptions();
    // A failed write keeps the earlier file whole; the next change tries again.
    const auto keep = [this](const QString& path, const QByteArray& json, QByteArray& kept) {
        if (path.isEmpty() || json == kept)
            return;
        const QString folder = QFileInfo(path).absolutePath();
        QSaveFile file(path);
        QString problem;
        if (!QDir().mkpath(folder))
            problem = QStringLiteral("无法创建文件夹 %1").arg(folder);
        else if (file.open(QIODevice::WriteOnly) && file.write(json) >= 0 && file.commit())
            kept = json;
        else
            problem = file.errorString();
        if (!problem.isEmpty() && !m_unwritable.contains(path)) {
            m_unwritable << path;
            std::fprintf(
                stderr, "portlark: 无法保存到 %s（%s）\n", qPrintable(path), qPrintable(problem));
        }
    };
    keep(m_historyPath, m_history.toJson(), m_historyKept);
    keep(m_commandsPath, CommandList::write(m_commands, m_extras), m_commandsKept);
}

bool WindowCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // The keypad's Enter comes with the keypad modifier.
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return QObject::eventFilter(watched, event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        w.CmdSend_Click();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // With no history the keys are the box's own.
        if (m_history.isEmpty())
            return QObject::eventFilter(watched, event);
        const SendHistory::Entry shown { w.sendBoxText(), MainWindow::ticked(w.ChkHexSend) };
        const auto entry
            = key->key() == Qt::Key_Up ? m_history.older(shown) : m_history.newer(shown);
        if (entry)
            putInBox(*entry);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

// One edit, so that undo gives the earlier text back.
void WindowCommands::putInBox(const SendHistory::Entry& entry)
{
    QTextCursor cursor(w.TxtSend->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(SendHistory::boxText(entry));
    w.ChkHexSend->setChecked(entry.hex);
}

void WindowCommands::addToSendMenu(QMenu* menu)
{
    QMenu* history = menu->addMenu(QStringLiteral("发送历史"));
    const QList<SendHistory::Entry> shown = m_history.shown();
    for (const SendHistory::Entry& entry : shown) {
        connect(history->addAction(SendHistory::menuText(entry)), &QAction::triggered, this,
            [this, entry] { putInBox(entry); });
    }
    history->addSeparator();
    QAction* clear = history->addAction(QStringLiteral("清除历史"));
    clear->setEnabled(!shown.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        m_history.clear();
        saveKept();
    });

    QAction* open = menu->addAction(QStringLiteral("快捷发送…"));
    open->setShortcut(QKeySequence(Qt::Key_F8));
    connect(open, &QAction::triggered, this, &WindowCommands::openWindow);

    QMenu* endings = menu->addMenu(QStringLiteral("追加结尾"));
    endings->setToolTipsVisible(true);
    endings->menuAction()->setToolTip(QStringLiteral("加在发送框的每次文本发送之后，包括自动发送；"
                                                     "十六进制发送不加"));
    auto* group = new QActionGroup(endings);
    for (int i = 0; i < 4; ++i) {
        QAction* action = endings->addAction(lineEndingName(LineEnding(i)));
        action->setCheckable(true);
        action->setChecked(int(m_options.lineEnding) == i);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] {
            m_options.lineEnding = LineEnding(i);
            w.m_send.setLineEnding(m_options.lineEnding);
            m_saveOptions();
        });
    }
}

void WindowCommands::openWindow()
{
    if (!m_window) {
        m_window = new CommandWindow(&w);
        m_window->setCommands(m_commands);
        m_window->setExtras(m_extras);
        m_window->showAnswering(m_watch.isAnswering());
        m_window->showTallies(m_sequence.tallies());
        if (!m_options.commandsGeometry.isEmpty())
            m_window->setGeometry(m_options.commandsGeometry);
        connect(m_window, &CommandWindow::edited, this, [this] {
            m_commands = m_window->commands();
            m_extras = m_window->extras();
            m_watch.setAnswers(m_extras.answers, m_extras.registers);
            m_saveLater.start();
        });
        connect(m_window, &CommandWindow::reportAsked, this, &WindowCommands::exportReport);
        connect(m_window, &CommandWindow::answeringAsked, this, &WindowCommands::answer);
        connect(m_window, &CommandWindow::sendRow, this, &WindowCommands::sendRow);
        connect(m_window, &CommandWindow::sequenceAsked, this, &WindowCommands::runSequence);
        connect(m_window, &CommandWindow::importAsked, this, &WindowCommands::importList);
        connect(m_window, &CommandWindow::exportAsked, this, &WindowCommands::exportList);
        // Hidden also as the program ends; saved from the event loop or as it quits.
        connect(m_window, &CommandWindow::hidden, this, [this](const QRect& geometry) {
            if (m_options.commandsGeometry != geometry) {
                m_options.commandsGeometry = geometry;
                m_geometryMoved = true;
                m_saveLater.start();
            }
        });
        m_window->showSequence(m_sequence.currentRow(), m_sequence.isWaiting());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool WindowCommands::confirm(const Command& command)
{
    const Message problem = CommandList::problemOf(command);
    if (problem.isNull())
        return true;
    const Dialogs::Answer answer = w.showMessage(problem);
    return problem.offerCancel && answer == Dialogs::Answer::Ok;
}

void WindowCommands::sendRow(int row)
{
    if (row < 0 || row >= m_commands.size())
        return;
    const Command command = m_commands[row];
    if (!w.MSComm->portOpen()) {
        w.showMessage(SendMessages::portClosed());
        return;
    }
    if (!confirm(command))
        return;
    const Message refused = w.m_send.send(command.content, command.hex, command.ending);
    if (!refused.isNull()) {
        w.showMessage(refused);
        return;
    }
    if (command.expect.kind != ReplyPattern::Kind::None && !m_sequence.isRunning()) {
        if (m_window)
            m_window->showVerdict(row, QStringLiteral("等待…"));
        m_watch.expect(row, command);
    }
}

void WindowCommands::showVerdict(int row, const Verdict& verdict)
{
    const QList<Command>& commands = m_sequence.isRunning() ? m_sequence.commands() : m_commands;
    if (row < 0 || row >= commands.size())
        return;
    const bool asText = commands[row].expect.kind == ReplyPattern::Kind::Text;
    const QString text = verdict.text(asText, w.MSComm->textCodePage());
    if (m_window)
        m_window->showVerdict(row, text);
    if (w.m_receive.protocol().choices().showSent)
        w.showArrival(w.m_receive.note(QStringLiteral("第 %1 条期望回复 %2").arg(row + 1).arg(text),
            MainWindow::ticked(w.ChkHexReceive), w.moment(w.m_platform.clock->steadyNs())));
}

void WindowCommands::answer(bool on)
{
    if (on) {
        for (const AutoAnswer& each : std::as_const(m_extras.answers)) {
            if (const QString why = each.when.problem(); each.enabled && !why.isEmpty()) {
                w.showMessage({ why });
                m_window->showAnswering(false);
                return;
            }
        }
    }
    m_watch.setAnswering(on);
}

void WindowCommands::exportReport()
{
    if (m_sequence.tallies().isEmpty()) {
        w.showMessage({ QStringLiteral("还没有循环发送的统计可以导出") });
        return;
    }
    const QString path = w.m_platform.dialogs->saveFile(m_window, QStringLiteral("导出报告"),
        m_commandsPath.isEmpty() ? QString() : QFileInfo(m_commandsPath).absolutePath());
    if (path.isEmpty())
        return;
    if (const QString problem = m_sequence.tallies().writeReports(path); !problem.isEmpty())
        w.showMessage({ problem });
}

void WindowCommands::runSequence(bool start)
{
    if (!start) {
        m_sequence.stop();
        return;
    }
    if (!w.MSComm->portOpen()) {
        w.showMessage(SendMessages::portClosed());
        return;
    }
    bool any = false;
    for (const Command& command : std::as_const(m_commands)) {
        if (!command.inSequence)
            continue;
        any = true;
        if (!confirm(command))
            return;
    }
    if (!any) {
        w.showMessage({ QStringLiteral("没有勾选要循环发送的命令") });
        return;
    }
    m_watch.cancel();
    m_sequence.start(m_commands, m_extras.stopAtFailure);
}

void WindowCommands::importList()
{
    const QString path
        = w.m_platform.dialogs->openFile(m_window, QStringLiteral("命令列表（*.json）(*.json)"));
    if (path.isEmpty())
        return;
    const CommandList::Read read = CommandList::readFile(path);
    if (!read.problem.isEmpty()) {
        w.showMessage({ QStringLiteral("无法导入 %1：%2").arg(path, read.problem) });
        return;
    }
    if (!m_commands.isEmpty()
        && w.showMessage(CommandList::replaceQuestion(m_commands.size(), read.commands.size()))
            != Dialogs::Answer::Ok)
        return;
    m_sequence.stop();
    m_commands = read.commands;
    m_extras = read.extras;
    m_window->setCommands(m_commands);
    m_window->setExtras(m_extras);
    m_watch.setAnswers(m_extras.answers, m_extras.registers);
    saveKept();
}

void WindowCommands::exportList()
{
    const QString path = w.m_platform.dialogs->saveFile(m_window, QStringLiteral("导出命令列表"),
        m_commandsPath.isEmpty() ? QString() : QFileInfo(m_commandsPath).absolutePath());
    if (path.isEmpty())
        return;
    if (const QString problem = CommandList::writeFile(path, m_commands, m_extras);
        !problem.isEmpty())
        w.showMessage({ problem });
}
