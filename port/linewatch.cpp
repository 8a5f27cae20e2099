// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/linewatch.h"

#include "port/serialcomponent.h"

LineWatch::LineWatch(SerialComponent& serial, QObject* parent)
    : QObject(parent)
    , m_serial(serial)
{
    m_timer.setInterval(pollMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
}

bool LineWatch::level(const ModemLines& lines, Line line)
{
    switch (line) {
    case Cts:
        return lines.cts;
    case Dsr:
        return lines.dsr;
    case Dcd:
        return lines.dcd;
    case Ri:
        break;
    }
    return lines.ri;
}

void LineWatch::start()
{
    m_state = State();
    m_timer.start();
    if (!poll())
        Q_EMIT changed(m_state);
}

void LineWatch::resume()
{
    m_state.lines.reset();
    m_timer.start();
    poll();
}

// Changes count only between two readings in a row: what a line did while the port was closed
// or could not tell is not known.
bool LineWatch::poll()
{
    State next = m_state;
    next.open = m_serial.portOpen();
    next.lines = m_serial.modemLines();
    if (next.lines && m_state.lines) {
        for (const Line line : { Cts, Dsr, Dcd, Ri })
            next.changes[line] += level(*next.lines, line) != level(*m_state.lines, line);
    }
    next.dtr = m_serial.dataTerminalReady();
    next.rts = m_serial.requestToSend();
    next.rtsByFlow = m_serial.flowControl() == FlowControl::Hardware;
    if (next == m_state)
        return false;
    m_state = next;
    Q_EMIT changed(m_state);
    return true;
}
