// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/commandwindow.h"

#include "send/tallies.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

namespace {
QTableWidgetItem* checkItem(bool checked)
{
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

QSpinBox* spinBox(int lowest, int highest, int value)
{
    auto* box = new QSpinBox;
    box->setRange(lowest, highest);
    box->setValue(value);
    return box;
}
} // namespace

// The sequence's state, shown at once and told to a screen reader as a status bar's words at most
// once a second: a loop of short delays moves several rows a second, and a reader that spoke each
// would never be done. Its accessible name is never empty, so the label's own changes stay silent.
class SequenceStatus : public QLabel {
public:
    static constexpr int tellEveryMs = 1000;

    explicit SequenceStatus(QWidget* parent)
        : QLabel(parent)
    {
        static const bool installed = [] {
            QAccessible::installFactory(
                [](const QString&, QObject* object) -> QAccessibleInterface* {
                    if (auto* status = dynamic_cast<SequenceStatus*>(object))
                        return new QAccessibleWidget(status, QAccessible::StatusBar);
                    return nullptr;
                });
            return true;
        }();
        Q_UNUSED(installed);
        setAccessibleName(stopped());
        m_later.setSingleShot(true);
        m_later.setTimerType(Qt::PreciseTimer);
        connect(&m_later, &QTimer::timeout, this, &SequenceStatus::tell);
    }

    void showState(const QString& text)
    {
        setText(text);
        if (!m_told.isValid() || m_told.elapsed() >= tellEveryMs)
            tell();
        else if (!m_later.isActive())
            m_later.start(int(tellEveryMs - m_told.elapsed()));
    }

private:
    static QString stopped() { return QStringLiteral("没有在循环发送"); }
    void tell()
    {
        const QString words = text().isEmpty() ? stopped() : text();
        if (words == accessibleName())
            return;
        m_told.start();
        setAccessibleName(words); // which tells a reader that listens
    }

    QElapsedTimer m_told;
    QTimer m_later;
};

CommandWindow::CommandWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_table(new QTableWidget(0, Columns, this))
    , m_tallies(new QTableWidget(0, 9, this))
    , m_answers(new QTableWidget(0, AnswerColumns, this))
    , m_registers(new QTableWidget(0, 2, this))
    , m_stopAtFailure(new QCheckBox(QStringLiteral("失败即停"), this))
    , m_answering(new QCheckBox(QStringLiteral("启用自动应答"), this))
    , m_sequence(new QPushButton(QStringLiteral("循环发送"), this))
    , m_state(new SequenceStatus(this))
{
    setObjectName(QStringLiteral("FrmCommands"));
    setWindowTitle(QStringLiteral("快捷发送"));
    m_table->setObjectName(QStringLiteral("TblCommands"));
    m_table->setAccessibleName(QStringLiteral("快捷发送列表"));
    m_table->setHorizontalHeaderLabels({ QStringLiteral("名称"), QStringLiteral("内容"),
        QStringLiteral("十六进制"), QStringLiteral("结尾"), QStringLiteral("延时 (ms)"),
        QStringLiteral("期望回复"), QStringLiteral("期望内容"), QStringLiteral("正则"),
        QStringLiteral("超时 (ms)"), QStringLiteral("重试"), QString(), QStringLiteral("结果") });
    m_table->horizontalHeaderItem(Pattern)->setToolTip(QStringLiteral(
        "十六进制：?? 代表任一字节；文本：收到的帧含有此文本，勾选正则则按正则表达式匹配"));
    m_table->horizontalHeaderItem(Name)->setToolTip(QStringLiteral("勾选的命令参加循环发送"));
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(Content, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(Result, QHeaderView::Stretch);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sequence->setObjectName(QStringLiteral("CmdSequence"));
    m_sequence->setCheckable(true);
    m_state->setObjectName(QStringLiteral("LblSequence"));

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, auto handler) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
    };
    button("CmdAddCommand", QStringLiteral("添加"), [this] {
        addRow({});
        m_table->selectRow(m_table->rowCount() - 1);
        Q_EMIT edited();
    });
    button("CmdRemoveCommand", QStringLiteral("删除"), [this] {
        if (const int row = m_table->currentRow(); row >= 0) {
            m_table->removeRow(row);
            for (int below = row; below < m_table->rowCount(); ++below)
                nameRow(below);
            Q_EMIT edited();
        }
    });
    button("CmdMoveUp", QStringLiteral("上移"), [this] { moveRow(-1); });
    button("CmdMoveDown", QStringLiteral("下移"), [this] { moveRow(1); });
    buttons->addStretch();
    m_stopAtFailure->setObjectName(QStringLiteral("ChkStopAtFailure"));
    m_stopAtFailure->setToolTip(QStringLiteral("循环发送在第一条失败或超时的命令处停下"));
    connect(m_stopAtFailure, &QCheckBox::toggled, this, [this] {
        if (!m_filling)
            Q_EMIT edited();
    });
    buttons->addWidget(m_stopAtFailure);
    buttons->addWidget(m_sequence);
    button("CmdReport", QStringLiteral("导出报告…"), [this] { Q_EMIT reportAsked(); });
    button("CmdImport", QStringLiteral("导入…"), [this] { Q_EMIT importAsked(); });
    button("CmdExport", QStringLiteral("导出…"), [this] { Q_EMIT exportAsked(); });
    // Toggled, not clicked: a screen reader's Toggle action toggles without a click.
    connect(m_sequence, &QPushButton::toggled, this, [this](bool on) {
        if (m_showingSequence)
            return;
        // Shown as the sequence's state, not the click's.
        const bool showing = std::exchange(m_showingSequence, true);
        m_sequence->setChecked(!on);
        m_showingSequence = showing;
        Q_EMIT sequenceAsked(on);
    });
    connect(m_table, &QTableWidget::itemChanged, this, [this] {
        if (!m_filling)
            Q_EMIT edited();
    });

