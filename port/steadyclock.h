// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <chrono>

// Nanoseconds on the monotonic clock (CLOCK_MONOTONIC, which QElapsedTimer reads too). Reads and
// writes are stamped on it and every time between them is taken on it: unlike the wall clock it
// never steps when the system's time is set.
inline qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
