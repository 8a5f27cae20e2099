// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

// How often the USB serial adapter behind `devicePath` (a ttyUSB device, or a link to one) hands on
// what it received, in milliseconds: its driver's latency_timer under the sysfs root (FTDI and
// some others have one). Gaps on the line shorter than that cannot be told apart. Nothing when the
// device is no USB serial adapter or its driver says nothing. Only read, never written.
std::optional<int> adapterLatencyMs(
    const QString& devicePath, const QString& sysfsRoot = QStringLiteral("/sys"));
