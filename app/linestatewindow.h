// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/linewatch.h"

#include <QWidget>

#include <array>

class QLabel;
class SerialComponent;

// 线路状态: CTS, DSR, DCD and RI as lights with their changes since the window opened, and DTR
// and RTS as line control sets them. The lines are read (LineWatch) only while it shows; it is
// deleted when closed, so a closed window costs nothing.
class LineStateWindow : public QWidget {
    Q_OBJECT
public:
    LineStateWindow(SerialComponent& serial, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showState(const LineWatch::State& state);

    LineWatch m_watch;
    struct Row {
        QLabel* light;
        QLabel* level;
        QLabel* changes;
    };
    std::array<Row, 4> m_rows {};
    QLabel* m_dtr;
    QLabel* m_rts;
    QLabel* m_note;
    bool m_opened = false;
};
