// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/message.h"
#include "transfer/lrzsz.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>

class SendPath;
class SerialComponent;

struct TransferProgress {
    qint64 bytes = 0; // of the file as lrzsz reports it; a receive counts what came until it does
    qint64 total = -1; // the file's size; -1 while not known
    qint64 blocks = 0;
    qint64 elapsedMs = 0;
    QString fileName; // a receive's, as saved
};

struct TransferOutcome {
    enum class Kind { Done, Cancelled, Failed };
    Kind kind = Kind::Done;
    Message message; // why it failed; null otherwise
    QString savedPath; // a receive's file
};

namespace TransferText {
// "51200 / 102400 字节，50 块"; without a total "51200 字节，50 块".
QString progress(const TransferProgress& progress);
// "速率：12.3 KB/s"; nothing before the first bytes.
QString rate(const TransferProgress& progress);
} // namespace TransferText

// A file sent or received by lrzsz over the open port: its program runs as a child whose standard
// output goes to the port and whose standard input gets everything that arrives, while its
// reports on standard error make the progress.
//
// While it runs every other send is refused (SendPath::transferRunning()) and the port is read as
// the line delivers. Cancelling, a far end silent for the quiet limit and a port closed or lost
// all end the child with SIGTERM, on which lrzsz sends the protocol's cancel, relayed to the port
// once the far end has answered the block in flight (see releaseCancel()); a child that outlives
// a second of that is killed. No child outlives the transfer or this object.
class FileTransfer : public QObject {
    Q_OBJECT
public:
    // How long the far end may stay silent: XMODEM's own wait for a receiver to start.
    static constexpr int quietLimitMs = 60000;
    static constexpr int killAfterMs = 1000;
    // The longest the child's cancel waits for the far end to answer the block in flight.
    static constexpr int cancelWaitMs = 1000;

    FileTransfer(SerialComponent& serial, SendPath& send, QObject* parent = nullptr);
    // Ends a running child at once; the send path is not told (it may be gone already).
    ~FileTransfer() override;

    // Whether lrzsz is installed (its programs are on PATH).
    static bool installed();

    // Sends the file `path`, or for YmodemReceive receives into the folder `path`. Refused, with
    // why, when the port is closed, a transfer runs, lrzsz is missing or the file cannot be read.
    Message start(TransferProtocol protocol, const QString& path);
    void cancel();
    bool isRunning() const { return m_process != nullptr; }
    TransferProtocol protocol() const { return m_protocol; }
    const TransferProgress& progress() const { return m_progress; }
    void setQuietLimitMs(int ms) { m_quiet.setInterval(ms); }

Q_SIGNALS:
    void progressed(const TransferProgress& progress);
    void finished(const TransferOutcome& outcome);

private:
    void onComm(int commEvent, const QByteArray& received);
    void readOutput();
    void readReports();
    void pump();
    void releaseCancel();
    qint64 reportedBytes() const;
    // Ends the child; `outcome` is what the transfer ends with, whatever the child says.
    void end(const TransferOutcome& outcome);
    void onFinished(int exitCode, QProcess::ExitStatus status);

    SerialComponent& m_serial;
    SendPath& m_send;
    QPointer<QProcess> m_process;
    TransferProtocol m_protocol = TransferProtocol::Xmodem1k;
    QString m_folder; // a receive's
    LrzszReport m_report { TransferProtocol::Xmodem1k };
    TransferProgress m_progress;
    QElapsedTimer m_clock;
    QByteArray m_toPort; // the child's output the port's bound has not taken yet
    QByteArray m_cancelBytes; // what it said once told to end
    bool m_holdingCancel = false;
    bool m_farEndAnswered = false;
    qint64 m_fromPort = 0;
    bool m_ending = false;
    TransferOutcome m_outcome;
    QTimer m_quiet;
    QTimer m_portWatch; // a close raises no event
    QTimer m_kill;
    QTimer m_cancelWait;
};
