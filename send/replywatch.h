// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "modbus/framesplitter.h"
#include "send/commandlist.h"

#include <QObject>
#include <QTimer>

#include <functional>

class SerialComponent;

// Reads what the port brings back, cut into frames, for a stored command that expects a reply
// and for the automatic answers.
//
// Frames are the receive display's: its 协议解析's Modbus frames, else the idle gap of 分帧 (50 ms
// when it is off, as the hexadecimal display splits). A Modbus expectation, or an automatic
// answer with a Modbus trigger or reply, reads Modbus frames even when the display does not: RTU,
// or ASCII for a request sent as an ASCII frame.
//
// An expectation passes at the first frame that matches within its time; frames that do not are
// passed over (a bus carries other talk), and the first of them is the failure shown if none
// matches in time; with none at all it times out. A Modbus answer from the unit asked decides at
// once: an exception or a bad check fails. A failure or time-out sends the row again while its
// retries last; the verdict is the last attempt's.
class ReplyWatch : public QObject {
    Q_OBJECT
public:
    struct Frames {
        Modbus::Mode decode = Modbus::Mode::Off;
        qint64 rtuGapNs = 1'750'000;
        int frameMs = 0;
    };
    using FramesSource = std::function<Frames()>;
    static constexpr int quietFrameMs = 50;
    static constexpr int resendRetryMs = 10;

    ReplyWatch(SendPath& send, SerialComponent& serial, QObject* parent = nullptr);
    // Asked at each arrival, so a change of the display's choices applies at once.
    void setFramesSource(FramesSource source) { m_frames = std::move(source); }

    // Waits for the reply to `row`, whose send the port has just taken (the send path's last).
    // A wait already running ends without a verdict.
    void expect(int row, const Command& command);
    void cancel();
    bool isWaiting() const { return m_row >= 0; }

    void setAnswers(const QList<AutoAnswer>& answers, const Modbus::Registers& registers);
    void setAnswering(bool on);
    bool isAnswering() const { return m_answering; }

Q_SIGNALS:
    void resent(int row);
    void checked(int row, const Verdict& verdict);
    void answered(int answer);

private:
    void onComm(int commEvent, const QByteArray& received, qint64 atNs);
    void onFrame(const QByteArray& frame, qint64 firstNs);
    void frameTimeout();
    void deadline();
    void resend();
    void finish(const Verdict& verdict);
    void sendReply(int answer, const QByteArray& bytes);
    FrameSplitter::Rule rule() const;
    void update();

    SendPath& m_send;
    SerialComponent& m_serial;
    FramesSource m_frames;
    FrameSplitter m_splitter;
    qint64 m_frameFirstNs = FrameSplitter::none; // when the open frame's first byte came
    QTimer m_frameEnd;
    QTimer m_deadline;
    QTimer m_resend; // the output bound refused a retry

    int m_row = -1;
    Command m_command;
    QByteArray m_request;
    int m_attempt = 0;
    qint64 m_sentNs = 0;
    qint64 m_writtenNs = -1; // the port reported the request written
    QByteArray m_other; // the first frame that did not match
    qint64 m_otherNs = 0;

    QList<AutoAnswer> m_answers;
    Modbus::Registers m_registers;
    bool m_answering = false;
};
