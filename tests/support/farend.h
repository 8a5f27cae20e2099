// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <sys/types.h>
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
    // `command` runs in `folder` (the current one if empty) with LC_ALL=C.
    FarEnd(int masterFd, const QStringList& command, const QString& folder = QString());
    // Kills the program if it still runs, and waits for it and the thread.
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    bool started() const { return m_pid > 0; }
    // Whether the program has ended and everything it wrote has reached the master.
    bool finished() const { return m_done; }
    int exitStatus() const { return m_status; } // as waitpid() gives it
    QByteArray errors() const; // its standard error so far

private:
    void relay();

    int m_master;
    pid_t m_pid = -1;
    int m_toChild = -1; // its standard input
    int m_fromChild = -1; // its standard output
    int m_errors = -1; // its standard error
    int m_stop[2] = { -1, -1 };
    std::atomic<bool> m_done { false };
    int m_status = 0;
    mutable std::mutex m_mutex;
    QByteArray m_errorText;
    std::thread m_thread;
};
