// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// How fast the receive display takes data, and what it costs in memory.
//
//   bench_receive                 every measurement, each in a fresh process, and a summary
//   bench_receive --pty MODE      a real pty fed at full speed into the running window, then at a
//                                 steady 1 MB/s (MODE: text, unbroken, mixed, hex)
//   bench_receive --view MODE     the display alone, 64-byte appends
//   bench_receive --decode        the port's decoder alone, in each encoding of the 字符编码
//                                 menu, on 16 MiB of the mixed lines cut into 4 KiB reads
//   bench_receive --stock         the display against a stock QPlainTextEdit on a smaller size
//   bench_receive --curve FILE    seconds per MiB against MiB already displayed, ours and stock,
//                                 as rows "mib ours_seconds stock_seconds" (nan: not measured)
//   bench_receive --all --curve FILE   everything, then the curve
//   bench_receive --pty MODE --rate BYTES_PER_S --tick MS --seconds N
//                                 a real pty fed at that rate, one write a tick, as an adapter
//                                 delivers it; prints the window's CPU (its process less the
//                                 feeder) as per cent of one core and CPU seconds per MB
// Options: --mib N (size fed, default 16), --steady S (seconds at 1 MB/s, default 4),
//          --stock-kib N (stock size, default 64), --step-kib N (curve step, default 16),
//          --budget S (seconds the stock editor may take in the curve, default 60),
//          --quiet-counter (with --pty: the RX count box is not repainted, to show what its
//          repainting at every receive event costs), --server-pid PID (with --rate: also the
//          CPU of that process, the X server, over the same span), --protocol (with --pty: time
//          stamps, frames at 50 ms gaps and sent lines on; the display is checked with the stamps,
//          direction marks and the frames' line breaks taken out), --encoding NAME (with --pty:
//          the window reads text in NAME, a choice of its 字符编码 menu such as UTF-8 or GB18030,
//          instead of the system code page), --via rfc2217|tcp (with --pty: ser2net serves the pty
//          on loopback and COM1 is its URL, so the bytes come over the network; ser2net's CPU is
//          its own process's and not counted). The mixed mode sends lines of Chinese and ASCII
//          by turns in the encoding the window reads.
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "port/comnames.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "support/fakes.h"
#include "support/pty.h"
#include "support/ser2net.h"
#include "view/receiveview.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr qint64 mib = 1024 * 1024;
constexpr qsizetype eventBytes = 64;
QByteArray textEncoding; // --encoding: the window's choice; empty: the system code page
const QSize displaySize(589, 325);

struct Options {
    QString pty;
    QString view;
    bool decode = false;
    bool stock = false;
    bool all = false;
    bool quietCounter = false;
    bool protocol = false;
    QString curve;
    int mibs = 16;
    int steadySeconds = 4;
    int stockKib = 64;
    int stepKib = 16;
    int budget = 60;
    qint64 rate = 0;
    int tickMs = 10;
    int seconds = 10;
    qint64 serverPid = 0;
    QString via; // "rfc2217" or "tcp": through ser2net
};

// Lines of about 60 characters in runs of 1 to 8, Chinese (some outside the BMP where the encoding
// holds them) and ASCII by turns, ending in CR LF; blanks fill the end so that no character is cut
// there.
QByteArray makeEncodedFeed(qint64 size)
{
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    QStringList pool;
    const QString characters
        = QStringLiteral("温度湿度电压电流设备心跳数据接收发送正常错误串口调试助手℃€😀𠀀");
    for (const char32_t c : characters.toUcs4()) {
        const QString text = QString::fromUcs4(&c, 1);
        if (CodePage::decode(CodePage::encode(text, textEncoding), textEncoding) == text)
            pool << text;
    }
    std::uniform_int_distribution<qsizetype> pick(0, pool.size() - 1);
    std::uniform_int_distribution<int> run(1, 8);
    QByteArray feed;
    feed.reserve(size);
    while (feed.size() < size - 300) {
        QString line;
        for (bool chinese = false; line.size() < 60; chinese = !chinese) {
            for (int k = run(random); k > 0; --k)
                line += chinese ? pool.at(pick(random)) : QString(QChar(printable(random)));
        }
        feed += CodePage::encode(line + QStringLiteral("\r\n"), textEncoding);
    }
    feed.append(size - feed.size(), ' ');
    return feed;
}

