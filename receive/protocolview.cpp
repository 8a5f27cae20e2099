// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/protocolview.h"

#include "port/codepage.h"
#include "receive/hexformat.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace {

// Hexadecimal has no line breaks of its own: without a chosen gap, frames split at this one.
constexpr int hexFrameMs = 50;

QByteArray characters(const QByteArray& bytes)
{
    QByteArray out = "  ";
    for (const char byte : bytes)
        out += byte >= 0x20 && byte <= 0x7E ? byte : '.';
    return out;
}

} // namespace

void ProtocolFormatter::setChoices(const Choices& choices)
{
    const bool modeChanged = choices.decode != m_choices.decode;
    m_choices = choices;
    m_headNs = none;
    if (modeChanged)
        m_annotator.reset();
    if (!(frameRule() == m_splitter.rule()))
        m_splitter.setRule(frameRule());
}

FrameSplitter::Rule ProtocolFormatter::frameRule() const
{
    const qint64 chosen = qint64(m_choices.frameMs) * 1'000'000;
    switch (m_choices.decode) {
    case Modbus::Mode::Rtu:
        return { Modbus::Mode::Rtu, std::max(m_choices.rtuGapNs, chosen) };
    case Modbus::Mode::Ascii:
        return { Modbus::Mode::Ascii, std::max(Modbus::asciiGapNs, chosen) };
    case Modbus::Mode::Off:
        break;
    }
    return {};
}

// A time zone's offset changes on a minute's boundary, at most a few times a year: it is looked up
// once a minute, not at every arrival.
QString ProtocolFormatter::stamp(qint64 at)
{
    constexpr qint64 minuteMs = 60 * 1000, dayMs = 24 * 60 * minuteMs;
    const qint64 minute = at >= 0 ? at / minuteMs : (at - minuteMs + 1) / minuteMs;
    if (minute != m_offsetMinute) {
        m_offsetMinute = minute;
        m_offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(at).offsetFromUtc()) * 1000;
    }
    const qint64 ms = ((at + m_offsetMs) % dayMs + dayMs) % dayMs;
    const int field[] = { int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60) };
    QString out(13, QLatin1Char('0'));
    out[0] = u'[';
    for (int k = 0; k < 3; ++k) {
        out[1 + 3 * k] = QLatin1Char(char('0' + field[k] / 10));
        out[2 + 3 * k] = QLatin1Char(char('0' + field[k] % 10));
        out[3 + 3 * k] = k < 2 ? u':' : u'.';
    }
    const int milli = int(ms % 1000);
    out[10] = QLatin1Char(char('0' + milli / 100));
    out[11] = QLatin1Char(char('0' + milli / 10 % 10));
    out[12] = QLatin1Char(char('0' + milli % 10));
    return out;
}

