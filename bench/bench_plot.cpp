// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The plot window on a real pty: the main window with the plot open, fed lines of numbers as a
// sensor sends them.
//
//   bench_plot --lines L --values V [--seconds S] [--tick MS] [--server-pid PID]
//       L lines a second of V comma-separated values, one write every tick (default 10 ms, as a
//       USB adapter delivers them), for a second to settle and then S seconds (default 10)
//       measured. Prints the program's CPU (its process less the feeding thread) as per cent of
//       one core, frames drawn a second, the longest event-loop stall, lines sent and parsed and
//       any backlog when the feed stops.
//   bench_plot --points N --values V [--lines L]
//       fills N samples of V values as fast as the window reads them (the text display stopped,
//       so that only the plot keeps them), then prints the resident memory above the program's
//       base against V x N x 16 bytes and the time of whole frames (thinning, chart and paint).
//   bench_plot --lines L --values V --screenshot FILE
//       as the rated feed, with named values, then saves the plot window as a picture.
#include "app/mainwindow.h"
#include "plot/plotcanvas.h"
#include "plot/plotwindow.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Options {
    int lines = 1000;
    int values = 8;
    int seconds = 10;
    int tickMs = 10;
    qint64 points = 0;
    qint64 serverPid = 0;
    QString screenshot;
};

// Line k of a sensor's output: V slow sine waves with a little noise, three decimals.
QByteArray sensorLine(qint64 k, int values, bool named)
{
    static const char* const names[] = { "temp:", "pressure:", "volts:", "current:" };
    QByteArray line;
    for (int v = 0; v < values; ++v) {
        if (v)
            line += ',';
        if (named)
            line += names[v % 4];
        const double y
            = (v + 1) * std::sin(double(k) / (50.0 + 13 * v)) + double(k * 7919 % 97) / 970;
        line += QByteArray::number(y, 'f', 3);
    }
    return line + "\r\n";
}

// Measures the longest gap between two ticks of a 5 ms timer while it runs: how long the event
// loop was kept from anything else.
class StallWatch {
public:
    StallWatch()
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(5);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, double(m_since.nsecsElapsed()) / 1e6 - 5);
            m_since.restart();
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_tick.start();
    }
    double longestMs() const { return m_longest; }

private:
    QTimer m_tick;
    QElapsedTimer m_since;
    double m_longest = 0;
};

