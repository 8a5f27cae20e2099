// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// Soak and unplug run: the window sends every millisecond while the device sends back numbered
// records at a steady rate with automatic clearing on; every few seconds the device is unplugged
// (the pty's device side closed) and plugged in again, and the run reopens the port with the
// switch each time. Prints traffic, loss, memory, the longest event-loop stall and the reopen
// count. Usage: bench_soak [--seconds N] [--cycle-ms N] [--rate BYTES_PER_SEC]
#include "app/mainwindow.h"
#include "port/comnames.h"
#include "port/qtserialbackend.h"
#include "procstatus.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr int recordSize = 16; // "%015llu\n"

// Checks that the numbered records arrive complete and in order.
class SequenceChecker {
public:
    void feed(const QByteArray& bytes)
    {
        received += bytes.size();
        m_partial += bytes;
        qsizetype at = 0;
        for (; at + recordSize <= m_partial.size(); at += recordSize) {
            bool ok = false;
            const qulonglong number = m_partial.mid(at, recordSize - 1).toULongLong(&ok);
            if (!ok || m_partial.at(at + recordSize - 1) != '\n') {
                // Out of step: skip to the next record start.
                const qsizetype next = m_partial.indexOf('\n', at);
                corrupt += (next < 0 ? m_partial.size() : next + 1) - at;
                at = (next < 0 ? m_partial.size() : next + 1) - recordSize;
                continue;
            }
            if (number > m_expected)
                lost += qint64(number - m_expected) * recordSize;
            m_expected = number + 1;
        }
        m_partial.remove(0, at);
    }
    qint64 received = 0;
    qint64 lost = 0;
    qint64 corrupt = 0;

private:
    QByteArray m_partial;
    qulonglong m_expected = 0;
};

// The real port, with the checker seeing every byte that arrives.
class TapBackend : public QtSerialBackend {
public:
    explicit TapBackend(SequenceChecker* checker)
    {
        connect(this, &SerialBackend::received, this,
            [checker](const QByteArray& bytes) { checker->feed(bytes); });
    }
};

