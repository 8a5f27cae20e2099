// Manual, hexadecimal, automatic and file sending.
#include "app/mainwindow.h"

#include "app/intervaltimer.h"
#include "port/codepage.h"
#include "port/serialcomponent.h"
#include "send/sendlogic.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

// Text and file sends leave the port reading in the mode the receive display shows.
int textInputMode(bool hexReceive)
{
    return hexReceive ? SerialComponent::InputBinary : SerialComponent::InputText;
}

QString portClosedText() { return QStringLiteral("串口没有打开，请打开串口"); }
QString emptyDataText() { return QStringLiteral("发送数据不能为空"); }

} // namespace

void MainWindow::CmdSend_Click()
{
    try {
        if (!MSComm->portOpen()) {
            showMessage(portClosedText(), Dialogs::Icon::Warning);
            return;
        }
        if (TxtSend->document()->isEmpty()) {
            showMessage(emptyDataText(), Dialogs::Icon::Error);
            return;
        }
        sendSendBox();
    } catch (const std::exception&) {
        // A refused write ends the send without a word.
    }
}

// Counts the bytes before writing them, so a refused write keeps its count.
void MainWindow::SendHex()
{
    const QByteArray bytes = SendLogic::hexBytes(sendBoxText());
    TXCount += bytes.size();
    TxtTXCount->setText(QStringLiteral("TX:%1").arg(TXCount));
    try {
        MSComm->output(bytes);
    } catch (const std::exception&) {
    }
}

// The send box as hex bytes or as text, as ChkHexSend shows. The caller traps a refused write;
// only text that was accepted is counted.
void MainWindow::sendSendBox()
{
    if (ticked(ChkHexSend)) {
        MSComm->setInputMode(SerialComponent::InputBinary);
        SendHex();
        return;
    }
    MSComm->setInputMode(textInputMode(ticked(ChkHexReceive)));
    const QString text = SendLogic::trimBlanks(sendBoxText());
    MSComm->output(text);
    recordSent(CodePage::byteLength(text));
}

void MainWindow::CmdClearSend_Click() { TxtSend->clear(); }

void MainWindow::TxtSend_Change() { }

void MainWindow::ChkAutoSend_Click()
{
    try {
        if (!ticked(ChkAutoSend)) {
            TmrAutoSend->setEnabled(false);
            return;
        }
        if (!MSComm->portOpen()) {
            // Unticking runs this handler again, which stops the timer before the box shows.
            ChkAutoSend->setChecked(false);
            showMessage(portClosedText(), Dialogs::Icon::Warning);
            return;
        }
        const std::optional<qint64> period = SendLogic::readPeriod(TxtAutoSendTime->text());
        if (!period || !TmrAutoSend->setInterval(*period))
            return;
        TmrAutoSend->setEnabled(true);
    } catch (const std::exception&) {
    }
}

void MainWindow::TmrAutoSend_Timer()
{
    try {
        if (TxtSend->document()->isEmpty()) {
            ChkAutoSend->setChecked(false);
            showMessage(emptyDataText(), Dialogs::Icon::Error);
            return;
        }
        // With the port closed nothing could leave, so nothing is written or counted; the
        // ticks go on and sending resumes once the port is open again.
        if (!MSComm->portOpen())
            return;
        sendSendBox();
    } catch (const std::exception&) {
        // The timer keeps running; the next tick tries again.
    }
}

void MainWindow::CmdSelectFile_Click()
{
    try {
        const QString path
            = m_platform.dialogs->openFile(this, QStringLiteral("文本文件（*.txt）(*.txt)"));
        if (path.isEmpty())
            return;
        TxtSendPath->setText(path);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return;
        // Read by length: a device that never ends gives nothing instead of filling memory.
        const qint64 length = file.size();
        QByteArray bytes(length, Qt::Uninitialized);
        qint64 done = 0;
        while (done < length) {
            const qint64 n = file.read(bytes.data() + done, length - done);
            if (n < 0)
                return;
            if (n == 0)
                break;
            done += n;
        }
        bytes.truncate(done);
        FileText = bytes;
    } catch (const std::exception&) {
    }
}

void MainWindow::CmdSendFile_Click()
{
    try {
        if (!MSComm->portOpen()) {
            showMessage(portClosedText(), Dialogs::Icon::Warning);
            return;
        }
        if (FileText.isEmpty()) {
            showMessage(QStringLiteral("发送的文件为空"), Dialogs::Icon::Error);
            return;
        }
        MSComm->setInputMode(textInputMode(ticked(ChkHexReceive)));
        const QByteArray bytes = SendLogic::trimBlankBytes(FileText);
        MSComm->output(bytes);
        recordSent(bytes.size());
    } catch (const std::exception&) {
    }
}
