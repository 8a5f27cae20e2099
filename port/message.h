// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// A message box the rules ask the window to show; a null text shows nothing.
struct Message {
    enum class Icon { Warning, Error, Question };
    QString text;
    Icon icon = Icon::Warning;
    bool offerCancel = false; // OK and Cancel; only a question tells them apart

    bool isNull() const { return text.isNull(); }
};
