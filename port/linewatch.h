// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/serialbackend.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class SerialComponent;

// What the line-state window shows: the modem status lines read on a timer while it runs, how
// often each has changed since it started, and the output lines as line control sets them. A
// watch that is not running reads nothing. A change shorter than the timer's period is not seen.
class LineWatch : public QObject {
    Q_OBJECT
public:
    // Well inside the 100 ms a light may lag the line.
    static constexpr int pollMs = 20;
    enum Line { Cts, Dsr, Dcd, Ri };

    struct State {
        bool open = false;
        std::optional<ModemLines> lines; // none: closed, or the port cannot report them
        std::array<int, 4> changes {}; // by Line
        bool dtr = false;
        bool rts = false;
        bool rtsByFlow = false; // RTS/CTS flow control drives RTS, whatever was asked
        bool operator==(const State& o) const
        {
            return open == o.open && lines == o.lines && changes == o.changes && dtr == o.dtr
                && rts == o.rts && rtsByFlow == o.rtsByFlow;
        }
        bool operator!=(const State& o) const { return !(*this == o); }
    };
    static bool level(const ModemLines& lines, Line line);

    explicit LineWatch(SerialComponent& serial, QObject* parent = nullptr);
    // Counts from zero, reading at once.
    void start();
    // Reads again with the counts kept; what the lines did meanwhile is not counted.
    void resume();
    void stop() { m_timer.stop(); }
    bool isRunning() const { return m_timer.isActive(); }
    const State& state() const { return m_state; }

Q_SIGNALS:
    void changed(const State& state);

private:
    bool poll(); // true when it said the state changed

    SerialComponent& m_serial;
    QTimer m_timer;
    State m_state;
};
