// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Raw device side: no echo, no line discipline on what the program sends.
    termios raw {};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

bool PtyPair::bindAsCom1(const QString& configFolder) const
{
    const QString devices = configFolder + QStringLiteral("/portlark/devices");
    if (!isOpen() || !QDir().mkpath(devices)
        || !QFile::link(m_slavePath, devices + QStringLiteral("/com1")))
        return false;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder));
    return true;
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd fd { m_master, POLLOUT, 0 };
            ::poll(&fd, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return done == bytes.size();
}

QByteArray PtyPair::readAvailable()
{
    QByteArray result;
    char buffer[65536];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, n);
    }
    return result;
}

bool PtyPair::writePumping(const QByteArray& bytes, int quietMs)
{
    qsizetype done = 0;
    QElapsedTimer timer;
    timer.start();
    while (done < bytes.size() && m_master >= 0 && timer.elapsed() < quietMs) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
            timer.restart();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd fd { m_master, POLLOUT, 0 };
        ::poll(&fd, 1, 1);
    }
    return done == bytes.size();
}

bool PtyPair::drainPumping(int quietMs)
{
    QElapsedTimer timer;
    timer.start();
    int waiting = 0;
    while (::ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting > 0 && timer.elapsed() < quietMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // What was read last is handed on after a short gathering delay.
    timer.restart();
    while (timer.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return waiting == 0;
}

QByteArray PtyPair::readPumping(qint64 atLeast, int quietMs)
{
    QByteArray result;
    QElapsedTimer timer;
    timer.start();
    while (m_master >= 0 && result.size() < atLeast && timer.elapsed() < quietMs) {
        const QByteArray more = readAvailable();
        result += more;
        if (!more.isEmpty()) {
            timer.restart();
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd fd { m_master, POLLIN, 0 };
        ::poll(&fd, 1, 1);
    }
    return result;
}

termios PtyPair::attributes() const
{
    termios attributes {};
    tcgetattr(m_slave, &attributes);
    return attributes;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
