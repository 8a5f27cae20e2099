// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/commandsequence.h"

#include "port/serialcomponent.h"

#include <algorithm>

CommandSequence::CommandSequence(SendPath& send, SerialComponent& serial, QObject* parent)
    : QObject(parent)
    , m_send(send)
    , m_serial(serial)
{
    m_delay.setSingleShot(true);
    m_delay.setTimerType(Qt::PreciseTimer);
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_delay, &QTimer::timeout, this, &CommandSequence::next);
    connect(&m_retry, &QTimer::timeout, this, &CommandSequence::sendCurrent);
    m_portWatch.setInterval(portWatchMs);
    connect(&m_portWatch, &QTimer::timeout, this, [this] {
        if (!m_serial.portOpen())
            stop();
    });
    connect(&m_serial, &SerialComponent::onComm, this, [this](int commEvent) {
        if (commEvent == SerialComponent::EventDeviceLost)
            stop();
        else if (commEvent == SerialComponent::EventSend && m_waiting)
            sendCurrent();
    });
}

bool CommandSequence::start(const QList<Command>& commands)
{
    stop();
    m_commands = commands;
    m_rows.clear();
    for (int row = 0; row < commands.size(); ++row)
        if (commands[row].inSequence)
            m_rows.append(row);
    if (m_rows.isEmpty() || !m_serial.portOpen())
        return false;
    m_current = 0;
    m_portWatch.start();
    m_clock.start();
    m_dueNs = 0;
    sendCurrent();
    return isRunning();
}

void CommandSequence::stop()
{
    m_delay.stop();
    m_retry.stop();
    m_portWatch.stop();
    m_waiting = false;
    if (std::exchange(m_current, -1) >= 0)
        Q_EMIT stepped(-1, false);
}

void CommandSequence::sendCurrent()
{
    if (!isRunning())
        return;
    if (!m_serial.portOpen()) {
        stop();
        return;
    }
    m_retry.stop();
    const Command& command = m_commands[m_rows[m_current]];
    if (m_send.sendBox(command.content, command.hex, command.ending)) {
        // Delays count from when each row was due, so the time a send takes does not add up
        // over a long sequence. A row is never hurried by more than a millisecond, though: a
        // device may need the whole delay. One the output held, or one late by more than its
        // delay (a busy window), counts from when it went.
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 delayNs = qint64(command.delayMs) * 1000000;
        if (std::exchange(m_waiting, false) || now - m_dueNs > delayNs)
            m_dueNs = now;
        m_dueNs += delayNs;
        const int earliest = std::max(0, command.delayMs - 1);
        m_delay.start(
            int(std::clamp<qint64>((m_dueNs - now + 500000) / 1000000, earliest, command.delayMs)));
        Q_EMIT stepped(currentRow(), false);
        return;
    }
    if (!std::exchange(m_waiting, true))
        Q_EMIT stepped(currentRow(), true);
    m_retry.start();
}

void CommandSequence::next()
{
    if (!isRunning())
        return;
    m_current = (m_current + 1) % int(m_rows.size());
    sendCurrent();
}