    m_tallies->setObjectName(QStringLiteral("TblTallies"));
    m_tallies->setAccessibleName(QStringLiteral("循环发送统计"));
    m_tallies->setHorizontalHeaderLabels(
        { QStringLiteral("命令"), QStringLiteral("发送"), QStringLiteral("通过"),
            QStringLiteral("失败"), QStringLiteral("超时"), QStringLiteral("最短 (ms)"),
            QStringLiteral("中位 (ms)"), QStringLiteral("P95 (ms)"), QStringLiteral("最长 (ms)") });
    m_tallies->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tallies->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tallies->verticalHeader()->hide();
    m_tallies->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_tallies->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tallies->setMaximumHeight(150);
    m_tallies->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 3);
    layout->addLayout(buttons);
    layout->addWidget(m_state);
    layout->addWidget(m_tallies);
    layout->addWidget(buildAnswers(), 2);
    resize(1000, 620);
    // Narrower than its rows of buttons, if the user wants: the table scrolls.
    setMinimumSize(320, 240);
}

QWidget* CommandWindow::buildAnswers()
{
    auto* box = new QWidget(this);
    m_answers->setObjectName(QStringLiteral("TblAnswers"));
    m_answers->setAccessibleName(QStringLiteral("自动应答列表"));
    m_answers->setHorizontalHeaderLabels(
        { QStringLiteral("收到"), QStringLiteral("方式"), QStringLiteral("正则"),
            QStringLiteral("应答"), QStringLiteral("应答方式"), QStringLiteral("延时 (ms)") });
    m_answers->horizontalHeaderItem(When)->setToolTip(
        QStringLiteral("勾选的行才应答；Modbus 请求：填从站地址只应答它，空着应答任何从站"));
    m_answers->horizontalHeaderItem(Reply)->setToolTip(
        QStringLiteral("文本里 \\r、\\n 代表 CR、LF；读寄存器按右边的寄存器表应答 03、04 请求"));
    m_answers->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_answers->horizontalHeader()->setSectionResizeMode(When, QHeaderView::Stretch);
    m_answers->horizontalHeader()->setSectionResizeMode(Reply, QHeaderView::Stretch);
    m_answers->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_answers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_registers->setObjectName(QStringLiteral("TblRegisters"));
    m_registers->setAccessibleName(QStringLiteral("寄存器表"));
    m_registers->setHorizontalHeaderLabels({ QStringLiteral("地址"), QStringLiteral("值") });
    m_registers->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_registers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_registers->setMaximumWidth(220);
    m_answering->setObjectName(QStringLiteral("ChkAnswering"));
    connect(m_answering, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling)
            Q_EMIT answeringAsked(on);
    });
    connect(m_answers, &QTableWidget::itemChanged, this, [this] {
        if (!m_filling)
            Q_EMIT edited();
    });

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, auto handler) {
        auto* b = new QPushButton(text, box);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
    };
    buttons->addWidget(m_answering);
    buttons->addStretch();
    button("CmdAddAnswer", QStringLiteral("添加应答"), [this] {
        addAnswer({});
        Q_EMIT edited();
    });
    button("CmdRemoveAnswer", QStringLiteral("删除应答"), [this] {
        if (const int row = m_answers->currentRow(); row >= 0) {
            m_answers->removeRow(row);
            Q_EMIT edited();
        }
    });
    button("CmdAddRegister", QStringLiteral("添加寄存器"), [this] {
        const CommandExtras now = extras();
        addRegister(now.registers.isEmpty() ? 0 : quint16(now.registers.lastKey() + 1), 0);
        Q_EMIT edited();
    });
    button("CmdRemoveRegister", QStringLiteral("删除寄存器"), [this] {
        if (const int row = m_registers->currentRow(); row >= 0) {
            m_registers->removeRow(row);
            Q_EMIT edited();
        }
    });
    auto* tables = new QHBoxLayout;
    tables->addWidget(m_answers);
    tables->addWidget(m_registers);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("自动应答：收到匹配的帧时发出应答"), box));
    layout->addLayout(tables);
    layout->addLayout(buttons);
    return box;
}

