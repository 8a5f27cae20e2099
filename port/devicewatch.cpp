#include "port/devicewatch.h"

DeviceWatch::DeviceWatch(Resolver resolver, QObject* parent)
    : QObject(parent)
    , m_resolve(std::move(resolver))
{
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &DeviceWatch::poll);
}

void DeviceWatch::watch(int port)
{
    m_port = port;
    m_poll.start();
}

void DeviceWatch::cancel() { m_poll.stop(); }

void DeviceWatch::poll()
{
    const QString path = m_resolve(m_port);
    if (path.isEmpty())
        return;
    m_poll.stop();
    Q_EMIT returned(m_port, path);
}
