// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/qtserialbackend.h"

#include "port/comnames.h"
#include "port/openfailure.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

// Enough to keep the driver busy without holding a second copy of a large send.
constexpr qint64 feedChunkBytes = 64 * 1024;
// Device numbers of the pseudo-terminal slaves (/dev/pts/*).
constexpr unsigned unix98PtySlaveMajorFirst = 136;
constexpr unsigned unix98PtySlaveMajorLast = 143;

// Whether the tty holds the word size, parity and stop bits asked for. A pseudo-terminal has no
// line: its driver always reports 8 data bits and parity disabled, but keeps the rest.
bool framingHolds(int descriptor, const LineSettings& line)
{
    termios attributes {};
    if (::tcgetattr(descriptor, &attributes) != 0)
        return false;
    struct stat info { };
    const bool pseudoTerminal = ::fstat(descriptor, &info) == 0 && S_ISCHR(info.st_mode)
        && major(info.st_rdev) >= unix98PtySlaveMajorFirst
        && major(info.st_rdev) <= unix98PtySlaveMajorLast;

    const tcflag_t size = line.dataBits == 5 ? CS5
        : line.dataBits == 6                 ? CS6
        : line.dataBits == 7                 ? CS7
                                             : CS8;
    tcflag_t parity = 0;
    tcflag_t parityMask = PARENB | PARODD | CMSPAR;
    switch (line.parity) {
    case LineSettings::Parity::Odd:
        parity = PARENB | PARODD;
        break;
    case LineSettings::Parity::Even:
        parity = PARENB;
        break;
    case LineSettings::Parity::Space:
        parity = PARENB | CMSPAR;
        break;
    case LineSettings::Parity::Mark:
        parity = PARENB | CMSPAR | PARODD;
        break;
    default:
        parityMask = PARENB; // the sense bits mean nothing without parity
        break;
    }
    if (pseudoTerminal) {
        parityMask &= ~PARENB;
        parity &= ~PARENB;
    } else if ((attributes.c_cflag & CSIZE) != size) {
        return false;
    }
    return (attributes.c_cflag & parityMask) == parity
        && ((attributes.c_cflag & CSTOPB) != 0) == line.twoStopBits;
}

QSerialPort::Parity qtParity(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

QtSerialBackend::QtSerialBackend(QObject* parent)
    : SerialBackend(parent)
    , m_gather([this] { handOn(); })
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialBackend::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &QtSerialBackend::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialBackend::onError);
}

QtSerialBackend::~QtSerialBackend()
{
    m_port.disconnect(this);
    close();
}

qint64 QtSerialBackend::pendingOutput() const
{
    if (m_state != State::Open)
        return 0;
    qint64 count = m_port.bytesToWrite();
    for (const Pending& pending : m_queue)
        count += pending.bytes.size() - pending.done;
    return count;
}

bool QtSerialBackend::open(int port, const LineSettings& line)
{
    if (m_state == State::Open)
        return refused(OpenFailure::Reason::Busy, QStringLiteral("串口已经打开"));
    if (m_state == State::Lost)
        close(); // asked to open before the loss was announced: the new open wins

    const ComDevice device = locate(port);
    const QString& path = device.path;
    if (path.isEmpty())
        return refused(OpenFailure::Reason::NoDevice);

    m_port.setPortName(path);
    m_port.clearError();
    if (!m_port.open(QIODevice::ReadWrite)) {
        const OpenFailure::Reason reason = OpenFailure::classify(m_port.error(), path);
        return refused(reason,
            OpenFailure::text(reason) + QStringLiteral("（") + path + QStringLiteral("：")
                + m_port.errorString() + QStringLiteral("）"));
    }
    // The framing setters' own verdicts are not trusted either way (a pseudo-terminal fails the
    // data bits although nothing is wrong); what the tty reports afterwards decides.
    bool applied = m_port.setBaudRate(line.baud);
    m_port.setDataBits(QSerialPort::DataBits(line.dataBits));
    m_port.setParity(qtParity(line.parity));
    m_port.setStopBits(line.twoStopBits ? QSerialPort::TwoStop : QSerialPort::OneStop);
    applied = applied && m_port.setFlowControl(QSerialPort::NoFlowControl)
        && framingHolds(m_port.handle(), line);
    if (!applied) {
        const QString why = m_port.errorString();
        m_port.close();
        return refused(OpenFailure::Reason::SettingsRefused,
            OpenFailure::text(OpenFailure::Reason::SettingsRefused) + QStringLiteral("（") + why
                + QStringLiteral("）"));
    }
    m_device = device;
    m_baud = line.baud;
    m_gather.reset();
    m_state = State::Open;
    return opened();
}

void QtSerialBackend::close()
{
    const bool wasOpen = m_port.isOpen();
    m_state = State::Closed;
    m_gather.reset();
    m_port.setReadBufferSize(0);
    m_queue.clear();
    m_sendPending = false;
    if (wasOpen) {
        // Discarding the driver's queues also keeps close() from waiting for a slow line to drain.
        m_port.clear(QSerialPort::AllDirections);
        m_port.close();
    }
}

void QtSerialBackend::write(const QByteArray& bytes)
{
    if (m_state != State::Open || bytes.isEmpty())
        return;
    m_queue.push_back({ bytes, 0 });
    m_sendPending = true;
    feed();
}

void QtSerialBackend::feed()
{
    while (m_state == State::Open && !m_queue.empty() && m_port.bytesToWrite() < feedChunkBytes) {
        Pending& front = m_queue.front();
        const qint64 count = std::min<qint64>(feedChunkBytes, front.bytes.size() - front.done);
        const qint64 written = m_port.write(front.bytes.constData() + front.done, count);
        front.done += count;
        if (front.done >= front.bytes.size())
            m_queue.pop_front();
        if (written < 0)
            return; // the port reports the failure through errorOccurred
    }
}

