// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/readgather.h"
#include "port/serialbackend.h"
#include "port/serialcomponent.h"

#include <QSerialPort>

#include <deque>

// A real port (QSerialPort), COMn resolved by ComNames.
//
// A value the driver refuses refuses the open. Linux has no setting for 1.5 stop bits, but a UART
// asked for two stop bits with 5-bit words sends 1.5, which is what LineSettings asks for then.
//
// Closing discards what waits in both directions, here and in the driver, so nothing of one
// opening reaches the next. The open itself flushes nothing: a device that answers the moment
// the port opens must not lose its first bytes.
//
// Reads are gathered (ReadGather) unless timed. Writes are queued as given (shared, never copied
// whole) and fed to the port in chunks as it drains; drained() comes once when everything queued
// has left. When the device goes away while open, the port is closed and lost() raised once
// instead of a stream of read errors.
class QtSerialBackend : public SerialBackend {
    Q_OBJECT
public:
    explicit QtSerialBackend(QObject* parent = nullptr);
    ~QtSerialBackend() override;

    ComDevice locate(int port) const override { return ComNames::locate(port); }
    bool open(int port, const LineSettings& line) override;
    ComDevice openedDevice() const override { return isOpen() ? m_device : ComDevice(); }
    void close() override;
    bool isOpen() const override { return m_state == State::Open; }
    void write(const QByteArray& bytes) override;
    qint64 pendingOutput() const override;
    void setTimed(bool timed) override;

    LineControls lineControls() const override;
    void setLines(bool dtr, bool rts) override;
    void setFlowControl(FlowControl flow) override;
    void sendBreak(int ms) override;
    std::optional<ModemLines> modemLines() override;
    QString rs485Refusal() const override;
    QString setRs485(const Rs485Settings& settings) override;

private:
    enum class State { Closed, Open, Lost };
    struct Pending {
        QByteArray bytes;
        qsizetype done = 0; // bytes already fed
    };

    void feed();
    void onBytesWritten(qint64 bytes);
    void onReadyRead();
    void handOn();
    void onError(QSerialPort::SerialPortError error);
    void finishLoss();

    QSerialPort m_port;
    ReadGather m_gather;
    int m_baud = 0;
    bool m_handingOn = false; // pulling what the driver holds: the port's signals are not news
    std::deque<Pending> m_queue;
    State m_state = State::Closed;
    bool m_sendPending = false;
    ComDevice m_device;
};

// The serial component on a real port, local or remote as COMn names it (port/combackend.h).
class QtSerialComponent : public SerialComponent {
    Q_OBJECT
public:
    explicit QtSerialComponent(QObject* parent = nullptr);
};
