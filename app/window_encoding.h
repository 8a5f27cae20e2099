// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

#include <functional>

class QMenu;
class SerialComponent;

// Adds the 字符编码 submenu to a context menu, made with it and gone with it: the system code
// page (named as it resolved) or one of CodePage::choices(), `choice` ticked. Both the receive and
// the send box's menus show it. A pick applies to the port's text both ways at once, to the saved
// file through the port, and is handed to `chosen`.
void addEncodingMenu(QMenu* menu, SerialComponent& serial, const QByteArray& choice,
    const std::function<void(const QByteArray&)>& chosen);
