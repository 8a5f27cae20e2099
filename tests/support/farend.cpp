// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/farend.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

bool noChildProcesses()
{
    const QFileInfoList tasks
        = QDir(QStringLiteral("/proc/self/task")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& task : tasks) {
        QFile children(task.filePath() + QStringLiteral("/children"));
        if (children.open(QIODevice::ReadOnly) && !children.readAll().trimmed().isEmpty())
            return false;
    }
    return true;
}

namespace {
QString path(int fd) { return QStringLiteral("/proc/self/fd/%1").arg(fd); }
} // namespace

FarEnd::FarEnd(int masterFd, const QStringList& command, const QString& folder, int pace)
{
    if (::pipe2(m_in, O_CLOEXEC) != 0 || ::pipe2(m_out, O_CLOEXEC) != 0
        || ::pipe2(m_stop, O_CLOEXEC) != 0)
        return;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(folder);
    m_process.setStandardInputFile(path(m_in[0]));
    m_process.setStandardOutputFile(path(m_out[1]));
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(command.first(), command.mid(1));
    ::close(m_in[0]);
    ::close(m_out[1]);
    m_in[0] = m_out[1] = -1;
    m_thread = std::thread([this, masterFd, pace] {
        const int toChild = m_in[1], fromChild = m_out[0];
        ::fcntl(toChild, F_SETFL, O_NONBLOCK);
        QByteArray toMaster;
        char buffer[65536];
        for (bool open = true; open || !toMaster.isEmpty();) {
            pollfd fds[] = { { m_stop[0], POLLIN, 0 }, { masterFd, POLLIN, 0 },
                { open ? fromChild : -1, POLLIN, 0 } };
            if (::poll(fds, 3, 100) < 0 || fds[0].revents)
                return;
            ssize_t n = fds[1].revents ? ::read(masterFd, buffer, pace ? 16 : sizeof buffer) : 0;
            if (n > 0 && pace)
                ::usleep(useconds_t(n * 1000000 / pace));
            // Replies are small and the child reads them at once; one it stopped reading is gone.
            if (n > 0)
                (void)!::write(toChild, buffer, size_t(n));
            n = fds[2].revents ? ::read(fromChild, buffer, sizeof buffer) : 0;
            open = !fds[2].revents || n > 0;
            toMaster.append(buffer, std::max<ssize_t>(n, 0));
            while (!toMaster.isEmpty()
                && (n = ::write(masterFd, toMaster.constData(), size_t(toMaster.size()))) > 0)
                toMaster.remove(0, n);
        }
        m_relayed = true;
    });
}

FarEnd::~FarEnd()
{
    m_process.kill();
    m_process.waitForFinished();
    if (m_thread.joinable()) {
        (void)!::write(m_stop[1], "x", 1);
        m_thread.join();
    }
    for (const int fd : { m_in[1], m_out[0], m_stop[0], m_stop[1] })
        if (fd >= 0)
            ::close(fd);
}