QWidget* CommandWindow::comboCell(const QStringList& items, int current, const QString& tip)
{
    auto* cell = new QWidget;
    auto* combo = new QComboBox(cell);
    combo->addItems(items);
    combo->setCurrentIndex(current);
    combo->setToolTip(tip);
    connect(combo, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            Q_EMIT edited();
    });
    auto* words = new QLabel(cell);
    words->hide();
    words->setBuddy(combo);
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(combo);
    return cell;
}

QComboBox* CommandWindow::comboOf(QWidget* cell)
{
    return cell->findChild<QComboBox*>(QString(), Qt::FindDirectChildrenOnly);
}

void CommandWindow::nameCombo(QWidget* cell, const QString& words)
{
    cell->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly)->setText(words);
}

void CommandWindow::addAnswer(const AutoAnswer& answer)
{
    const bool filling = std::exchange(m_filling, true);
    const int row = m_answers->rowCount();
    m_answers->insertRow(row);
    auto* when = new QTableWidgetItem(answer.when.pattern);
    when->setCheckState(answer.enabled ? Qt::Checked : Qt::Unchecked);
    m_answers->setItem(row, When, when);
    QWidget* kind = comboCell(
        { QStringLiteral("十六进制"), QStringLiteral("文本"), QStringLiteral("Modbus 请求") },
        std::max(0, int(answer.when.kind) - 1), QStringLiteral("收到的帧怎样算匹配"));
    nameCombo(kind, QStringLiteral("第 %1 条应答的匹配方式").arg(row + 1));
    m_answers->setCellWidget(row, WhenKind, kind);
    m_answers->setItem(row, WhenRegex, checkItem(answer.when.regex));
    m_answers->setItem(row, Reply, new QTableWidgetItem(answer.reply));
    QWidget* replyKind = comboCell(
        { QStringLiteral("十六进制"), QStringLiteral("文本"), QStringLiteral("读寄存器") },
        int(answer.replyKind), QStringLiteral("应答的内容怎样写"));
    nameCombo(replyKind, QStringLiteral("第 %1 条应答的应答方式").arg(row + 1));
    m_answers->setCellWidget(row, ReplyKind, replyKind);
    QSpinBox* delay = spinBox(0, AutoAnswer::longestDelayMs, answer.delayMs);
    delay->setAccessibleName(QStringLiteral("第 %1 条应答的延时 (ms)").arg(row + 1));
    connect(delay, &QSpinBox::valueChanged, this, [this] { Q_EMIT edited(); });
    m_answers->setCellWidget(row, ReplyDelay, delay);
    m_filling = filling;
}

