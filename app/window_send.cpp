// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Manual, hexadecimal, automatic and file sending.
#include "app/mainwindow.h"

#include "app/intervaltimer.h"
#include "port/serialcomponent.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

void MainWindow::CmdSend_Click() { showMessage(m_send.send(sendBoxText(), ticked(ChkHexSend))); }

void MainWindow::CmdClearSend_Click() { TxtSend->clear(); }

void MainWindow::ChkAutoSend_Click()
{
    if (!ticked(ChkAutoSend)) {
        m_autoSend.unticked();
        TmrAutoSend->setEnabled(false);
        return;
    }
    const AutoSend::Start start = m_autoSend.ticked(m_send.refusal(), TxtAutoSendTime->text());
    if (start.untick)
        ChkAutoSend->setChecked(false); // runs this handler again, which stops the timer
    if (start.period && TmrAutoSend->setInterval(*start.period))
        TmrAutoSend->setEnabled(true);
    showMessage(start.message);
}

void MainWindow::TmrAutoSend_Timer()
{
    const AutoSend::Tick tick = m_autoSend.tick(TxtSend->document()->isEmpty(), MSComm->portOpen());
    if (tick == AutoSend::Tick::Stop) {
        ChkAutoSend->setChecked(false);
        showMessage(SendMessages::emptyData());
    } else if (tick == AutoSend::Tick::Send) {
        m_send.sendBox(sendBoxText(), ticked(ChkHexSend));
    }
}

void MainWindow::CmdSelectFile_Click()
{
    const QString path
        = m_platform.dialogs->openFile(this, QStringLiteral("文本文件（*.txt）(*.txt)"));
    if (path.isEmpty())
        return;
    TxtSendPath->setText(path);
    m_send.chooseFile(path);
}

void MainWindow::CmdSendFile_Click() { showMessage(m_send.sendFile()); }
