// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Send-path figures over a real pseudo-terminal, with the real window and serial component:
//   file: a large file sent in one write: event-loop stalls, memory, bytes in order.
//   auto: automatic sending at 1 ms: mean period and ticks skipped.
// Usage: bench_send [file|auto|all] [--mib N] [--seconds S]
#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <poll.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

// The device: drains the master side on its own thread, counting and hashing what arrives.
class Reader {
public:
    explicit Reader(int fd)
        : m_fd(fd)
        , m_thread([this] { run(); })
    {
    }
    ~Reader() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    qint64 bytes() const { return m_bytes; }
    // Valid after stop().
    QByteArray digest() const { return m_hash.result(); }

private:
    void run()
    {
        static char buffer[1 << 16];
        while (!m_stop) {
            pollfd fd { m_fd, POLLIN, 0 };
            ::poll(&fd, 1, 20);
            ssize_t n;
            while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
                m_hash.addData(QByteArrayView(buffer, n));
                m_bytes += n;
            }
        }
    }

    int m_fd;
    std::atomic<bool> m_stop { false };
    std::atomic<qint64> m_bytes { 0 };
    QCryptographicHash m_hash { QCryptographicHash::Md5 };
    std::thread m_thread;
};

// Longest gap between ticks of a 5 ms timer on the window's thread.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_worst = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return m_worst / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct TimerBaseline {
    double meanPeriod = 0;
    qint64 lateTicks = 0;
};

// What the machine gives any 1 ms timer right now, so the window's figures can be judged.
TimerBaseline bareTimer(int seconds)
{
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    QElapsedTimer clock;
    qint64 ticks = 0;
    qint64 last = 0;
    TimerBaseline result;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (ticks > 0 && now - last > 1500000)
            ++result.lateTicks;
        last = now;
        ++ticks;
    });
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    clock.start();
    timer.start();
    loop.exec();
    result.meanPeriod = ticks > 0 ? last / 1e6 / ticks : 0;
    return result;
}

// Runs the event loop until done() holds or the time is up.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

// The window on COM1, which the devices folder links to the pty's program side.
struct Rig {
    PtyPair pty;
    QTemporaryDir config;
    FakePlatform fakes;
    QtSerialComponent serial;
    std::unique_ptr<MainWindow> window;

    bool start()
    {
        if (!config.isValid() || !pty.bindAsCom1(config.path()))
            return false;
        Platform platform = fakes.platform();
        platform.serial = &serial;
        window = std::make_unique<MainWindow>(platform);
        window->setEndProgram([] {});
        window->show();
        return serial.portOpen();
    }
    template <typename T> T* control(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    // Clicks from inside the event loop, so the stall meter sees the handler's time too.
    void clickLater(const char* name)
    {
        QAbstractButton* button = control<QAbstractButton>(name);
        QTimer::singleShot(0, button, &QAbstractButton::click);
    }
};

// Pseudo-random bytes, never a blank at either end (trimming would copy the whole file).
QByteArray writeTestFile(const QString& path, qint64 size, QByteArray* digest)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    quint64 state = 0x9E3779B97F4A7C15ull;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 done = 0; done < size; done += chunk.size()) {
        chunk.resize(std::min<qint64>(chunk.size(), size - done));
        for (char& byte : chunk) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            byte = static_cast<char>(state >> 56);
        }
        if (done == 0)
            chunk[0] = 'A';
        if (done + chunk.size() == size)
            chunk[chunk.size() - 1] = 'Z';
        hash.addData(chunk);
        file.write(chunk);
    }
    *digest = hash.result();
    return digest->toHex();
}

bool benchFile(qint64 mib)
{
    const qint64 size = mib << 20;
    Rig rig;
    if (!rig.start()) {
        std::printf("file: cannot open COM1 on a pty\n");
        return false;
    }
    const QString path = rig.config.filePath(QStringLiteral("big.txt"));
    QByteArray expected;
    writeTestFile(path, size, &expected);

    Reader reader(rig.pty.masterFd());
    StallMeter stalls;
    const qint64 memoryBefore = procStatusKiB("VmHWM") * 1024;

    rig.fakes.dialogs.nextFile = path;
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    rig.clickLater("CmdSelectFile");
    runUntil([&] { return rig.control<QLineEdit>("TxtSendPath")->text() == path; }, 60000);
    const double loadSeconds = clock.elapsed() / 1e3;
    const double loadStall = stalls.stop();

    stalls.start();
    clock.restart();
    rig.clickLater("CmdSendFile");
    const bool arrived = runUntil([&] { return reader.bytes() >= size; }, 300000);
    const double sendSeconds = clock.elapsed() / 1e3;
    const bool counted = runUntil([&] { return rig.window->sentCount() == size; }, 10000);
    const double sendStall = stalls.stop();
    const qint64 memoryGrowth = procStatusKiB("VmHWM") * 1024 - memoryBefore;
    reader.stop();
    const bool inOrder = arrived && reader.bytes() == size && reader.digest() == expected;

    const bool stallMet = sendStall < 100;
    const bool memoryMet = memoryGrowth < 2 * size;
    std::printf("file: %lld MiB\n", static_cast<long long>(mib));
    std::printf(
        "  choosing (read into memory): %.2f s, longest stall %.1f ms\n", loadSeconds, loadStall);
    std::printf("  sending: %.2f s (%.1f MB/s), longest stall %.1f ms (bar 100 ms: %s)\n",
        sendSeconds, size / 1e6 / sendSeconds, sendStall, stallMet ? "met" : "MISSED");
    std::printf("  bytes arrived %lld of %lld, in order: %s; TX count %s\n",
        static_cast<long long>(reader.bytes()), static_cast<long long>(size),
        inOrder ? "yes" : "NO", counted ? "right" : "WRONG");
    std::printf("  peak memory growth %.1f MiB = %.2f x the file (bar 2 x: %s)\n",
        memoryGrowth / 1048576.0, double(memoryGrowth) / size, memoryMet ? "met" : "MISSED");
    return stallMet && memoryMet && inOrder && counted;
}

