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

    // Writes every byte to the device side (the program reads them).
    bool write(const QByteArray& bytes);
    // Reads what the program wrote, waiting up to timeoutMs for at least `atLeast` bytes.
    QByteArray read(qint64 atLeast, int timeoutMs = 5000);
    // The line settings as the tty holds them.
    termios attributes() const;
    // Closes the device side (as if the device were unplugged).
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the slave stays usable while the program closes it
    QString m_slavePath;
};
