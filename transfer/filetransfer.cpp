// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "transfer/filetransfer.h"

#include "port/serialcomponent.h"
#include "send/sendpath.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
// What the port's output bound is offered at a time.
constexpr qsizetype pumpBytes = 4096;
constexpr int portWatchMs = 100;
} // namespace

namespace TransferText {

QString progress(const TransferProgress& progress)
{
    const QString bytes = progress.total >= 0
        ? QStringLiteral("%1 / %2 字节").arg(progress.bytes).arg(progress.total)
        : QStringLiteral("%1 字节").arg(progress.bytes);
    return bytes + QStringLiteral("，%1 块").arg(progress.blocks);
}

QString rate(const TransferProgress& progress)
{
    if (progress.bytes <= 0 || progress.elapsedMs <= 0)
        return QString();
    const double kib = double(progress.bytes) / 1024 / (double(progress.elapsedMs) / 1000);
    return QStringLiteral("速率：%1 KB/s").arg(kib, 0, 'f', 1);
}

} // namespace TransferText

FileTransfer::FileTransfer(SerialComponent& serial, SendPath& send, QObject* parent)
    : QObject(parent)
    , m_serial(serial)
    , m_send(send)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietLimitMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        end({ TransferOutcome::Kind::Failed,
            { QStringLiteral("对方 %1 秒没有回应，传输已取消").arg(m_quiet.interval() / 1000.0) },
            {} });
    });
    m_portWatch.setInterval(portWatchMs);
    connect(&m_portWatch, &QTimer::timeout, this, [this] {
        if (!m_serial.portOpen())
            end({ TransferOutcome::Kind::Failed, { QStringLiteral("串口已关闭，传输已取消") },
                {} });
    });
    m_cancelWait.setSingleShot(true);
    m_cancelWait.setInterval(cancelWaitMs);
    connect(&m_cancelWait, &QTimer::timeout, this, &FileTransfer::releaseCancel);
    m_kill.setSingleShot(true);
    m_kill.setInterval(killAfterMs);
    connect(&m_kill, &QTimer::timeout, this, [this] {
        if (m_process)
            m_process->kill();
    });
    connect(&m_serial, &SerialComponent::onComm, this, &FileTransfer::onComm);
    // The child's last words (the cancel) may wait for room after it has gone.
    connect(&m_serial, &SerialComponent::sent, this, &FileTransfer::pump);
}

FileTransfer::~FileTransfer()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    m_process->terminate();
    if (!m_process->waitForFinished(killAfterMs)) {
        m_process->kill();
        m_process->waitForFinished(-1);
    }
    m_toPort += m_process->readAllStandardOutput();
    pump();
    m_serial.needTiming(SerialComponent::Transfer, false);
}

bool FileTransfer::installed()
{
    for (const TransferProtocol protocol :
        { TransferProtocol::Xmodem, TransferProtocol::Ymodem, TransferProtocol::YmodemReceive })
        if (Lrzsz::program(protocol).isEmpty())
            return false;
    return true;
}

Message FileTransfer::start(TransferProtocol protocol, const QString& path)
{
    if (const Message refusal = m_send.refusal(); !refusal.isNull())
        return refusal;
    const QString program = Lrzsz::program(protocol);
    if (program.isEmpty())
        return { QStringLiteral("没有找到 lrzsz 的传输程序，请先安装 lrzsz") };
    const QFileInfo file(path);
    if (Lrzsz::sends(protocol) && !(file.isFile() && file.isReadable()))
        return { QStringLiteral("无法读取文件 %1").arg(QDir::toNativeSeparators(path)) };
    if (!Lrzsz::sends(protocol) && !file.isDir())
        return { QStringLiteral("接收文件夹 %1 不存在").arg(QDir::toNativeSeparators(path)) };

    m_protocol = protocol;
    m_report = LrzszReport(protocol);
    m_progress = TransferProgress();
    m_progress.total = Lrzsz::sends(protocol) ? file.size() : -1;
    m_folder = Lrzsz::sends(protocol) ? QString() : file.absoluteFilePath();
    m_toPort.clear();
    m_cancelBytes.clear();
    m_holdingCancel = false;
    m_fromPort = 0;
    m_ending = false;
    m_outcome = TransferOutcome();

    m_process = new QProcess(this);
    // Its reports are read in its own words.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    m_process->setProcessEnvironment(environment);
    if (!m_folder.isEmpty())
        m_process->setWorkingDirectory(m_folder);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &FileTransfer::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &FileTransfer::readReports);
    connect(m_process, &QProcess::finished, this, &FileTransfer::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onFinished(-1, QProcess::CrashExit);
    });

    m_send.setTransferRunning(true);
    m_serial.needTiming(SerialComponent::Transfer, true);
    m_clock.start();
    m_quiet.start();
    m_portWatch.start();
    m_process->start(program,
        Lrzsz::arguments(protocol, Lrzsz::sends(protocol) ? file.absoluteFilePath() : QString()));
    return {};
}

void FileTransfer::cancel() { end({ TransferOutcome::Kind::Cancelled, {}, {} }); }

