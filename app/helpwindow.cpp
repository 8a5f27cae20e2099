// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/helpwindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <cmath>

namespace {

int px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FrmHelp"));
    setWindowTitle(QStringLiteral("www.velmora.example"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/portlark.xpm")));
    setFixedSize(px(4560), px(2310));

    const QString captions[2] = { QStringLiteral("Velmora\u2014串口调试助手V2.1"),
        QStringLiteral("联系：support@velmora.example") };
    for (int index = 0; index < 2; ++index) {
        Label1[index] = new QLabel(captions[index], this);
        Label1[index]->setObjectName(QStringLiteral("Label1_%1").arg(index));
        Label1[index]->setGeometry(px(120), px(120 + 600 * index), px(4095), px(375));
        Label1[index]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    CmdAssurance = new QPushButton(QStringLiteral("确  定"), this);
    CmdAssurance->setObjectName(QStringLiteral("CmdAssurance"));
    CmdAssurance->setGeometry(px(3240), px(1680), px(1095), px(375));
    CmdAssurance->setDefault(true);
    CmdAssurance->setFocus();
    connect(CmdAssurance, &QPushButton::clicked, this, &HelpWindow::CmdAssurance_Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->geometry())
                 .topLeft());
}

void HelpWindow::CmdAssurance_Click() { close(); }