void QtSerialBackend::onBytesWritten(qint64 bytes)
{
    const qint64 at = steadyNowNs();
    if (m_state != State::Open)
        return;
    Q_EMIT sent(bytes);
    feed();
    if (m_sendPending && m_queue.empty() && m_port.bytesToWrite() == 0) {
        m_sendPending = false;
        Q_EMIT drained(at);
    }
}

void QtSerialBackend::setTimed(bool timed) { m_gather.setTimed(timed); }

void QtSerialBackend::onReadyRead()
{
    if (m_state == State::Open && !m_handingOn && m_port.bytesAvailable() > 0)
        m_gather.notified();
}

// While a quiet line's gather runs the port takes in one byte and then stops reading (a read
// buffer that is full pauses it), so the driver keeps the rest until here. A busy line's port
// keeps reading, and what it read is all there is.
void QtSerialBackend::handOn()
{
    if (m_state != State::Open)
        return;
    if (m_port.readBufferSize() != 0) {
        m_handingOn = true;
        m_port.setReadBufferSize(0);
        (void)m_port.waitForReadyRead(0);
        m_handingOn = false;
    }
    if (m_state != State::Open || m_port.bytesAvailable() <= 0)
        return;
    // The port has just read from the driver, in its own notification or in the pull above.
    const qint64 at = steadyNowNs();
    const QByteArray bytes = m_port.readAll();
    if (m_gather.handedOn(bytes.size(), m_baud) > busyGatherMs)
        m_port.setReadBufferSize(1);
    Q_EMIT received(bytes, at);
}

void QtSerialBackend::onError(QSerialPort::SerialPortError error)
{
    if (m_state != State::Open)
        return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // A vanished device keeps the descriptor readable and every read failing; closing from
        // inside the port's own notification is unsafe, so the close waits for the next turn of
        // the event loop and the errors in between are ignored.
        m_state = State::Lost;
        QMetaObject::invokeMethod(this, &QtSerialBackend::finishLoss, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void QtSerialBackend::finishLoss()
{
    if (m_state != State::Lost)
        return;
    close();
    Q_EMIT lost();
}

// Modem lines, hardware flow control and a break need a UART behind the tty; a port whose driver
// cannot even report its modem lines (a pseudo-terminal) has none.
SerialBackend::LineControls QtSerialBackend::lineControls() const
{
    if (m_state != State::Open)
        return {};
    int bits = 0;
    if (::ioctl(m_port.handle(), TIOCMGET, &bits) != 0)
        return SoftwareFlow;
    return Dtr | Rts | HardwareFlow | SoftwareFlow | Break;
}

// The port's own verdicts are dropped: a line it cannot set is left as it is, with no error.
void QtSerialBackend::setLines(bool dtr, bool rts)
{
    if (!lineControls().testFlag(Dtr))
        return;
    (void)m_port.setDataTerminalReady(dtr);
    if (m_port.flowControl() != QSerialPort::HardwareControl)
        (void)m_port.setRequestToSend(rts);
    m_port.clearError();
}

void QtSerialBackend::setFlowControl(FlowControl flow)
{
    const LineControls can = lineControls();
    if (flow == FlowControl::Hardware && can.testFlag(HardwareFlow))
        (void)m_port.setFlowControl(QSerialPort::HardwareControl);
    else if (flow == FlowControl::Software && can.testFlag(SoftwareFlow))
        (void)m_port.setFlowControl(QSerialPort::SoftwareControl);
    else
        (void)m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clearError();
}

// Held by a timer, not by tcsendbreak(), which would block the window for the whole break.
void QtSerialBackend::sendBreak(int ms)
{
    if (!lineControls().testFlag(Break) || m_port.isBreakEnabled())
        return;
    (void)m_port.setBreakEnabled(true);
    QTimer::singleShot(ms, this, [this] {
        if (m_state == State::Open)
            (void)m_port.setBreakEnabled(false);
        m_port.clearError();
    });
}

std::optional<ModemLines> QtSerialBackend::modemLines()
{
    int bits = 0;
    if (m_state != State::Open || ::ioctl(m_port.handle(), TIOCMGET, &bits) != 0)
        return std::nullopt;
    return ModemLines { (bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_CAR) != 0,
        (bits & TIOCM_RNG) != 0 };
}

namespace {
QString rs485Reason(int error)
{
    return QStringLiteral("此串口的驱动不支持 RS-485 自动收发（%1）")
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}
} // namespace

QString QtSerialBackend::rs485Refusal() const
{
    serial_rs485 conf {};
    if (m_state != State::Open)
        return QStringLiteral("串口没有打开");
    return ::ioctl(m_port.handle(), TIOCGRS485, &conf) == 0 ? QString() : rs485Reason(errno);
}

// What else the driver holds (a bus termination, RX during TX) is left as it was.
QString QtSerialBackend::setRs485(const Rs485Settings& settings)
{
    serial_rs485 conf {};
    if (m_state != State::Open)
        return QStringLiteral("串口没有打开");
    if (::ioctl(m_port.handle(), TIOCGRS485, &conf) != 0)
        return rs485Reason(errno);
    if (settings.enabled)
        conf.flags = (conf.flags | SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND)
            & ~__u32(SER_RS485_RTS_AFTER_SEND);
    else
        conf.flags &= ~__u32(SER_RS485_ENABLED);
    conf.delay_rts_before_send = __u32(settings.beforeMs);
    conf.delay_rts_after_send = __u32(settings.afterMs);
    if (::ioctl(m_port.handle(), TIOCSRS485, &conf) != 0)
        return rs485Reason(errno);
    return {};
}
