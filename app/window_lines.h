// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class LineStateWindow;
class MainWindow;
class QMenu;
struct Options;

// The port group's menu gains RS-485 direction control (自动收发 and its delays, remembered with
// the line control) and the 线路状态 window. The options are the window's remembered ones,
// `saveOptions` writes them.
class WindowLines : public QObject {
public:
    WindowLines(MainWindow& window, Options& options, std::function<void()> saveOptions);
    // After the flow control's submenu: the RS-485 items.
    void addRs485(QMenu* menu);
    // At the end: 线路状态…
    void addLineState(QMenu* menu);

private:
    void askDelays();
    void openLineState();

    MainWindow& w;
    Options& m_options;
    std::function<void()> m_saveOptions;
    QPointer<LineStateWindow> m_lineState;
};
