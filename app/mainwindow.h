#pragma once

// The main window is the whole program as the user sees it: it builds every control at its fixed
// place (mainwindow.cpp), and its event handlers are grouped by subsystem in the folder of that
// subsystem: port/mainwindow_port.cpp opens, closes and shows the port, receive/ turns the serial
// component's events into the display, the counters and the saved file, send/ writes the send
// box, the timed sends and files. Handlers stay thin: they read controls, call the widget-free
// logic of portlark_core (number reading, settings, hex, code page, save record) and write
// controls. Everything outside the process (the serial port, message boxes and file dialogs, the
// browser, the clock) is reached through the interfaces of app/platform.h, so tests can drive the
// real window against fakes. There are no threads: the serial component raises onComm on the
// window's thread and each handler runs to completion, except the save notice, which waits in a
// nested event loop.

#include "app/platform.h"

#include <QPointer>
#include <QWidget>
#include <functional>

struct SelectionTexts;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class IntervalTimer;
class ReceiveView;
class HelpWindow;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Builds every control, then runs Form_Load. The platform pieces must outlive the window.
    explicit MainWindow(const Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Counts as the window keeps them (tests and benchmarks read them).
    qint64 receivedCount() const { return RXCount; }
    qint64 sentCount() const { return TXCount; }
    // What ends the program; the application quits its event loops. Tests replace it.
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }
    bool hasEnded() const { return m_ended; }
    HelpWindow* helpWindow() const;

Q_SIGNALS:
    // Quit was pressed: anything waiting in a nested event loop must stop waiting at once.
    void programEnding();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    QString sendBoxText() const;
    // Only a plain tick counts as ticked; a grey (partial) box does not.
    static bool ticked(const QCheckBox* box);
    void showMessage(
        const QString& text, Dialogs::Icon icon, Dialogs::Buttons buttons = Dialogs::Buttons::Ok);
    void showClosedState(const QString& status);
    void showOpenState(const QString& status);

    // Start-up and shutdown (app/mainwindow.cpp)
    void Form_Load();
    void CmdQuit_Click();
    void Form_MouseMove();
    // Clock, About window and web link (app/)
    void TmrNowTime_Timer();
    void CmdHelp_Click();
    void LblWeb_Click();
    void LblWeb_MouseMove();

    // Port settings, open, close and status (port/mainwindow_port.cpp)
    void CboCom_Click();
    void CboBaudrate_Click();
    void CboParitybit_Click();
    void CboDatabit_Click();
    void CboStopbit_Click();
    void CboCom_Change(); // typing: refreshes the tooltip naming the device
    SelectionTexts selectionTexts() const;
    void applySelection();
    void CmdSwitch_Click();
    void OpenPort(quint8 port, const QString& baud, const QString& parity, qint16 dataBits,
        const QString& stopBits);
    void ApplySettings(quint8 port, const QString& baud, const QString& parity, qint16 dataBits,
        const QString& stopBits);
    void OpenSelectedPort();
    void ClosePort();

    // Receive path (receive/mainwindow_receive.cpp, receive/mainwindow_save.cpp)
    void MSComm_OnComm();
    void ReceiveText();
    void ReceiveHex();
    void autoClear();
    void CmdStopdisp_Click();
    void CmdClearReceive_Click();
    void CountSentText();
    void recordSent(qint64 bytes);
    void CmdClearCounter_Click();
    void CmdSaveDisp_Click();
    void CmdAmend_Click();

    // Send path (send/mainwindow_send.cpp)
    void CmdSend_Click();
    void SendHex();
    void sendSendBox();
    void CmdClearSend_Click();
    void TxtSend_Change();
    void ChkAutoSend_Click();
    void TmrAutoSend_Timer();
    void CmdSelectFile_Click();
    void CmdSendFile_Click();

    Platform m_platform;
    SerialComponent* MSComm = nullptr;
    std::function<void()> m_endProgram;
    bool m_ended = false;

    // Controls, named as the user-facing design names them.
    QGroupBox* Frame1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* CboCom = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* CboBaudrate = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* CboParitybit = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* CboDatabit = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* CboStopbit = nullptr;
    QLabel* ImgSwitchOn = nullptr;
    QLabel* ImgSwitchOff = nullptr;
    QPushButton* CmdSwitch = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LblReceive = nullptr;
    ReceiveView* TxtReceive = nullptr;
    QPushButton* CmdClearReceive = nullptr;
    QPushButton* CmdStopdisp = nullptr;
    QCheckBox* ChkAutoClear = nullptr;
    QLabel* LblArtoclear = nullptr;
    QCheckBox* ChkHexReceive = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* CmdSaveDisp = nullptr;
    QPushButton* CmdAmend = nullptr;
    QLineEdit* TxtSavePath = nullptr;
    QLabel* LblNowTime = nullptr;
    QLabel* LblNewDate = nullptr;
    QPushButton* CmdClearSend = nullptr;
    QLabel* LblSend = nullptr;
    QPlainTextEdit* TxtSend = nullptr;
    QCheckBox* ChkHexSend = nullptr;
    QLabel* Label11 = nullptr;
    QPushButton* CmdQuit = nullptr;
    QCheckBox* ChkAutoSend = nullptr;
    QLabel* LblAutoSend = nullptr;
    QLabel* LblArtoSendCyc = nullptr;
    QLineEdit* TxtAutoSendTime = nullptr;
    QLabel* Label14 = nullptr;
    QPushButton* CmdSelectFile = nullptr;
    QLineEdit* TxtSendPath = nullptr;
    QPushButton* CmdSendFile = nullptr;
    QLineEdit* TxtStatus = nullptr;
    QLineEdit* TxtRXCount = nullptr;
    QLineEdit* TxtTXCount = nullptr;
    QPushButton* CmdClearCounter = nullptr;
    QLabel* LblWeb = nullptr;
    QPushButton* CmdHelp = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* CmdSend = nullptr;
    IntervalTimer* TmrNowTime = nullptr;
    IntervalTimer* TmrAutoSend = nullptr;
    QPointer<HelpWindow> FrmHelp;

    // Form-level state
    qint64 RXCount = 0;
    qint64 TXCount = 0;
    QByteArray FileText; // the chosen file's bytes, as read
    bool DisplayStopped = false;
    qint64 m_nextAutoClear = 65535; // received count at which the display next empties itself
    qint64 m_unsentCount = 0; // text and file bytes written, counted at the next send event
    QString SavePath;
};
