// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/protocolview.h"

#include "receive/hexformat.h"

#include <utility>

namespace {

// Hexadecimal has no line breaks of its own: without a chosen gap, frames split at this one.
constexpr int hexFrameMs = 50;

QString stamp(const QDateTime& at) { return at.toString(QStringLiteral("[HH:mm:ss.zzz] ")); }

} // namespace

QString ProtocolFormatter::text(const QString& text, const QDateTime& at)
{
    const qint64 ms = at.toMSecsSinceEpoch();
    QString out;
    // A read that only held back part of a character shows nothing, but a byte came.
    if (!text.isEmpty() && m_choices.frameMs > 0 && !m_lineStart
        && ms - m_lastMs >= m_choices.frameMs) {
        out += QLatin1Char('\n');
        m_lineStart = true;
    }
    m_lastMs = ms;
    for (const QChar ch : text) {
        if (std::exchange(m_afterCr, false) && ch == u'\n') {
            out += ch;
            continue;
        }
        if (m_lineStart && m_choices.stamps)
            out += stamp(at);
        out += ch;
        m_lineStart = ch == u'\n' || ch == u'\r';
        m_afterCr = ch == u'\r';
    }
    return out;
}

QByteArray ProtocolFormatter::hex(const QByteArray& bytes, const QDateTime& at)
{
    const qint64 ms = at.toMSecsSinceEpoch();
    const int gap = m_choices.frameMs > 0 ? m_choices.frameMs : hexFrameMs;
    QByteArray out;
    if (m_lineStart || ms - m_lastMs >= gap) {
        if (!m_lineStart) {
            if (m_choices.hexChars) {
                out += "  ";
                for (const char byte : std::as_const(m_frame))
                    out += byte >= 0x20 && byte <= 0x7E ? byte : '.';
            }
            out += '\n';
        }
        m_frame.clear();
        if (m_choices.stamps)
            out += stamp(at).toLatin1();
        m_lineStart = false;
    }
    m_lastMs = ms;
    if (m_choices.hexChars)
        m_frame += bytes;
    return out + HexFormat::pairs(bytes);
}

void ProtocolFormatter::reset()
{
    m_lineStart = true;
    m_afterCr = false;
    m_frame.clear();
}
