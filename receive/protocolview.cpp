// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/protocolview.h"

#include "port/codepage.h"
#include "receive/hexformat.h"

#include <utility>

namespace {

// Hexadecimal has no line breaks of its own: without a chosen gap, frames split at this one.
constexpr int hexFrameMs = 50;

QString stamp(const QDateTime& at) { return at.toString(QStringLiteral("[HH:mm:ss.zzz")); }

QByteArray characters(const QByteArray& bytes)
{
    QByteArray out = "  ";
    for (const char byte : bytes)
        out += byte >= 0x20 && byte <= 0x7E ? byte : '.';
    return out;
}

} // namespace

// The stamp of the first line back after a send ends with the time the reply took.
QString ProtocolFormatter::lineHead(const QDateTime& at)
{
    QString head;
    if (m_choices.stamps) {
        head = stamp(at);
        if (m_replyDue && m_choices.showSent && m_writtenMs >= 0)
            head += QStringLiteral(" +%1 ms").arg(at.toMSecsSinceEpoch() - m_writtenMs);
        head += QStringLiteral("] ");
    }
    m_replyDue = false;
    if (m_choices.showSent)
        head += QStringLiteral("收← ");
    return head;
}

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
        if (m_lineStart)
            out += lineHead(at);
        out += ch;
        m_lineStart = ch == u'\n' || ch == u'\r';
        m_afterCr = ch == u'\r';
    }
    return out;
}

QByteArray ProtocolFormatter::frameEnd()
{
    QByteArray out;
    if (!m_lineStart) {
        if (m_choices.hexChars)
            out += characters(m_frame);
        out += '\n';
    }
    m_frame.clear();
    return out;
}

ProtocolFormatter::Hex ProtocolFormatter::hex(const QByteArray& bytes, const QDateTime& at)
{
    const qint64 ms = at.toMSecsSinceEpoch();
    const int gap = m_choices.frameMs > 0 ? m_choices.frameMs : hexFrameMs;
    Hex out;
    if (m_lineStart || ms - m_lastMs >= gap) {
        out.head = QString::fromLatin1(frameEnd()) + lineHead(at);
        m_lineStart = false;
    }
    m_lastMs = ms;
    if (m_choices.hexChars)
        m_frame += bytes;
    out.pairs = HexFormat::pairs(bytes);
    return out;
}

QString ProtocolFormatter::sent(const QByteArray& bytes, bool file, bool hex, const QDateTime& at)
{
    const QByteArray shown = file ? bytes.first(qMin<qsizetype>(bytes.size(), fileShown)) : bytes;
    QString line
        = hex ? QString::fromLatin1(frameEnd()) : QString(m_lineStart ? 0 : 1, QLatin1Char('\n'));
    const QString head = (m_choices.stamps ? stamp(at) + QStringLiteral("] ") : QString())
        + QStringLiteral("发→ ");
    if (hex) {
        QByteArray pairs = HexFormat::pairs(shown);
        if (m_choices.hexChars)
            pairs += characters(shown);
        line += head + QString::fromLatin1(pairs);
    } else {
        // A character cut by the file's shown part is left out; line breaks inside what was
        // sent each begin a line of their own.
        CodePageDecoder decoder;
        QString text = decoder.decode(shown);
        if (text.endsWith(u'\n'))
            text.chop(text.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
        else if (text.endsWith(u'\r'))
            text.chop(1);
        line += head;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text.at(i);
            line += ch;
            if (ch == u'\n' || (ch == u'\r' && (i + 1 == text.size() || text.at(i + 1) != u'\n')))
                line += head;
        }
    }
    if (shown.size() < bytes.size())
        line += QStringLiteral("…(共 %1 字节)").arg(bytes.size());
    line += QLatin1Char('\n');
    m_lineStart = true;
    m_afterCr = false;
    m_replyDue = true;
    m_writtenMs = -1;
    return line;
}

void ProtocolFormatter::written(const QDateTime& at)
{
    if (m_replyDue)
        m_writtenMs = at.toMSecsSinceEpoch();
}

void ProtocolFormatter::reset()
{
    m_lineStart = true;
    m_afterCr = false;
    m_frame.clear();
}