int run(const Options& options)
{
    PtyPair pty;
    QTemporaryDir config;
    if (!config.isValid() || !pty.bindAsCom1(config.path())) {
        say("cannot set up the pty\n");
        return 2;
    }

    QtSerialComponent serial;
    FakeDialogs dialogs;
    FakeUrlOpener urls;
    FakeClock clock;
    MainWindow window({ &serial, &dialogs, &urls, &clock, {} });
    window.setEndProgram([] {});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !serial.portOpen()) {
        say("the window did not open the pty as COM1\n");
        return 2;
    }
    if (options.points > 0)
        window.findChild<QPushButton*>(QStringLiteral("CmdStopdisp"))->click();

    // Everything the feed needs is built before the base is taken.
    const qint64 total = options.points > 0 ? options.points + 1000
                                            : qint64(options.lines) * (options.seconds + 1);
    QByteArray feed;
    std::vector<qint64> lineEnds;
    lineEnds.reserve(size_t(total) + 1);
    feed += "partial line, dropped\r\n";
    lineEnds.push_back(feed.size());
    for (qint64 k = 0; k < total; ++k) {
        feed += sensorLine(k, options.values, !options.screenshot.isEmpty());
        lineEnds.push_back(feed.size());
    }
    QCoreApplication::processEvents();
    const qint64 baseKiB = procStatusKiB("VmRSS");

    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->text() == QStringLiteral("波形图…"))
            action->trigger();
    }
    auto* plot = window.findChild<PlotWindow*>();
    if (!plot || !QTest::qWaitForWindowExposed(plot)) {
        say("the plot window did not open\n");
        return 2;
    }
    if (options.points > 0)
        plot->findChild<QSpinBox*>(QStringLiteral("PlotPoints"))->setValue(int(options.points));
    QCoreApplication::processEvents();

    StallWatch stalls;
    QEventLoop loop;
    if (options.points > 0) {
        // As fast as the window reads: the writer blocks whenever the tty is full.
        std::thread writer([&] { pty.write(feed); });
        stalls.start();
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (plot->linesRead() >= total)
                loop.quit();
        });
        check.start(50);
        loop.exec();
        writer.join();
        QCoreApplication::processEvents();
        const qint64 afterKiB = procStatusKiB("VmRSS");
        const double fillStall = stalls.longestMs();
        // Whole frames: the thinning, the chart's update and the paint, each forced.
        QWidget* view = plot->canvas();
        std::vector<double> frames;
        for (int k = 0; k < 20; ++k) {
            QElapsedTimer frame;
            frame.start();
            plot->drawFrame();
            view->repaint();
            frames.push_back(double(frame.nsecsElapsed()) / 1e6);
        }
        std::sort(frames.begin(), frames.end());
        const double bound = 1.2 * options.values * double(options.points) * 16 / 1024;
        const double aboveMiB = double(afterKiB - baseKiB) / 1024;
        say("N=%lld, %d series: resident %.1f MiB above the base (bound 1.2 x %d x N x 16 B = %.1f "
            "MiB); frames %.1f ms median, %.1f ms longest of 20; longest stall while filling "
            "%.0f ms\n",
            qlonglong(options.points), options.values, aboveMiB, options.values, bound / 1024,
            frames[frames.size() / 2], frames.back(), fillStall);
        say("result points=%lld series=%d mib=%.2f bound=%.2f median=%.2f longest=%.2f "
            "fillstall=%.1f\n",
            qlonglong(options.points), plot->series().seriesCount(), aboveMiB, bound / 1024,
            frames[frames.size() / 2], frames.back(), fillStall);
        window.close();
        return 0;
    }

    // Rated: a second to settle, then the measured span.
    const double tick = options.tickMs / 1000.0;
    const qint64 ticks = qint64(std::llround((options.seconds + 1) / tick));
    const qint64 warmTicks = qint64(std::llround(1 / tick));
    const auto linesBefore = [&](qint64 t) {
        return std::min<qint64>(total, qint64(std::llround(options.lines * tick * double(t))));
    };
    double cpuStart = 0, pacerStart = 0, serverStart = 0;
    qint64 framesStart = 0;
    QElapsedTimer wall;
    std::thread* pacerThread = nullptr;
    std::atomic<bool> fed { false };
    QObject receiver;
    const auto startMeasuring = [&] {
        cpuStart = processCpuSeconds();
        pacerStart = threadCpuSeconds(*pacerThread);
        serverStart = otherProcessCpuSeconds(options.serverPid);
        framesStart = plot->framesDrawn();
        stalls.start();
        wall.start();
    };
    double cpu = 0, serverCpu = 0, seconds = 0;
    qint64 frames = 0, parsedAtEnd = 0;
    const auto stopMeasuring = [&] {
        seconds = double(wall.nsecsElapsed()) / 1e9;
        cpu = processCpuSeconds() - cpuStart;
        serverCpu = otherProcessCpuSeconds(options.serverPid) - serverStart;
        frames = plot->framesDrawn() - framesStart;
        parsedAtEnd = plot->linesRead();
        loop.quit();
    };
    std::thread pacer([&] {
        auto when = std::chrono::steady_clock::now();
        const auto step = std::chrono::microseconds(options.tickMs * 1000);
        for (qint64 t = 0; t < ticks; ++t) {
            std::this_thread::sleep_until(when);
            if (t == warmTicks)
                QMetaObject::invokeMethod(&receiver, startMeasuring, Qt::QueuedConnection);
            const qint64 from = t == 0 ? 0 : lineEnds[size_t(linesBefore(t))];
            pty.write(feed.mid(from, lineEnds[size_t(linesBefore(t + 1))] - from));
            when += step;
        }
        fed = true;
        QMetaObject::invokeMethod(&receiver, stopMeasuring, Qt::QueuedConnection);
    });
    pacerThread = &pacer;
    loop.exec();
    const double pacerCpu = threadCpuSeconds(pacer) - pacerStart;
    pacer.join();
    const double stall = stalls.longestMs();
    const qint64 sent = linesBefore(ticks);
    // What was still unread when the feed stopped, then everything read.
    const qint64 backlog = sent - parsedAtEnd;
    (void)QTest::qWaitFor([&] { return plot->linesRead() >= sent; }, 10000);
    const double percent = 100 * (cpu - pacerCpu) / seconds;
    const double serverPercent = serverStart >= 0 ? 100 * serverCpu / seconds : -1;
    say("%d lines/s of %d values in %d ms ticks for %.1f s: program %.2f %% of a core (X server "
        "%.1f %%), %.1f frames/s, longest stall %.0f ms, lines sent %lld, parsed %lld (%lld "
        "unread when the feed stopped)\n",
        options.lines, options.values, options.tickMs, seconds, percent, serverPercent,
        double(frames) / seconds, stall, qlonglong(sent), qlonglong(plot->linesRead()),
        qlonglong(backlog));
    say("result lines=%d values=%d percent=%.3f server=%.2f fps=%.2f stall=%.1f sent=%lld "
        "parsed=%lld backlog=%lld\n",
        options.lines, options.values, percent, serverPercent, double(frames) / seconds, stall,
        qlonglong(sent), qlonglong(plot->linesRead()), qlonglong(backlog));
    if (!options.screenshot.isEmpty() && !plot->grab().save(options.screenshot)) {
        say("cannot write %s\n", qPrintable(options.screenshot));
        return 2;
    }
    window.close();
    return plot->linesRead() == sent ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    for (int k = 1; k + 1 < argc; k += 2) {
        const QByteArray name = argv[k];
        const qint64 value = QByteArray(argv[k + 1]).toLongLong();
        if (name == "--screenshot")
            options.screenshot = QString::fromLocal8Bit(argv[k + 1]);
        else if (name == "--lines")
            options.lines = int(value);
        else if (name == "--values")
            options.values = int(value);
        else if (name == "--seconds")
            options.seconds = int(value);
        else if (name == "--tick")
            options.tickMs = int(value);
        else if (name == "--points")
            options.points = value;
        else if (name == "--server-pid")
            options.serverPid = value;
        else {
            std::fprintf(stderr, "unknown argument %s (see the top of bench_plot.cpp)\n", argv[k]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return run(options);
}
