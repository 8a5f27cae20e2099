// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window_lines.h"

#include "app/linestatewindow.h"
#include "app/mainwindow.h"
#include "app/options.h"
#include "port/serialcomponent.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMenu>
#include <QSpinBox>

WindowLines::WindowLines(MainWindow& window, Options& options, std::function<void()> saveOptions)
    : QObject(&window)
    , w(window)
    , m_options(options)
    , m_saveOptions(std::move(saveOptions))
{
    // Before the start-up open, which applies it.
    w.MSComm->setRs485(m_options.rs485);
}

// As the other line controls: open to every choice while the port is closed, for the next
// opening; on an open port that cannot, greyed with the driver's reason.
void WindowLines::addRs485(QMenu* menu)
{
    SerialComponent* port = w.MSComm;
    const QString refusal = port->rs485Refusal();
    menu->setToolTipsVisible(true);
    QAction* automatic = menu->addAction(QStringLiteral("RS-485 自动收发"));
    automatic->setCheckable(true);
    automatic->setChecked(port->rs485().enabled);
    QAction* delays = menu->addAction(QStringLiteral("RS-485 收发延时…"));
    for (QAction* action : { automatic, delays }) {
        action->setEnabled(refusal.isEmpty());
        action->setToolTip(refusal.isEmpty()
                ? QStringLiteral("由驱动在发送时置位 RTS（TIOCSRS485），发送前后按延时保持")
                : refusal);
    }
    connect(automatic, &QAction::triggered, this, [this, port](bool on) {
        Rs485Settings wanted = m_options.rs485;
        wanted.enabled = on;
        port->setRs485(wanted);
        // A driver that reports RS-485 settings may still refuse to take them: said, not kept.
        if (const QString problem = port->rs485Problem(); !problem.isEmpty()) {
            port->setRs485(m_options.rs485);
            w.showMessage({ problem });
            return;
        }
        m_options.rs485 = wanted;
        m_saveOptions();
    });
    connect(delays, &QAction::triggered, this, &WindowLines::askDelays);
}

void WindowLines::addLineState(QMenu* menu)
{
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("线路状态…")), &QAction::triggered, this,
        &WindowLines::openLineState);
}

void WindowLines::askDelays()
{
    auto* dialog = new QDialog(&w);
    dialog->setObjectName(QStringLiteral("DlgRs485"));
    dialog->setWindowTitle(QStringLiteral("RS-485 收发延时"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new QFormLayout(dialog);
    const auto box = [&](const char* name, int value) {
        auto* spin = new QSpinBox(dialog);
        spin->setObjectName(QLatin1String(name));
        spin->setRange(0, Rs485Settings::maxDelayMs);
        spin->setSuffix(QStringLiteral(" ms"));
        spin->setValue(value);
        return spin;
    };
    QSpinBox* before = box("SpnRs485Before", m_options.rs485.beforeMs);
    QSpinBox* after = box("SpnRs485After", m_options.rs485.afterMs);
    form->addRow(QStringLiteral("发送前 RTS 保持："), before);
    form->addRow(QStringLiteral("发送后 RTS 保持："), after);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, before, after] {
        m_options.rs485.beforeMs = before->value();
        m_options.rs485.afterMs = after->value();
        w.MSComm->setRs485(m_options.rs485);
        m_saveOptions();
    });
    dialog->open();
}

void WindowLines::openLineState()
{
    if (!m_lineState)
        m_lineState = new LineStateWindow(*w.MSComm, &w);
    m_lineState->show();
    m_lineState->raise();
    m_lineState->activateWindow();
}
