// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// A lost device that comes back, and another device in its place: the real window on the real
// serial port, COM1 a link to a stable name ("by-id/dev-a", as /dev/serial/by-id gives) that
// leads to a pseudo-terminal, all in a private folder. Each round unplugs the device (closes the
// terminal's device side and removes the stable name), puts another device at COM1 for 0.6 to
// 1.2 s (COM1 pointed straight at another terminal, or at another stable name, in turn), then
// plugs the first device back in (its stable name on a new terminal, COM1 linked to it again)
// and times how long the window takes to show the port open again. Every look the watch takes at
// the other device is counted, and every open of it, which must be none. Then the CPU time the
// process spends is measured while the port is open and quiet and while it waits.
// Usage: bench_reconnect [--rounds N] [--idle-seconds S]
#include "app/mainwindow.h"
#include "port/comnames.h"
#include "port/qtserialbackend.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Turns the event loop until the condition holds or the time is up; the milliseconds it took, or
// -1.
qint64 waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return clock.elapsed();
}

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void link(const QString& target, const QString& name)
{
    QFile::remove(name);
    QFile::link(target, name);
}

// The real port, counting the lookups and opens that land on one device path.
class CountingBackend : public QtSerialBackend {
public:
    ComDevice locate(int port) const override
    {
        const ComDevice device = QtSerialBackend::locate(port);
        looksAtOther += !other.isEmpty() && device.path == other;
        return device;
    }
    bool open(int port, const LineSettings& line) override
    {
        const bool opened = QtSerialBackend::open(port, line);
        opensOfOther += opened && !other.isEmpty() && openedDevice().path == other;
        return opened;
    }

    QString other;
    mutable int looksAtOther = 0;
    int opensOfOther = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication application(argc, argv);
    int rounds = 100;
    int idleSeconds = 5;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--rounds"))
            rounds = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--idle-seconds"))
            idleSeconds = arguments[i + 1].toInt();
    }

    QDir().mkpath(ComNames::devicesFolder());
    const QString com1 = ComNames::devicesFolder() + QStringLiteral("/com1");
    const QString byId = config.filePath(QStringLiteral("by-id"));
    QDir().mkpath(byId);
    const QString nameA = byId + QStringLiteral("/dev-a");
    const QString nameB = byId + QStringLiteral("/dev-b");
    auto device = std::make_unique<PtyPair>();
    link(device->slavePath(), nameA);
    link(nameA, com1);

    auto* backend = new CountingBackend;
    SerialComponent serial { std::unique_ptr<SerialBackend>(backend) };
    FakeDialogs dialogs;
    FakeUrlOpener urls;
    FakeClock clock;
    MainWindow window({ &serial, &dialogs, &urls, &clock, {} }); // nothing remembered
    window.show();
    auto* status = window.findChild<QLineEdit*>(QStringLiteral("TxtStatus"));
    const QString openText = QStringLiteral("串口：COM1 打开，9600,N,8,1");
    if (!serial.portOpen()) {
        std::fprintf(stderr, "COM1 did not open at start-up\n");
        return 1;
    }

    const auto unplug = [&] {
        device->closeMaster();
        QFile::remove(nameA);
        return waitFor([&] { return !serial.portOpen(); }, 5000) >= 0;
    };

    std::vector<qint64> reopenMs;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        if (!unplug()) {
            std::fprintf(stderr, "round %d: the loss was not noticed\n", round + 1);
            return 1;
        }
        const auto other = std::make_unique<PtyPair>();
        backend->other = other->slavePath();
        if (round % 2 == 0) {
            link(other->slavePath(), com1);
        } else {
            link(other->slavePath(), nameB);
            link(nameB, com1);
        }
        idle(600 + (round * 37) % 600); // a poll or two, out of step with them
        device = std::make_unique<PtyPair>();
        link(device->slavePath(), nameA);
        link(nameA, com1);
        const qint64 ms
            = waitFor([&] { return serial.portOpen() && status->text() == openText; }, 1000);
        if (ms < 0) {
            ++missed;
            if (waitFor([&] { return serial.portOpen(); }, 5000) < 0) {
                std::fprintf(stderr, "round %d: never re-opened\n", round + 1);
                return 1;
            }
        } else {
            reopenMs.push_back(ms);
        }
        backend->other.clear();
        QFile::remove(nameB);
    }
    std::sort(reopenMs.begin(), reopenMs.end());
    const auto at = [&](double share) {
        return reopenMs.empty()
            ? -1
            : reopenMs[std::min(reopenMs.size() - 1, size_t(share * double(reopenMs.size())))];
    };
    std::printf("same device re-opened within 1 s: %zu of %d (median %lld ms, 90th %lld ms, worst "
                "%lld ms)\n",
        reopenMs.size(), rounds, static_cast<long long>(at(0.5)), static_cast<long long>(at(0.9)),
        static_cast<long long>(at(1.0)));
    std::printf("another device at COM1: looked at %d times, opened %d times\n",
        backend->looksAtOther, backend->opensOfOther);

    // The same idle time with the port open and quiet, for comparison: the window's clock ticks
    // either way. Waiting behind a link costs a look at the link; by the present-port rule (no
    // link, so COM1 is whatever port the system lists first) the ports are listed at every look.
    const auto measure = [&](const char* state) {
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        idle(idleSeconds * 1000);
        const double cpu = cpuSeconds() - cpuBefore;
        const double seconds = double(wall.elapsed()) / 1000;
        std::printf("%s for %.1f s: %.3f s CPU, %.2f %% of one core\n", state, seconds, cpu,
            100 * cpu / seconds);
    };
    measure("open and quiet");
    if (!unplug())
        return 1;
    measure("waiting, COM1 linked to a name that is gone");
    QFile::remove(com1);
    measure("waiting, COM1 by the present-port rule");
    return missed == 0 && backend->opensOfOther == 0 ? 0 : 2;
}
