// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "transfer/filetransfer.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// 传输文件: the file, the protocol, a progress bar with the bytes and blocks lrzsz reports, the
// rate, and 取消, which turns to 关闭 once the transfer has ended. Closing it while the transfer
// runs cancels it. It only shows; the transfer is the window's (app/window_transfer.cpp).
class TransferWindow : public QWidget {
    Q_OBJECT
public:
    explicit TransferWindow(QWidget* parent);

    void begin(const QString& file, TransferProtocol protocol);
    void showProgress(const TransferProgress& progress);
    void showOutcome(const TransferOutcome& outcome);

Q_SIGNALS:
    void cancelAsked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_file;
    QLabel* m_protocol;
    QProgressBar* m_bar;
    QLabel* m_progress;
    QLabel* m_rate;
    QLabel* m_state;
    QPushButton* m_button;
    bool m_running = false;
};
