// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "send/commandlist.h"

#include <QWidget>

class QPushButton;
class QTableWidget;
class SequenceStatus;

// 快捷发送: a table of stored commands, edited in place, each with its own send button, and the
// buttons that add, remove and move rows, run the sequence and import or export the list. It only
// shows and edits the list; sending, files and messages are the window's (app/window_commands.cpp).
// A screen reader hears the table as 快捷发送列表, each row's controls by the row's number, and the
// sequence's state as a status, told at most once a second.
class CommandWindow : public QWidget {
    Q_OBJECT
public:
    enum Column { Name, Content, Hex, Ending, Delay, Send, Columns };

    explicit CommandWindow(QWidget* parent = nullptr);

    QList<Command> commands() const;
    void setCommands(const QList<Command>& commands);
    // The sequence's state: the row it sent or holds (-1: stopped), and whether the output bound
    // holds it.
    void showSequence(int row, bool waiting);

Q_SIGNALS:
    void sendRow(int row);
    void sequenceAsked(bool start);
    void importAsked();
    void exportAsked();
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

    QTableWidget* m_table;
    QPushButton* m_sequence;
    SequenceStatus* m_state;
    bool m_filling = false; // a fill is no edit
    bool m_showingSequence = false; // the button shows the sequence's state: no user's toggle
};