// What a device sends in each mode: 80-character lines ending in CR LF, printable text with no
// line break at all, or random bytes for the hex display.
QByteArray makeFeed(const QString& mode, qint64 size)
{
    if (mode == QLatin1String("mixed"))
        return makeEncodedFeed(size);
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    std::uniform_int_distribution<int> anyByte(0, 255);
    QByteArray feed(size, Qt::Uninitialized);
    for (qint64 k = 0; k < size; ++k) {
        if (mode == QLatin1String("hex"))
            feed[k] = char(anyByte(random));
        else if (mode == QLatin1String("text") && k % 82 == 80)
            feed[k] = '\r';
        else if (mode == QLatin1String("text") && k % 82 == 81)
            feed[k] = '\n';
        else
            feed[k] = char(printable(random));
    }
    return feed;
}

QString displayed(const QString& mode, const QByteArray& feed)
{
    if (mode == QLatin1String("mixed"))
        return CodePage::decode(feed, textEncoding);
    if (mode == QLatin1String("hex"))
        return QString::fromLatin1(feed.toHex(' ').toUpper() + ' ');
    return QString::fromLatin1(feed);
}

// The display as the device's bytes alone would show it: without the stamps and direction marks
// that begin lines, and without the line breaks frames add (in text, every line break of the feed
// is a CR LF).
QString unframed(const QString& mode, QString shown)
{
    static const QRegularExpression head(
        QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}( \\+\\d+ ms)?\\] |收← "));
    static const QRegularExpression frameBreak(QStringLiteral("(?<!\\r)\\n"));
    shown.remove(head);
    if (mode == QLatin1String("hex"))
        shown.remove(QLatin1Char('\n'));
    else
        shown.remove(frameBreak);
    return shown;
}

// Calls `check` about every millisecond from the event loop until it returns true; reports the
// longest time between two calls, which is how long the loop was kept from anything else.
double runLoopUntil(const std::function<bool()>& check)
{
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QElapsedTimer since;
    since.start();
    double longest = 0;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        longest = std::max(longest, since.nsecsElapsed() / 1e6);
        since.restart();
        if (check())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return longest;
}

// ---- a steady feed in ticks

// Feeds `rate` bytes a second, one write every tick, for a second to fill the display and then
// for the measured seconds; the window's CPU is its process's less the feeding thread's.
int runRate(const Options& options, MainWindow& window, SerialComponent& serial, PtyPair& pty,
    ReceiveView& view)
{
    const QString mode = options.pty;
    const double warmSeconds = 1;
    const double tick = options.tickMs / 1000.0;
    const qint64 ticks = qint64(std::llround((warmSeconds + options.seconds) / tick));
    const qint64 warmTicks = qint64(std::llround(warmSeconds / tick));
    const auto bytesBefore
        = [&](qint64 t) { return qint64(std::llround(double(options.rate) * tick * double(t))); };
    const qint64 total = bytesBefore(ticks);
    const QByteArray feed = makeFeed(mode, total);
    QCoreApplication::processEvents();

    // No timer of the benchmark's own runs while it measures: the feeder says when the warm-up
    // ends, and each communication event checks whether everything has arrived.
    QEventLoop loop;
    double cpuStart = 0;
    double pacerStart = 0;
    double serverStart = 0;
    qint64 countStart = 0;
    QElapsedTimer wall;
    std::thread* pacerThread = nullptr;
    QObject receiver;
    const auto startMeasuring = [&] {
        cpuStart = processCpuSeconds();
        pacerStart = threadCpuSeconds(*pacerThread);
        serverStart = otherProcessCpuSeconds(options.serverPid);
        countStart = window.receivedCount();
        wall.start();
    };
    QObject::connect(&serial, &SerialComponent::onComm, &loop, [&] {
        if (window.receivedCount() >= total)
            loop.quit();
    });
    std::thread pacer([&] {
        auto when = std::chrono::steady_clock::now();
        const auto step = std::chrono::microseconds(options.tickMs * 1000);
        for (qint64 t = 0; t < ticks; ++t) {
            std::this_thread::sleep_until(when);
            if (t == warmTicks)
                QMetaObject::invokeMethod(&receiver, startMeasuring, Qt::QueuedConnection);
            const qint64 from = bytesBefore(t);
            pty.write(feed.mid(from, bytesBefore(t + 1) - from));
            when += step;
        }
    });
    pacerThread = &pacer;
    loop.exec();
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double pacerCpu = threadCpuSeconds(pacer) - pacerStart;
    const double cpu = processCpuSeconds() - cpuStart - pacerCpu;
    const double serverCpu = otherProcessCpuSeconds(options.serverPid) - serverStart;
    pacer.join();
    QCoreApplication::processEvents();

    const qint64 measured = window.receivedCount() - countStart;
    const bool equal
        = (options.protocol ? unframed(mode, view.text()) : view.text()) == displayed(mode, feed);
    const bool counted = window.receivedCount() == total;
    const double percent = 100 * cpu / wallSeconds;
    const double perMb = cpu / (measured / 1e6);
    const double serverPercent
        = serverStart >= 0 && serverCpu >= 0 ? 100 * serverCpu / wallSeconds : -1;
    say("rate %-8s %lld B/s in %d ms ticks for %.1f s: window %.2f %% of a core, %.3f CPU-s per "
        "MB%s; display %s, RX count %s\n",
        qPrintable(mode), qlonglong(options.rate), options.tickMs, wallSeconds, percent, perMb,
        serverPercent >= 0
            ? qPrintable(QStringLiteral(" (X server %1 %)").arg(serverPercent, 0, 'f', 2))
            : "",
        equal ? "equals the feed" : "DIFFERS FROM THE FEED", counted ? "equals it" : "DIFFERS");
    say("result rate=%s percent=%.3f cpupermb=%.4f server=%.3f equal=%d counted=%d\n",
        qPrintable(mode), percent, perMb, serverPercent, int(equal), int(counted));
    window.close();
    return equal && counted ? 0 : 1;
}

