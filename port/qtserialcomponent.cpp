#include "port/qtserialcomponent.h"

#include "port/comnames.h"

#include <QStringList>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// Enough to keep the driver busy without holding a second copy of a large send.
constexpr qint64 feedChunkBytes = 64 * 1024;
constexpr qsizetype feedChunkChars = 16 * 1024;
// Arrivals are gathered this long before the receive event: a fast line then brings a few large
// reads instead of thousands of 4 KiB ones, each of which costs the window a display update.
constexpr int receiveGatherMs = 2;
// Device numbers of the pseudo-terminal slaves (/dev/pts/*).
constexpr unsigned unix98PtySlaveMajorFirst = 136;
constexpr unsigned unix98PtySlaveMajorLast = 143;

struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

std::optional<LineSettings> parseSettings(const QString& settings, std::string* why)
{
    const QStringList fields = settings.split(QLatin1Char(','));
    if (fields.size() != 4) {
        *why = "settings need four fields";
        return std::nullopt;
    }
    LineSettings line;

    const QString baud = fields.at(0).trimmed();
    bool digitsOnly = !baud.isEmpty();
    for (const QChar c : baud)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    bool ok = false;
    const qint64 rate = baud.toLongLong(&ok);
    if (!digitsOnly || !ok || rate <= 0 || rate > std::numeric_limits<qint32>::max()) {
        *why = "baud rate refused";
        return std::nullopt;
    }
    line.baud = qint32(rate);

    const QString parity = fields.at(1).trimmed().toUpper();
    if (parity == QLatin1String("N"))
        line.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("O"))
        line.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("E"))
        line.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("S"))
        line.parity = QSerialPort::SpaceParity;
    else if (parity == QLatin1String("M"))
        line.parity = QSerialPort::MarkParity;
    else {
        *why = "parity refused";
        return std::nullopt;
    }

    const QString dataBits = fields.at(2).trimmed();
    if (dataBits == QLatin1String("5"))
        line.dataBits = QSerialPort::Data5;
    else if (dataBits == QLatin1String("6"))
        line.dataBits = QSerialPort::Data6;
    else if (dataBits == QLatin1String("7"))
        line.dataBits = QSerialPort::Data7;
    else if (dataBits == QLatin1String("8"))
        line.dataBits = QSerialPort::Data8;
    else {
        *why = "data bits refused";
        return std::nullopt;
    }

    const QString stopBits = fields.at(3).trimmed();
    if (stopBits == QLatin1String("1"))
        line.stopBits = QSerialPort::OneStop;
    else if (stopBits == QLatin1String("2"))
        line.stopBits = QSerialPort::TwoStop;
    else if (stopBits == QLatin1String("1.5") && line.dataBits == QSerialPort::Data5)
        line.stopBits = QSerialPort::TwoStop;
    else {
        *why = "stop bits refused";
        return std::nullopt;
    }
    return line;
}

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

    tcflag_t size = CS8;
    switch (line.dataBits) {
    case QSerialPort::Data5:
        size = CS5;
        break;
    case QSerialPort::Data6:
        size = CS6;
        break;
    case QSerialPort::Data7:
        size = CS7;
        break;
    default:
        break;
    }
    tcflag_t parity = 0;
    tcflag_t parityMask = PARENB | PARODD | CMSPAR;
    switch (line.parity) {
    case QSerialPort::OddParity:
        parity = PARENB | PARODD;
        break;
    case QSerialPort::EvenParity:
        parity = PARENB;
        break;
    case QSerialPort::SpaceParity:
        parity = PARENB | CMSPAR;
        break;
    case QSerialPort::MarkParity:
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
    const bool twoStopBits = line.stopBits == QSerialPort::TwoStop;
    return (attributes.c_cflag & parityMask) == parity
        && ((attributes.c_cflag & CSTOPB) != 0) == twoStopBits;
}

} // namespace

QtSerialComponent::QtSerialComponent(QObject* parent)
    : SerialComponent(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialComponent::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &QtSerialComponent::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialComponent::onError);
    m_receiveGather.setSingleShot(true);
    m_receiveGather.setTimerType(Qt::PreciseTimer);
    m_receiveGather.setInterval(receiveGatherMs);
    connect(&m_receiveGather, &QTimer::timeout, this, &QtSerialComponent::raiseReceive);
}

QtSerialComponent::~QtSerialComponent()
{
    m_port.disconnect(this);
    closePort();
}

void QtSerialComponent::setCommPort(int port)
{
    if (m_state != State::Closed)
        throw SerialError("CommPort written while the port is open");
    m_commPort = port;
}

void QtSerialComponent::setSettings(const QString& settings)
{
    if (m_state != State::Closed)
        throw SerialError("Settings written while the port is open");
    m_settings = settings;
}

void QtSerialComponent::setInBufferCount(int count)
{
    if (count != 0 || m_state != State::Open)
        return;
    m_port.clear(QSerialPort::Input);
    m_decoder.reset();
}

void QtSerialComponent::setOutBufferCount(int count)
{
    if (count != 0)
        return;
    m_queue.clear();
    m_sendPending = false;
    if (m_state == State::Open)
        m_port.clear(QSerialPort::Output);
}

qint64 QtSerialComponent::inBufferCount() const
{
    return m_state == State::Open ? m_port.bytesAvailable() : 0;
}

