// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <atomic>
#include <thread>

// Whether this process has no child process left (every one it started has been waited for).
bool noChildProcesses();

// A program playing the device on the master of a pseudo-terminal pair (lrzsz's rx, rb or sb, as
// a bootloader answers), its standard input and output relayed to and from the master by a thread
// of its own, so it keeps pace whatever the test's event loop does. Pipes face the program, not
// the master itself: lrzsz on a tty empties its input after each reply, which races the next
// block, and its terminal modes would land on the program's side of the pair.
// The test must not read or write the master while it runs.
class FarEnd {
public:
    // `command` runs in `folder` with LC_ALL=C. With a pace, what the program sends reaches it at
    // that many bytes a second, as a serial line would deliver it.
    FarEnd(int masterFd, const QStringList& command, const QString& folder, int pace = 0);
    // Kills the program if it still runs, and waits for it and the thread.
    ~FarEnd();

    bool started() { return m_process.waitForStarted(); }
    // Whether the program has ended and everything it wrote has reached the master.
    bool finished() const { return m_process.state() == QProcess::NotRunning && m_relayed; }
    int exitCode() const { return m_process.exitCode(); }

private:
    QProcess m_process;
    int m_in[2] = { -1, -1 }; // its standard input
    int m_out[2] = { -1, -1 }; // its standard output
    int m_stop[2] = { -1, -1 };
    std::atomic<bool> m_relayed { false };
    std::thread m_thread;
};
