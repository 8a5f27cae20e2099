// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// How much of a capture log a crash costs: the real program runs offscreen with --log, a device on
// a pseudo-terminal sends to it at 1 MB/s, and after a random while the program is killed with
// SIGKILL. Lost bytes are those the device sent that the program had taken from the terminal but
// that never reached the file (what still waits unread in the terminal is not counted).
// Usage: bench_capturelog [PORTLARK] [RUNS]
#include "port/comnames.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QString program = argc > 1
        ? QString::fromLocal8Bit(argv[1])
        : QCoreApplication::applicationDirPath() + QStringLiteral("/../app/portlark");
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QDir().mkpath(ComNames::devicesFolder());
    const QString link = ComNames::devicesFolder() + QStringLiteral("/com1");

    constexpr qint64 bytesPerSecond = 1000 * 1000;
    qint64 worst = 0;
    qint64 total = 0;
    std::printf("run  sent B  unread B  logged B  lost B  lost ms at 1 MB/s\n");
    for (int run = 1; run <= runs; ++run) {
        PtyPair device;
        QFile::remove(link);
        QFile::link(device.slavePath(), link);
        const QString log = dir.filePath(QStringLiteral("run%1.log").arg(run));
        QProcess portlark;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        portlark.setProcessEnvironment(environment);
        portlark.start(program, { QStringLiteral("--log"), log });
        if (!portlark.waitForStarted()) {
            std::fprintf(stderr, "cannot start %s\n", qPrintable(program));
            return 1;
        }
        QThread::msleep(1500); // the window comes up and opens COM1

        // Paced in 1 ms steps; the byte values say where in the stream they were.
        const qint64 runMs = 1000 + QRandomGenerator::global()->bounded(1000);
        QElapsedTimer clock;
        clock.start();
        qint64 sent = 0;
        while (clock.elapsed() < runMs) {
            const qint64 due = clock.nsecsElapsed() * bytesPerSecond / 1000000000;
            if (due > sent) {
                QByteArray chunk(due - sent, '\0');
                for (qsizetype i = 0; i < chunk.size(); ++i)
                    chunk[i] = char((sent + i) % 251);
                device.write(chunk);
                sent = due;
            }
            QThread::usleep(200);
        }
        ::kill(portlark.processId(), SIGKILL);
        portlark.waitForFinished();

        const int slave
            = ::open(QFile::encodeName(device.slavePath()).constData(), O_RDONLY | O_NOCTTY);
        int unread = 0;
        ::ioctl(slave, FIONREAD, &unread);
        ::close(slave);
        const qint64 logged = QFileInfo(log).size();
        const qint64 lost = sent - unread - logged;
        worst = std::max(worst, lost);
        total += lost;
        std::printf("%3d %8lld %9d %9lld %7lld %8.1f\n", run, sent, unread, logged, lost,
            lost * 1000.0 / bytesPerSecond);
    }
    std::printf("lost: mean %.0f B, worst %lld B (%.1f ms of data at 1 MB/s)\n",
        double(total) / runs, worst, worst * 1000.0 / bytesPerSecond);
    return 0;
}
