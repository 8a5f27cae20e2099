// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/commandwindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBoxLayout>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

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
    , m_sequence(new QPushButton(QStringLiteral("循环发送"), this))
    , m_state(new SequenceStatus(this))
{
    setObjectName(QStringLiteral("FrmCommands"));
    setWindowTitle(QStringLiteral("快捷发送"));
    m_table->setObjectName(QStringLiteral("TblCommands"));
    m_table->setAccessibleName(QStringLiteral("快捷发送列表"));
    m_table->setHorizontalHeaderLabels(
        { QStringLiteral("名称"), QStringLiteral("内容"), QStringLiteral("十六进制"),
            QStringLiteral("结尾"), QStringLiteral("延时 (ms)"), QString() });
    m_table->horizontalHeaderItem(Name)->setToolTip(QStringLiteral("勾选的命令参加循环发送"));
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(Content, QHeaderView::Stretch);
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
    buttons->addWidget(m_sequence);
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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
    layout->addWidget(m_state);
    resize(640, 320);
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
    auto* send = new QPushButton(QStringLiteral("发送"));
    connect(send, &QPushButton::clicked, this, [this, send] { Q_EMIT sendRow(rowOf(send)); });
    m_table->setCellWidget(row, Send, send);
    describeCell(endingCell, Ending, lineEndingName(command.ending));
    describeCell(delay, Delay, QStringLiteral("%1 ms").arg(command.delayMs));
    describeCell(send, Send, send->text());
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
}

// Rows move, so a cell's widget finds its row when it is used.
int CommandWindow::rowOf(const QWidget* cellWidget) const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        for (int column : { Ending, Delay, Send })
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
