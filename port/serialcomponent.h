#pragma once

#include "port/codepage.h"
#include "port/portsettings.h"
#include "port/serialbackend.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class SerialBackend;

// The serial communications component as the window talks to it: settings written while closed,
// an open state, an input mode, writes that queue and return, reads of everything waiting, and
// one event whose code says what happened. The device itself is the backend's.
//
// Nothing here throws: a refused open returns false (errorString() says why, in Chinese) and a
// refused write returns -1.
class SerialComponent : public QObject {
    Q_OBJECT
public:
    enum CommEventCode {
        EventSend = 1, // everything written has left
        EventReceive = 2, // one or more bytes have arrived
        EventDeviceLost = 1001, // the device went away while open; the port is now closed
    };
    enum InputModeCode { InputText = 0, InputBinary = 1 };

    explicit SerialComponent(std::unique_ptr<SerialBackend> backend, QObject* parent = nullptr);
    ~SerialComponent() override;

    // CommPort and Settings in one: written only while closed (false, nothing changed, if open).
    bool setSettings(const PortArguments& settings);
    const PortArguments& settings() const { return m_settings; }

    // Kept only, except OutBufferSize: the input side never drops bytes, and every arrival and
    // every drained send raises its event.
    void setInBufferSize(int size) { m_inBufferSize = size; }
    void setOutBufferSize(int size) { m_outBufferSize = size; }
    void setSThreshold(int threshold) { m_sThreshold = threshold; }
    void setRThreshold(int threshold) { m_rThreshold = threshold; }
    int outBufferSize() const { return m_outBufferSize; }
    // Writing 0 drops waiting input / pending output.
    void setInBufferCount(int count);
    void setOutBufferCount(int count);
    qint64 inBufferCount() const { return m_input.size(); }
    qint64 outBufferCount() const;

    // Opening refuses settings a UART cannot take, an absent port and one already open.
    [[nodiscard]] bool setPortOpen(bool open);
    bool portOpen() const;
    QString errorString() const { return m_error; }
    // Where COMn is now, and which device the open port uses (null while closed).
    ComDevice locate(int port) const;
    ComDevice openedDevice() const;

    void setInputMode(int mode) { m_inputMode = mode; }
    int inputMode() const { return m_inputMode; }

    // Text goes out in the system code page, bytes unchanged. The number of bytes queued, or -1
    // when the port is closed or the write would take the output still pending past
    // OutBufferSize (a write into an empty queue is taken whole, an empty one always). Nothing
    // written raises no send event.
    qint64 output(QStringView text);
    qint64 output(const QByteArray& bytes);

    // Everything waiting, removed: decoded with the system code page, keeping an incomplete
    // trailing character for the next read, or as bytes, led by the bytes of a character a text
    // read held back. byteCount: the raw bytes taken from the input, each counted once.
    QString inputText(qint64* byteCount = nullptr);
    QByteArray inputBytes(qint64* byteCount = nullptr);

Q_SIGNALS:
    void onComm(int commEvent);
    // Bytes that have left for the device; what a close, a loss or a discard drops never does.
    void sent(qint64 bytes);
    // Every byte as it arrives, before its receive event, whatever is later read or dropped.
    void received(const QByteArray& bytes);

public:
    // Line control: kept for every later opening and applied to an open port at once. DTR and
    // RTS are asserted and flow control off unless asked otherwise.
    void setLines(bool dtr, bool rts);
    void setFlowControl(FlowControl flow);
    bool dataTerminalReady() const { return m_dtr; }
    bool requestToSend() const { return m_rts; }
    FlowControl flowControl() const { return m_flow; }
    // What the open port can do; nothing while closed.
    SerialBackend::LineControls lineControls() const;
    static constexpr int breakMs = 250;
    void sendBreak();

private:
    void applyLineControl();
    void dropHeldInput();
    void onReceived(const QByteArray& bytes);
    void onLost();

    bool m_dtr = true;
    bool m_rts = true;
    FlowControl m_flow = FlowControl::None;

    std::unique_ptr<SerialBackend> m_backend;
    CodePageDecoder m_decoder;
    QByteArray m_input;
    PortArguments m_settings { 1, QStringLiteral("9600"), QStringLiteral("N"), 8,
        QStringLiteral("1") };
    QString m_error;
    int m_inputMode = InputText;
    int m_inBufferSize = 1024;
    int m_outBufferSize = 512;
    int m_sThreshold = 0;
    int m_rThreshold = 0;
};