// ---- the real window on a real pty

int runPty(const Options& options)
{
    const QString mode = options.pty;
    const qint64 fast = options.mibs * mib;
    const qint64 steady = qint64(options.steadySeconds) * 1000 * 1000;
    const qint64 total = fast + steady;

    PtyPair pty;
    QTemporaryDir config;
    if (!config.isValid() || !pty.bindAsCom1(config.path())) {
        say("cannot set up the pty\n");
        return 2;
    }
    Ser2net server;
    if (!options.via.isEmpty()) {
        const auto protocol = options.via == QLatin1String("tcp") ? Ser2net::Protocol::RawTcp
                                                                  : Ser2net::Protocol::Rfc2217;
        if (!Ser2net::missing().isEmpty() || !server.start(pty.slavePath(), protocol)
            || !ComNames::writeLink(1, server.url()).isEmpty()) {
            say("cannot serve the pty with ser2net: %s\n",
                qPrintable(Ser2net::missing() + server.output()));
            return 2;
        }
    }
    // Nothing remembered but the encoding and the protocol view's choices, as if chosen.
    QString optionsFile;
    if (!textEncoding.isEmpty() || options.protocol) {
        optionsFile = config.filePath(QStringLiteral("portlark.conf"));
        QFile file(optionsFile);
        const QByteArray protocol = "[view]\ntimestamps=true\nframe-ms=50\nshow-sent=true\n";
        if (!file.open(QIODevice::WriteOnly)
            || file.write((options.protocol ? protocol : QByteArray())
                   + (textEncoding.isEmpty() ? QByteArray() : "[text]\nencoding=" + textEncoding))
                < 0) {
            say("cannot write %s\n", qPrintable(optionsFile));
            return 2;
        }
    }

    QtSerialComponent serial;
    FakeDialogs dialogs;
    FakeUrlOpener urls;
    FakeClock clock;
    MainWindow window({ &serial, &dialogs, &urls, &clock, optionsFile });
    window.setEndProgram([] {});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !serial.portOpen()) {
        say("the window did not open the pty as COM1\n");
        return 2;
    }
    // A remote port is open at once and connected a moment later: a byte the device sends goes
    // through once ser2net holds the connection and the pty; the counts then start again.
    if (!options.via.isEmpty()) {
        int tries = 0;
        if (!QTest::qWaitFor([&] {
                if (tries++ % 20 == 0)
                    pty.write("x");
                return window.receivedCount() > 0;
            })) {
            say("nothing came through ser2net\n");
            return 2;
        }
        QTest::qWait(100);
        for (const char* clear : { "CmdClearCounter", "CmdClearReceive" })
            QTest::mouseClick(window.findChild<QWidget*>(QLatin1String(clear)), Qt::LeftButton);
    }
    auto* view = window.findChild<ReceiveView*>(QStringLiteral("TxtReceive"));
    if (mode == QLatin1String("hex"))
        window.findChild<QCheckBox*>(QStringLiteral("ChkHexReceive"))->setChecked(true);
    if (options.quietCounter)
        window.findChild<QLineEdit*>(QStringLiteral("TxtRXCount"))->setUpdatesEnabled(false);
    if (options.rate > 0)
        return runRate(options, window, serial, pty, *view);

    const QByteArray feed = makeFeed(mode, total);
    QCoreApplication::processEvents();
    const qint64 hwmBefore = procStatusKiB("VmHWM");

    // Full speed: the writer blocks whenever the tty is full, so the window sets the pace.
    std::vector<double> reached(size_t(options.mibs) + 1, 0);
    size_t next = 1;
    QElapsedTimer elapsed;
    elapsed.start();
    const double cpuBefore = threadCpuSeconds();
    std::thread writer([&] {
        for (qint64 at = 0; at < fast; at += 65536)
            pty.write(feed.mid(at, std::min<qint64>(65536, fast - at)));
    });
    const double fastStall = runLoopUntil([&] {
        const qint64 count = window.receivedCount();
        while (next < reached.size() && count >= qint64(next) * mib)
            reached[next++] = elapsed.nsecsElapsed() / 1e9;
        return count >= fast;
    });
    const double fastCpu = threadCpuSeconds() - cpuBefore;
    writer.join();
    const double fastSeconds = reached.back();

    // Steady: 4000 bytes every 4 ms.
    std::thread pacer([&] {
        auto when = std::chrono::steady_clock::now();
        for (qint64 at = fast; at < total; at += 4000) {
            std::this_thread::sleep_until(when);
            pty.write(feed.mid(at, std::min<qint64>(4000, total - at)));
            when += std::chrono::milliseconds(4);
        }
    });
    const double steadyStall = runLoopUntil([&] { return window.receivedCount() >= total; });
    pacer.join();
    QCoreApplication::processEvents();
    const qint64 hwmAfter = procStatusKiB("VmHWM");

    const QString expected = displayed(mode, feed);
    const QString shown = options.protocol ? unframed(mode, view->text()) : view->text();
    const bool equal = shown == expected;
    const bool counted = window.receivedCount() == total;
    const double first = reached[1];
    const double last = reached.back() - reached[reached.size() - 2];
    // The feed is the device's side, held by this process only because the device is simulated.
    const double programKib = hwmAfter - feed.size() / 1024.0;
    const double perByte = programKib * 1024.0 / total;
    const double increasePerByte = (hwmAfter - hwmBefore) * 1024.0 / total;
    say("text in %s, as the window reads it\n",
        qPrintable(CodePage::displayName(CodePage::resolve(textEncoding))));
    say("pty %-8s %5.1f MB/s over %d MiB (%.1f MB per CPU second of the window's thread); first "
        "MiB %.3f s, last MiB %.3f s (x%.2f); longest stall %.1f ms at full speed, %.1f ms at "
        "1 MB/s\n",
        qPrintable(mode), fast / 1e6 / fastSeconds, options.mibs, fast / 1e6 / fastCpu, first, last,
        last / first, fastStall, steadyStall);
    say("             peak resident %.0f MiB, %.0f MiB without the feed buffer = %.2f B per "
        "received byte (%.2f B per byte above the start); display %s the %lld bytes fed (%lld "
        "characters), RX count %s\n",
        hwmAfter / 1024.0, programKib / 1024.0, perByte, increasePerByte,
        equal ? "equals" : "DIFFERS FROM", total, qlonglong(expected.size()),
        counted ? "equals them" : "DIFFERS");
    if (!equal) {
        const auto at = std::mismatch(shown.begin(), shown.end(), expected.begin(), expected.end());
        say("             first difference at character %lld of %lld shown\n",
            qlonglong(at.first - shown.begin()), qlonglong(shown.size()));
    }
    say("result pty=%s cpumbps=%.2f mbps=%.2f first=%.4f last=%.4f stall=%.2f perbyte=%.3f "
        "increase=%.3f "
        "equal=%d counted=%d\n",
        qPrintable(mode), fast / 1e6 / fastCpu, fast / 1e6 / fastSeconds, first, last, steadyStall,
        perByte, increasePerByte, int(equal), int(counted));
    window.close();
    return equal && counted ? 0 : 1;
}

