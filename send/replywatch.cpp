// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/replywatch.h"

#include "port/serialcomponent.h"

#include <algorithm>

namespace {

int msUntil(qint64 ns)
{
    return int(std::clamp<qint64>((ns - steadyNowNs() + 999'999) / 1'000'000, 1, 1'000'000));
}

bool isModbus(const AutoAnswer& answer)
{
    return answer.enabled
        && (answer.when.kind == ReplyPattern::Kind::Modbus
            || answer.replyKind == AutoAnswer::Reply::Registers);
}

} // namespace

ReplyWatch::ReplyWatch(SendPath& send, SerialComponent& serial, QObject* parent)
    : QObject(parent)
    , m_send(send)
    , m_serial(serial)
{
    for (QTimer* timer : { &m_frameEnd, &m_deadline, &m_resend }) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_resend.setInterval(resendRetryMs);
    connect(&m_frameEnd, &QTimer::timeout, this, &ReplyWatch::frameTimeout);
    connect(&m_deadline, &QTimer::timeout, this, &ReplyWatch::deadline);
    connect(&m_resend, &QTimer::timeout, this, &ReplyWatch::resend);
    connect(&m_serial, &SerialComponent::onComm, this, &ReplyWatch::onComm);
}

FrameSplitter::Rule ReplyWatch::rule() const
{
    const Frames frames = m_frames ? m_frames() : Frames();
    Modbus::Mode mode = frames.decode;
    if (mode == Modbus::Mode::Off && m_row >= 0
        && m_command.expect.kind == ReplyPattern::Kind::Modbus)
        mode = modbusModeOf(m_request);
    if (mode == Modbus::Mode::Off && m_answering
        && std::any_of(m_answers.cbegin(), m_answers.cend(), isModbus))
        mode = Modbus::Mode::Rtu;
    const qint64 chosenNs = qint64(frames.frameMs) * 1'000'000;
    switch (mode) {
    case Modbus::Mode::Rtu:
        return { mode, std::max(frames.rtuGapNs, chosenNs) };
    case Modbus::Mode::Ascii:
        return { mode, std::max(Modbus::asciiGapNs, chosenNs) };
    case Modbus::Mode::Off:
        break;
    }
    return { mode, chosenNs > 0 ? chosenNs : qint64(quietFrameMs) * 1'000'000 };
}

// The rule and the port's timed reads follow what is watched.
void ReplyWatch::update()
{
    const bool watching = m_row >= 0 || m_answering;
    m_serial.needTiming(SerialComponent::Replies, watching);
    const FrameSplitter::Rule wanted = rule();
    if (!watching) {
        m_splitter.reset();
        m_frameEnd.stop();
    } else if (!(wanted == m_splitter.rule())) {
        m_splitter.setRule(wanted);
        m_frameFirstNs = FrameSplitter::none;
    }
}

void ReplyWatch::expect(int row, const Command& command)
{
    cancel();
    m_row = row;
    m_command = command;
    m_request = m_send.lastSent();
    m_attempt = 1;
    m_sentNs = steadyNowNs();
    m_writtenNs = -1;
    m_other = {};
    update();
    m_deadline.start(command.timeoutMs);
}

void ReplyWatch::cancel()
{
    m_row = -1;
    m_deadline.stop();
    m_resend.stop();
    update();
}

void ReplyWatch::setAnswers(const QList<AutoAnswer>& answers, const Modbus::Registers& registers)
{
    m_answers = answers;
    m_registers = registers;
    update();
}

void ReplyWatch::setAnswering(bool on)
{
    m_answering = on;
    update();
}

void ReplyWatch::onComm(int commEvent, const QByteArray& received, qint64 atNs)
{
    if (commEvent == SerialComponent::EventSend) {
        if (m_row >= 0 && m_writtenNs < 0)
            m_writtenNs = atNs;
        return;
    }
    if (commEvent != SerialComponent::EventReceive || (m_row < 0 && !m_answering))
        return;
    update();
    const QList<FrameSplitter::Piece> pieces = m_splitter.feed(received, atNs);
    for (const FrameSplitter::Piece& piece : pieces) {
        if (!piece.bytes.isEmpty() && m_frameFirstNs == FrameSplitter::none)
            m_frameFirstNs = atNs;
        if (piece.ends()) {
            const qint64 first = m_frameFirstNs == FrameSplitter::none ? atNs : m_frameFirstNs;
            m_frameFirstNs = FrameSplitter::none;
            onFrame(piece.frame, first);
        }
    }
    if (const qint64 end = m_splitter.deadlineNs(); end != FrameSplitter::none)
        m_frameEnd.start(msUntil(end));
    else
        m_frameEnd.stop();
}

void ReplyWatch::frameTimeout()
{
    const QByteArray frame = m_splitter.expire(steadyNowNs());
    if (!frame.isEmpty()) {
        const qint64 first = std::exchange(m_frameFirstNs, FrameSplitter::none);
        onFrame(frame, first);
    } else if (const qint64 end = m_splitter.deadlineNs(); end != FrameSplitter::none)
        m_frameEnd.start(msUntil(end)); // a timer may fire a little early
}

void ReplyWatch::onFrame(const QByteArray& frame, qint64 firstNs)
{
    const QByteArray& codePage = m_serial.textCodePage();
    if (m_answering) {
        for (int i = 0; i < m_answers.size(); ++i) {
            const AutoAnswer& answer = m_answers[i];
            if (!answer.enabled || !answer.when.triggers(frame, codePage))
                continue;
            const QByteArray reply = answer.replyTo(frame, m_registers, codePage);
            if (reply.isNull())
                continue;
            if (answer.delayMs == 0)
                sendReply(i, reply);
            else
                QTimer::singleShot(answer.delayMs, Qt::PreciseTimer, this, [this, i, reply] {
                    if (m_answering)
                        sendReply(i, reply);
                });
            break;
        }
    }
    if (m_row < 0)
        return;
    const qint64 written = m_writtenNs >= 0 ? m_writtenNs : m_sentNs;
    const qint64 responseNs = std::max<qint64>(0, firstNs - written);
    bool passed = false;
    if (m_command.expect.kind == ReplyPattern::Kind::Modbus) {
        const Modbus::Mode mode = modbusModeOf(m_request);
        const Modbus::Answer answer
            = Modbus::answerTo(Modbus::open(m_request, mode).adu, frame, mode);
        if (answer == Modbus::Answer::Other)
            return;
        passed = answer == Modbus::Answer::Good;
        if (!passed) {
            m_other = frame;
            m_otherNs = responseNs;
            m_deadline.stop();
            deadline(); // decided: no need to wait out the time
            return;
        }
    } else {
        passed = m_command.expect.matches(frame, m_request, codePage);
    }
    if (passed) {
        finish({ Verdict::Result::Pass, frame, responseNs, m_attempt });
    } else if (m_other.isNull()) {
        m_other = frame;
        m_otherNs = responseNs;
    }
}

void ReplyWatch::deadline()
{
    if (m_row < 0)
        return;
    if (m_attempt <= m_command.retries) {
        resend();
        return;
    }
    if (m_other.isNull())
        finish({ Verdict::Result::Timeout, {}, -1, m_attempt });
    else
        finish({ Verdict::Result::Fail, m_other, m_otherNs, m_attempt });
}

void ReplyWatch::resend()
{
    if (m_row < 0)
        return;
    if (!m_serial.portOpen()) {
        finish({ Verdict::Result::Timeout, {}, -1, m_attempt });
        return;
    }
    if (!m_send.sendBox(m_command.content, m_command.hex, m_command.ending)) {
        m_resend.start();
        return;
    }
    ++m_attempt;
    m_request = m_send.lastSent();
    m_sentNs = steadyNowNs();
    m_writtenNs = -1;
    m_other = {};
    m_deadline.start(m_command.timeoutMs);
    Q_EMIT resent(m_row);
}

void ReplyWatch::finish(const Verdict& verdict)
{
    const int row = std::exchange(m_row, -1);
    m_deadline.stop();
    m_resend.stop();
    update();
    Q_EMIT checked(row, verdict);
}

void ReplyWatch::sendReply(int answer, const QByteArray& bytes)
{
    if (m_serial.portOpen() && m_send.sendBytes(bytes))
        Q_EMIT answered(answer);
}
