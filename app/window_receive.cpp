// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The communication event, the receive display and the byte counters.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"
#include "view/receiveview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

void MainWindow::MSComm_OnComm(int commEvent, const QByteArray& received, qint64 atNs)
{
    if (commEvent == SerialComponent::EventReceive && m_send.transferRunning()) {
        // A file transfer's bytes are the transfer's: counted and logged, never shown.
        showArrival(m_receive.counted(received, ticked(ChkAutoClear)));
    } else if (commEvent == SerialComponent::EventReceive) {
        const bool hex = ticked(ChkHexReceive);
        const Moment at = m_receive.protocol().active(hex) ? moment(atNs) : Moment();
        showArrival(hex ? m_receive.hex(received, ticked(ChkAutoClear), at)
                        : m_receive.text(received, ticked(ChkAutoClear), at));
        armFrameEnd(); // a frame cut short ends in silence
    } else if (commEvent == SerialComponent::EventSend) {
        m_receive.protocol().written(atNs);
        CountSentText();
    } else if (commEvent == SerialComponent::EventDeviceLost)
        showPort(m_port.lost());
    else if (commEvent == SerialComponent::EventOpenFailed)
        showPort(m_port.failed());
}

namespace {
// About ten times a second: a number that changes faster cannot be read, and each change costs
// a text layout.
constexpr int countIntervalMs = 90;
}

// The RX count is written on one of the receive display's frames, so that both are painted in
// one pass.
void MainWindow::showArrival(const Arrival& arrival)
{
    if (!arrival.count.isNull())
        m_countToShow = arrival.count;
    if (!arrival.text.isEmpty())
        TxtReceive->appendText(arrival.text);
    if (!arrival.hexPairs.isEmpty())
        TxtReceive->appendAscii(arrival.hexPairs);
    if (arrival.text.isEmpty() && arrival.hexPairs.isEmpty())
        TxtReceive->requestFrame();
    if (arrival.clear)
        TxtReceive->clear();
}

void MainWindow::showSent(const QByteArray& bytes, bool file, bool hex)
{
    using As = ProtocolFormatter::SentAs;
    // Unshown, a send still pairs the answer that follows.
    if (m_receive.protocol().choices().showSent || m_receive.protocol().decoding())
        showArrival(m_receive.sent(bytes,
            file      ? As::File
                : hex ? As::Hex
                      : As::Text,
            ticked(ChkHexReceive), moment(m_platform.clock->steadyNs())));
}

void MainWindow::armFrameEnd()
{
    const qint64 deadline = m_receive.protocol().frameDeadlineNs();
    if (deadline == FrameSplitter::none) {
        TmrFrameEnd->stop();
        return;
    }
    const qint64 leftNs = deadline - m_platform.clock->steadyNs();
    TmrFrameEnd->start(int(std::clamp<qint64>((leftNs + 999'999) / 1'000'000, 1, 1'000'000)));
}

void MainWindow::TmrFrameEnd_Timer()
{
    if (m_receive.protocol().frameDeadlineNs() > m_platform.clock->steadyNs()) {
        armFrameEnd(); // a timer may fire a little early
        return;
    }
    showArrival(m_receive.idle(ticked(ChkHexReceive), moment(m_platform.clock->steadyNs())));
}

void MainWindow::showReceivedCount()
{
    if (m_countToShow.isNull())
        return;
    if (m_countShown.isValid() && m_countShown.elapsed() < countIntervalMs) {
        TxtReceive->requestFrame();
        return;
    }
    m_countShown.start();
    TxtRXCount->setText(m_countToShow);
    m_countToShow = QString();
}

void MainWindow::CmdStopdisp_Click() { CmdStopdisp->setText(m_receive.toggleStopped()); }

void MainWindow::CmdClearReceive_Click()
{
    TxtReceive->clear();
    m_receive.displayCleared();
}

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
