// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The main window is the whole program as the user sees it. Its fixed form, every control's
// kind, name, place in pixels, caption, font, colours and the tab order, is app/mainwindow.ui (it
// opens in Qt Designer); CMake's AUTOUIC makes it Ui::MainWindow, whose control pointers the
// window inherits, so code names each control as the design does. buildControls() in
// mainwindow.cpp adds what a form cannot say: the font family found at run time, the setting
// boxes' narrow style, the reader names of their text fields and the timers; the form's own kinds
// of control are in app/formwidgets.h. The event handlers are grouped by subsystem in
// app/window_*.cpp. Handlers are shims: they read controls, call the widget-free rules of
// portlark_core and write controls.
// The rules live once each, outside any widget: PortSession (port/portsession.h) opens, re-opens
// and closes the port and says what the status line, switch and lamp show; ByteCounters
// (receive/counters.h) holds the counts and the auto-clear mark; ReceivePath
// (receive/receivepath.h) turns arrivals into display text, with the optional stamps, frames and
// sent lines of ProtocolFormatter; SendPath and AutoSend (send/sendpath.h) send the box, files and
// the timed sends, and tell every send taken for the display. What lives in context menus (the
// capture log, line control, check bytes, the protocol view, 字符编码, the plot window and the
// stored commands) is wired in app/window_extras.cpp and the files it calls. The serial component
// (port/serialcomponent.h) keeps the settings, the output bound and the code page's decoder over
// a narrow SerialBackend, which finds and opens the device and is the only part a test replaces;
// its one event carries what arrived. Everything else outside the process (message boxes and file
// dialogs, the browser, the clock) is reached through platform/platform.h. There are no threads. A
// message box or file dialog runs a nested event loop, so arrivals, ticks and the device watch
// can run while one shows; the rules each handler calls leave no half-done state across one.

#include "app/commandline.h"
#include "platform/platform.h"
#include "port/portsession.h"
#include "receive/counters.h"
#include "receive/receivepath.h"
#include "send/sendpath.h"
#include "ui_mainwindow.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>

class QTimer;
class SerialComponent;
class IntervalTimer;
class HelpWindow;

class MainWindow : public QWidget, private Ui::MainWindow {
    Q_OBJECT
public:
    // Builds every control, then runs Form_Load. The platform pieces must outlive the window.
    explicit MainWindow(const Platform& platform, QWidget* parent = nullptr);
    // The same, with what the command line asked for at start-up.
    MainWindow(const Platform& platform, const StartOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Counts as the window keeps them (tests and benchmarks read them).
    qint64 receivedCount() const { return m_counters.received(); }
    qint64 sentCount() const { return m_counters.sent(); }
    // What ends the program; the application quits its event loops. Tests replace it.
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }
    HelpWindow* helpWindow() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The context menus and start-up options (app/window_extras.cpp).
    friend class WindowExtras;
    void buildExtras(const StartOptions& options);
    // The send box's history, line ending, Ctrl+Enter and stored commands
    // (app/window_commands.h), built by WindowExtras.
    friend class WindowCommands;

    void buildControls();
    void connectHandlers();
    QString sendBoxText() const;
    // Only a plain tick counts as ticked; a grey (partial) box does not.
    static bool ticked(const QCheckBox* box);
    // OK or Cancel as the user answered; no box (a null message) answers Cancel.
    Dialogs::Answer showMessage(const Message& message);
    void showPort(const PortView& view);
    void showArrival(const Arrival& arrival);
    void showSent(const QByteArray& bytes, bool file, bool hex);
    Moment moment(qint64 steadyNs) const
    {
        return { steadyNs, m_platform.clock->wallMsAt(steadyNs) };
    }
    void showReceivedCount();

    // Start-up and shutdown (app/mainwindow.cpp)
    void Form_Load();
    void CmdQuit_Click();
    void Form_MouseMove();
    // Clock, About window and web link (app/)
    void TmrNowTime_Timer();
    void CmdHelp_Click();
    void LblWeb_Click();
    void LblWeb_MouseMove();

    // Port settings, open, close and status (app/window_port.cpp)
    void CboCom_Click();
    void CboBaudrate_Click();
    void CboParitybit_Click();
    void CboDatabit_Click();
    void CboStopbit_Click();
    void CboCom_Change(); // typing: refreshes the tooltip naming the device
    SelectionTexts selectionTexts() const;
    void CmdSwitch_Click();
    void MSComm_DeviceReturned(); // the lost device is back: the port re-opens by itself

    // Receive path (app/window_receive.cpp, app/window_save.cpp)
    void MSComm_OnComm(int commEvent, const QByteArray& received, qint64 atNs);
    void CmdStopdisp_Click();
    void CmdClearReceive_Click();
    void CountSentText();
    void CmdClearCounter_Click();
    // While 协议解析 reads frames, a frame that does not end by its own length ends here, once
    // the line has been idle for its gap.
    void armFrameEnd();
    void TmrFrameEnd_Timer();
    void CmdSaveDisp_Click();
    void TmrSaveNotice_Timer();
    void CmdAmend_Click();

    // Send path (app/window_send.cpp)
    void CmdSend_Click();
    void CmdClearSend_Click();
    void ChkAutoSend_Click();
    void TmrAutoSend_Timer();
    void CmdSelectFile_Click();
    void CmdSendFile_Click();

    Platform m_platform;
    SerialComponent* MSComm = nullptr;
    std::function<void()> m_endProgram;

    // The controls are Ui::MainWindow's, under the design's names; the timers are made in code.
    IntervalTimer* TmrNowTime = nullptr;
    IntervalTimer* TmrAutoSend = nullptr;
    QTimer* TmrSaveNotice = nullptr;
    QTimer* TmrFrameEnd = nullptr;
    // The received count waits for a frame of the receive display: at a hundred arrivals a
    // second its repaints would cost more than the display's.
    QString m_countToShow;
    QElapsedTimer m_countShown;
    const QPixmap m_background; // loaded once: a load by name costs a file lookup each paint
    QPointer<HelpWindow> FrmHelp;

    QString SavePath; // what the folder box shows again when the save notice ends

    // The rules, each kept once outside the window.
    PortSession m_port;
    ByteCounters m_counters;
    ReceivePath m_receive;
    SendPath m_send;
    AutoSend m_autoSend;
};
