// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "modbus/framesplitter.h"

#include <utility>

void FrameSplitter::setRule(const Rule& rule)
{
    m_rule = rule;
    m_open.clear();
}

QList<FrameSplitter::Piece> FrameSplitter::feed(QByteArrayView bytes, qint64 atNs)
{
    QList<Piece> pieces;
    if (bytes.isEmpty())
        return pieces;
    if (!m_open.isEmpty() && atNs - m_lastNs >= m_rule.gapNs)
        pieces.append({ {}, std::exchange(m_open, QByteArray()) });
    m_lastNs = atNs;
    qsizetype from = 0;
    const auto cut = [&](qsizetype end, bool ends) {
        Piece piece { bytes.sliced(from, end - from).toByteArray(), {} };
        if (ends)
            piece.frame = std::exchange(m_open, QByteArray());
        from = end;
        if (!piece.bytes.isEmpty() || ends)
            pieces.append(piece);
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        switch (m_rule.mode) {
        case Modbus::Mode::Ascii:
            if (byte == ':' && !m_open.isEmpty())
                cut(i, true);
            m_open += byte;
            if ((byte == '\n' && m_open.endsWith("\r\n")) || m_open.size() >= Modbus::longestAscii)
                cut(i + 1, true);
            break;
        case Modbus::Mode::Rtu:
            m_open += byte;
            if (Modbus::wholeRtu(m_open) || m_open.size() >= Modbus::longestRtu)
                cut(i + 1, true);
            break;
        case Modbus::Mode::Off:
            m_open += byte;
            break;
        }
    }
    cut(bytes.size(), false);
    return pieces;
}

QByteArray FrameSplitter::expire(qint64 nowNs)
{
    if (m_open.isEmpty() || nowNs - m_lastNs < m_rule.gapNs)
        return {};
    return std::exchange(m_open, QByteArray());
}

QByteArray FrameSplitter::flush() { return std::exchange(m_open, QByteArray()); }
