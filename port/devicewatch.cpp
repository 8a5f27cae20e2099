// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/devicewatch.h"

#include "port/serialcomponent.h"

DeviceWatch::DeviceWatch(const SerialComponent& serial, QObject* parent)
    : QObject(parent)
    , m_serial(serial)
{
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &DeviceWatch::poll);
}

void DeviceWatch::watch(int port, const DeviceIdentity& identity)
{
    m_port = port;
    m_identity = identity;
    m_poll.start();
}

void DeviceWatch::cancel() { m_poll.stop(); }

void DeviceWatch::poll()
{
    if (!isWatching())
        return;
    const ComDevice device = m_serial.locate(m_port);
    if (device.path.isEmpty() || device.identity.isNull() || device.identity != m_identity)
        return;
    if (!m_serial.answers(device))
        return;
    m_poll.stop();
    Q_EMIT returned(m_port, device.path);
}