void CommandWindow::addRegister(quint16 address, quint16 value)
{
    const int row = m_registers->rowCount();
    m_registers->insertRow(row);
    for (const auto& [column, number, words] :
        { std::tuple { 0, int(address), QStringLiteral("地址") },
            std::tuple { 1, int(value), QStringLiteral("值") } }) {
        QSpinBox* box = spinBox(0, 0xFFFF, number);
        box->setAccessibleName(QStringLiteral("寄存器第 %1 行的%2").arg(row + 1).arg(words));
        connect(box, &QSpinBox::valueChanged, this, [this] { Q_EMIT edited(); });
        m_registers->setCellWidget(row, column, box);
    }
}

CommandExtras CommandWindow::extras() const
{
    CommandExtras extras;
    extras.stopAtFailure = m_stopAtFailure->isChecked();
    for (int row = 0; row < m_answers->rowCount(); ++row) {
        AutoAnswer answer;
        answer.enabled = m_answers->item(row, When)->checkState() == Qt::Checked;
        answer.when.pattern = m_answers->item(row, When)->text();
        answer.when.kind
            = ReplyPattern::Kind(comboOf(m_answers->cellWidget(row, WhenKind))->currentIndex() + 1);
        answer.when.regex = m_answers->item(row, WhenRegex)->checkState() == Qt::Checked;
        answer.reply = m_answers->item(row, Reply)->text();
        answer.replyKind
            = AutoAnswer::Reply(comboOf(m_answers->cellWidget(row, ReplyKind))->currentIndex());
        answer.delayMs = static_cast<QSpinBox*>(m_answers->cellWidget(row, ReplyDelay))->value();
        extras.answers.append(answer);
    }
    for (int row = 0; row < m_registers->rowCount(); ++row) {
        const auto value = [&](int column) {
            return quint16(static_cast<QSpinBox*>(m_registers->cellWidget(row, column))->value());
        };
        extras.registers.insert(value(0), value(1));
    }
    return extras;
}

void CommandWindow::setExtras(const CommandExtras& extras)
{
    const bool filling = std::exchange(m_filling, true);
    m_stopAtFailure->setChecked(extras.stopAtFailure);
    m_answers->setRowCount(0);
    for (const AutoAnswer& answer : extras.answers)
        addAnswer(answer);
    m_registers->setRowCount(0);
    for (auto it = extras.registers.cbegin(); it != extras.registers.cend(); ++it)
        addRegister(it.key(), it.value());
    m_filling = filling;
}

void CommandWindow::showVerdict(int row, const QString& text)
{
    if (row < 0 || row >= m_table->rowCount())
        return;
    const bool filling = std::exchange(m_filling, true);
    m_table->item(row, Result)->setText(text);
    m_filling = filling;
}

void CommandWindow::showTallies(const Tallies& tallies)
{
    m_tallies->setVisible(!tallies.isEmpty());
    m_tallies->setRowCount(tallies.rows() + 1);
    const auto ms = [](const std::optional<double>& value) {
        return value ? QString::number(*value, 'f', 1) : QString();
    };
    for (int row = 0; row <= tallies.rows(); ++row) {
        const bool total = row == tallies.rows();
        const Tallies::Figures f = total ? tallies.total() : tallies.row(row);
        const QString name = total ? QStringLiteral("合计")
                                   : QStringLiteral("%1 %2").arg(row + 1).arg(tallies.rowName(row));
        const QStringList cells { name, QString::number(f.sent), QString::number(f.passed),
            QString::number(f.failed), QString::number(f.timedOut), ms(f.minMs), ms(f.medianMs),
            ms(f.p95Ms), ms(f.maxMs) };
        for (int column = 0; column < cells.size(); ++column) {
            QTableWidgetItem* item = m_tallies->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_tallies->setItem(row, column, item);
            }
            item->setText(cells[column]);
        }
    }
}

void CommandWindow::showAnswering(bool on)
{
    const bool filling = std::exchange(m_filling, true);
    m_answering->setChecked(on);
    m_filling = filling;
}

