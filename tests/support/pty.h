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
    // Whatever the program has written so far, without waiting.
    QByteArray readAvailable();
    // As write() and read(), but the caller's event loop keeps turning while they wait, so a
    // serial port on the same thread goes on reading and writing. write gives up after timeoutMs.
    bool writePumping(const QByteArray& bytes, int timeoutMs = 30000);
    QByteArray readPumping(qint64 atLeast, int timeoutMs = 30000);
    // The line settings as the tty holds them.
    termios attributes() const;
    // The output speed in bits per second, custom rates included (termios alone cannot show
    // those); -1 when it cannot be read.
    qint64 baudRate() const;
    // Closes the device side (as if the device were unplugged).
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the slave stays usable while the program closes it
    QString m_slavePath;
};