// The device: its own thread, a fresh pty for every plug-in, records at a steady rate.
class Device {
public:
    Device(QString devices, int rate, int cycleMs)
        : m_link(devices + QStringLiteral("/com1"))
        , m_rate(rate)
        , m_cycleMs(cycleMs)
    {
        plugIn();
    }
    void start()
    {
        m_thread = std::thread([this] { run(); });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::atomic<qint64> sentBytes { 0 };
    std::atomic<qint64> receivedBytes { 0 };
    std::atomic<int> unplugs { 0 };

private:
    void plugIn()
    {
        auto pty = std::make_unique<PtyPair>();
        const QString temporary = m_link + QStringLiteral(".new");
        QFile::remove(temporary);
        QFile::link(pty->slavePath(), temporary);
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_link).constData());
        m_pty = std::move(pty);
    }
    void drainInput()
    {
        const QByteArray got = m_pty->readAvailable();
        receivedBytes += got.size();
    }
    void run()
    {
        using namespace std::chrono;
        const auto begin = steady_clock::now();
        auto cycleStart = begin;
        const int perMs = m_rate / 1000;
        qint64 due = 0;
        while (!m_stop) {
            const auto now = steady_clock::now();
            if (now - cycleStart >= milliseconds(m_cycleMs)) {
                // Quiet moment first, so nothing is in flight when the plug is pulled.
                std::this_thread::sleep_for(milliseconds(200));
                drainInput();
                m_pty->closeMaster();
                ++unplugs;
                std::this_thread::sleep_for(milliseconds(300));
                plugIn();
                cycleStart = steady_clock::now();
                due = 0;
                continue;
            }
            const qint64 elapsedMs = duration_cast<milliseconds>(now - cycleStart).count();
            QByteArray chunk;
            while (due < (elapsedMs + 1) * perMs) {
                chunk += QByteArray::number(m_sequence++).rightJustified(recordSize - 1, '0');
                chunk += '\n';
                due += recordSize;
            }
            if (!chunk.isEmpty() && m_pty->write(chunk))
                sentBytes += chunk.size();
            drainInput();
            std::this_thread::sleep_for(milliseconds(1));
        }
    }

    QString m_link;
    int m_rate;
    int m_cycleMs;
    std::unique_ptr<PtyPair> m_pty;
    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    qulonglong m_sequence = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication application(argc, argv);

    int seconds = 600;
    int cycleMs = 5000;
    int rate = 1000000;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--seconds"))
            seconds = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--cycle-ms"))
            cycleMs = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--rate"))
            rate = arguments[i + 1].toInt();
    }
    QDir().mkpath(ComNames::devicesFolder());
    Device device(ComNames::devicesFolder(), rate, cycleMs);

    SequenceChecker checker;
    SerialComponent serial(std::make_unique<TapBackend>(&checker));
    FakeDialogs dialogs;
    FakeUrlOpener urlOpener;
    FakeClock clock;
    MainWindow window({ &serial, &dialogs, &urlOpener, &clock, {} }); // nothing remembered
    window.setEndProgram([] {});
    window.show();
    if (!serial.portOpen()) {
        std::fprintf(stderr, "bench_soak: the window did not open COM1\n");
        return 1;
    }
    auto* autoClear = window.findChild<QCheckBox*>(QStringLiteral("ChkAutoClear"));
    auto* autoSend = window.findChild<QCheckBox*>(QStringLiteral("ChkAutoSend"));
    auto* sendBox = window.findChild<QPlainTextEdit*>(QStringLiteral("TxtSend"));
    auto* period = window.findChild<QLineEdit*>(QStringLiteral("TxtAutoSendTime"));
    auto* switchButton = window.findChild<QPushButton*>(QStringLiteral("CmdSwitch"));
    autoClear->setChecked(true);
    sendBox->setPlainText(QStringLiteral("ping"));
    period->setText(QStringLiteral("1"));
    autoSend->setChecked(true);

    // Stall meter: the longest gap between ticks of a 5 ms timer.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer stallTimer;
    stallTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&stallTimer, &QTimer::timeout, [&] {
        if (sinceTick.isValid())
            longestStall = qMax(longestStall, sinceTick.elapsed() - 5);
        sinceTick.restart();
    });
    stallTimer.start(5);

    // Watches for the closed state and reopens with the switch, as a user would.
    int closedSeen = 0;
    int reopenedByClick = 0;
    bool waitingToReopen = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const bool closedShown = switchButton->text() == QStringLiteral("打开串口");
        if (closedShown && !waitingToReopen) {
            ++closedSeen;
            waitingToReopen = true;
        }
        if (waitingToReopen) {
            switchButton->click();
            if (serial.portOpen()) {
                ++reopenedByClick;
                waitingToReopen = false;
            }
        }
    });
    watcher.start(50);

    qint64 rssAfterMinute = -1;
    qint64 peakRss = 0;
    QTimer sampler;
    QElapsedTimer run;
    run.start();
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 rss = procStatusKiB("VmRSS");
        peakRss = qMax(peakRss, rss);
        if (rssAfterMinute < 0 && run.elapsed() >= qMin<qint64>(60000, seconds * 1000LL / 2))
            rssAfterMinute = rss;
    });
    sampler.start(1000);

    device.start();
    // Stop the device first and let the window take what is still in flight.
    QTimer::singleShot(seconds * 1000, &application, [&] {
        autoSend->setChecked(false);
        QTimer::singleShot(300, &application, [&] {
            device.stop();
            QTimer::singleShot(1000, &application, &QApplication::quit);
        });
    });
    application.exec();

    const qint64 finalRss = procStatusKiB("VmRSS");
    std::printf("soak: %d s, device unplugged every %d ms, device sends %d B/s, auto-send 1 ms\n",
        seconds, cycleMs, rate);
    std::printf("bytes sent by the device:       %lld\n", static_cast<long long>(device.sentBytes));
    std::printf("bytes received by the window:   %lld\n", static_cast<long long>(checker.received));
    std::printf("bytes sent by the window:       %lld (TX count %lld)\n",
        static_cast<long long>(device.receivedBytes), static_cast<long long>(window.sentCount()));
    std::printf("bytes lost outside unplugging:  %lld (corrupt %lld)\n",
        static_cast<long long>(checker.lost), static_cast<long long>(checker.corrupt));
    std::printf("resident memory: peak %lld KiB, after the first minute %lld KiB, final %lld KiB "
                "(%+.1f %%)\n",
        static_cast<long long>(peakRss), static_cast<long long>(rssAfterMinute),
        static_cast<long long>(finalRss),
        rssAfterMinute > 0 ? 100.0 * double(finalRss - rssAfterMinute) / double(rssAfterMinute)
                           : 0.0);
    std::printf("longest event-loop stall:       %lld ms\n", static_cast<long long>(longestStall));
    std::printf("unplugs %d, closed state shown %d, reopened by the switch %d\n",
        int(device.unplugs), closedSeen, reopenedByClick);
    return checker.lost == 0 && checker.corrupt == 0 && closedSeen == reopenedByClick ? 0 : 1;
}
