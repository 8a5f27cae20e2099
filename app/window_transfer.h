// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "transfer/filetransfer.h"

#include <QObject>
#include <QPointer>

class MainWindow;
class QMenu;
class TransferWindow;

// 传输文件 in the send box's menu: XMODEM, XMODEM-1K and YMODEM sends of a chosen file and a
// YMODEM receive into the save folder, each shown in a TransferWindow while it runs. Without
// lrzsz the item says so and is disabled.
class WindowTransfer : public QObject {
public:
    explicit WindowTransfer(MainWindow& window);
    void addToSendMenu(QMenu* menu);
    FileTransfer& transfer() { return m_transfer; }

private:
    void start(TransferProtocol protocol);
    QString receiveFolder();

    MainWindow& w;
    FileTransfer m_transfer;
    QPointer<TransferWindow> m_window;
};
