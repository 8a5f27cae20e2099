// The communication event, the receive display and the byte counters.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"
#include "receive/receiveview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

void MainWindow::MSComm_OnComm(int commEvent)
{
    if (commEvent == SerialComponent::EventReceive)
        showArrival(ticked(ChkHexReceive) ? m_receive.hex(ticked(ChkAutoClear))
                                          : m_receive.text(ticked(ChkAutoClear)));
    else if (commEvent == SerialComponent::EventSend)
        CountSentText();
    else if (commEvent == SerialComponent::EventDeviceLost)
        showPort(m_port.lost());
}

void MainWindow::showArrival(const Arrival& arrival)
{
    if (!arrival.text.isEmpty())
        TxtReceive->appendText(arrival.text);
    if (!arrival.hexPairs.isEmpty())
        TxtReceive->appendAscii(arrival.hexPairs);
    m_countToShow = arrival.count;
    if (!m_countFrame->isActive())
        showReceivedCount();
    if (arrival.clear)
        TxtReceive->clear();
}

void MainWindow::showReceivedCount()
{
    if (m_countToShow.isNull())
        return;
    TxtRXCount->setText(m_countToShow);
    m_countToShow = QString();
    m_countFrame->start();
}

void MainWindow::CmdStopdisp_Click() { CmdStopdisp->setText(m_receive.toggleStopped()); }

void MainWindow::CmdClearReceive_Click() { TxtReceive->clear(); }

// Counts the bytes that have left since the last send event, hexadecimal ones included, so it
// runs whatever ChkHexSend shows.
void MainWindow::CountSentText()
{
    m_counters.countPending();
    TxtTXCount->setText(m_counters.sentText());
}

void MainWindow::CmdClearCounter_Click()
{
    m_counters.reset();
    m_countToShow = QString();
    TxtRXCount->setText(m_counters.receivedText());
    TxtTXCount->setText(m_counters.sentText());
}