// ---- the decoder alone

int runDecode(const Options& options)
{
    for (const QByteArray& encoding : CodePage::choices()) {
        textEncoding = encoding;
        const QByteArray feed = makeFeed(QStringLiteral("mixed"), options.mibs * mib);
        CodePageDecoder decoder(encoding);
        qsizetype characters = 0;
        const double before = threadCpuSeconds();
        for (qsizetype at = 0; at < feed.size(); at += 4096)
            characters += decoder
                              .decode(QByteArrayView(feed).sliced(
                                  at, std::min<qsizetype>(4096, feed.size() - at)))
                              .size();
        const double seconds = threadCpuSeconds() - before;
        say("decode %-12s %7.0f MB/s (%lld characters from %lld bytes)\n", encoding.constData(),
            feed.size() / 1e6 / seconds, qlonglong(characters), qlonglong(feed.size()));
    }
    return 0;
}

// ---- the display alone

// Feeds `text` to `append` in 64-character events, letting the event loop run (and paint) after
// each as the window would; calls `step` with the seconds each `stepChars` took. Stops early when
// `budget` seconds have gone (0: no limit).
void feedEvents(const QByteArray& text, const std::function<void(QByteArrayView)>& append,
    qint64 stepChars, const std::function<void(qint64, double)>& step, double budget = 0)
{
    QElapsedTimer total;
    total.start();
    QElapsedTimer timer;
    timer.start();
    for (qint64 at = 0; at < text.size(); at += eventBytes) {
        append(QByteArrayView(text).sliced(at, std::min<qint64>(eventBytes, text.size() - at)));
        QCoreApplication::processEvents();
        const qint64 done = std::min<qint64>(at + eventBytes, text.size());
        if (done % stepChars == 0 || done == text.size()) {
            step(done, timer.nsecsElapsed() / 1e9);
            timer.restart();
            if (budget > 0 && total.nsecsElapsed() / 1e9 > budget)
                return;
        }
    }
}

