// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/platform.h"
#include "port/serialbackend.h"
#include "port/serialcomponent.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

// A device that records what the component asks of it and can be told to deliver bytes, drain,
// refuse an open or go away. The lookup and the open read one table: ports 1 to 255 are
// "/dev/ttyFAKE<n>", known by that name, unless absent or another device is plugged in there.
class FakeBackend : public SerialBackend {
    Q_OBJECT
public:
    ComDevice locate(int port) const override;
    bool open(int port, const LineSettings& line) override;
    ComDevice openedDevice() const override { return m_open ? m_opened : ComDevice(); }
    void close() override;
    bool isOpen() const override { return m_open; }
    void write(const QByteArray& bytes) override
    {
        written += bytes;
        m_queued += bytes.size();
    }
    qint64 pendingOutput() const override { return m_queued; }

    void setTimed(bool on) override { timed = on; }

    // `at` on the steady clock; by default now.
    void deliver(const QByteArray& bytes, qint64 at = steadyNowNs()) { Q_EMIT received(bytes, at); }
    // Lets `bytes` of the queue leave; drain() lets the rest leave and says it is empty.
    void leave(qint64 bytes);
    void drain(qint64 at = steadyNowNs())
    {
        leave(m_queued);
        Q_EMIT drained(at);
    }
    void loseDevice();
    // An open that returned true turns out not to work (a remote port's connection failing).
    void failOpen(const QString& why);

    QList<int> absentPorts;
    QHash<int, ComDevice> plugged;
    bool openSilentlyFails = false; // an open that reports success but leaves the port closed
    QByteArray written;
    QStringList calls; // "open 1 9600,N,8,1", "close"
    int openCount = 0;
    bool timed = false;

    LineControls lineControls() const override { return m_open ? canControl : LineControls(); }
    void setLines(bool dtr, bool rts) override
    {
        lineCalls << QStringLiteral("lines %1 %2").arg(dtr).arg(rts);
    }
    void setFlowControl(FlowControl flow) override
    {
        lineCalls << QStringLiteral("flow %1").arg(int(flow));
    }
    void sendBreak(int ms) override { lineCalls << QStringLiteral("break %1").arg(ms); }
    LineControls canControl = LineControls(Dtr | Rts | HardwareFlow | SoftwareFlow | Break);
    QStringList lineCalls; // "flow 0", "lines 1 1", "break 250", "rs485 1 5 10"

    // The modem lines as the device drives them; a test changes them as it goes. None: the
    // port cannot report them.
    std::optional<ModemLines> modem = ModemLines();
    std::optional<ModemLines> modemLines() override { return m_open ? modem : std::nullopt; }
    QString rs485Unsupported; // why RS-485 is refused; empty: the fake takes it
    QString rs485Refusal() const override { return rs485Unsupported; }
    QString setRs485(const Rs485Settings& rs485) override
    {
        lineCalls << QStringLiteral("rs485 %1 %2 %3")
                         .arg(rs485.enabled)
                         .arg(rs485.beforeMs)
                         .arg(rs485.afterMs);
        return rs485Unsupported;
    }

private:
    bool m_open = false;
    ComDevice m_opened;
    qint64 m_queued = 0;
};

// Answers every box at once and remembers what was asked.
class FakeDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        Buttons buttons;
    };
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
        Buttons buttons) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& startDir) override;
    QString saveFile(QWidget*, const QString&, const QString& startDir) override
    {
        lastSaveFolder = startDir;
        return nextSaveFile;
    }

    QList<Message> messages;
    Answer answer = Answer::Ok; // what every box is answered
    // Called when a message box would show (for checks made at that moment).
    std::function<void(const Message&)> onMessage;
    QString nextFile; // empty: the user cancels
    QString lastFilter;
    QString nextFolder; // empty: the user cancels
    QString lastFolderTitle;
    QString nextSaveFile; // empty: the user cancels
    QString lastSaveFolder;
};

class FakeUrlOpener : public UrlOpener {
public:
    void open(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

class FakeClock : public Clock {
public:
    QDateTime now() const override { return time.isValid() ? time : QDateTime::currentDateTime(); }
    // Without a local QDateTime's time zone lookups, as the system's clock: the benchmarks use it.
    qint64 nowMs() const override
    {
        return time.isValid() ? time.toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
    }
    qint64 steadyNs() const override { return steadyNowNs(); }
    int saveNoticeMs() const override { return 50; }
    QDateTime time;
};

// The real serial component over a fake device, and one of each other fake, ready for a window.
struct FakePlatform {
    FakeBackend* device = new FakeBackend; // owned by serial
    SerialComponent serial { std::unique_ptr<SerialBackend>(device) };
    FakeDialogs dialogs;
    FakeUrlOpener urlOpener;
    FakeClock clock;
    QString optionsFile; // none: nothing is remembered
    Platform platform() { return { &serial, &dialogs, &urlOpener, &clock, optionsFile }; }
};
