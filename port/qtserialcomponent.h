#pragma once

#include "port/codepage.h"
#include "port/serialcomponent.h"

#include <QSerialPort>
#include <QTimer>

#include <deque>

// The serial component on a real port (QSerialPort), COMn resolved by ComNames.
//
// Settings are "baud,parity,data bits,stop bits": baud any positive whole number, parity N, O, E,
// S or M, data bits 5 to 8, stop bits 1, 1.5 or 2. Anything else, or a value the driver refuses,
// refuses the open; nothing is replaced by a default. Linux has no setting for 1.5 stop bits, but
// a UART asked for two stop bits with 5-bit words sends 1.5, so "1.5" is accepted with 5 data
// bits only and refused with any other word length.
//
// Closing discards what waits in both directions, here and in the driver, so nothing of one
// opening reaches the next. The open itself flushes nothing: a device that answers the moment
// the port opens must not lose its first bytes.
//
// The receive event follows the first arrival by at most a couple of milliseconds, so that a
// fast line is read in large pieces. Output is queued as given (shared, never copied whole) and
// fed to the port in chunks as it drains; text is encoded piece by piece on the way. The send
// event is raised once when everything queued has left. When the device goes away while open,
// the port is closed and one EventDeviceLost is raised instead of a stream of read errors.
class QtSerialComponent : public SerialComponent {
    Q_OBJECT
public:
    explicit QtSerialComponent(QObject* parent = nullptr);
    ~QtSerialComponent() override;

    // Both throw SerialError while the port is open.
    void setCommPort(int port) override;
    int commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    // Kept only: the input side never drops bytes, and every arrival and every drained send
    // raises its event.
    void setInBufferSize(int size) override { m_inBufferSize = size; }
    void setOutBufferSize(int size) override { m_outBufferSize = size; }
    void setSThreshold(int threshold) override { m_sThreshold = threshold; }
    void setRThreshold(int threshold) override { m_rThreshold = threshold; }
    void setInBufferCount(int count) override;
    void setOutBufferCount(int count) override;
    qint64 inBufferCount() const override;
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_state == State::Open; }
    void setInputMode(int mode) override { m_inputMode = mode; }
    int inputMode() const override { return m_inputMode; }
    // Throw SerialError while the port is closed.
    void output(const QString& text) override;
    void output(const QByteArray& bytes) override;
    QString inputText(qint64* byteCount = nullptr) override;
    QByteArray inputBytes() override;

    // Bytes handed over by output() that have not reached the driver yet.
    qint64 outBufferCount() const;
    // The device the open port uses; empty while closed.
    QString devicePath() const { return portOpen() ? m_devicePath : QString(); }

private:
    enum class State { Closed, Open, Lost };
    struct Pending {
        QByteArray bytes;
        QString text; // encoded as it is fed
        qsizetype done = 0; // bytes or characters already fed
        bool isText = false;
    };

    void queue(Pending pending);
    void feed();
    void onBytesWritten();
    void onReadyRead();
    void raiseReceive();
    void onError(QSerialPort::SerialPortError error);
    void finishLoss();
    void closePort();

    QSerialPort m_port;
    QTimer m_receiveGather;
    CodePageDecoder m_decoder;
    std::deque<Pending> m_queue;
    State m_state = State::Closed;
    bool m_sendPending = false;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    QString m_devicePath;
    int m_inputMode = InputText;
    int m_inBufferSize = 1024;
    int m_outBufferSize = 512;
    int m_sThreshold = 0;
    int m_rThreshold = 0;
};
