// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>

class QMenu;
class QWidget;
class SerialComponent;

// The 字符编码 menu, one choice shown in both the receive and the send box's menus: the system
// code page (named as it resolved) or one of CodePage::choices(). A choice applies to the port's
// text both ways at once, to the saved file through the port, and is handed to `remember`.
class EncodingMenu : public QObject {
public:
    EncodingMenu(SerialComponent& serial, const QByteArray& choice, QWidget* parent,
        std::function<void(const QByteArray&)> remember);
    QMenu* menu() const { return m_menu; }

private:
    QMenu* m_menu;
};