void CommandWindow::addRow(const Command& command)
{
    const bool filling = std::exchange(m_filling, true);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto* name = new QTableWidgetItem(command.name);
    name->setCheckState(command.inSequence ? Qt::Checked : Qt::Unchecked);
    m_table->setItem(row, Name, name);
    m_table->setItem(row, Content, new QTableWidgetItem(command.content));
    auto* hex = new QTableWidgetItem;
    hex->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    hex->setCheckState(command.hex ? Qt::Checked : Qt::Unchecked);
    m_table->setItem(row, Hex, hex);

    // A reader hears a setting box by the label that names it, its own name being its value on
    // Linux; the label stays out of sight, where the column's header says the same.
    auto* endingCell = new QWidget;
    auto* ending = new QComboBox(endingCell);
    for (const LineEnding each :
        { LineEnding::None, LineEnding::Cr, LineEnding::Lf, LineEnding::CrLf })
        ending->addItem(lineEndingName(each));
    ending->setCurrentIndex(int(command.ending));
    ending->setToolTip(QStringLiteral("只加在文本发送之后，十六进制发送不加"));
    connect(ending, &QComboBox::currentIndexChanged, this, [this, endingCell](int index) {
        describeCell(endingCell, Ending, lineEndingName(LineEnding(index)));
        Q_EMIT edited();
    });
    auto* endingWords = new QLabel(endingCell);
    endingWords->hide();
    endingWords->setBuddy(ending);
    auto* endingLayout = new QHBoxLayout(endingCell);
    endingLayout->setContentsMargins(0, 0, 0, 0);
    endingLayout->addWidget(ending);
    m_table->setCellWidget(row, Ending, endingCell);
    auto* delay = new QSpinBox;
    delay->setRange(0, Command::longestDelayMs);
    delay->setValue(command.delayMs);
    connect(delay, &QSpinBox::valueChanged, this, [this, delay](int ms) {
        describeCell(delay, Delay, QStringLiteral("%1 ms").arg(ms));
        Q_EMIT edited();
    });
    m_table->setCellWidget(row, Delay, delay);
    QWidget* expect = comboCell({ QStringLiteral("无"), QStringLiteral("十六进制"),
                                    QStringLiteral("文本"), QStringLiteral("Modbus 应答") },
        int(command.expect.kind),
        QStringLiteral("Modbus 应答：从站地址和功能码对、校验对、不是异常应答的任何应答"));
    m_table->setCellWidget(row, Expect, expect);
    connect(comboOf(expect), &QComboBox::currentTextChanged, this,
        [this, expect](const QString& text) { describeCell(expect, Expect, text); });
    m_table->setItem(row, Pattern, new QTableWidgetItem(command.expect.pattern));
    m_table->setItem(row, Regex, checkItem(command.expect.regex));
    for (const auto& [column, lowest, highest, value, unit] :
        { std::tuple {
              Timeout, 1, Command::longestTimeoutMs, command.timeoutMs, QStringLiteral(" ms") },
            std::tuple {
                Retries, 0, Command::mostRetries, command.retries, QStringLiteral(" 次") } }) {
        QSpinBox* box = spinBox(lowest, highest, value);
        const int at = column;
        const QString words = unit;
        connect(box, &QSpinBox::valueChanged, this, [this, box, at, words](int n) {
            describeCell(box, at, QString::number(n) + words);
            Q_EMIT edited();
        });
        m_table->setCellWidget(row, column, box);
    }
    auto* result = new QTableWidgetItem;
    result->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    m_table->setItem(row, Result, result);
    auto* send = new QPushButton(QStringLiteral("发送"));
    connect(send, &QPushButton::clicked, this, [this, send] { Q_EMIT sendRow(rowOf(send)); });
    m_table->setCellWidget(row, Send, send);
    describeCell(endingCell, Ending, lineEndingName(command.ending));
    describeCell(delay, Delay, QStringLiteral("%1 ms").arg(command.delayMs));
    describeCell(send, Send, send->text());
    describeCell(expect, Expect, comboOf(expect)->currentText());
    describeCell(
        m_table->cellWidget(row, Timeout), Timeout, QStringLiteral("%1 ms").arg(command.timeoutMs));
    describeCell(
        m_table->cellWidget(row, Retries), Retries, QStringLiteral("%1 次").arg(command.retries));
    nameRow(row);
    m_filling = filling;
}