bool benchAuto(int seconds)
{
    Rig rig;
    if (!rig.start()) {
        std::printf("auto: cannot open COM1 on a pty\n");
        return false;
    }
    const QByteArray message("0123456789ABCDEF");
    rig.control<QPlainTextEdit>("TxtSend")->setPlainText(QString::fromLatin1(message));
    rig.control<QLineEdit>("TxtAutoSendTime")->setText(QStringLiteral("1"));
    auto* timer = rig.control<IntervalTimer>("TmrAutoSend");

    Reader reader(rig.pty.masterFd());

    // What one send costs the window's thread, without the timer.
    const int directSends = 2000;
    auto* sendButton = rig.control<QPushButton>("CmdSend");
    QElapsedTimer handlerClock;
    handlerClock.start();
    for (int i = 0; i < directSends; ++i)
        sendButton->click();
    const double handlerUs = handlerClock.nsecsElapsed() / 1e3 / directSends;
    runUntil([&] { return reader.bytes() >= directSends * message.size(); }, 10000);
    const qint64 before = reader.bytes();

    qint64 ticks = 0;
    qint64 worstGap = 0;
    qint64 lateTicks = 0; // more than 1.5 periods after the one before
    qint64 firstTick = -1;
    qint64 lastTick = 0;
    QElapsedTimer clock;
    QObject::connect(timer, &IntervalTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (firstTick >= 0) {
            worstGap = std::max(worstGap, now - lastTick);
            if (now - lastTick > 1500000)
                ++lateTicks;
        } else {
            firstTick = now;
        }
        lastTick = now;
        ++ticks;
    });

    const double cpuBefore = threadCpuMs();
    clock.start();
    rig.control<QCheckBox>("ChkAutoSend")->click();
    QTimer::singleShot(
        seconds * 1000, Qt::PreciseTimer, rig.control<QCheckBox>("ChkAutoSend"), &QCheckBox::click);
    runUntil([&] { return !timer->isTicking(); }, seconds * 1000 + 5000);
    const double elapsedMs = clock.nsecsElapsed() / 1e6;
    const double cpuPerTick = (threadCpuMs() - cpuBefore) / std::max<qint64>(ticks, 1);
    runUntil([&] { return reader.bytes() - before >= ticks * message.size(); }, 5000);
    reader.stop();

    const qint64 sends = (reader.bytes() - before) / message.size();
    const double meanPeriod = ticks > 1 ? (lastTick - firstTick) / 1e6 / (ticks - 1) : 0;
    const qint64 dueTicks = static_cast<qint64>(elapsedMs); // one a millisecond
    const bool periodMet = meanPeriod > 0.95 && meanPeriod < 1.05;
    const bool noSendLost = sends == ticks;
    const TimerBaseline bare = bareTimer(seconds);
    std::printf("auto: 1 ms period for %d s\n", seconds);
    std::printf("  one send costs the window %.1f us (direct clicks)\n", handlerUs);
    std::printf("  mean period %.4f ms (bar 5 %%: %s); ticks %lld of %lld due; longest gap %.2f ms,"
                " gaps over 1.5 ms %lld; window thread CPU %.3f ms a tick\n",
        meanPeriod, periodMet ? "met" : "MISSED", static_cast<long long>(ticks),
        static_cast<long long>(dueTicks), worstGap / 1e6, static_cast<long long>(lateTicks),
        cpuPerTick);
    std::printf("  a bare 1 ms Qt timer in this process, same length: mean period %.4f ms, gaps "
                "over 1.5 ms %lld\n",
        bare.meanPeriod, static_cast<long long>(bare.lateTicks));
    std::printf("  sends arrived %lld of %lld ticks (no tick skipped on the way: %s)\n",
        static_cast<long long>(sends), static_cast<long long>(ticks),
        noSendLost ? "met" : "MISSED");
    return periodMet && noSendLost;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString which = arguments.size() > 1 && !arguments[1].startsWith(QLatin1Char('-'))
        ? arguments[1]
        : QStringLiteral("all");
    const auto option = [&](const char* name, int fallback) {
        const qsizetype at = arguments.indexOf(QString::fromLatin1(name));
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : fallback;
    };
    bool met = true;
    if (which == QLatin1String("file") || which == QLatin1String("all"))
        met = benchFile(option("--mib", 100)) && met;
    if (which == QLatin1String("auto") || which == QLatin1String("all"))
        met = benchAuto(option("--seconds", 10)) && met;
    std::printf("%s\n", met ? "all bars met" : "some bars MISSED");
    return met ? 0 : 1;
}