QByteArray displayText(const QString& mode, qint64 chars)
{
    if (mode == QLatin1String("hex"))
        return displayed(mode, makeFeed(mode, chars / 3)).toLatin1();
    return makeFeed(mode, chars);
}

std::unique_ptr<ReceiveView> shownView()
{
    auto view = std::make_unique<ReceiveView>();
    view->resize(displaySize);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        say("the view was never exposed\n");
    return view;
}

std::unique_ptr<QPlainTextEdit> shownStock()
{
    auto edit = std::make_unique<QPlainTextEdit>();
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->resize(displaySize);
    edit->show();
    if (!QTest::qWaitForWindowExposed(edit.get()))
        say("the editor was never exposed\n");
    return edit;
}

// A naive terminal: insert at the end, move the caret there.
void stockAppend(QPlainTextEdit& edit, QByteArrayView piece)
{
    QTextCursor cursor = edit.textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromLatin1(piece));
    edit.setTextCursor(cursor);
}

int runView(const Options& options)
{
    const QString mode = options.view;
    const qint64 size = options.mibs * mib;
    const QByteArray text = displayText(mode, size);
    auto view = shownView();
    std::vector<double> perMib;
    feedEvents(
        text,
        [&](QByteArrayView piece) {
            if (mode == QLatin1String("hex"))
                view->appendAscii(piece);
            else
                view->appendText(QString::fromLatin1(piece));
        },
        mib, [&](qint64, double seconds) { perMib.push_back(seconds); });
    double seconds = 0;
    for (const double s : perMib)
        seconds += s;
    const bool equal = view->text() == QLatin1String(text);

    // The appends alone, in 4 KiB pieces as a tty delivers them, with no event loop between.
    view->clear();
    QElapsedTimer appendOnly;
    appendOnly.start();
    for (qint64 at = 0; at < text.size(); at += 4096) {
        const QByteArrayView piece
            = QByteArrayView(text).sliced(at, std::min<qint64>(4096, text.size() - at));
        if (mode == QLatin1String("hex"))
            view->appendAscii(piece);
        else
            view->appendText(QString::fromLatin1(piece));
    }
    const double appendSeconds = appendOnly.nsecsElapsed() / 1e9;

    say("view %-8s %6.1f MB/s of display text over %d MiB in 64-character events; first MiB "
        "%.3f s, last MiB %.3f s (x%.2f); the view holds %.2f B per character; text %s; the "
        "appends alone in 4 KiB pieces: %.0f MB/s (%.1f ns a character)\n",
        qPrintable(mode), text.size() / 1e6 / seconds, options.mibs, perMib.front(), perMib.back(),
        perMib.back() / perMib.front(), double(view->memoryUsed()) / text.size(),
        equal ? "equal" : "DIFFERS", text.size() / 1e6 / appendSeconds,
        appendSeconds * 1e9 / text.size());
    say("result view=%s mbps=%.2f first=%.4f last=%.4f\n", qPrintable(mode),
        text.size() / 1e6 / seconds, perMib.front(), perMib.back());
    return equal ? 0 : 1;
}

