// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window_encoding.h"

#include "port/codepage.h"
#include "port/serialcomponent.h"

#include <QActionGroup>
#include <QMenu>

EncodingMenu::EncodingMenu(SerialComponent& serial, const QByteArray& choice, QWidget* parent,
    std::function<void(const QByteArray&)> remember)
    : QObject(parent)
    , m_menu(new QMenu(QStringLiteral("字符编码"), parent))
{
    serial.setTextCodePage(choice);
    auto* group = new QActionGroup(m_menu);
    const QByteArrayList choices = QByteArrayList { QByteArray() } + CodePage::choices();
    for (const QByteArray& each : choices) {
        QAction* action = m_menu->addAction(each.isEmpty()
                ? QStringLiteral("系统 (%1)").arg(CodePage::displayName(CodePage::system()))
                : QString::fromLatin1(each));
        action->setCheckable(true);
        action->setChecked(each == choice);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [&serial, remember, each] {
            serial.setTextCodePage(each);
            remember(each);
        });
        if (each.isEmpty())
            m_menu->addSeparator();
    }
}
