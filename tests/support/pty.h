// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// A pseudo-terminal pair: the program opens the slave as its serial port, the test plays the
// device on the master.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    // Links the slave as COM1 in the devices folder under `configFolder` and makes that the
    // configuration folder (XDG_CONFIG_HOME), so that a window started next opens it as COM1.
    bool bindAsCom1(const QString& configFolder) const;

    // Writes every byte to the device side (the program reads them).
    bool write(const QByteArray& bytes);
    // Whatever the program has written so far, without waiting.
    QByteArray readAvailable();
    // Write every byte, or read what the program wrote until there are at least `atLeast`, while
    // the caller's event loop keeps turning, so a serial port on the same thread goes on reading
    // and writing. Both give up once nothing has moved for quietMs.
    bool writePumping(const QByteArray& bytes, int quietMs = 3000);
    QByteArray readPumping(qint64 atLeast, int quietMs = 3000);
    // Turns the event loop until the program has read everything written to it and handled it;
    // false when it stopped reading for quietMs.
    bool drainPumping(int quietMs = 3000);
    // The line settings as the tty holds them.
    termios attributes() const;
    // Closes the device side (as if the device were unplugged).
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the slave stays usable while the program closes it
    QString m_slavePath;
};
