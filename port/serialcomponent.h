#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>
#include <stdexcept>

// Raised when an open is refused: absent port, port busy, settings refused. Callers trap it and
// then ask portOpen() for the truth.
class SerialError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The serial communications component: properties set before opening, an open state, and one
// event (onComm) whose code says what happened. Everything runs on the thread that owns it.
class SerialComponent : public QObject {
    Q_OBJECT
public:
    enum CommEventCode {
        EventSend = 1, // a write has left the output buffer
        EventReceive = 2, // one or more bytes have arrived
        EventDeviceLost = 1001, // the device went away while open; the port is now closed
    };
    enum InputModeCode { InputText = 0, InputBinary = 1 };

    using QObject::QObject;

    virtual void setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    virtual void setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;
    virtual void setInBufferSize(int size) = 0;
    virtual void setOutBufferSize(int size) = 0;
    virtual void setSThreshold(int threshold) = 0;
    virtual void setRThreshold(int threshold) = 0;
    // Writing 0 drops waiting input / pending output.
    virtual void setInBufferCount(int count) = 0;
    virtual void setOutBufferCount(int count) = 0;
    // Bytes waiting to be read.
    virtual qint64 inBufferCount() const = 0;

    // Opening may throw SerialError; closing never throws.
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    virtual void setInputMode(int mode) = 0;
    virtual int inputMode() const = 0;

    // Text goes out in the system code page; bytes go out unchanged. Both queue and return.
    virtual void output(const QString& text) = 0;
    virtual void output(const QByteArray& bytes) = 0;

    // Everything waiting, removed from the input buffer: a QString in text mode (decoded with
    // the system code page, keeping an incomplete trailing character for the next read) and a
    // QByteArray in binary mode.
    QVariant input()
    {
        if (inputMode() == InputBinary)
            return QVariant(inputBytes());
        return QVariant(inputText());
    }
    // Mode-independent reads, used where the caller knows what it wants. inputText() reports
    // through byteCount how many raw bytes the read consumed.
    virtual QString inputText(qint64* byteCount = nullptr) = 0;
    virtual QByteArray inputBytes() = 0;

    // Valid inside onComm().
    int commEvent() const { return m_commEvent; }

Q_SIGNALS:
    void onComm();

protected:
    void raiseComm(int code)
    {
        m_commEvent = code;
        Q_EMIT onComm();
    }

private:
    int m_commEvent = 0;
};
