// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Whether the protocol view shows the line's timing: the real window on a pseudo-terminal, read
// back from the display.
//
//   bench_timing [--replies N] [--byte-ms MS] [--gap-ms MS] [--frame-ms MS] [--exchanges N]
//                [--delay-ms MS]
//
// First a device writes N six-byte replies (default 1000), each byte by byte --byte-ms apart
// (default 3), --gap-ms (default 40) from the last byte of one to the first of the next, into the
// hexadecimal display with 时间戳, 显示发送 and 分帧 at --frame-ms (default 20). Each reply carries
// its number, so the display's lines say which replies were split across lines and which merged
// into one; each reply's stamp is compared with the device's own wall clock as it wrote the first
// byte. Then the window sends "01 03" --exchanges times (default 100) and the device answers each
// --delay-ms (default 25) after it read the send, byte by byte again; the "+N ms" shown is
// compared with the time the device itself waited. Prints a "result" line. Run it in a real X11
// window (QT_QPA_PLATFORM=xcb under xvfb-run, as bench/run_timing.sh does): painting is what
// keeps the window from reading at once.
#include "app/mainwindow.h"
#include "app/qtplatform.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "support/fakes.h"
#include "support/pty.h"
#include "view/receiveview.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include <poll.h>

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr qint64 dayMs = 24 * 60 * 60 * 1000;
constexpr int replyBytes = 6;

struct Options {
    int replies = 1000;
    int byteMs = 3;
    int gapMs = 40;
    int frameMs = 20;
    int exchanges = 100;
    int delayMs = 25;
};

// The wall clock now, as milliseconds into the local day, with the fraction.
double localDayMs()
{
    const qint64 offsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const double ms = std::chrono::duration<double, std::milli>(sinceEpoch).count();
    return std::fmod(ms + double(offsetMs), double(dayMs));
}

QByteArray reply(int number)
{
    const char bytes[replyBytes]
        = { '\x7e', char(number >> 8), char(number & 0xff), '\x11', '\x22', '\x33' };
    return QByteArray(bytes, replyBytes);
}

// Writes each byte of `bytes` at `next`, then a byte-time later. Says when the first byte went, on
// the wall clock, and the longest pause between two bytes as written (a device kept waiting by the
// machine writes a gap of its own).
struct Trickled {
    double firstMs = 0;
    double longestPauseMs = 0;
};

Trickled trickle(PtyPair& pty, const QByteArray& bytes, SteadyClock::time_point& next, int byteMs)
{
    Trickled out;
    SteadyClock::time_point last;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        std::this_thread::sleep_until(next);
        const auto now = SteadyClock::now();
        if (k == 0)
            out.firstMs = localDayMs();
        else
            out.longestPauseMs = std::max(
                out.longestPauseMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        (void)pty.write(bytes.mid(k, 1));
        next += std::chrono::milliseconds(byteMs);
    }
    return out;
}

// One line of the display: its stamp (ms into the day), the response time it shows (-1: none),
// whether it is a send, and how many bytes it shows.
struct Line {
    double stampMs = 0;
    int responseMs = -1;
    bool sent = false;
    int bytes = 0;
};

QList<Line> linesOf(const QString& display)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\[(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d{3})(?: \\+(\\d+) ms)?\\] (收← |发→ )?(.*)$"));
    QList<Line> lines;
    for (const QString& text : display.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = form.match(text);
        if (!match.hasMatch()) {
            say("a line of the display that is not a stamped line: %s\n", qPrintable(text));
            continue;
        }
        Line line;
        line.stampMs = ((match.captured(1).toInt() * 60 + match.captured(2).toInt()) * 60
                           + match.captured(3).toInt())
                * 1000.0
            + match.captured(4).toInt();
        line.responseMs = match.captured(5).isEmpty() ? -1 : match.captured(5).toInt();
        line.sent = match.captured(6).startsWith(QStringLiteral("发"));
        line.bytes = int(match.captured(7).split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
        lines << line;
    }
    return lines;
}

// Replies cut by a line's beginning, and reply boundaries that no line begins at; `starts` gets
// the line each reply begins, -1 where none does.
struct Framing {
    int split = 0;
    int merged = 0;
    std::vector<int> starts;
};

