// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// XMODEM and YMODEM are lrzsz's: which of its programs a transfer runs, with what arguments, and
// what its reports on standard error say. The protocols themselves are no code of ours.
enum class TransferProtocol { Xmodem, Xmodem1k, Ymodem, YmodemReceive };

namespace Lrzsz {

QString protocolName(TransferProtocol protocol); // "XMODEM-1K"
inline bool sends(TransferProtocol protocol) { return protocol != TransferProtocol::YmodemReceive; }
// The size of the blocks it sends; lrzsz counts in 128-byte sectors whatever the block.
int blockBytes(TransferProtocol protocol);
// The program that runs it, found on PATH; empty when lrzsz is not installed.
QString program(TransferProtocol protocol);
// Sending names the file; receiving saves into the working folder under the name the sender
// gives, made unique (-E) rather than over an older file, and lrzsz keeps it inside that folder.
QStringList arguments(TransferProtocol protocol, const QString& file);

} // namespace Lrzsz

// What lrzsz says on standard error, fed as it comes: its progress lines end in CR, the rest in LF.
class LrzszReport {
public:
    explicit LrzszReport(TransferProtocol protocol)
        : m_protocol(protocol)
    {
    }
    // True when the bytes, the blocks or the name changed.
    bool feed(const QByteArray& bytes);

    qint64 bytes() const { return m_bytes; } // of the file
    qint64 blocks() const { return m_blocks; }
    qint64 total() const { return m_total; } // of the file; -1 until lrzsz says
    QString fileName() const { return m_fileName; } // the name a received file was saved under
    // lrzsz's last word on what went wrong: its last retry's reason, else its last other line.
    QString failure() const { return m_retryReason.isEmpty() ? m_lastLine : m_retryReason; }

private:
    bool line(const QByteArray& text);

    TransferProtocol m_protocol;
    QByteArray m_partial;
    qint64 m_bytes = 0;
    qint64 m_blocks = 0;
    qint64 m_total = -1;
    int m_lastBlockNumber = 0; // as received, modulo 256
    bool m_batchEnded = false;
    QString m_fileName;
    QString m_retryReason;
    QString m_lastLine;
};
