// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/remotebackend.h"

#include "port/comnames.h"

#include <QtEndian>

#include <algorithm>

namespace {

// Enough to keep the connection busy without holding a second copy of a large send.
constexpr qint64 feedChunkBytes = 64 * 1024;

using Codec = TelnetCodec;

QString socketProblem(QAbstractSocket::SocketError error, const QString& said)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("连接被拒绝");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("找不到主机");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("连接超时");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("服务器关闭了连接");
    default:
        return QStringLiteral("网络错误（") + said + QStringLiteral("）");
    }
}

char parityCode(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Odd:
        return 2;
    case LineSettings::Parity::Even:
        return 3;
    case LineSettings::Parity::Mark:
        return 4;
    case LineSettings::Parity::Space:
        return 5;
    default:
        return 1;
    }
}

// A setting's value as the user chose it, from its RFC 2217 form.
QString settingText(Codec::ComPortCommand command, const QByteArray& value)
{
    if (command == Codec::SetBaudRate)
        return value.size() == 4 ? QString::number(qFromBigEndian<quint32>(value.constData()))
                                 : QStringLiteral("?");
    const int code = value.isEmpty() ? -1 : static_cast<unsigned char>(value.at(0));
    if (command == Codec::SetParity && code >= 1 && code <= 5)
        return QString(QLatin1Char("NOEMS"[code - 1]));
    if (command == Codec::SetStopSize && code == 3)
        return QStringLiteral("1.5");
    return QString::number(code);
}

// SET-CONTROL's values in groups that one reply answers: flow control, break, DTR, RTS, inbound
// flow control.
int controlGroup(unsigned char value)
{
    return value <= 3 ? 0 : value <= 6 ? 1 : value <= 9 ? 2 : value <= 12 ? 3 : 4;
}

} // namespace

RemoteBackend::RemoteBackend(QObject* parent)
    : SerialBackend(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_state == State::Connecting) {
            fail(OpenFailure::Reason::NoDevice,
                QStringLiteral("无法连接 ") + m_url.address() + QStringLiteral("：连接超时"));
        } else if (m_state == State::Probing || m_state == State::Answered) {
            dropSocket();
            m_state = State::Idle;
        }
    });
    m_replyTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, &RemoteBackend::onReplyTimeout);
}

RemoteBackend::~RemoteBackend() { dropSocket(); }

ComDevice RemoteBackend::locate(int port) const { return ComNames::locate(port); }

bool RemoteBackend::open(int port, const LineSettings& line)
{
    if (isOpen())
        return refused(OpenFailure::Reason::Busy, QStringLiteral("串口已经打开"));
    if (m_state == State::Ending)
        close(); // asked to open before the end was announced: the new open wins

    const ComDevice device = locate(port);
    const std::optional<RemoteUrl> url = RemoteUrl::parse(device.path);
    if (!url)
        return refused(OpenFailure::Reason::NoDevice);
    const bool probed = m_socket && (m_state == State::Probing || m_state == State::Answered)
        && m_url.host == url->host && m_url.port == url->port;
    const State was = m_state;
    close();
    m_url = *url;
    m_device = device;
    m_line = line;
    m_codec = TelnetCodec();
    m_state = State::Connecting;
    if (probed && was == State::Answered) {
        m_deadline.stop();
        QMetaObject::invokeMethod(this, &RemoteBackend::onConnected, Qt::QueuedConnection);
    } else {
        if (!probed) {
            dropSocket();
            connectTo(*url);
        }
        m_deadline.start(connectMs);
    }
    return opened();
}

void RemoteBackend::connectTo(const RemoteUrl& url)
{
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &RemoteBackend::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &RemoteBackend::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &RemoteBackend::onBytesWritten);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &RemoteBackend::onSocketGone);
    connect(m_socket, &QTcpSocket::disconnected, this, &RemoteBackend::onSocketGone);
    m_socket->connectToHost(url.host, url.port);
}

