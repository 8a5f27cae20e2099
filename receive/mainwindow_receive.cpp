// The communication event, the receive display and the byte counters.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"
#include "receive/hexformat.h"
#include "receive/receiveview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

namespace {

// The automatic clearing fires each time this many more bytes have arrived.
constexpr qint64 autoClearStep = 65535;

QString countText(QLatin1String prefix, qint64 count) { return prefix + QString::number(count); }

} // namespace

void MainWindow::MSComm_OnComm()
{
    try {
        switch (MSComm->commEvent()) {
        case SerialComponent::EventReceive:
            if (ticked(ChkHexReceive))
                ReceiveHex();
            else
                ReceiveText();
            break;
        case SerialComponent::EventSend:
            // Hex sends count themselves before writing and record nothing, so this runs
            // whatever ChkHexSend shows without counting anything twice.
            CountSentText();
            break;
        case SerialComponent::EventDeviceLost:
            ClosePort();
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
    }
}

// Reads as text whatever input mode the last send left, and counts the raw bytes consumed: a
// byte the code page cannot map would be miscounted by re-encoding the decoded text.
void MainWindow::ReceiveText()
{
    qint64 bytes = 0;
    const QString text = MSComm->inputText(&bytes);
    RXCount += bytes;
    if (!DisplayStopped)
        TxtReceive->appendText(text);
    TxtRXCount->setText(countText(QLatin1String("RX:"), RXCount));
    autoClear();
}

// Shown even while the display is stopped. Every byte delivered is formatted and counted.
void MainWindow::ReceiveHex()
{
    const QByteArray bytes = MSComm->inputBytes();
    if (!bytes.isEmpty())
        TxtReceive->appendAscii(HexFormat::pairs(bytes));
    RXCount += bytes.size();
    TxtRXCount->setText(countText(QLatin1String("RX:"), RXCount));
    autoClear();
}

// The first clear comes when the count reaches 65535, the next after a further 65535 bytes, so
// a long session keeps showing its newest data instead of emptying at every event.
void MainWindow::autoClear()
{
    if (!ticked(ChkAutoClear) || RXCount < m_nextAutoClear)
        return;
    TxtReceive->clear();
    m_nextAutoClear = RXCount + autoClearStep;
}

void MainWindow::CmdStopdisp_Click()
{
    DisplayStopped = !DisplayStopped;
    CmdStopdisp->setText(DisplayStopped ? QStringLiteral("继续显示") : QStringLiteral("停止显示"));
}

void MainWindow::CmdClearReceive_Click() { TxtReceive->clear(); }

// Adds the bytes text and file writes recorded since the last send event, once.
void MainWindow::CountSentText()
{
    TXCount += m_unsentCount;
    m_unsentCount = 0;
    TxtTXCount->setText(countText(QLatin1String("TX:"), TXCount));
}

void MainWindow::recordSent(qint64 bytes) { m_unsentCount += bytes; }

void MainWindow::CmdClearCounter_Click()
{
    TXCount = 0;
    RXCount = 0;
    m_nextAutoClear = autoClearStep;
    TxtRXCount->setText(countText(QLatin1String("RX:"), RXCount));
    TxtTXCount->setText(countText(QLatin1String("TX:"), TXCount));
}
