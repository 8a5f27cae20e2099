// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "transfer/lrzsz.h"

#include <QRegularExpression>
#include <QStandardPaths>

#include <optional>

namespace Lrzsz {

QString protocolName(TransferProtocol protocol)
{
    switch (protocol) {
    case TransferProtocol::Xmodem:
        return QStringLiteral("XMODEM");
    case TransferProtocol::Xmodem1k:
        return QStringLiteral("XMODEM-1K");
    case TransferProtocol::Ymodem:
    case TransferProtocol::YmodemReceive:
        break;
    }
    return QStringLiteral("YMODEM");
}

int blockBytes(TransferProtocol protocol)
{
    return protocol == TransferProtocol::Xmodem ? 128 : 1024;
}

QString program(TransferProtocol protocol)
{
    switch (protocol) {
    case TransferProtocol::Xmodem:
    case TransferProtocol::Xmodem1k:
        return QStandardPaths::findExecutable(QStringLiteral("sx"));
    case TransferProtocol::Ymodem:
        return QStandardPaths::findExecutable(QStringLiteral("sb"));
    case TransferProtocol::YmodemReceive:
        break;
    }
    return QStandardPaths::findExecutable(QStringLiteral("rb"));
}

// -vv reports each block sent; a receiver reports its blocks only at -vvv.
QStringList arguments(TransferProtocol protocol, const QString& file)
{
    switch (protocol) {
    case TransferProtocol::Xmodem:
        return { QStringLiteral("-vv"), file };
    case TransferProtocol::Xmodem1k:
        return { QStringLiteral("-vv"), QStringLiteral("-k"), file };
    case TransferProtocol::Ymodem:
        return { QStringLiteral("-vv"), QStringLiteral("-k"), file };
    case TransferProtocol::YmodemReceive:
        break;
    }
    return { QStringLiteral("-vvv"), QStringLiteral("-E") };
}

} // namespace Lrzsz

bool LrzszReport::feed(const QByteArray& bytes)
{
    bool changed = false;
    m_partial += bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_partial.size(); ++i) {
        if (m_partial[i] != '\r' && m_partial[i] != '\n')
            continue;
        changed |= line(m_partial.mid(start, i - start).trimmed());
        start = i + 1;
    }
    m_partial.remove(0, start);
    // A progress line is ended by the CR that starts the next one; it is read as soon as it is
    // whole, and read again, to the same effect, once ended.
    if (m_partial.endsWith('k') && m_partial.contains("sectors/kbytes sent:"))
        changed |= line(m_partial.trimmed());
    return changed;
}

namespace {

// The number after `label` in `text`, up to the first character that is not part of it.
std::optional<qint64> numberAfter(const QByteArray& text, const char* label)
{
    const qsizetype at = text.indexOf(label);
    if (at < 0)
        return std::nullopt;
    qsizetype begin = at + qsizetype(qstrlen(label));
    while (begin < text.size() && text[begin] == ' ')
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && (text[end] == '-' || (text[end] >= '0' && text[end] <= '9')))
        ++end;
    bool ok = false;
    const qint64 value = text.mid(begin, end - begin).toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// Lines that say nothing of why a transfer failed: its start and verdict, the signal a cancel
// sends, and the settings -vvv prints ("mode:0", "zconv=0").
bool ignored(const QString& text)
{
    static const QRegularExpression setting(QStringLiteral("^[A-Za-z]+[:=] ?-?\\d+$"));
    return text.startsWith(QLatin1String("Sending ")) || text.startsWith(QLatin1String("Transfer "))
        || text.contains(QLatin1String("caught signal")) || setting.match(text).hasMatch();
}

} // namespace

bool LrzszReport::line(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    const qint64 before = m_bytes + m_blocks;
    const QString name = m_fileName;
    const int block = Lrzsz::blockBytes(m_protocol);
    if (text == "Sending:") {
        m_batchEnded = true; // YMODEM's empty header after the last file
    } else if (const auto sectors = numberAfter(text, "modem sectors/kbytes sent:")) {
        if (!m_batchEnded) {
            m_bytes = *sectors * 128;
            m_blocks = m_bytes / block;
        }
    } else if (const auto sent = numberAfter(text, "Bytes Sent:")) {
        m_bytes = *sent;
        m_blocks = (m_bytes + block - 1) / block;
    } else if (const auto number = numberAfter(text, "Blocks received:")) {
        // The block's own number, which wraps at 256; the last report of all is negative.
        if (*number >= 0) {
            m_blocks += (*number - m_lastBlockNumber + 256) % 256;
            m_lastBlockNumber = int(*number);
        }
    } else if (const auto received = numberAfter(text, "Bytes received:")) {
        m_bytes = *received;
        if (const auto total = numberAfter(text, "/"))
            m_total = *total;
    } else if (text.startsWith("Receiving: ")) {
        m_fileName = QString::fromLocal8Bit(text.mid(11));
    } else if (text.startsWith("Retry ")) {
        if (const qsizetype colon = text.indexOf(':'); colon > 0)
            m_retryReason = QString::fromLocal8Bit(text.mid(colon + 1).trimmed());
    } else if (const QString other = QString::fromLocal8Bit(text); !ignored(other)) {
        m_lastLine = other;
    }
    return m_bytes + m_blocks != before || m_fileName != name;
}
