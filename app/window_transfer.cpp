// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window_transfer.h"

#include "app/mainwindow.h"
#include "app/transferwindow.h"
#include "receive/saverecord.h"

#include <QLineEdit>
#include <QMenu>
#include <QTimer>

WindowTransfer::WindowTransfer(MainWindow& window)
    : QObject(&window)
    , w(window)
    , m_transfer(*window.MSComm, window.m_send)
{
    connect(&m_transfer, &FileTransfer::progressed, this, [this](const TransferProgress& progress) {
        if (m_window)
            m_window->showProgress(progress);
    });
    connect(&m_transfer, &FileTransfer::finished, this, [this](const TransferOutcome& outcome) {
        if (m_window)
            m_window->showOutcome(outcome);
        w.showMessage(outcome.message);
    });
}

void WindowTransfer::addToSendMenu(QMenu* menu)
{
    if (!FileTransfer::installed()) {
        menu->addAction(QStringLiteral("传输文件（需要安装 lrzsz）"))->setEnabled(false);
        return;
    }
    QMenu* transfers = menu->addMenu(QStringLiteral("传输文件"));
    transfers->menuAction()->setEnabled(!m_transfer.isRunning());
    const struct {
        const char* text;
        TransferProtocol protocol;
    } choices[] = {
        { "XMODEM 发送…", TransferProtocol::Xmodem },
        { "XMODEM-1K 发送…", TransferProtocol::Xmodem1k },
        { "YMODEM 发送…", TransferProtocol::Ymodem },
        { "YMODEM 接收到保存目录", TransferProtocol::YmodemReceive },
    };
    for (const auto& choice : choices) {
        const TransferProtocol protocol = choice.protocol;
        connect(transfers->addAction(QString::fromUtf8(choice.text)), &QAction::triggered, this,
            [this, protocol] { start(protocol); });
    }
}

void WindowTransfer::start(TransferProtocol protocol)
{
    if (const Message refusal = w.m_send.refusal(); !refusal.isNull()) {
        w.showMessage(refusal);
        return;
    }
    const QString path = Lrzsz::sends(protocol)
        ? w.m_platform.dialogs->openFile(&w, QStringLiteral("所有文件 (*)"))
        : receiveFolder();
    if (path.isEmpty())
        return;
    if (const Message refused = m_transfer.start(protocol, path); !refused.isNull()) {
        w.showMessage(refused);
        return;
    }
    if (!m_window) {
        m_window = new TransferWindow(&w);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_window, &TransferWindow::cancelAsked, &m_transfer, &FileTransfer::cancel);
    }
    m_window->begin(path, protocol);
    m_window->show();
    m_window->raise();
}

// The folder the save button writes 1.txt to, made when missing and the user agrees; empty when
// there is none to receive into.
QString WindowTransfer::receiveFolder()
{
    // While the save notice shows, the box holds the notice instead of the folder.
    const QString text = w.TmrSaveNotice->isActive() ? w.SavePath : w.TxtSavePath->text();
    SaveRecord::Outcome folder = SaveRecord::prepareFolder(text);
    if (folder.status == SaveRecord::Outcome::Status::FolderMissing) {
        if (w.showMessage(SaveRecord::createQuestion(text, folder)) != Dialogs::Answer::Ok)
            return {};
        folder = SaveRecord::prepareFolder(text, true);
    }
    if (folder.status != SaveRecord::Outcome::Status::Written) {
        w.showMessage(SaveRecord::failure(text, folder));
        return {};
    }
    return folder.folder;
}
