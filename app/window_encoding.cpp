// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window_encoding.h"

#include "port/codepage.h"
#include "port/serialcomponent.h"

#include <QActionGroup>
#include <QMenu>

void addEncodingMenu(QMenu* menu, SerialComponent& serial, const QByteArray& choice,
    const std::function<void(const QByteArray&)>& chosen)
{
    QMenu* encodings = menu->addMenu(QStringLiteral("字符编码"));
    auto* group = new QActionGroup(encodings);
    const QByteArrayList choices = QByteArrayList { QByteArray() } + CodePage::choices();
    for (const QByteArray& each : choices) {
        QAction* action = encodings->addAction(each.isEmpty()
                ? QStringLiteral("系统 (%1)").arg(CodePage::displayName(CodePage::system()))
                : QString::fromLatin1(each));
        action->setCheckable(true);
        action->setChecked(each == choice);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &serial, [&serial, chosen, each] {
            serial.setTextCodePage(each);
            chosen(each);
        });
        if (each.isEmpty())
            encodings->addSeparator();
    }
}
