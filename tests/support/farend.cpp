// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/farend.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace {

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Writes what it can of `pending` to `fd` without waiting; false when `fd` is gone.
bool writeSome(int fd, QByteArray& pending)
{
    while (!pending.isEmpty()) {
        const ssize_t n = ::write(fd, pending.constData(), size_t(pending.size()));
        if (n > 0)
            pending.remove(0, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return n < 0 && errno == EAGAIN;
    }
    return true;
}

} // namespace

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

FarEnd::FarEnd(int masterFd, const QStringList& command, const QString& folder)
    : m_master(masterFd)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0
        || ::pipe2(m_stop, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const QByteArray where = QFile::encodeName(folder);
    if (!folder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, where.constData());
    std::vector<QByteArray> words;
    for (const QString& word : command)
        words.push_back(word.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> variables { "LC_ALL=C" };
    for (char** variable = environ; *variable; ++variable)
        if (qstrncmp(*variable, "LC_ALL=", 7) != 0)
            variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (QByteArray& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_toChild = in[1];
    m_fromChild = out[0];
    m_errors = err[0];
    if (m_pid <= 0)
        return;
    for (const int fd : { m_toChild, m_fromChild, m_errors })
        setNonBlocking(fd);
    m_thread = std::thread([this] { relay(); });
}

FarEnd::~FarEnd()
{
    if (m_pid > 0 && !m_done)
        ::kill(m_pid, SIGKILL);
    if (m_stop[1] >= 0)
        (void)!::write(m_stop[1], "x", 1);
    if (m_thread.joinable())
        m_thread.join();
    if (m_pid > 0 && !m_done)
        ::waitpid(m_pid, nullptr, 0);
    for (const int fd : { m_toChild, m_fromChild, m_errors, m_stop[0], m_stop[1] })
        if (fd >= 0)
            ::close(fd);
}

QByteArray FarEnd::errors() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_errorText;
}

// Until the program has ended and its last bytes are on the master, or the owner says stop.
void FarEnd::relay()
{
    QByteArray toChild, toMaster;
    bool outputOpen = true, errorsOpen = true;
    char buffer[65536];
    for (;;) {
        pollfd fds[] = {
            { m_stop[0], POLLIN, 0 },
            { m_master, short(POLLIN | (toMaster.isEmpty() ? 0 : POLLOUT)), 0 },
            { outputOpen ? m_fromChild : -1, POLLIN, 0 },
            { errorsOpen ? m_errors : -1, POLLIN, 0 },
            { toChild.isEmpty() ? -1 : m_toChild, POLLOUT, 0 },
        };
        if (::poll(fds, 5, 100) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                toChild.append(buffer, n);
        }
        if (fds[2].revents) {
            const ssize_t n = ::read(m_fromChild, buffer, sizeof buffer);
            if (n > 0)
                toMaster.append(buffer, n);
            else if (n == 0 || errno != EAGAIN)
                outputOpen = false;
        }
        if (fds[3].revents) {
            const ssize_t n = ::read(m_errors, buffer, sizeof buffer);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n > 0)
                m_errorText.append(buffer, n);
            else if (n == 0 || errno != EAGAIN)
                errorsOpen = false;
        }
        if (!writeSome(m_toChild, toChild))
            toChild.clear(); // it stopped reading: gone
        writeSome(m_master, toMaster);
        if (!outputOpen && !errorsOpen && toMaster.isEmpty()) {
            int status = 0;
            if (::waitpid(m_pid, &status, 0) == m_pid)
                m_status = status;
            m_done = true;
            return;
        }
    }
}