// Deleted later: this may run inside one of the socket's own signals.
void RemoteBackend::dropSocket()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void RemoteBackend::close()
{
    // What the server still holds of ours is of this opening only.
    if (m_state == State::Connected && rfc2217() && m_socket) {
        m_socket->write(Codec::command(Codec::PurgeData, QByteArray(1, 3)));
        m_socket->flush();
    }
    m_queue.clear();
    m_queueDone = 0;
    m_queued = 0;
    m_inFlight.clear();
    m_awaited.clear();
    m_replyTimer.stop();
    m_gather.reset();
    m_sendPending = false;
    m_linesSent = -1;
    m_breakOn = false;
    m_modemState = 0;
    m_modemKnown = false;
    // A probe is not the port's: it is kept for the open it is waiting for.
    if (m_state == State::Connecting || m_state == State::Connected || m_state == State::Ending) {
        m_deadline.stop();
        dropSocket();
        m_state = State::Idle;
    }
}

void RemoteBackend::onConnected()
{
    if (m_state == State::Probing) {
        m_state = State::Answered;
        m_deadline.start(probeKeptMs);
        return;
    }
    if (m_state != State::Connecting || !m_socket
        || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_deadline.stop();
    m_state = State::Connected;
    // Replies and short commands go out at once rather than waiting to fill a segment.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (rfc2217()) {
        put(Codec::opening(), 0);
        QByteArray baud(4, Qt::Uninitialized);
        qToBigEndian<quint32>(quint32(m_line.baud), baud.data());
        ask(Codec::SetBaudRate, baud);
        ask(Codec::SetDataSize, QByteArray(1, char(m_line.dataBits)));
        ask(Codec::SetParity, QByteArray(1, parityCode(m_line.parity)));
        ask(Codec::SetStopSize, QByteArray(1, char(m_line.twoStopBits ? 2 : 1)));
        setFlowControl(m_flow);
    }
    feed();
    // An adopted probe may hold what the server said before anyone read it.
    if (m_socket->bytesAvailable() > 0)
        handOn();
}

