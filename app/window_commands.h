// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

class MainWindow;
class QMenu;
struct Options;

// Gives the window its send history, line ending, Ctrl+Enter and stored commands. The options are
// the window's remembered ones, `saveOptions` writes them; what it returns adds the items to the
// send box's context menu.
std::function<void(QMenu*)> buildWindowCommands(
    MainWindow& window, Options& options, std::function<void()> saveOptions);
