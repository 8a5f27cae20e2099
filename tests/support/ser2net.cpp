// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/ser2net.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

QString Ser2net::missing()
{
    return QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty()
        ? QStringLiteral("ser2net is not installed (Debian: apt-get install ser2net; "
                         "scripts/test installs it)")
        : QString();
}

Ser2net::~Ser2net() { kill(); }

bool Ser2net::start(const QString& device, Protocol protocol)
{
    m_protocol = protocol;
    // A port the system has just handed out is free; ser2net takes it a moment later.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return false;
    m_port = probe.serverPort();
    probe.close();
    // chardelay off: what the device sends goes out at once, not after two characters' time. The
    // buffers between the device and the network hold 64 bytes unless told otherwise, which
    // holds a fast line to a few MB/s.
    const QString accepter = protocol == Protocol::Rfc2217
        ? QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1").arg(m_port)
        : QStringLiteral("tcp,127.0.0.1,%1").arg(m_port);
    const QString config = QStringLiteral("connection: &portlark\n"
                                          "  accepter: %1\n"
                                          "  connector: serialdev,%2,9600n81,local\n"
                                          "  options:\n"
                                          "    chardelay: false\n"
                                          "    dev-to-net-bufsize: 65536\n"
                                          "    net-to-dev-bufsize: 65536\n")
                               .arg(accepter, device);
    QFile file(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return false;
    file.close();
    return launch();
}

bool Ser2net::launch()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that crashes takes its server with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start(QStringLiteral("ser2net"),
        { QStringLiteral("-d"), QStringLiteral("-n"), QStringLiteral("-c"),
            m_dir.filePath(QStringLiteral("ser2net.yaml")) });
    if (!m_process.waitForStarted(5000))
        return false;
    // Asked of the system, not by connecting: a connection would open the device.
    QElapsedTimer waited;
    waited.start();
    while (!listening()) {
        if (waited.elapsed() > 5000 || m_process.state() != QProcess::Running)
            return false;
        QThread::msleep(10);
    }
    return true;
}

bool Ser2net::restart() { return launch(); }

void Ser2net::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString Ser2net::url() const
{
    return (m_protocol == Protocol::Rfc2217 ? QStringLiteral("rfc2217://127.0.0.1:%1")
                                            : QStringLiteral("tcp://127.0.0.1:%1"))
        .arg(m_port);
}

QString Ser2net::output() { return QString::fromLocal8Bit(m_process.readAll()); }

// /proc/net/tcp lists 127.0.0.1:port as "0100007F:XXXX" and a listening socket in state 0A.
bool Ser2net::listening() const
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local
        = "0100007F:" + QByteArray::number(m_port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}