void RemoteBackend::onSocketGone()
{
    if (!m_socket)
        return;
    switch (m_state) {
    case State::Probing:
    case State::Answered:
        dropSocket();
        m_state = State::Idle;
        m_deadline.stop();
        break;
    case State::Connecting:
        fail(OpenFailure::Reason::NoDevice,
            QStringLiteral("无法连接 ") + m_url.address() + QStringLiteral("：")
                + socketProblem(m_socket->error(), m_socket->errorString()));
        break;
    case State::Connected:
        m_failure = OpenFailure::Reason::None;
        m_state = State::Ending;
        QMetaObject::invokeMethod(this, &RemoteBackend::finish, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void RemoteBackend::fail(OpenFailure::Reason reason, const QString& text)
{
    if (!isOpen())
        return;
    m_failure = reason;
    m_failureText = text;
    m_state = State::Ending;
    QMetaObject::invokeMethod(this, &RemoteBackend::finish, Qt::QueuedConnection);
}

void RemoteBackend::finish()
{
    if (m_state != State::Ending)
        return;
    const OpenFailure::Reason failure = m_failure;
    close();
    if (failure == OpenFailure::Reason::None) {
        Q_EMIT lost();
        return;
    }
    refused(failure, m_failureText);
    Q_EMIT failed();
}

void RemoteBackend::write(const QByteArray& bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    m_queue.push_back(bytes);
    m_queued += bytes.size();
    m_sendPending = true;
    feed();
}

qint64 RemoteBackend::pendingOutput() const
{
    if (!isOpen())
        return 0;
    qint64 count = m_queued;
    for (const InFlight& piece : m_inFlight)
        count += piece.data;
    return count;
}

void RemoteBackend::put(const QByteArray& wire, qint64 data)
{
    m_socket->write(wire);
    m_inFlight.push_back({ wire.size(), data });
}

void RemoteBackend::feed()
{
    while (m_state == State::Connected && !m_queue.empty()
        && m_socket->bytesToWrite() < feedChunkBytes) {
        const QByteArray& front = m_queue.front();
        const qsizetype count = std::min<qsizetype>(feedChunkBytes, front.size() - m_queueDone);
        const QByteArray piece
            = m_queueDone == 0 && count == front.size() ? front : front.sliced(m_queueDone, count);
        put(rfc2217() ? Codec::escaped(piece) : piece, count);
        m_queued -= count;
        m_queueDone += count;
        if (m_queueDone >= front.size()) {
            m_queue.pop_front();
            m_queueDone = 0;
        }
    }
}

// A piece of data counts as sent once all of its bytes on the wire have gone to the system.
void RemoteBackend::onBytesWritten(qint64 bytes)
{
    const qint64 at = steadyNowNs();
    if (m_state != State::Connected)
        return;
    qint64 data = 0;
    while (bytes > 0 && !m_inFlight.empty()) {
        InFlight& front = m_inFlight.front();
        const qint64 taken = std::min(bytes, front.wire);
        front.wire -= taken;
        bytes -= taken;
        if (front.wire == 0) {
            data += front.data;
            m_inFlight.pop_front();
        }
    }
    if (data > 0)
        Q_EMIT sent(data);
    if (m_state != State::Connected)
        return;
    feed();
    if (m_sendPending && m_queue.empty() && m_socket->bytesToWrite() == 0) {
        m_sendPending = false;
        Q_EMIT drained(at);
    }
}

void RemoteBackend::setTimed(bool timed) { m_gather.setTimed(timed); }

void RemoteBackend::onReadyRead()
{
    if (m_state == State::Connected && !m_handingOn)
        m_gather.notified();
}

// While a gather waits the socket holds one byte and reads no more (a full read buffer pauses
// it), so the system keeps the rest until here, with no wake-up for each packet.
void RemoteBackend::handOn()
{
    if (m_state != State::Connected)
        return;
    if (m_socket->readBufferSize() != 0) {
        m_handingOn = true;
        m_socket->setReadBufferSize(0);
        (void)m_socket->waitForReadyRead(0);
        m_handingOn = false;
        if (m_state != State::Connected)
            return;
    }
    // Taken from the system now: this is when the bytes reached this machine.
    const qint64 at = steadyNowNs();
    const QByteArray bytes = m_socket->readAll();
    if (bytes.isEmpty())
        return;
    if (m_gather.handedOn(bytes.size(), m_line.baud) > 0)
        m_socket->setReadBufferSize(1);
    if (!rfc2217()) {
        Q_EMIT received(bytes, at);
        return;
    }
    TelnetCodec::Read read;
    m_codec.feed(bytes, read);
    if (!read.answer.isEmpty())
        put(read.answer, 0);
    for (const TelnetCodec::Reply& reply : std::as_const(read.replies))
        onReply(reply);
    if (m_codec.comPort() == TelnetCodec::ComPort::Refused)
        fail(OpenFailure::Reason::SettingsRefused,
            OpenFailure::text(OpenFailure::Reason::SettingsRefused) + QStringLiteral("（")
                + m_url.address() + QStringLiteral(" 不接受 RFC 2217 的设置，可改用 tcp://")
                + m_url.address() + QStringLiteral("）"));
    if (!read.data.isEmpty() && m_state == State::Connected)
        Q_EMIT received(read.data, at);
}

std::optional<ModemLines> RemoteBackend::modemLines()
{
    if (!isConnected() || !rfc2217() || !m_modemKnown)
        return std::nullopt;
    return ModemLines { (m_modemState & 0x10) != 0, (m_modemState & 0x20) != 0,
        (m_modemState & 0x80) != 0, (m_modemState & 0x40) != 0 };
}

void RemoteBackend::ask(TelnetCodec::ComPortCommand command, const QByteArray& value)
{
    put(Codec::command(command, value), 0);
    m_awaited.push_back({ command, value, steadyNowNs() + qint64(replyMs) * 1000000 });
    if (!m_replyTimer.isActive())
        m_replyTimer.start(replyMs);
}

void RemoteBackend::onReply(const TelnetCodec::Reply& reply)
{
    const auto command = Codec::ComPortCommand(reply.command);
    if (command == Codec::NotifyModemState) {
        if (!reply.value.isEmpty()) {
            m_modemState = static_cast<unsigned char>(reply.value.at(0));
            m_modemKnown = true;
        }
        return;
    }
    const bool setting = command >= Codec::SetBaudRate && command <= Codec::SetStopSize;
    if (!setting && command != Codec::SetControl)
        return;
    const auto answered = std::find_if(m_awaited.begin(), m_awaited.end(), [&](const Awaited& a) {
        return a.command == command
            && (setting || reply.value.isEmpty() || a.value.isEmpty()
                || controlGroup(static_cast<unsigned char>(reply.value.at(0)))
                    == controlGroup(static_cast<unsigned char>(a.value.at(0))));
    });
    if (answered == m_awaited.end())
        return; // late, after its time ran out, or never asked
    const QByteArray asked = answered->value;
    m_awaited.erase(answered);
    // Servers answer a control with the state they reached, not always the value asked (ser2net
    // answers a break's end with "on"), so only the settings are compared.
    if (!setting || reply.value == asked)
        return;
    static const char* const names[] = { "波特率", "数据位", "校验位", "停止位" };
    fail(OpenFailure::Reason::SettingsRefused,
        OpenFailure::text(OpenFailure::Reason::SettingsRefused) + QStringLiteral("（")
            + m_url.address() + QStringLiteral(" 把") + QString::fromUtf8(names[command - 1])
            + QStringLiteral("设为 ") + settingText(command, reply.value)
            + QStringLiteral("，不是所要的 ") + settingText(command, asked) + QStringLiteral("）"));
}

// Taken as applied: nothing waits for it.
void RemoteBackend::onReplyTimeout()
{
    const qint64 now = steadyNowNs();
    while (!m_awaited.empty() && m_awaited.front().deadlineNs <= now)
        m_awaited.pop_front();
    if (!m_awaited.empty())
        m_replyTimer.start(int((m_awaited.front().deadlineNs - now) / 1000000 + 1));
}

SerialBackend::LineControls RemoteBackend::lineControls() const
{
    if (!isOpen() || !rfc2217())
        return {};
    return Dtr | Rts | HardwareFlow | SoftwareFlow | Break;
}

void RemoteBackend::setLines(bool dtr, bool rts)
{
    m_dtr = dtr;
    m_rts = rts;
    sendLines();
}

void RemoteBackend::sendLines()
{
    if (m_state != State::Connected || !rfc2217())
        return;
    const int lines = (m_dtr ? 1 : 0) | (m_rts ? 2 : 0);
    if (m_linesSent < 0 || ((lines ^ m_linesSent) & 1))
        ask(Codec::SetControl, QByteArray(1, char(m_dtr ? 8 : 9)));
    // Under RTS/CTS the server's driver drives RTS.
    if (m_flow != FlowControl::Hardware && (m_linesSent < 0 || ((lines ^ m_linesSent) & 2)))
        ask(Codec::SetControl, QByteArray(1, char(m_rts ? 11 : 12)));
    m_linesSent = lines;
}

// Leaving RTS/CTS gives RTS back to the wish, which the lines that follow send again.
void RemoteBackend::setFlowControl(FlowControl flow)
{
    m_flow = flow;
    if (m_state != State::Connected || !rfc2217())
        return;
    const char code = flow == FlowControl::Hardware ? 3 : flow == FlowControl::Software ? 2 : 1;
    ask(Codec::SetControl, QByteArray(1, code));
    m_linesSent = -1;
    sendLines();
}

void RemoteBackend::sendBreak(int ms)
{
    if (m_state != State::Connected || !rfc2217() || m_breakOn)
        return;
    ask(Codec::SetControl, QByteArray(1, 5));
    m_breakOn = true;
    QTimer::singleShot(ms, this, [this] {
        if (m_breakOn && m_state == State::Connected)
            ask(Codec::SetControl, QByteArray(1, 6));
        m_breakOn = false;
    });
}

bool RemoteBackend::answers(const ComDevice& device)
{
    const std::optional<RemoteUrl> url = RemoteUrl::parse(device.path);
    if (!url)
        return true;
    if (isOpen() || m_state == State::Ending)
        return false;
    const bool same = m_url.host == url->host && m_url.port == url->port;
    if (same && m_state == State::Answered)
        return true;
    if (same && m_state == State::Probing)
        return false;
    dropSocket();
    m_url = *url;
    m_state = State::Probing;
    connectTo(*url);
    m_deadline.start(connectMs);
    return false;
}
