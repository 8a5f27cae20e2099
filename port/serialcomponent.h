// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

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
// an open state, writes that queue and return, and one event whose code says what happened and
// carries what arrived and when. The device itself is the backend's.
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
        // An open that worked could not be finished (a remote port's connection failed): the
        // port is now closed and errorString() says why.
        EventOpenFailed = 1002,
    };

    explicit SerialComponent(std::unique_ptr<SerialBackend> backend, QObject* parent = nullptr);
    ~SerialComponent() override;

    // CommPort and Settings in one: written only while closed (false, nothing changed, if open).
    bool setSettings(const PortArguments& settings);
    const PortArguments& settings() const { return m_settings; }

    // The bound on output still pending (see output()). The input side needs no sizes or
    // thresholds: it never drops bytes, and every arrival and every drained send raises its event.
    void setOutBufferSize(int size) { m_outBufferSize = size; }
    int outBufferSize() const { return m_outBufferSize; }
    qint64 outBufferCount() const;

    // Opening refuses settings a UART cannot take, an absent port and one already open.
    [[nodiscard]] bool setPortOpen(bool open);
    bool portOpen() const;
    QString errorString() const { return m_error; }
    // Where COMn is now, and which device the open port uses (null while closed).
    ComDevice locate(int port) const;
    ComDevice openedDevice() const;
    // Whether a device located answers now (see SerialBackend::answers).
    bool answers(const ComDevice& device) const { return m_backend->answers(device); }

    // The code page of text both ways: a choice of CodePage::choices(), or empty for the system
    // code page. Applies to what arrives and what is written from now on.
    void setTextCodePage(const QByteArray& choice) { m_decoder.setCodePage(choice); }
    const QByteArray& textCodePage() const { return m_decoder.codePage(); }

    // Text goes out in the text code page, bytes unchanged. The number of bytes queued, or -1
    // when the port is closed or the write would take the output still pending past
    // OutBufferSize (a write into an empty queue is taken whole, an empty one always). Nothing
    // written raises no send event.
    qint64 output(QStringView text);
    qint64 output(const QByteArray& bytes);

    // What arrived, as text: decoded with the text code page by the port's one decoder, which
    // keeps an incomplete trailing character for the next arrival. As bytes: led by the bytes of
    // a character an arrival read as text held back (already counted).
    QString textOf(const QByteArray& received);
    QByteArray bytesOf(const QByteArray& received);

    // Whoever shows when bytes came (time stamps, frames, a time axis) says so while it does.
    // While anyone does, what arrives is read as the line delivers it, so that each receive
    // event's instant is the line's; with no one, reads may be gathered, which costs fewer
    // wake-ups. Each user's need is its own: one leaving does not end another's.
    // A file transfer needs it too: each block waits for its reply, and a gathered reply is a
    // slower transfer.
    enum TimingUser { ProtocolView = 1, Plot = 2, Replies = 4, Transfer = 8 };
    void needTiming(TimingUser user, bool needed);
    bool timed() const { return m_timingUsers != 0; }

Q_SIGNALS:
    // `received` holds the bytes of a receive event, every byte once as it arrives; it is empty
    // for the other events. `atNs` (steadyNowNs()) is when it happened: for a receive event when
    // its bytes were taken from the driver, for a send event when the port reported the last byte
    // written.
    void onComm(int commEvent, const QByteArray& received, qint64 atNs);
    // Bytes that have left for the device; what a close, a loss or a discard drops never does.
    void sent(qint64 bytes);

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
    // The modem status lines of the open port; nothing when closed or when it cannot report them.
    std::optional<ModemLines> modemLines();
    // RS-485 direction control: kept for every later opening and applied to an open port at once;
    // off unless asked, and then the driver's own setting is left alone. rs485Problem() says why
    // the open port does not do what is asked (empty when it does, or when nothing is asked);
    // rs485Refusal() why it could not be asked at all.
    void setRs485(const Rs485Settings& settings);
    const Rs485Settings& rs485() const { return m_rs485; }
    QString rs485Problem() const { return portOpen() ? m_rs485Problem : QString(); }
    QString rs485Refusal() const;

private:
    void applyLineControl();
    void applyRs485();
    void onLost();
    void onFailed();

    bool m_dtr = true;
    bool m_rts = true;
    FlowControl m_flow = FlowControl::None;
    Rs485Settings m_rs485;
    QString m_rs485Problem;
    bool m_rs485Applied = false; // asked of the open port, so turning it off must reach the driver

    std::unique_ptr<SerialBackend> m_backend;
    CodePageDecoder m_decoder;
    PortArguments m_settings { 1, QStringLiteral("9600"), QStringLiteral("N"), 8,
        QStringLiteral("1") };
    QString m_error;
    int m_outBufferSize = 512;
    int m_timingUsers = 0;
};
