// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ser2net serving a device (the program side of a pseudo-terminal pair) on a free loopback port,
// started in the foreground with a configuration of its own, as a lab's Raspberry Pi would serve
// a board: over RFC 2217 or as raw TCP.
class Ser2net {
public:
    enum class Protocol { Rfc2217, RawTcp };

    // Empty when ser2net is installed; otherwise why the tests that need it skip.
    static QString missing();

    ~Ser2net();
    // Writes the configuration, starts ser2net and waits (at most 5 s) until it listens.
    bool start(const QString& device, Protocol protocol);
    // Kills it at once, as a pulled network cable or a crashed server would end the connection.
    void kill();
    // Starts it again on the same port.
    bool restart();
    quint16 port() const { return m_port; }
    // "rfc2217://127.0.0.1:40123"
    QString url() const;
    // What ser2net wrote, for a failure message.
    QString output();

private:
    bool launch();
    bool listening() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    Protocol m_protocol = Protocol::Rfc2217;
    quint16 m_port = 0;
};