int runStock(const Options& options)
{
    const qint64 size = qint64(options.stockKib) * 1024;
    const QByteArray text = displayText(QStringLiteral("hex"), size);
    double stockSeconds = 0;
    {
        auto edit = shownStock();
        feedEvents(
            text, [&](QByteArrayView piece) { stockAppend(*edit, piece); }, text.size(),
            [&](qint64, double seconds) { stockSeconds = seconds; });
    }
    double oursSeconds = 0;
    {
        auto view = shownView();
        feedEvents(
            text, [&](QByteArrayView piece) { view->appendAscii(piece); }, text.size(),
            [&](qint64, double seconds) { oursSeconds = seconds; });
    }
    say("stock QPlainTextEdit took %.2f s for %d KiB of hex pairs in 64-character events, ours "
        "%.4f s: %.0f times faster\n",
        stockSeconds, options.stockKib, oursSeconds, stockSeconds / oursSeconds);
    say("result stock=%.4f ours=%.4f\n", stockSeconds, oursSeconds);
    return 0;
}

int runCurve(const Options& options)
{
    QFile out(options.curve);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        say("cannot write %s\n", qPrintable(options.curve));
        return 2;
    }
    const qint64 step = qint64(options.stepKib) * 1024;
    const QByteArray text = displayText(QStringLiteral("hex"), options.mibs * mib);
    std::vector<double> ours;
    std::vector<double> stock;
    const auto perMib = [&](std::vector<double>& into) {
        return [&into, step](qint64, double seconds) {
            into.push_back(seconds * double(mib) / double(step));
        };
    };
    {
        auto view = shownView();
        feedEvents(
            text, [&](QByteArrayView piece) { view->appendAscii(piece); }, step, perMib(ours));
    }
    {
        auto edit = shownStock();
        feedEvents(
            text, [&](QByteArrayView piece) { stockAppend(*edit, piece); }, step, perMib(stock),
            options.budget);
    }
    out.write("# mib ours_seconds stock_seconds (seconds per MiB of hex display text, against "
              "MiB already displayed)\n");
    for (size_t k = 0; k < ours.size(); ++k) {
        const QString stockText
            = k < stock.size() ? QString::number(stock[k], 'f', 5) : QStringLiteral("nan");
        out.write(QStringLiteral("%1 %2 %3\n")
                      .arg(double(k) * double(step) / double(mib), 0, 'f', 4)
                      .arg(ours[k], 0, 'f', 5)
                      .arg(stockText)
                      .toLatin1());
    }
    say("curve: %zu rows written to %s (stock measured for %zu of them)\n", ours.size(),
        qPrintable(options.curve), stock.size());
    return 0;
}

// ---- everything, each in a fresh process

QMap<QString, double> resultOf(const QString& output)
{
    QMap<QString, double> values;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("result ")))
            continue;
        for (const QString& field : line.mid(7).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qsizetype at = field.indexOf(QLatin1Char('='));
            bool number = false;
            const double value = field.mid(at + 1).toDouble(&number);
            if (number)
                values.insert(field.left(at), value);
        }
    }
    return values;
}