void FileTransfer::onComm(int commEvent, const QByteArray& received)
{
    if (m_holdingCancel && commEvent == SerialComponent::EventReceive) {
        m_farEndAnswered = true;
        releaseCancel();
    } else if (m_holdingCancel && commEvent == SerialComponent::EventSend) {
        releaseCancel();
    }
    if (!m_process || m_ending)
        return;
    if (commEvent == SerialComponent::EventReceive) {
        m_quiet.start();
        m_process->write(received);
        m_fromPort += received.size();
        if (!Lrzsz::sends(m_protocol) && m_report.total() < 0) {
            m_progress.bytes = m_fromPort;
            m_progress.elapsedMs = m_clock.elapsed();
            Q_EMIT progressed(m_progress);
        }
    } else if (commEvent == SerialComponent::EventDeviceLost) {
        end({ TransferOutcome::Kind::Failed, { QStringLiteral("串口已断开，传输已取消") }, {} });
    }
}

void FileTransfer::readReports()
{
    if (!m_report.feed(m_process->readAllStandardError()))
        return;
    if (Lrzsz::sends(m_protocol) || m_report.total() >= 0) {
        if (m_report.total() >= 0)
            m_progress.total = m_report.total();
        m_progress.bytes = reportedBytes();
    }
    m_progress.blocks = m_report.blocks();
    m_progress.fileName = m_report.fileName();
    m_progress.elapsedMs = m_clock.elapsed();
    Q_EMIT progressed(m_progress);
}

void FileTransfer::readOutput()
{
    if (m_ending)
        m_cancelBytes += m_process->readAllStandardOutput();
    else
        m_toPort += m_process->readAllStandardOutput();
    pump();
}

// A receiver empties its input after it answers a block (lrzsz's own does), so a cancel that
// arrives on the heels of the block in flight is lost, and the receiver waits for a block that
// never comes. What the child says once told to end is held until it has gone and the port has
// sent everything before it and the far end has answered, or cancelWaitMs have passed.
void FileTransfer::releaseCancel()
{
    if (!m_holdingCancel || m_process)
        return;
    const bool drained = m_toPort.isEmpty() && m_serial.outBufferCount() == 0;
    if (m_cancelWait.isActive() && !(drained && m_farEndAnswered))
        return;
    m_holdingCancel = false;
    m_cancelWait.stop();
    m_toPort += m_cancelBytes;
    m_cancelBytes.clear();
    pump();
}

// lrzsz counts whole 128-byte sectors, so the last one may go past the end of the file.
qint64 FileTransfer::reportedBytes() const
{
    return m_progress.total >= 0 ? std::min(m_report.bytes(), m_progress.total) : m_report.bytes();
}

// The output bound takes what it has room for; the rest waits for the port's sent bytes.
void FileTransfer::pump()
{
    while (!m_toPort.isEmpty() && m_serial.portOpen()) {
        const QByteArray chunk = m_toPort.left(pumpBytes);
        if (m_serial.output(chunk) < 0)
            return;
        m_toPort.remove(0, chunk.size());
    }
}

void FileTransfer::end(const TransferOutcome& outcome)
{
    if (!m_process || m_ending)
        return;
    // What the child wrote before it is told to end goes out as it would have; only what it
    // says after is its cancel.
    while (m_process && m_process->waitForReadyRead(0)) { }
    if (!m_process)
        return; // it ended meanwhile, on its own
    m_ending = true;
    m_outcome = outcome;
    m_holdingCancel = true;
    m_farEndAnswered = false;
    m_cancelWait.start();
    m_quiet.stop();
    m_portWatch.stop();
    m_process->terminate();
    m_kill.start();
}

void FileTransfer::onFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    process->deleteLater();
    (m_ending ? m_cancelBytes : m_toPort) += process->readAllStandardOutput();
    pump();
    releaseCancel();
    if (!m_serial.portOpen()) {
        m_toPort.clear();
        m_cancelBytes.clear();
        m_holdingCancel = false;
    }
    m_report.feed(process->readAllStandardError() + '\n');
    m_quiet.stop();
    m_portWatch.stop();
    m_kill.stop();
    m_send.setTransferRunning(false);
    m_serial.needTiming(SerialComponent::Transfer, false);

    TransferOutcome outcome = m_outcome;
    if (!m_ending) {
        if (status == QProcess::NormalExit && exitCode == 0) {
            outcome.kind = TransferOutcome::Kind::Done;
        } else {
            const QString why = process->error() == QProcess::FailedToStart ? process->errorString()
                                                                            : m_report.failure();
            outcome = { TransferOutcome::Kind::Failed,
                { why.isEmpty() ? QStringLiteral("文件传输失败")
                                : QStringLiteral("文件传输失败：%1").arg(why) },
                {} };
        }
    }
    if (outcome.kind == TransferOutcome::Kind::Done && !m_folder.isEmpty()
        && !m_report.fileName().isEmpty())
        outcome.savedPath = QDir(m_folder).filePath(m_report.fileName());
    if (m_report.total() >= 0)
        m_progress.total = m_report.total();
    if (Lrzsz::sends(m_protocol) || m_report.total() >= 0)
        m_progress.bytes = reportedBytes();
    m_progress.blocks = m_report.blocks();
    m_progress.fileName = m_report.fileName();
    m_progress.elapsedMs = m_clock.elapsed();
    Q_EMIT progressed(m_progress);
    Q_EMIT finished(outcome);
}
