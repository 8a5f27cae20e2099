// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/combackend.h"

QtSerialComponent::QtSerialComponent(QObject* parent)
    : SerialComponent(std::make_unique<ComBackend>(), parent)
{
}

ComBackend::ComBackend(QObject* parent)
    : SerialBackend(parent)
{
    adopt(m_local);
    adopt(m_remote);
}

// The backend not in use is closed, and whatever it still had to say is not news.
void ComBackend::adopt(SerialBackend& backend)
{
    SerialBackend* const from = &backend;
    connect(from, &SerialBackend::received, this, [this, from](const QByteArray& bytes, qint64 at) {
        if (from == m_active)
            Q_EMIT received(bytes, at);
    });
    connect(from, &SerialBackend::sent, this, [this, from](qint64 bytes) {
        if (from == m_active)
            Q_EMIT sent(bytes);
    });
    connect(from, &SerialBackend::drained, this, [this, from](qint64 at) {
        if (from == m_active)
            Q_EMIT drained(at);
    });
    connect(from, &SerialBackend::lost, this, [this, from] {
        if (from == m_active)
            Q_EMIT lost();
    });
    connect(from, &SerialBackend::failed, this, [this, from] {
        if (from != m_active)
            return;
        refused(from->error(), from->errorString());
        Q_EMIT failed();
    });
}

bool ComBackend::open(int port, const LineSettings& line)
{
    if (isOpen())
        return refused(OpenFailure::Reason::Busy, QStringLiteral("串口已经打开"));
    SerialBackend* next = RemoteUrl::isRemote(locate(port).path)
        ? static_cast<SerialBackend*>(&m_remote)
        : &m_local;
    if (next != m_active)
        m_active->close();
    m_active = next;
    return m_active->open(port, line) ? opened()
                                      : refused(m_active->error(), m_active->errorString());
}

void ComBackend::setTimed(bool timed)
{
    m_local.setTimed(timed);
    m_remote.setTimed(timed);
}

bool ComBackend::answers(const ComDevice& device)
{
    return RemoteUrl::isRemote(device.path) ? m_remote.answers(device) : true;
}