// A reader going through the table's cells is told what a cell's control shows; the cell's own
// item stays out of sight under the control.
void CommandWindow::describeCell(QWidget* cellWidget, int column, const QString& words)
{
    const int row = rowOf(cellWidget);
    if (row < 0)
        return;
    const bool filling = std::exchange(m_filling, true);
    QTableWidgetItem* item = m_table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_table->setItem(row, column, item);
    }
    item->setData(Qt::AccessibleTextRole, words);
    m_filling = filling;
}

void CommandWindow::nameRow(int row)
{
    const QString number = QString::number(row + 1);
    m_table->cellWidget(row, Ending)
        ->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly)
        ->setText(QStringLiteral("第 %1 条的结尾").arg(number));
    m_table->cellWidget(row, Delay)
        ->setAccessibleName(QStringLiteral("第 %1 条的延时 (ms)").arg(number));
    m_table->cellWidget(row, Send)->setAccessibleName(QStringLiteral("发送第 %1 条").arg(number));
    nameCombo(m_table->cellWidget(row, Expect), QStringLiteral("第 %1 条的期望回复").arg(number));
    m_table->cellWidget(row, Timeout)
        ->setAccessibleName(QStringLiteral("第 %1 条的超时 (ms)").arg(number));
    m_table->cellWidget(row, Retries)
        ->setAccessibleName(QStringLiteral("第 %1 条的重试次数").arg(number));
}

// Rows move, so a cell's widget finds its row when it is used.
int CommandWindow::rowOf(const QWidget* cellWidget) const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        for (int column : { Ending, Delay, Expect, Timeout, Retries, Send })
            if (m_table->cellWidget(row, column) == cellWidget)
                return row;
    return -1;
}

QList<Command> CommandWindow::commands() const
{
    QList<Command> commands;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        Command command;
        command.name = m_table->item(row, Name)->text();
        command.inSequence = m_table->item(row, Name)->checkState() == Qt::Checked;
        command.content = m_table->item(row, Content)->text();
        command.hex = m_table->item(row, Hex)->checkState() == Qt::Checked;
        command.ending
            = LineEnding(m_table->cellWidget(row, Ending)
                             ->findChild<QComboBox*>(QString(), Qt::FindDirectChildrenOnly)
                             ->currentIndex());
        command.delayMs = static_cast<QSpinBox*>(m_table->cellWidget(row, Delay))->value();
        command.expect.kind
            = ReplyPattern::Kind(comboOf(m_table->cellWidget(row, Expect))->currentIndex());
        command.expect.pattern = m_table->item(row, Pattern)->text();
        command.expect.regex = m_table->item(row, Regex)->checkState() == Qt::Checked;
        command.timeoutMs = static_cast<QSpinBox*>(m_table->cellWidget(row, Timeout))->value();
        command.retries = static_cast<QSpinBox*>(m_table->cellWidget(row, Retries))->value();
        commands.append(command);
    }
    return commands;
}

void CommandWindow::setCommands(const QList<Command>& commands)
{
    m_table->setRowCount(0);
    for (const Command& command : commands)
        addRow(command);
}

void CommandWindow::moveRow(int by)
{
    const int row = m_table->currentRow();
    QList<Command> list = commands();
    if (row < 0 || row + by < 0 || row + by >= list.size())
        return;
    list.swapItemsAt(row, row + by);
    setCommands(list);
    m_table->selectRow(row + by);
    Q_EMIT edited();
}

void CommandWindow::showSequence(int row, bool waiting)
{
    const bool showing = std::exchange(m_showingSequence, true);
    m_sequence->setChecked(row >= 0);
    m_showingSequence = showing;
    m_sequence->setText(row >= 0 ? QStringLiteral("停止循环") : QStringLiteral("循环发送"));
    if (row < 0)
        m_state->showState(QString());
    else if (waiting)
        m_state->showState(QStringLiteral("第 %1 条等待发送缓冲区有空间…").arg(row + 1));
    else
        m_state->showState(QStringLiteral("正在循环发送：第 %1 条").arg(row + 1));
}

void CommandWindow::hideEvent(QHideEvent* event)
{
    Q_EMIT hidden(geometry());
    QWidget::hideEvent(event);
}