qint64 QtSerialComponent::outBufferCount() const
{
    if (m_state != State::Open)
        return 0;
    qint64 count = m_port.bytesToWrite();
    for (const Pending& pending : m_queue) {
        count += pending.isText
            ? CodePage::byteLength(QStringView(pending.text).sliced(pending.done))
            : pending.bytes.size() - pending.done;
    }
    return count;
}

void QtSerialComponent::setPortOpen(bool open)
{
    if (!open) {
        closePort();
        return;
    }
    if (m_state == State::Open)
        throw SerialError("the port is already open");
    if (m_state == State::Lost)
        closePort(); // asked to open before the loss was announced: the new open wins

    std::string why;
    const std::optional<LineSettings> line = parseSettings(m_settings, &why);
    if (!line)
        throw SerialError(why);
    const QString path = ComNames::resolve(m_commPort);
    if (path.isEmpty())
        throw SerialError("no such port");

    m_port.setPortName(path);
    m_port.clearError();
    if (!m_port.open(QIODevice::ReadWrite))
        throw SerialError("open refused: " + m_port.errorString().toStdString());
    // The framing setters' own verdicts are not trusted either way (a pseudo-terminal fails the
    // data bits although nothing is wrong); what the tty reports afterwards decides.
    bool applied = m_port.setBaudRate(line->baud);
    m_port.setDataBits(line->dataBits);
    m_port.setParity(line->parity);
    m_port.setStopBits(line->stopBits);
    applied = applied && m_port.setFlowControl(QSerialPort::NoFlowControl)
        && framingHolds(m_port.handle(), *line);
    if (!applied) {
        const std::string reason = m_port.errorString().toStdString();
        m_port.close();
        throw SerialError("settings refused by the driver: " + reason);
    }
    m_decoder.reset();
    m_devicePath = path;
    m_state = State::Open;
}

void QtSerialComponent::closePort()
{
    const bool wasOpen = m_port.isOpen();
    m_state = State::Closed;
    m_receiveGather.stop();
    m_queue.clear();
    m_sendPending = false;
    if (wasOpen) {
        // Discarding the driver's queues also keeps close() from waiting for a slow line to drain.
        m_port.clear(QSerialPort::AllDirections);
        m_port.close();
    }
    m_decoder.reset();
}

void QtSerialComponent::output(const QString& text)
{
    if (m_state != State::Open)
        throw SerialError("the port is closed");
    if (!text.isEmpty())
        queue({ {}, text, 0, true });
}

void QtSerialComponent::output(const QByteArray& bytes)
{
    if (m_state != State::Open)
        throw SerialError("the port is closed");
    if (!bytes.isEmpty())
        queue({ bytes, {}, 0, false });
}

void QtSerialComponent::queue(Pending pending)
{
    m_queue.push_back(std::move(pending));
    m_sendPending = true;
    feed();
}

void QtSerialComponent::feed()
{
    while (m_state == State::Open && !m_queue.empty() && m_port.bytesToWrite() < feedChunkBytes) {
        Pending& front = m_queue.front();
        qint64 written = 0;
        if (front.isText) {
            qsizetype count = std::min(feedChunkChars, front.text.size() - front.done);
            const qsizetype end = front.done + count;
            if (end < front.text.size() && front.text.at(end - 1).isHighSurrogate())
                --count; // keep a surrogate pair in one piece
            const QByteArray piece
                = CodePage::encode(QStringView(front.text).sliced(front.done, count));
            written = piece.isEmpty() ? 0 : m_port.write(piece);
            front.done += count;
            if (front.done >= front.text.size())
                m_queue.pop_front();
        } else {
            const qint64 count = std::min<qint64>(feedChunkBytes, front.bytes.size() - front.done);
            written = m_port.write(front.bytes.constData() + front.done, count);
            front.done += count;
            if (front.done >= front.bytes.size())
                m_queue.pop_front();
        }
        if (written < 0)
            return; // the port reports the failure through errorOccurred
    }
}

void QtSerialComponent::onBytesWritten()
{
    if (m_state != State::Open)
        return;
    feed();
    if (m_sendPending && m_queue.empty() && m_port.bytesToWrite() == 0) {
        m_sendPending = false;
        raiseComm(EventSend);
    }
}

void QtSerialComponent::onReadyRead()
{
    if (m_state == State::Open && m_port.bytesAvailable() > 0 && !m_receiveGather.isActive())
        m_receiveGather.start();
}

void QtSerialComponent::raiseReceive()
{
    if (m_state == State::Open && m_port.bytesAvailable() > 0)
        raiseComm(EventReceive);
}

void QtSerialComponent::onError(QSerialPort::SerialPortError error)
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
        QMetaObject::invokeMethod(this, &QtSerialComponent::finishLoss, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void QtSerialComponent::finishLoss()
{
    if (m_state != State::Lost)
        return;
    closePort();
    raiseComm(EventDeviceLost);
}

QString QtSerialComponent::inputText(qint64* byteCount)
{
    const QByteArray bytes = m_state == State::Open ? m_port.readAll() : QByteArray();
    if (byteCount)
        *byteCount = bytes.size();
    return m_decoder.decode(bytes);
}

QByteArray QtSerialComponent::inputBytes()
{
    if (m_state != State::Open)
        return {};
    // A character half-read as text is not completed by bytes taken raw.
    m_decoder.reset();
    return m_port.readAll();
}
