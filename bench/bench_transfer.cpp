// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// A file sent by XMODEM-1K through the program over a pseudo-terminal at full speed, against
// lrzsz's sx and rx piped straight to each other in the same run: the program's sx writes to the
// real serial component on the slave, rx plays the device on the master (through the far end's
// relay thread of the tests). Each round runs both, in turn; the figures are each round's wall
// time from start to the end of both programs, lrzsz's own second of waiting at the end included
// in both, and the medians with their ratio (direct = 100 %). A one-block file sent the same ways
// gives the fixed cost (start, handshake, that second); what remains is the streaming, shown as
// its own rate.
// Usage: bench_transfer [--kib N] [--rounds R] [--protocol xmodem|xmodem-1k|ymodem]
#include "port/comnames.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "send/sendpath.h"
#include "support/farend.h"
#include "support/pty.h"
#include "transfer/filetransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString fd(int descriptor) { return u"/proc/self/fd/%1"_s.arg(descriptor); }

// sx and rx with each one's standard output the other's standard input; seconds, or -1 when
// either failed.
double direct(const QStringList& sender, const QStringList& receiver, const QString& folder)
{
    int forth[2], back[2];
    if (::pipe2(forth, O_CLOEXEC) != 0 || ::pipe2(back, O_CLOEXEC) != 0)
        return -1;
    QProcess send, receive;
    send.setStandardInputFile(fd(back[0]));
    send.setStandardOutputFile(fd(forth[1]));
    receive.setStandardInputFile(fd(forth[0]));
    receive.setStandardOutputFile(fd(back[1]));
    send.setWorkingDirectory(folder);
    receive.setWorkingDirectory(folder + u"/in"_s);
    for (QProcess* process : { &send, &receive })
        process->setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    send.start(sender.first(), sender.mid(1));
    receive.start(receiver.first(), receiver.mid(1));
    for (const int descriptor : { forth[0], forth[1], back[0], back[1] })
        ::close(descriptor);
    const bool done = send.waitForFinished(120000) && receive.waitForFinished(120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    return done && send.exitCode() == 0 && receive.exitCode() == 0 ? seconds : -1;
}

// sx itself on the pseudo-terminal's slave, rx as for the program: what the pseudo-terminal and
// the relay cost without the program; seconds, or -1.
double overPty(const QStringList& sender, const QStringList& receiver, const QString& folder)
{
    PtyPair pty;
    FarEnd far(pty.masterFd(), receiver, folder + u"/in"_s);
    QProcess send;
    send.setStandardInputFile(pty.slavePath());
    send.setStandardOutputFile(pty.slavePath());
    send.setStandardErrorFile(QProcess::nullDevice());
    send.setWorkingDirectory(folder);
    QElapsedTimer clock;
    clock.start();
    send.start(sender.first(), sender.mid(1));
    const bool done = send.waitForFinished(120000);
    while (!far.finished() && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double seconds = clock.nsecsElapsed() / 1e9;
    return done && send.exitCode() == 0 && far.exitCode() == 0 ? seconds : -1;
}

// The program's transfer, with rx on the pseudo-terminal's master; seconds, or -1.
double throughProgram(TransferProtocol protocol, const QString& file, const QStringList& receiver,
    const QString& folder, const QString& config)
{
    PtyPair pty;
    QFile::remove(ComNames::devicesFolder() + u"/com1"_s);
    if (!pty.bindAsCom1(config))
        return -1;
    QtSerialComponent serial;
    serial.setOutBufferSize(4096);
    if (!serial.setPortOpen(true))
        return -1;
    SendPath send(serial);
    FileTransfer transfer(serial, send);
    FarEnd far(pty.masterFd(), receiver, folder + u"/in"_s);
    if (!far.started())
        return -1;
    TransferOutcome outcome;
    QEventLoop loop;
    QObject::connect(&transfer, &FileTransfer::finished, &loop, [&](const TransferOutcome& o) {
        outcome = o;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    if (!transfer.start(protocol, file).isNull())
        return -1;
    loop.exec();
    while (!far.finished() && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double seconds = clock.nsecsElapsed() / 1e9;
    return outcome.kind == TransferOutcome::Kind::Done && far.exitCode() == 0 ? seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const QString& name, const QString& fallback) {
        const qsizetype at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
    };
    const int kib = option(u"--kib"_s, u"1024"_s).toInt();
    const int rounds = option(u"--rounds"_s, u"5"_s).toInt();
    const QString name = option(u"--protocol"_s, u"xmodem-1k"_s);
    const TransferProtocol protocol = name == u"xmodem"_s ? TransferProtocol::Xmodem
        : name == u"ymodem"_s                             ? TransferProtocol::Ymodem
                                                          : TransferProtocol::Xmodem1k;
    if (!FileTransfer::installed()) {
        std::fprintf(stderr, "bench_transfer: lrzsz is not installed\n");
        return 1;
    }

    QTemporaryDir work;
    const QString folder = work.path();
    QDir().mkpath(folder + u"/in"_s);
    const QString file = folder + u"/image.bin"_s;
    QByteArray bytes;
    const auto makeFile = [&](int size) {
        bytes.resize(size);
        QRandomGenerator generator(size);
        for (char& byte : bytes)
            byte = char(generator.bounded(256));
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    };
    QStringList sender = { Lrzsz::program(protocol) };
    sender << Lrzsz::arguments(protocol, u"image.bin"_s);
    sender.removeAll(u"-vv"_s);
    const QStringList receiver = protocol == TransferProtocol::Ymodem
        ? QStringList { u"rb"_s, u"-y"_s }
        : QStringList { u"rx"_s, u"-c"_s, u"image.bin"_s };
    QStringList directReceiver = receiver;
    directReceiver[0] = QStandardPaths::findExecutable(receiver[0]);

    const auto received = [&] {
        QFile in(folder + u"/in/image.bin"_s);
        const bool same = in.open(QIODevice::ReadOnly) && in.readAll() == bytes;
        QFile::remove(in.fileName());
        return same;
    };
    const auto run = [&](double& d, double& f, double& p) {
        d = direct(sender, directReceiver, folder);
        bool same = received();
        f = overPty(sender, receiver, folder);
        same = received() && same;
        p = throughProgram(protocol, file, receiver, folder, folder + u"/config"_s);
        return d >= 0 && f >= 0 && p >= 0 && received() && same;
    };

    std::printf("%s, %d KiB, %d rounds: seconds per transfer (KiB/s)\n",
        qPrintable(Lrzsz::protocolName(protocol)), kib, rounds);
    std::printf("round   sx|rx piped        sx on the pty      through the program  ratio\n");
    std::vector<double> directs, floors, programs, directFixed, floorFixed, programFixed;
    for (int round = 1; round <= rounds; ++round) {
        double d = 0, f = 0, p = 0;
        if (!makeFile(Lrzsz::blockBytes(protocol)) || !run(d, f, p)) {
            std::fprintf(stderr, "bench_transfer: round %d failed on one block\n", round);
            return 1;
        }
        directFixed.push_back(d);
        floorFixed.push_back(f);
        programFixed.push_back(p);
        if (!makeFile(kib * 1024) || !run(d, f, p)) {
            std::fprintf(stderr, "bench_transfer: round %d failed\n", round);
            return 1;
        }
        directs.push_back(d);
        floors.push_back(f);
        programs.push_back(p);
        std::printf("%5d   %6.3f (%6.0f)   %6.3f (%6.0f)   %6.3f (%6.0f)     %3.0f %%\n", round, d,
            kib / d, f, kib / f, p, kib / p, 100 * d / p);
    }
    const double d = percentile(directs, 0.5), f = percentile(floors, 0.5),
                 p = percentile(programs, 0.5);
    std::printf("median  %6.3f (%6.0f)   %6.3f (%6.0f)   %6.3f (%6.0f)     %3.0f %%\n", d, kib / d,
        f, kib / f, p, kib / p, 100 * d / p);
    const double df = percentile(directFixed, 0.5), ff = percentile(floorFixed, 0.5),
                 pf = percentile(programFixed, 0.5);
    std::printf("one block  %6.3f            %6.3f            %6.3f\n", df, ff, pf);
    std::printf("streaming (KiB/s, less the one block's time)\n");
    std::printf("           %8.0f          %8.0f          %8.0f          %3.0f %%\n",
        kib / (d - df), kib / (f - ff), kib / (p - pf), 100 * (d - df) / (p - pf));
    return 0;
}
