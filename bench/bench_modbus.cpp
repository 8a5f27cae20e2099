// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// What 协议解析 and the automatic answers cost, on a pseudo-terminal linked as COM1.
//
//   bench_modbus [--seconds S] [--rate FRAMES_PER_S] [--requests N]
//
// CPU: a device writes Modbus RTU answers (9 bytes, "01 03 04 … CRC") at --rate a second (default
// 1000) for --seconds (default 10) into the real window's hexadecimal display with 时间戳 on, once
// with 协议解析 无 and once with Modbus RTU; the window's process CPU (less the device's thread)
// is printed as per cent of one core for each. Run it in a real X11 window (QT_QPA_PLATFORM=xcb
// under xvfb-run, as bench/run_modbus.sh does): painting is part of the cost.
// Latency: the automatic answers answer --requests (default 1000) register reads, one every
// 10 ms, from the register table; the time from the request's last byte written to the answer's
// first byte read by the device is printed as median, 95th percentile and longest.
#include "app/mainwindow.h"
#include "app/qtplatform.h"
#include "modbus/modbus.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "send/replywatch.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Options {
    int seconds = 10;
    int rate = 1000;
    int requests = 1000;
};

QByteArray answer(int n)
{
    QByteArray body = QByteArray::fromHex("01030400000000");
    body[3] = char(n >> 8 & 0xFF);
    body[4] = char(n & 0xFF);
    body[6] = char(n % 251);
    return body + Modbus::crcBytes(body);
}

// The window's CPU per cent of a core while the device writes frames at the rate.
double windowCpu(const Options& options, const QString& decode)
{
    PtyPair pty;
    QTemporaryDir config;
    if (!config.isValid() || !pty.bindAsCom1(config.path()))
        return -1;
    const QString optionsFile = config.filePath(QStringLiteral("portlark.conf"));
    QFile file(optionsFile);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QStringLiteral("[view]\ntimestamps=true\ndecode=%1\n").arg(decode).toLatin1())
            < 0)
        return -1;
    file.close();
    QtSerialComponent serial;
    FakeDialogs dialogs;
    FakeUrlOpener urls;
    SystemClock clock;
    MainWindow window({ &serial, &dialogs, &urls, &clock, optionsFile });
    window.setEndProgram([] {});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !serial.portOpen())
        return -1;
    window.findChild<QCheckBox*>(QStringLiteral("ChkHexReceive"))->setChecked(true);
    QTest::qWait(300);

    const int frames = options.seconds * options.rate;
    std::atomic<bool> done { false };
    std::thread device([&] {
        auto next = SteadyClock::now();
        const auto period = std::chrono::nanoseconds(1'000'000'000 / options.rate);
        for (int n = 0; n < frames; ++n) {
            std::this_thread::sleep_until(next);
            pty.write(answer(n));
            next += period;
        }
        done = true;
    });
    const double cpuBefore = processCpuSeconds();
    const auto wallBefore = SteadyClock::now();
    while (!done)
        QTest::qWait(20);
    QTest::qWait(50);
    const double wall = std::chrono::duration<double>(SteadyClock::now() - wallBefore).count();
    const double deviceCpu = threadCpuSeconds(device);
    const double cpu = processCpuSeconds() - cpuBefore - deviceCpu;
    device.join();
    say("decode=%s frames=%d received=%lld wall=%.2f s\n", qPrintable(decode), frames,
        window.receivedCount(), wall);
    return 100 * cpu / wall;
}

struct Latency {
    double medianMs = -1, p95Ms = -1, maxMs = -1;
    int answered = 0;
};

Latency answerLatency(const Options& options)
{
    PtyPair pty;
    QTemporaryDir config;
    if (!config.isValid() || !pty.bindAsCom1(config.path()))
        return {};
    QtSerialComponent serial;
    (void)serial.setSettings(
        { 1, QStringLiteral("115200"), QStringLiteral("N"), 8, QStringLiteral("1") });
    if (!serial.setPortOpen(true))
        return {};
    SendPath send(serial);
    ReplyWatch watch(send, serial);
    watch.setAnswers({ { true, { ReplyPattern::Kind::Modbus, QStringLiteral("1"), false },
                         AutoAnswer::Reply::Registers, {}, 0 } },
        { { 0, 1 }, { 1, 101 } });
    watch.setAnswering(true);
    QByteArray request = QByteArray::fromHex("010300000002");
    request += Modbus::crcBytes(request);

    std::vector<double> ms;
    std::atomic<bool> done { false };
    std::thread device([&] {
        for (int n = 0; n < options.requests; ++n) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            pty.write(request);
            const auto written = SteadyClock::now();
            pollfd fd { pty.masterFd(), POLLIN, 0 };
            if (poll(&fd, 1, 1000) <= 0)
                continue;
            const auto first = SteadyClock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(first - written).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            char drain[256];
            while (poll(&fd, 1, 0) > 0 && read(pty.masterFd(), drain, sizeof drain) > 0) { }
        }
        done = true;
    });
    while (!done)
        QTest::qWait(5);
    device.join();
    Latency latency;
    latency.answered = int(ms.size());
    if (ms.empty())
        return latency;
    latency.medianMs = percentile(ms, 0.5);
    latency.p95Ms = percentile(ms, 0.95);
    latency.maxMs = percentile(ms, 1);
    return latency;
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    for (int k = 1; k + 1 < argc; k += 2) {
        const QByteArray name = argv[k];
        const int value = QByteArray(argv[k + 1]).toInt();
        if (name == "--seconds")
            options.seconds = value;
        else if (name == "--rate")
            options.rate = value;
        else if (name == "--requests")
            options.requests = value;
        else {
            std::fprintf(
                stderr, "unknown argument %s (see the top of bench_modbus.cpp)\n", argv[k]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const double plain = windowCpu(options, QStringLiteral("none"));
    const double decoded = windowCpu(options, QStringLiteral("modbus-rtu"));
    const Latency latency = answerLatency(options);
    std::printf("result rate=%d plaincpu=%.1f decodedcpu=%.1f answered=%d of %d "
                "answermedian=%.2f answerp95=%.2f answermax=%.2f\n",
        options.rate, plain, decoded, latency.answered, options.requests, latency.medianMs,
        latency.p95Ms, latency.maxMs);
    return plain < 0 || decoded < 0 || latency.answered == 0 ? 1 : 0;
}
