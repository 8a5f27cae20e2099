// A lost device that comes back: the real window on the real serial component, COM1 a link to a
// pseudo-terminal in a private devices folder. Each round unplugs the device (closes the
// terminal's device side and points the link at nothing), leaves it away for a while, then plugs
// a new one in (a new terminal, the link pointed at it) and times how long the window takes to
// show the port open again. Then the device stays away for a few seconds while the CPU time the
// process spends waiting is measured.
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
    const QString link = ComNames::devicesFolder() + QStringLiteral("/com1");
    const auto plugIn = [&link](const PtyPair& device) {
        QFile::remove(link);
        QFile::link(device.slavePath(), link);
    };
    auto device = std::make_unique<PtyPair>();
    plugIn(*device);

    QtSerialComponent serial;
    FakeDialogs dialogs;
    FakeUrlOpener urls;
    FakeClock clock;
    MainWindow window({ &serial, &dialogs, &urls, &clock });
    window.show();
    auto* status = window.findChild<QLineEdit*>(QStringLiteral("TxtStatus"));
    const QString openText = QStringLiteral("串口：COM1 打开，9600,N,8,1");
    if (!serial.portOpen()) {
        std::fprintf(stderr, "COM1 did not open at start-up\n");
        return 1;
    }

    const auto unplug = [&] {
        device->closeMaster();
        QFile::remove(link);
        QFile::link(config.filePath(QStringLiteral("gone")), link);
        return waitFor([&] { return !serial.portOpen(); }, 5000) >= 0;
    };

    std::vector<qint64> reopenMs;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        if (!unplug()) {
            std::fprintf(stderr, "round %d: the loss was not noticed\n", round + 1);
            return 1;
        }
        idle(100 + (round * 37) % 600); // away for 0.1 to 0.7 s, out of step with the polls
        device = std::make_unique<PtyPair>();
        plugIn(*device);
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
    }
    std::sort(reopenMs.begin(), reopenMs.end());
    const auto at = [&](double share) {
        return reopenMs.empty()
            ? -1
            : reopenMs[std::min(reopenMs.size() - 1, size_t(share * double(reopenMs.size())))];
    };
    std::printf("re-opened within 1 s: %zu of %d (median %lld ms, 90th %lld ms, worst %lld ms)\n",
        reopenMs.size(), rounds, static_cast<long long>(at(0.5)), static_cast<long long>(at(0.9)),
        static_cast<long long>(at(1.0)));

    // The same idle time with the port open and quiet, for comparison: the window's clock ticks
    // either way.
    for (const char* state : { "open and quiet", "waiting for the device" }) {
        if (state[0] == 'w' && !unplug())
            return 1;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        idle(idleSeconds * 1000);
        const double cpu = cpuSeconds() - cpuBefore;
        const double seconds = double(wall.elapsed()) / 1000;
        std::printf("%s for %.1f s: %.3f s CPU, %.2f %% of one core\n", state, seconds, cpu,
            100 * cpu / seconds);
    }
    return missed == 0 ? 0 : 2;
}
