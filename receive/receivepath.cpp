// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/receivepath.h"

#include "port/serialcomponent.h"
#include "receive/counters.h"
#include "receive/hexformat.h"

Arrival ReceivePath::text(const QByteArray& received, bool autoClear, Moment at)
{
    Arrival arrival;
    if (m_protocol.decoding()) {
        // Frames are cut from the bytes, each decoded as it is shown.
        QString text = m_protocol.frames(received, at, false,
            [this](const QByteArray& bytes) { return m_serial.textOf(bytes); });
        arrival.text = m_stopped ? QString() : std::move(text);
    } else {
        QString text = m_serial.textOf(received);
        if (!m_stopped)
            arrival.text = m_protocol.active(false) ? m_protocol.text(text, at) : std::move(text);
    }
    arrival.clear = m_counters.addReceived(received.size(), autoClear);
    if (arrival.clear)
        m_protocol.reset();
    arrival.count = m_counters.receivedText();
    return arrival;
}

Arrival ReceivePath::hex(const QByteArray& received, bool autoClear, Moment at)
{
    Arrival arrival;
    const QByteArray bytes = m_serial.bytesOf(received);
    if (m_protocol.decoding())
        arrival.text = m_protocol.frames(bytes, at, true, {});
    else if (m_protocol.active(true) && !bytes.isEmpty()) {
        ProtocolFormatter::Hex hex = m_protocol.hex(bytes, at);
        arrival.text = std::move(hex.head);
        arrival.hexPairs = std::move(hex.pairs);
    } else
        arrival.hexPairs = HexFormat::pairs(bytes);
    arrival.clear = m_counters.addReceived(received.size(), autoClear);
    if (arrival.clear)
        m_protocol.reset();
    arrival.count = m_counters.receivedText();
    return arrival;
}

Arrival ReceivePath::sent(
    const QByteArray& bytes, ProtocolFormatter::SentAs as, bool hexDisplay, Moment at)
{
    Arrival arrival;
    // A stopped text display shows nothing new; the hexadecimal one shows every byte.
    if (m_protocol.choices().showSent && (hexDisplay || !m_stopped))
        arrival.text = m_protocol.sent(bytes, as, hexDisplay, at, m_serial.textCodePage());
    else if (as != ProtocolFormatter::SentAs::File)
        m_protocol.pairSent(bytes);
    return arrival;
}

Arrival ReceivePath::idle(bool hexDisplay, Moment now)
{
    Arrival arrival;
    const QString text = m_protocol.idle(now, hexDisplay);
    if (hexDisplay || !m_stopped)
        arrival.text = text;
    return arrival;
}

QString ReceivePath::toggleStopped()
{
    m_stopped = !m_stopped;
    return m_stopped ? QStringLiteral("继续显示") : QStringLiteral("停止显示");
}

Arrival ReceivePath::note(const QString& text, bool hexDisplay, Moment at)
{
    Arrival arrival;
    if (hexDisplay || !m_stopped)
        arrival.text = m_protocol.note(text, hexDisplay, at);
    return arrival;
}
