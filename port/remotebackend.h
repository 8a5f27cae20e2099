// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/readgather.h"
#include "port/remoteurl.h"
#include "port/serialbackend.h"
#include "port/telnetcodec.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>

// A serial port on another machine, named by a URL in place of a device (port/remoteurl.h), over
// QTcpSocket: RFC 2217 carries the settings and line control to the server's port, raw TCP only
// the bytes.
//
// An open never waits for the network: it returns at once with the port open and connecting, and
// what is written meanwhile waits for the connection. A connection that fails or is not made
// within connectMs closes the port and raises failed() with the reason ("无法连接
// lab-pi:7777：连接被拒绝"); one that drops once made is a lost device. Over RFC 2217 the settings
// go out first, baud, data size, parity and stop size in that order, and the server's echo of
// each is compared with what was asked: another value fails the open as a local port's refusal
// does. A reply that does not come within replyMs is taken as applied (some servers never answer
// DTR or RTS), and nothing ever waits for one. Closing asks the server to purge both directions.
//
// Received bytes are stamped when they are read from the socket at this machine; what the network
// adds before that is not seen. Reads are gathered as on a local port (ReadGather) unless
// timed, so a slow line costs a wake-up or two a gather rather than one a network packet. The watch
// for a lost port asks answers(), which tries a connection; the open that follows takes that
// connection, so the server's device is opened once.
class RemoteBackend : public SerialBackend {
    Q_OBJECT
public:
    static constexpr int connectMs = 3000;
    static constexpr int replyMs = 1000;
    // How long an answered probe waits for the open that is to take it.
    static constexpr int probeKeptMs = 2000;

    explicit RemoteBackend(QObject* parent = nullptr);
    ~RemoteBackend() override;

    ComDevice locate(int port) const override;
    bool open(int port, const LineSettings& line) override;
    ComDevice openedDevice() const override { return isOpen() ? m_device : ComDevice(); }
    void close() override;
    bool isOpen() const override
    {
        return m_state == State::Connecting || m_state == State::Connected;
    }
    void write(const QByteArray& bytes) override;
    qint64 pendingOutput() const override;
    void setTimed(bool timed) override;
    bool answers(const ComDevice& device) override;

    LineControls lineControls() const override;
    void setLines(bool dtr, bool rts) override;
    void setFlowControl(FlowControl flow) override;
    void sendBreak(int ms) override;
    // Over RFC 2217, the lines as the server's last modem-state notice gave them; none before one.
    std::optional<ModemLines> modemLines() override;

    // The server's connection is made (and, over RFC 2217, negotiated from this side).
    bool isConnected() const { return m_state == State::Connected; }
    // Replies to settings and line control still awaited.
    int awaitedReplies() const { return int(m_awaited.size()); }

private:
    enum class State { Idle, Probing, Answered, Connecting, Connected, Ending };
    struct Awaited {
        TelnetCodec::ComPortCommand command;
        QByteArray value;
        qint64 deadlineNs;
    };
    struct InFlight {
        qint64 wire; // bytes on the wire still to be written
        qint64 data; // the data bytes they carry
    };

    void connectTo(const RemoteUrl& url);
    void dropSocket();
    void onConnected();
    void onReadyRead();
    void handOn();
    void onBytesWritten(qint64 bytes);
    void onSocketGone();
    void onReply(const TelnetCodec::Reply& reply);
    void onReplyTimeout();
    void put(const QByteArray& wire, qint64 data);
    void feed();
    void ask(TelnetCodec::ComPortCommand command, const QByteArray& value);
    void control(unsigned char value);
    void sendLines();
    // The open cannot be finished: closed at the next turn of the event loop, then failed().
    void fail(OpenFailure::Reason reason, const QString& text);
    void finish();
    bool rfc2217() const { return m_url.kind == RemoteUrl::Kind::Rfc2217; }

    QPointer<QTcpSocket> m_socket;
    State m_state = State::Idle;
    RemoteUrl m_url;
    ComDevice m_device;
    LineSettings m_line;
    TelnetCodec m_codec;
    QTimer m_deadline; // the connection's, or how long an answered probe is kept
    QTimer m_replyTimer;
    ReadGather m_gather { [this] { handOn(); } };
    bool m_handingOn = false; // pulling what the system holds: the socket's signals are not news
    std::deque<Awaited> m_awaited;
    std::deque<QByteArray> m_queue; // data not yet handed to the socket
    qsizetype m_queueDone = 0; // of the front
    qint64 m_queued = 0;
    std::deque<InFlight> m_inFlight;
    bool m_sendPending = false;
    bool m_dtr = true;
    bool m_rts = true;
    FlowControl m_flow = FlowControl::None;
    int m_linesSent = -1; // DTR and RTS as last sent (bits 1 and 2), -1 before any
    bool m_breakOn = false;
    // The last NOTIFY-MODEMSTATE: CD 0x80, RI 0x40, DSR 0x20, CTS 0x10, the low bits the changes.
    unsigned char m_modemState = 0;
    bool m_modemKnown = false; // a modem-state notice came since the open
    // Why the open failed or the connection was lost, once the close has been done.
    OpenFailure::Reason m_failure = OpenFailure::Reason::None;
    QString m_failureText;
};
