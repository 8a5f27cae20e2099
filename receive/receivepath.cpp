#include "receive/receivepath.h"

#include "port/serialcomponent.h"
#include "receive/counters.h"
#include "receive/hexformat.h"

Arrival ReceivePath::text(bool autoClear)
{
    Arrival arrival;
    qint64 bytes = 0;
    QString text = m_serial.inputText(&bytes);
    if (!m_stopped)
        arrival.text = std::move(text);
    arrival.clear = m_counters.addReceived(bytes, autoClear);
    arrival.count = m_counters.receivedText();
    return arrival;
}

Arrival ReceivePath::hex(bool autoClear)
{
    Arrival arrival;
    qint64 count = 0;
    const QByteArray bytes = m_serial.inputBytes(&count);
    if (!bytes.isEmpty())
        arrival.hexPairs = HexFormat::pairs(bytes);
    arrival.clear = m_counters.addReceived(count, autoClear);
    arrival.count = m_counters.receivedText();
    return arrival;
}

QString ReceivePath::toggleStopped()
{
    m_stopped = !m_stopped;
    return m_stopped ? QStringLiteral("继续显示") : QStringLiteral("停止显示");
}
