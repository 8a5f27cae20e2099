// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/commandsequence.h"

#include "port/serialcomponent.h"

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
    sendCurrent();
    return isRunning();
}

void CommandSequence::stop()
{
    m_delay.stop();
    m_retry.stop();
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
        m_waiting = false;
        Q_EMIT stepped(currentRow(), false);
        m_delay.start(command.delayMs);
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
