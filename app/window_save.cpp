// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Saving the receive display to 1.txt, and the notice that confirms it.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"
#include "receive/saverecord.h"
#include "view/receiveview.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// The window goes on handling events while the notice shows; the button stays disabled so that a
// save cannot start again until TmrSaveNotice restores both. A save that writes nothing says why;
// a missing folder is made only when the user agrees.
void MainWindow::CmdSaveDisp_Click()
{
    SavePath = TxtSavePath->text();
    const QByteArray bytes
        = SaveRecord::record(m_platform.clock->now(), TxtReceive->text(), MSComm->textCodePage());
    SaveRecord::Outcome outcome = SaveRecord::save(SavePath, bytes);
    if (outcome.status == SaveRecord::Outcome::Status::FolderMissing) {
        if (showMessage(SaveRecord::createQuestion(SavePath, outcome)) != Dialogs::Answer::Ok)
            return;
        outcome = SaveRecord::save(SavePath, bytes, true);
    }
    if (outcome.status != SaveRecord::Outcome::Status::Written) {
        showMessage(SaveRecord::failure(SavePath, outcome));
        return;
    }
    TxtSavePath->setText(QStringLiteral("OK,1.txt Save"));
    CmdSaveDisp->setEnabled(false);
    TmrSaveNotice->start(m_platform.clock->saveNoticeMs());
}

void MainWindow::TmrSaveNotice_Timer()
{
    TxtSavePath->setText(SavePath);
    CmdSaveDisp->setEnabled(true);
}

void MainWindow::CmdAmend_Click()
{
    const QString scripts = SaveRecord::folderPath(QStringLiteral("C:\\Scripts"));
    const QString start
        = !scripts.isEmpty() && QFileInfo(scripts).isDir() ? scripts : QDir::homePath();
    const QString chosen
        = m_platform.dialogs->chooseFolder(this, QStringLiteral("选择目录:"), start);
    if (chosen.isEmpty())
        return;
    TxtSavePath->setText(chosen);
    SavePath = TxtSavePath->text();
}
