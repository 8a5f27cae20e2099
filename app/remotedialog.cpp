// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/remotedialog.h"

#include "port/portsettings.h"
#include "port/remoteurl.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
constexpr int listedPorts = 15;
}

RemotePortDialog::RemotePortDialog(
    int port, std::function<ComDevice(int port)> locate, QWidget* parent)
    : QDialog(parent)
    , m_locate(std::move(locate))
    , m_names(new QListWidget(this))
    , m_port(new QComboBox(this))
    , m_url(new QLineEdit(this))
    , m_state(new QLabel(this))
{
    setObjectName(QStringLiteral("FrmRemote"));
    setWindowTitle(QStringLiteral("远程串口"));
    auto* intro = new QLabel(
        QStringLiteral(
            "把串口号绑定到网络上的串口（如 ser2net 提供的），写成设备文件夹里的 comN 链接："),
        this);
    intro->setWordWrap(true);
    intro->setToolTip(QDir::toNativeSeparators(ComNames::devicesFolder()));
    m_names->setObjectName(QStringLiteral("LstComNames"));
    m_port->setObjectName(QStringLiteral("CboRemoteCom"));
    for (int n = 1; n <= listedPorts; ++n)
        m_port->addItem(QStringLiteral("COM%1").arg(n));
    m_port->setCurrentIndex(port >= 1 && port <= listedPorts ? port - 1 : 0);
    m_url->setObjectName(QStringLiteral("TxtRemoteUrl"));
    m_url->setPlaceholderText(QStringLiteral("rfc2217://主机:端口 或 tcp://主机:端口"));
    m_url->setClearButtonEnabled(true);
    m_state->setObjectName(QStringLiteral("LblRemoteState"));
    m_state->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("串口号"), m_port);
    form->addRow(QStringLiteral("地址"), m_url);
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* bindButton = button("CmdBind", QStringLiteral("绑定"));
    bindButton->setDefault(true);
    QPushButton* unbindButton = button("CmdUnbind", QStringLiteral("解除绑定"));
    buttons->addStretch();
    QPushButton* closeButton = button("CmdCloseRemote", QStringLiteral("关闭"));
    connect(bindButton, &QPushButton::clicked, this, [this] { bind(m_url->text().trimmed()); });
    connect(unbindButton, &QPushButton::clicked, this, [this] { bind(QString()); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_names, &QListWidget::currentRowChanged, this, &RemotePortDialog::choose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_names);
    layout->addLayout(form);
    layout->addWidget(m_state);
    layout->addLayout(buttons);
    list();
    const QString bound = m_locate(m_port->currentIndex() + 1).path;
    if (RemoteUrl::isRemote(bound))
        m_url->setText(bound);
    resize(460, 420);
}

void RemotePortDialog::list()
{
    m_names->blockSignals(true);
    m_names->clear();
    for (int n = 1; n <= listedPorts; ++n)
        m_names->addItem(portDeviceText(QStringLiteral("COM%1").arg(n), m_locate));
    m_names->setCurrentRow(m_port->currentIndex());
    m_names->blockSignals(false);
}

void RemotePortDialog::choose(int row)
{
    if (row < 0)
        return;
    m_port->setCurrentIndex(row);
    const QString path = m_locate(row + 1).path;
    m_url->setText(RemoteUrl::isRemote(path) ? path : QString());
}

// An empty address removes the link.
void RemotePortDialog::bind(const QString& url)
{
    const int port = m_port->currentIndex() + 1;
    const std::optional<RemoteUrl> remote = RemoteUrl::parse(url);
    QString problem;
    if (!url.isEmpty() && !remote)
        problem = QStringLiteral("地址无效：“%1”（应为 rfc2217://主机:端口 或 tcp://主机:端口）")
                      .arg(url);
    else
        problem = ComNames::writeLink(port, remote ? remote->toString() : QString());
    list();
    m_state->setText(problem.isEmpty() ? m_names->item(port - 1)->text() : problem);
}