Framing framing(const QList<Line>& lines, int replies)
{
    Framing out;
    out.starts.assign(size_t(replies), -1);
    std::vector<bool> lineBegins(size_t(replies) * replyBytes + 1, false);
    qsizetype position = 0;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (lines[k].sent || lines[k].bytes == 0)
            continue;
        if (position < qsizetype(lineBegins.size()))
            lineBegins[size_t(position)] = true;
        if (position % replyBytes == 0 && position / replyBytes < replies)
            out.starts[size_t(position / replyBytes)] = int(k);
        position += lines[k].bytes;
    }
    for (int r = 0; r < replies; ++r) {
        const size_t begin = size_t(r) * replyBytes;
        if (r > 0 && !lineBegins[begin])
            ++out.merged;
        for (size_t k = begin + 1; k < begin + replyBytes; ++k) {
            if (lineBegins[k]) {
                ++out.split;
                break;
            }
        }
    }
    return out;
}

// Runs the event loop until `done` holds, looking every 10 ms; false after `limitMs`. The loop
// sleeps between events, as the program's does.
bool waitFor(const std::function<bool()>& done, int limitMs)
{
    QEventLoop loop;
    QTimer look;
    QElapsedTimer waited;
    waited.start();
    bool met = done();
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        met = done();
        if (met || waited.elapsed() > limitMs)
            loop.quit();
    });
    look.start(10);
    if (!met)
        loop.exec();
    return met;
}