// The stamp of the first line back after a send ends with the time the reply took. Every line
// of one read has the same head, made once.
QString ProtocolFormatter::lineHead(Moment at)
{
    const QString direction = m_choices.showSent ? QStringLiteral("收← ") : QString();
    const bool timed = m_choices.stamps && m_choices.showSent;
    if (const qint64 written = std::exchange(m_writtenNs, none); written != none) {
        if (timed) {
            const qint64 ms = std::max<qint64>(0, (at.steadyNs - written + 500'000) / 1'000'000);
            return stamp(at.wallMs) + QStringLiteral(" +%1 ms] ").arg(ms) + direction;
        }
    } else if (std::exchange(m_unwritten, false) && timed) {
        return stamp(at.wallMs) + QStringLiteral(" +0 ms] ") + direction;
    }
    if (m_headNs != at.steadyNs) {
        m_head
            = (m_choices.stamps ? stamp(at.wallMs) + QStringLiteral("] ") : QString()) + direction;
        m_headNs = at.steadyNs;
    }
    return m_head;
}

QString ProtocolFormatter::text(const QString& text, Moment at)
{
    const qsizetype size = text.size();
    QString out;
    out.reserve(size + 32);
    // A read that only held back part of a character shows nothing, but a byte came.
    if (size > 0 && m_choices.frameMs > 0 && !m_lineStart
        && at.steadyNs - m_lastNs >= qint64(m_choices.frameMs) * 1'000'000) {
        out += QLatin1Char('\n');
        m_lineStart = true;
    }
    m_lastNs = at.steadyNs;
    const QChar* chars = text.constData();
    qsizetype at0 = 0;
    if (size > 0 && std::exchange(m_afterCr, false) && chars[0] == u'\n') {
        out += QLatin1Char('\n'); // the rest of a CR LF
        at0 = 1;
    }
    // Line by line: a line runs to its line break, a CR LF being one.
    while (at0 < size) {
        if (m_lineStart)
            out += lineHead(at);
        qsizetype end = at0;
        while (end < size && chars[end] != u'\n' && chars[end] != u'\r')
            ++end;
        if (end == size) {
            out.append(chars + at0, size - at0);
            m_lineStart = false;
            break;
        }
        qsizetype next = end + 1;
        if (chars[end] == u'\r') {
            if (next == size)
                m_afterCr = true;
            else if (chars[next] == u'\n')
                ++next;
        }
        out.append(chars + at0, next - at0);
        m_lineStart = true;
        at0 = next;
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

ProtocolFormatter::Hex ProtocolFormatter::hex(const QByteArray& bytes, Moment at)
{
    const int gap = m_choices.frameMs > 0 ? m_choices.frameMs : hexFrameMs;
    Hex out;
    if (m_lineStart || at.steadyNs - m_lastNs >= qint64(gap) * 1'000'000) {
        out.head = QString::fromLatin1(frameEnd()) + lineHead(at);
        m_lineStart = false;
    }
    m_lastNs = at.steadyNs;
    if (m_choices.hexChars)
        m_frame += bytes;
    out.pairs = HexFormat::pairs(bytes);
    return out;
}

QString ProtocolFormatter::frames(
    const QByteArray& bytes, Moment at, bool hex, const TextOf& textOf)
{
    QString out;
    const QList<FrameSplitter::Piece> pieces = m_splitter.feed(bytes, at.steadyNs);
    for (const FrameSplitter::Piece& piece : pieces) {
        if (!piece.bytes.isEmpty()) {
            if (m_lineStart) {
                out += lineHead(at);
                m_lineStart = false;
            }
            if (hex) {
                out += QString::fromLatin1(HexFormat::pairs(piece.bytes));
                if (m_choices.hexChars)
                    m_frame += piece.bytes;
            } else {
                QString text = textOf(piece.bytes);
                text.remove(QLatin1Char('\r'));
                text.remove(QLatin1Char('\n'));
                out += text;
            }
        }
        if (piece.ends())
            out += frameClose(piece.frame, hex);
    }
    return out;
}

QString ProtocolFormatter::frameClose(const QByteArray& frame, bool hex)
{
    QString out;
    if (hex && m_choices.hexChars)
        out += QString::fromLatin1(characters(m_frame));
    m_frame.clear();
    out += QString(hex ? 1 : 2, QLatin1Char(' ')) + m_annotator.annotate(frame, m_choices.decode)
        + QLatin1Char('\n');
    m_lineStart = true;
    return out;
}

QString ProtocolFormatter::endOpenLine(bool hexDisplay)
{
    if (const QByteArray open = decoding() ? m_splitter.flush() : QByteArray(); !open.isEmpty())
        return frameClose(open, hexDisplay);
    return hexDisplay ? QString::fromLatin1(frameEnd())
                      : QString(m_lineStart ? 0 : 1, QLatin1Char('\n'));
}

QString ProtocolFormatter::idle(Moment now, bool hex)
{
    const QByteArray frame = m_splitter.expire(now.steadyNs);
    return frame.isEmpty() ? QString() : frameClose(frame, hex);
}

QString ProtocolFormatter::note(const QString& text, bool hexDisplay, Moment at)
{
    QString line = endOpenLine(hexDisplay);
    if (m_choices.stamps)
        line += stamp(at.wallMs) + QStringLiteral("] ");
    line += text + QLatin1Char('\n');
    m_lineStart = true;
    m_afterCr = false;
    return line;
}

void ProtocolFormatter::pairSent(const QByteArray& bytes)
{
    if (decoding())
        m_annotator.annotate(bytes, m_choices.decode);
}

QString ProtocolFormatter::sent(
    const QByteArray& bytes, SentAs as, bool hexDisplay, Moment at, const QByteArray& codePage)
{
    const QByteArray shown
        = as == SentAs::File ? bytes.first(qMin<qsizetype>(bytes.size(), fileShown)) : bytes;
    QString line = endOpenLine(hexDisplay);
    const QString head = (m_choices.stamps ? stamp(at.wallMs) + QStringLiteral("] ") : QString())
        + QStringLiteral("发→ ");
    if (hexDisplay || as == SentAs::Hex) {
        // What was typed as hexadecimal is bytes, whatever a code page would make of them.
        QByteArray pairs = HexFormat::pairs(shown);
        if (hexDisplay && m_choices.hexChars)
            pairs += characters(shown);
        line += head + QString::fromLatin1(pairs);
    } else {
        // A character cut by the file's shown part is left out; line breaks inside what was
        // sent each begin a line of their own.
        CodePageDecoder decoder(codePage);
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
    else if (decoding() && as != SentAs::File)
        line += QStringLiteral("  ") + m_annotator.annotate(bytes, m_choices.decode);
    line += QLatin1Char('\n');
    m_lineStart = true;
    m_afterCr = false;
    m_unwritten = true;
    return line;
}

void ProtocolFormatter::written(qint64 steadyNs)
{
    if (std::exchange(m_unwritten, false))
        m_writtenNs = steadyNs;
}

void ProtocolFormatter::reset()
{
    m_lineStart = true;
    m_afterCr = false;
    m_frame.clear();
}
