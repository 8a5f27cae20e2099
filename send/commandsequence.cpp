// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/commandsequence.h"

#include "port/serialcomponent.h"
#include "send/replywatch.h"

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

void CommandSequence::setWatch(ReplyWatch* watch)
{
    m_watch = watch;
    connect(watch, &ReplyWatch::checked, this, &CommandSequence::onChecked);
    connect(watch, &ReplyWatch::resent, this, [this](int row) {
        if (m_checking && row == currentRow())
            m_tallies.sent(row);
    });
}

bool CommandSequence::start(const QList<Command>& commands, bool stopAtFailure)
{
    stop();
    m_commands = commands;
    m_stopAtFailure = stopAtFailure;
    QStringList names;
    for (const Command& command : commands)
        names << command.name;
    m_tallies.start(names, QDateTime::currentDateTime());
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
    if (std::exchange(m_checking, false) && m_watch)
        m_watch->cancel();
    if (std::exchange(m_current, -1) >= 0) {
        m_tallies.finish(QDateTime::currentDateTime());
        Q_EMIT stepped(-1, false);
    }
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
        m_tallies.sent(currentRow());
        const bool held = std::exchange(m_waiting, false);
        if (m_watch && command.expect.kind != ReplyPattern::Kind::None) {
            m_checking = true;
            m_watch->expect(currentRow(), command);
        } else {
            startDelay(command, held);
        }
        Q_EMIT stepped(currentRow(), false);
        return;
    }
    if (!std::exchange(m_waiting, true))
        Q_EMIT stepped(currentRow(), true);
    m_retry.start();
}

// Delays count from when each row was due, so the time a send takes does not add up over a long
// sequence. A row is never hurried by more than a millisecond, though: a device may need the
// whole delay. One the output held, one late by more than its delay (a busy window) or one that
// waited for its reply counts from now.
void CommandSequence::startDelay(const Command& command, bool fromNow)
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 delayNs = qint64(command.delayMs) * 1000000;
    if (fromNow || now - m_dueNs > delayNs)
        m_dueNs = now;
    m_dueNs += delayNs;
    const int earliest = std::max(0, command.delayMs - 1);
    m_delay.start(
        int(std::clamp<qint64>((m_dueNs - now + 500000) / 1000000, earliest, command.delayMs)));
}

void CommandSequence::onChecked(int row, const Verdict& verdict)
{
    if (!isRunning() || !m_checking || row != currentRow())
        return;
    m_checking = false;
    m_tallies.checked(row, verdict);
    Q_EMIT checked(row, verdict);
    if (m_stopAtFailure && verdict.result != Verdict::Result::Pass) {
        stop();
        return;
    }
    if (isRunning())
        startDelay(m_commands[row], true);
}

void CommandSequence::next()
{
    if (!isRunning())
        return;
    m_current = (m_current + 1) % int(m_rows.size());
    sendCurrent();
}
