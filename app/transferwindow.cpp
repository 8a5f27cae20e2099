// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/transferwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The bar counts in thousandths: its int range would not hold a large file's bytes.
constexpr int barSteps = 1000;
} // namespace

TransferWindow::TransferWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmTransfer"));
    setWindowTitle(QStringLiteral("传输文件"));
    auto* layout = new QVBoxLayout(this);
    const auto label = [&](const char* name) {
        auto* text = new QLabel(this);
        text->setObjectName(QLatin1String(name));
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(text);
        return text;
    };
    m_file = label("LblTransferFile");
    m_file->setWordWrap(true);
    m_protocol = label("LblTransferProtocol");
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("BarTransfer"));
    m_bar->setAccessibleName(QStringLiteral("传输进度"));
    layout->addWidget(m_bar);
    m_progress = label("LblTransferProgress");
    m_rate = label("LblTransferRate");
    m_state = label("LblTransferState");
    m_state->setWordWrap(true);
    m_button = new QPushButton(this);
    m_button->setObjectName(QStringLiteral("CmdTransferCancel"));
    layout->addWidget(m_button, 0, Qt::AlignRight);
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_running)
            Q_EMIT cancelAsked();
        else
            close();
    });
    setMinimumWidth(360);
}

void TransferWindow::begin(const QString& file, TransferProtocol protocol)
{
    m_running = true;
    const bool sending = Lrzsz::sends(protocol);
    m_file->setText((sending ? QStringLiteral("文件：") : QStringLiteral("接收到："))
        + QDir::toNativeSeparators(file));
    m_protocol->setText(QStringLiteral("协议：%1 %2")
                            .arg(Lrzsz::protocolName(protocol),
                                sending ? QStringLiteral("发送") : QStringLiteral("接收")));
    m_bar->setRange(0, sending ? barSteps : 0);
    m_bar->setValue(0);
    m_progress->setText(QString());
    m_rate->setText(QString());
    m_state->setText(QStringLiteral("等待对方开始…"));
    m_button->setText(QStringLiteral("取消"));
}

void TransferWindow::showProgress(const TransferProgress& progress)
{
    if (progress.total > 0) {
        m_bar->setRange(0, barSteps);
        m_bar->setValue(int(std::min(progress.bytes, progress.total) * barSteps / progress.total));
    }
    m_progress->setText(TransferText::progress(progress));
    m_rate->setText(TransferText::rate(progress));
    if (m_running && progress.bytes > 0)
        m_state->setText(progress.fileName.isEmpty()
                ? QStringLiteral("正在传输")
                : QStringLiteral("正在接收 %1").arg(progress.fileName));
}

void TransferWindow::showOutcome(const TransferOutcome& outcome)
{
    m_running = false;
    m_button->setText(QStringLiteral("关闭"));
    switch (outcome.kind) {
    case TransferOutcome::Kind::Done:
        m_bar->setRange(0, barSteps);
        m_bar->setValue(barSteps);
        m_state->setText(outcome.savedPath.isEmpty()
                ? QStringLiteral("传输完成")
                : QStringLiteral("传输完成，已保存为 %1")
                      .arg(QDir::toNativeSeparators(outcome.savedPath)));
        break;
    case TransferOutcome::Kind::Cancelled:
        m_state->setText(QStringLiteral("已取消"));
        break;
    case TransferOutcome::Kind::Failed:
        m_state->setText(outcome.message.text);
        break;
    }
}

void TransferWindow::closeEvent(QCloseEvent* event)
{
    if (m_running)
        Q_EMIT cancelAsked();
    event->accept();
}