int runAll(const Options& options, const QStringList& passOn)
{
    const auto child = [&](const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), arguments + passOn);
        process.waitForFinished(-1);
        const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
        for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (!line.startsWith(QLatin1String("result ")))
                say("%s\n", qPrintable(line));
        }
        return resultOf(output);
    };
    const QStringList modes
        = { QStringLiteral("text"), QStringLiteral("unbroken"), QStringLiteral("hex") };
    for (const QString& mode : modes)
        child({ QStringLiteral("--view"), mode });
    bool pass = true;
    const auto bar = [&](bool met, const char* what) {
        say("  %s %s\n", met ? "met   " : "MISSED", what);
        pass = pass && met;
    };
    for (const QString& mode : modes) {
        const QMap<QString, double> r = child({ QStringLiteral("--pty"), mode });
        if (r.isEmpty()) {
            bar(false, "the run finished");
            continue;
        }
        const double memoryBar = mode == QLatin1String("hex") ? 8 : 4;
        bar(r.value(QStringLiteral("mbps")) >= 20, "at least 20 MB/s");
        bar(r.value(QStringLiteral("last")) <= 1.5 * r.value(QStringLiteral("first")),
            "last MiB at most 1.5 times the first");
        bar(r.value(QStringLiteral("stall")) <= 50, "no stall over 50 ms at 1 MB/s");
        bar(r.value(QStringLiteral("perbyte")) <= memoryBar,
            mode == QLatin1String("hex") ? "at most 8 B resident per received byte"
                                         : "at most 4 B resident per received byte");
        bar(r.value(QStringLiteral("equal")) == 1 && r.value(QStringLiteral("counted")) == 1,
            "not one byte lost");
    }
    // Each encoding the window can read: ASCII lines (the bar), then the mixed lines.
    for (const QByteArray& encoding : CodePage::choices()) {
        const QStringList chosen { QStringLiteral("--encoding"), QString::fromLatin1(encoding) };
        const QMap<QString, double> r
            = child(QStringList { QStringLiteral("--pty"), QStringLiteral("text") } + chosen);
        if (encoding == "UTF-8" || encoding == "GB18030")
            bar(r.value(QStringLiteral("mbps")) >= 40, "at least 40 MB/s");
        child(QStringList { QStringLiteral("--pty"), QStringLiteral("mixed") } + chosen);
    }
    say("the same with the RX count box left unpainted (what repainting it at every receive "
        "event costs):\n");
    for (const QString& mode : modes)
        child({ QStringLiteral("--pty"), mode, QStringLiteral("--quiet-counter") });
    child({ QStringLiteral("--stock") });
    if (!options.curve.isEmpty())
        child({ QStringLiteral("--curve"), options.curve });
    say("%s\n", pass ? "all bars met" : "SOME BARS MISSED");
    return pass ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    QStringList passOn;
    for (int k = 1; k < argc; ++k) {
        const QByteArray name = argv[k];
        const QString value = k + 1 < argc ? QString::fromLocal8Bit(argv[k + 1]) : QString();
        const auto number = [&](int& into) {
            into = value.toInt();
            passOn << QString::fromLocal8Bit(name) << value;
            ++k;
        };
        if (name == "--pty") {
            options.pty = value;
            ++k;
        } else if (name == "--view") {
            options.view = value;
            ++k;
        } else if (name == "--decode") {
            options.decode = true;
        } else if (name == "--stock") {
            options.stock = true;
        } else if (name == "--all") {
            options.all = true;
        } else if (name == "--protocol") {
            options.protocol = true;
        } else if (name == "--quiet-counter") {
            options.quietCounter = true;
        } else if (name == "--curve") {
            options.curve = value;
            ++k;
        } else if (name == "--mib") {
            number(options.mibs);
        } else if (name == "--steady") {
            number(options.steadySeconds);
        } else if (name == "--stock-kib") {
            number(options.stockKib);
        } else if (name == "--step-kib") {
            number(options.stepKib);
        } else if (name == "--budget") {
            number(options.budget);
        } else if (name == "--rate") {
            options.rate = value.toLongLong();
            ++k;
        } else if (name == "--tick") {
            number(options.tickMs);
        } else if (name == "--seconds") {
            number(options.seconds);
        } else if (name == "--encoding") {
            textEncoding = value.toLatin1();
            passOn << QString::fromLocal8Bit(name) << value;
            ++k;
        } else if (name == "--via") {
            options.via = value;
            ++k;
        } else if (name == "--server-pid") {
            options.serverPid = value.toLongLong();
            ++k;
        } else {
            std::fprintf(
                stderr, "unknown argument %s (see the top of bench_receive.cpp)\n", argv[k]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (options.rate > 0 && options.pty.isEmpty())
        options.pty = QStringLiteral("text");
    QApplication application(argc, argv);
    if (!options.pty.isEmpty())
        return runPty(options);
    if (!options.view.isEmpty())
        return runView(options);
    if (options.decode)
        return runDecode(options);
    if (options.stock)
        return runStock(options);
    if (!options.curve.isEmpty() && !options.all)
        return runCurve(options);
    return runAll(options, passOn);
}