int run(const Options& options)
{
    PtyPair pty;
    QTemporaryDir config;
    if (!config.isValid() || !pty.bindAsCom1(config.path())) {
        say("cannot set up the pty\n");
        return 2;
    }
    const QString optionsFile = config.filePath(QStringLiteral("portlark.conf"));
    QFile file(optionsFile);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QStringLiteral("[view]\ntimestamps=true\nframe-ms=%1\nshow-sent=true\n")
                          .arg(options.frameMs)
                          .toLatin1())
            < 0) {
        say("cannot write %s\n", qPrintable(optionsFile));
        return 2;
    }
    file.close();

    QtSerialComponent serial;
    FakeDialogs dialogs;
    FakeUrlOpener urls;
    SystemClock clock;
    MainWindow window({ &serial, &dialogs, &urls, &clock, optionsFile });
    window.setEndProgram([] {});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !serial.portOpen()) {
        say("the window did not open the pty as COM1\n");
        return 2;
    }
    window.findChild<QCheckBox*>(QStringLiteral("ChkHexReceive"))->setChecked(true);
    auto* view = window.findChild<ReceiveView*>(QStringLiteral("TxtReceive"));
    const auto clearDisplay
        = [&] { window.findChild<QPushButton*>(QStringLiteral("CmdClearReceive"))->click(); };
    QCoreApplication::processEvents();

    // ---- replies written byte by byte
    clearDisplay();
    std::vector<Trickled> written(size_t(options.replies));
    const qint64 fed = qint64(options.replies) * replyBytes;
    const qint64 countBefore = window.receivedCount();
    std::thread device([&] {
        auto next = SteadyClock::now() + std::chrono::milliseconds(100);
        for (int r = 0; r < options.replies; ++r) {
            written[size_t(r)] = trickle(pty, reply(r), next, options.byteMs);
            next += std::chrono::milliseconds(options.gapMs - options.byteMs);
        }
    });
    const int feedMs = options.replies * (options.gapMs + replyBytes * options.byteMs) + 5000;
    const bool arrived
        = waitFor([&] { return window.receivedCount() - countBefore >= fed; }, feedMs);
    device.join();
    QCoreApplication::processEvents();
    const QList<Line> lines = linesOf(view->text());
    const Framing frames = framing(lines, options.replies);
    const int lateWrites = int(std::count_if(written.begin(), written.end(),
        [&](const Trickled& t) { return t.longestPauseMs >= options.frameMs; }));
    std::vector<double> stampErrors;
    std::vector<double> stampSigned;
    for (int r = 0; r < options.replies; ++r) {
        const int at = frames.starts[size_t(r)];
        if (at < 0)
            continue;
        double error = lines[at].stampMs - written[size_t(r)].firstMs;
        if (error > dayMs / 2)
            error -= dayMs;
        else if (error < -dayMs / 2)
            error += dayMs;
        stampSigned.push_back(error);
        stampErrors.push_back(std::abs(error));
    }

    // ---- a reply --delay-ms after each send
    clearDisplay();
    window.findChild<QPlainTextEdit*>(QStringLiteral("TxtSend"))
        ->setPlainText(QStringLiteral("01 03"));
    window.findChild<QCheckBox*>(QStringLiteral("ChkHexSend"))->setChecked(true);
    std::vector<double> waited(size_t(options.exchanges), -1);
    std::atomic<bool> stop { false };
    std::thread answerer([&] {
        for (int e = 0; e < options.exchanges && !stop; ++e) {
            QByteArray request;
            while (request.size() < 2 && !stop) {
                pollfd wait { pty.masterFd(), POLLIN, 0 };
                if (::poll(&wait, 1, 50) > 0)
                    request += pty.readAvailable();
            }
            const auto read = SteadyClock::now();
            auto next = read + std::chrono::milliseconds(options.delayMs);
            std::this_thread::sleep_until(next);
            waited[size_t(e)]
                = std::chrono::duration<double, std::milli>(SteadyClock::now() - read).count();
            trickle(pty, reply(e), next, options.byteMs);
        }
    });
    const qint64 sentBefore = window.receivedCount();
    auto* send = window.findChild<QPushButton*>(QStringLiteral("CmdSend"));
    int sends = 0;
    QTimer sender;
    const int periodMs = options.delayMs + replyBytes * options.byteMs + 60;
    QObject::connect(&sender, &QTimer::timeout, &window, [&] {
        if (sends < options.exchanges) {
            send->click();
            ++sends;
        }
    });
    sender.start(periodMs);
    const bool answered = waitFor(
        [&] {
            return window.receivedCount() - sentBefore >= qint64(options.exchanges) * replyBytes;
        },
        options.exchanges * periodMs + 5000);
    sender.stop();
    stop = true;
    answerer.join();
    QCoreApplication::processEvents();
    const QList<Line> exchangeLines = linesOf(view->text());
    const Framing exchangeFrames = framing(exchangeLines, options.exchanges);
    std::vector<double> responseErrors;
    std::vector<double> responseAbs;
    int unfigured = 0;
    for (int e = 0; e < options.exchanges; ++e) {
        const int at = exchangeFrames.starts[size_t(e)];
        if (at < 0 || exchangeLines[at].responseMs < 0 || waited[size_t(e)] < 0) {
            ++unfigured;
            continue;
        }
        const double error = exchangeLines[at].responseMs - waited[size_t(e)];
        responseErrors.push_back(error);
        responseAbs.push_back(std::abs(error));
    }

    say("%d replies of %d bytes written %d ms apart, %d ms between replies, 分帧 %d ms: %s; "
        "%d split, %d merged (the device itself paused %d ms or more inside %d replies); stamp "
        "minus the device's clock: median %.1f ms, |error| median %.1f ms, 99th percentile "
        "%.1f ms, worst %.1f ms\n",
        options.replies, replyBytes, options.byteMs, options.gapMs, options.frameMs,
        arrived ? "all arrived" : "NOT ALL ARRIVED", frames.split, frames.merged, options.frameMs,
        lateWrites, percentile(stampSigned, 0.5), percentile(stampErrors, 0.5),
        percentile(stampErrors, 0.99), percentile(stampErrors, 1));
    say("%d sends answered %d ms later: %s; +N ms shown minus the device's wait: median %.1f ms, "
        "|error| median %.1f ms, 99th percentile %.1f ms; %d replies without a figure, %d split, "
        "%d merged\n",
        options.exchanges, options.delayMs, answered ? "all answered" : "NOT ALL ANSWERED",
        percentile(responseErrors, 0.5), percentile(responseAbs, 0.5),
        percentile(responseAbs, 0.99), unfigured, exchangeFrames.split, exchangeFrames.merged);
    say("result replies=%d split=%d late=%d merged=%d stampmedian=%.2f stampabsmedian=%.2f "
        "stampp99=%.2f exchanges=%d responsemedian=%.2f responseabsmedian=%.2f responsep99=%.2f "
        "unfigured=%d complete=%d\n",
        options.replies, frames.split, lateWrites, frames.merged, percentile(stampSigned, 0.5),
        percentile(stampErrors, 0.5), percentile(stampErrors, 0.99), options.exchanges,
        percentile(responseErrors, 0.5), percentile(responseAbs, 0.5),
        percentile(responseAbs, 0.99), unfigured, int(arrived && answered));
    window.close();
    return arrived && answered ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    for (int k = 1; k + 1 < argc; k += 2) {
        const QByteArray name = argv[k];
        const int value = QByteArray(argv[k + 1]).toInt();
        if (name == "--replies")
            options.replies = value;
        else if (name == "--byte-ms")
            options.byteMs = value;
        else if (name == "--gap-ms")
            options.gapMs = value;
        else if (name == "--frame-ms")
            options.frameMs = value;
        else if (name == "--exchanges")
            options.exchanges = value;
        else if (name == "--delay-ms")
            options.delayMs = value;
        else {
            std::fprintf(
                stderr, "unknown argument %s (see the top of bench_timing.cpp)\n", argv[k]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return run(options);
}
