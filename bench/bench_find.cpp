// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// How long the receive box's find bar takes on a large display, and how long the window stops
// answering meanwhile.
//
//   bench_find [--mib N]   a display of N MiB (default 64) as text lines and as hexadecimal
//                          pairs, the one match at its very end and the caret at its start
//
// For each it prints: the search rule alone over the whole text (one pass, MB/s); Enter in the
// bar until the last match is selected; Shift+Enter from the end; a needle that is nowhere until
// "未找到" shows. "longest" is the longest time the event loop went without running a 1 ms timer.
#include "receive/hexformat.h"
#include "view/receiveview.h"
#include "view/viewsearch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <random>

namespace {

struct Figures {
    double totalMs = 0;
    double longestMs = 0;
};

// Presses the key in the bar from inside the event loop and runs it until `done`.
Figures press(QWidget* edit, Qt::KeyboardModifiers modifiers, const std::function<bool()>& done)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (done())
            loop.quit();
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        probe.start();
        QTest::keyClick(edit, Qt::Key_Return, modifiers);
    });
    loop.exec();
    return { double(clock.nsecsElapsed()) / 1e6, double(longest) / 1e6 };
}

void measure(const char* mode, qint64 mib)
{
    const bool hex = qstrcmp(mode, "hex") == 0;
    ReceiveView view;
    view.resize(589, 325); // the receive box as the window has it
    view.setHexDisplay(hex);
    view.show();
    const qint64 size = mib << 20;
    std::mt19937 random(7);
    QByteArray piece;
    const QString needle = hex ? QStringLiteral("DEADBEEF") : QStringLiteral("needle");
    while (view.length() < size) {
        piece.clear();
        if (hex) {
            QByteArray bytes(21 * 1024, Qt::Uninitialized);
            for (char& byte : bytes)
                byte = char(random() % 0xDE); // never 0xDE: the needle is nowhere else
            HexFormat::appendPairs(piece, bytes);
        } else {
            for (int line = 0; line < 1000; ++line)
                piece += "temperature=23.5C humidity=40% pressure=1013hPa count="
                    + QByteArray::number(qint64(random() % 100000)) + "\r\n";
        }
        view.appendAscii(piece);
    }
    const qint64 at = view.length();
    view.appendAscii(hex ? QByteArrayLiteral("DE AD BE EF 00 ") : QByteArrayLiteral("NEEDLE\r\n"));
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    ViewSearch search;
    search.start(SearchPattern(needle, false, hex), 0, false);
    qint64 longestStep = 0;
    ViewSearch::Result result = ViewSearch::Result::Searching;
    while (result == ViewSearch::Result::Searching) {
        const qint64 before = clock.nsecsElapsed();
        result = search.step(view.content(), qint64(1) << 20);
        longestStep = std::max(longestStep, clock.nsecsElapsed() - before);
    }
    const double ruleMs = double(clock.nsecsElapsed()) / 1e6;
    if (result != ViewSearch::Result::Found || search.found().first != at)
        qFatal("the rule did not find the match at the end");

    view.setCursorPosition(0);
    QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
    auto* edit = view.findChild<QLineEdit*>(QStringLiteral("findText"));
    auto* status = view.findChild<QLabel*>(QStringLiteral("findStatus"));
    QTest::keyClicks(edit, needle);
    const Figures forward = press(edit, {}, [&] { return view.selectionStart() == at; });
    view.setCursorPosition(view.length());
    const Figures backward
        = press(edit, Qt::ShiftModifier, [&] { return view.selectionStart() == at; });
    edit->setText(hex ? QStringLiteral("DE DE") : QStringLiteral("nowhere"));
    const Figures none = press(edit, {}, [&] { return !status->text().isEmpty(); });

    std::printf("%-4s %4lld MiB  rule %6.0f ms (%5.0f MB/s, longest 1 MiB step %4.1f ms)\n", mode,
        mib, ruleMs, double(size) / 1e6 / (ruleMs / 1e3), double(longestStep) / 1e6);
    std::printf(
        "     to the last match %6.0f ms, longest %5.1f ms\n", forward.totalMs, forward.longestMs);
    std::printf("     back from the end %6.0f ms, longest %5.1f ms\n", backward.totalMs,
        backward.longestMs);
    std::printf(
        "     未找到            %6.0f ms, longest %5.1f ms\n", none.totalMs, none.longestMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qint64 mib = 64;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype k = args.indexOf(QStringLiteral("--mib")); k > 0 && k + 1 < args.size())
        mib = args.at(k + 1).toLongLong();
    measure("text", mib);
    measure("hex", mib);
    return 0;
}
