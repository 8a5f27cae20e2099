// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "send/commandlist.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTableWidget;
class SequenceStatus;
class Tallies;

// 快捷发送: a table of stored commands, edited in place, each with its own send button, and the
// buttons that add, remove and move rows, run the sequence and import or export the list. It only
// shows and edits the list; sending, files and messages are the window's (app/window_commands.cpp).
// A screen reader hears the table as 快捷发送列表, each row's controls by the row's number, and the
// sequence's state as a status, told at most once a second.
// Each row may expect a reply (期望回复: its form, pattern, 正则 tick, time-out and retries), whose
// verdict shows in the row's last column; a run's tallies show under the table. Below, the
// automatic answers (自动应答) and the register table their 读寄存器 replies read.
class CommandWindow : public QWidget {
    Q_OBJECT
public:
    enum Column {
        Name,
        Content,
        Hex,
        Ending,
        Delay,
        Expect,
        Pattern,
        Regex,
        Timeout,
        Retries,
        Send,
        Result,
        Columns
    };
    enum AnswerColumn { When, WhenKind, WhenRegex, Reply, ReplyKind, ReplyDelay, AnswerColumns };

    explicit CommandWindow(QWidget* parent = nullptr);

    QList<Command> commands() const;
    void setCommands(const QList<Command>& commands);
    // The sequence's state: the row it sent or holds (-1: stopped), and whether the output bound
    // holds it.
    void showSequence(int row, bool waiting);
    CommandExtras extras() const;
    void setExtras(const CommandExtras& extras);
    // A row's last verdict ("✓ 12 ms", "✗ …", "超时"); empty clears it.
    void showVerdict(int row, const QString& text);
    void showTallies(const Tallies& tallies);
    void showAnswering(bool on);

Q_SIGNALS:
    void sendRow(int row);
    void sequenceAsked(bool start);
    void importAsked();
    void exportAsked();
    void reportAsked();
    void answeringAsked(bool on);
    void edited();
    void hidden(const QRect& geometry);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void addRow(const Command& command);
    void moveRow(int by);
    int rowOf(const QWidget* cellWidget) const;
    // What a reader hears of a row's controls names its number, which moves with the rows above.
    void nameRow(int row);
    void describeCell(QWidget* cellWidget, int column, const QString& words);
    // A drop-down list in a cell, heard by a hidden label that names it.
    QWidget* comboCell(const QStringList& items, int current, const QString& tip);
    static QComboBox* comboOf(QWidget* cell);
    static void nameCombo(QWidget* cell, const QString& words);
    void addAnswer(const AutoAnswer& answer);
    void addRegister(quint16 address, quint16 value);
    QWidget* buildAnswers();

    QTableWidget* m_table;
    QTableWidget* m_tallies;
    QTableWidget* m_answers;
    QTableWidget* m_registers;
    QCheckBox* m_stopAtFailure;
    QCheckBox* m_answering;
    QPushButton* m_sequence;
    SequenceStatus* m_state;
    bool m_filling = false; // a fill is no edit
    bool m_showingSequence = false; // the button shows the sequence's state: no user's toggle
};
