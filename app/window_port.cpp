// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Port settings, opening, closing and the status display: the boxes are read, PortSession decides.
#include "app/mainwindow.h"

#include "port/serialcomponent.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

SelectionTexts MainWindow::selectionTexts() const
{
    return { CboCom->currentText(), CboBaudrate->currentText(), CboParitybit->currentText(),
        CboDatabit->currentText(), CboStopbit->currentText() };
}

void MainWindow::CboCom_Click() { showPort(m_port.pick(selectionTexts())); }
void MainWindow::CboBaudrate_Click() { showPort(m_port.pick(selectionTexts())); }
void MainWindow::CboParitybit_Click() { showPort(m_port.pick(selectionTexts())); }
void MainWindow::CboDatabit_Click() { showPort(m_port.pick(selectionTexts())); }
void MainWindow::CboStopbit_Click() { showPort(m_port.pick(selectionTexts())); }

void MainWindow::CboCom_Change()
{
    CboCom->lineEdit()->setToolTip(
        portDeviceText(CboCom->currentText(), [this](int port) { return MSComm->locate(port); }));
}

void MainWindow::CmdSwitch_Click() { showPort(m_port.toggle(selectionTexts())); }

void MainWindow::MSComm_DeviceReturned() { showPort(m_port.returned()); }

// The reason also shows in the status line's tooltip (app/window_extras.cpp).
void MainWindow::showPort(const PortView& view)
{
    if (!view.reason.isEmpty())
        std::fprintf(stderr, "portlark: %s\n", view.reason.toLocal8Bit().constData());
    showMessage(view.message);
    if (!view.status.isNull())
        TxtStatus->setText(view.status);
    if (view.lamp == PortView::Lamp::Unchanged)
        return;
    const bool open = view.lamp == PortView::Lamp::Open;
    CmdSwitch->setText(open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
    ImgSwitchOn->setVisible(open);
    ImgSwitchOff->setVisible(!open);
}
