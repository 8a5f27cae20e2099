// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The command sequence's timing over a real pseudo-terminal: N rows with a D ms delay each, once
// round. The device side timestamps each row as its line ends arrive, on its own thread; the
// figures are the gaps between rows as the sequence sent them and as they arrived (mean, least,
// worst, how many came late by more than 5 ms), and whether every row came once and in order.
// Usage: bench_sequence [--rows N] [--delay D]
#include "port/qtserialbackend.h"
#include "send/commandsequence.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Reads the device side and notes, for each complete line, its text and when its end arrived.
class LineClock {
public:
    explicit LineClock(int fd)
        : m_fd(fd)
        , m_thread([this] { run(); })
    {
        m_clock.start();
    }
    ~LineClock() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    qsizetype lines() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines.size();
    }
    // Valid after stop().
    QList<QByteArray> m_lines;
    QList<qint64> m_nanos;

private:
    void run()
    {
        char buffer[4096];
        QByteArray partial;
        while (!m_stop) {
            pollfd fd { m_fd, POLLIN, 0 };
            if (::poll(&fd, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            const qint64 now = m_clock.nsecsElapsed();
            partial.append(buffer, n);
            qsizetype end;
            const std::lock_guard<std::mutex> lock(m_mutex);
            while ((end = partial.indexOf('\n')) >= 0) {
                m_lines.append(partial.left(end));
                m_nanos.append(now);
                partial.remove(0, end + 1);
            }
        }
    }

    int m_fd;
    QElapsedTimer m_clock;
    std::atomic<bool> m_stop { false };
    mutable std::mutex m_mutex;
    std::thread m_thread;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const auto option = [&](const char* name, int fallback) {
        const qsizetype at = arguments.indexOf(QString::fromLatin1(name));
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : fallback;
    };
    const int rows = option("--rows", 1000);
    const int delayMs = option("--delay", 10);

    PtyPair pty;
    QTemporaryDir config;
    if (!pty.isOpen() || !config.isValid() || !QDir(config.path()).mkpath(u"portlark/devices"_s)
        || !QFile::link(pty.slavePath(), config.filePath(u"portlark/devices/com1"_s))) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QtSerialComponent serial;
    serial.setOutBufferSize(4096);
    if (!serial.setSettings({ 1, u"115200"_s, u"N"_s, 8, u"1"_s }) || !serial.setPortOpen(true)) {
        std::printf("COM1 did not open: %s\n", qPrintable(serial.errorString()));
        return 1;
    }
    SendPath send(serial);
    CommandSequence sequence(send, serial);
    QList<Command> commands;
    for (int i = 0; i < rows; ++i)
        commands.append({ {}, QString::number(i), false, LineEnding::Lf, delayMs });

    LineClock device(pty.masterFd());
    int waits = 0;
    QElapsedTimer clock;
    clock.start();
    QList<qint64> sentNanos;
    QObject::connect(&sequence, &CommandSequence::stepped, [&](int row, bool waiting) {
        waits += waiting;
        if (row >= 0 && !waiting)
            sentNanos.append(clock.nsecsElapsed());
        if (row == rows - 1 && !waiting) // once round
            sequence.stop();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!sequence.isRunning() || device.lines() >= rows)
            application.quit();
    });
    poll.start(50);
    sequence.start(commands);
    application.exec();
    sequence.stop();
    // What is still on its way.
    for (int turn = 0; turn < 50 && device.lines() < rows; ++turn)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    device.stop();

    bool inOrder = device.m_lines.size() >= rows;
    for (int i = 0; inOrder && i < rows; ++i)
        inOrder = device.m_lines[i] == QByteArray::number(i);
    std::printf("sequence: %d rows at %d ms: %lld arrived, %s\n", rows, delayMs,
        qlonglong(device.m_lines.size()), inOrder ? "each once, in order" : "NOT in order");
    const auto report = [&](const char* where, const QList<qint64>& nanos) {
        QList<double> gaps;
        for (int i = 1; i < std::min<qsizetype>(rows, nanos.size()); ++i)
            gaps.append((nanos[i] - nanos[i - 1]) / 1e6);
        if (gaps.isEmpty())
            return;
        double sum = 0;
        for (double gap : gaps)
            sum += gap;
        const auto late
            = std::count_if(gaps.begin(), gaps.end(), [&](double g) { return g > delayMs + 5; });
        std::printf("  gap between rows %s: mean %.3f ms, least %.3f ms, worst %.3f ms, "
                    "%lld of %lld over %d ms\n",
            where, sum / gaps.size(), *std::min_element(gaps.begin(), gaps.end()),
            *std::max_element(gaps.begin(), gaps.end()), qlonglong(late), qlonglong(gaps.size()),
            delayMs + 5);
    };
    report("as sent", sentNanos);
    report("on the wire", device.m_nanos);
    std::printf("  rows held by the output bound: %d\n", waits);
    return inOrder ? 0 : 1;
}
