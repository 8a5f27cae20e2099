// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// portlark-simdevice: a serial device on a pseudo-terminal, published as COMn.
//
// The slave side is what the program opens; this process plays the device on the master side.
// It keeps its own descriptor on the slave, in raw mode, so the line settings never fall back to
// a cooked terminal between two openings and nothing is lost while nobody has the port open.
// The heartbeat and the bulk data are produced only while a program holds the port in exclusive
// mode, as QSerialPort does (on a kernel that cannot tell, always); echoes always go back.
#include "port/codepage.h"
#include "tools/simdevice/streams.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qsizetype refillBelow = 64 * 1024;
constexpr int idlePollMs = 20;

int signalPipe[2] = { -1, -1 };

// The heartbeat as the program reads it by default (the system code page): in Chinese where the
// code page holds it, simplified or traditional, otherwise in English.
QString heartbeatText()
{
    for (const QString& text : { QStringLiteral("设备心跳"), QStringLiteral("設備心跳") }) {
        if (CodePage::decode(CodePage::encode(text)) == text)
            return text + QStringLiteral(" #%1\r\n");
    }
    return QStringLiteral("device heartbeat #%1\r\n");
}

void onSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

qint64 nowMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void fail(const QString& message)
{
    std::fprintf(stderr, "portlark-simdevice: %s\n", message.toLocal8Bit().constData());
}

struct Options {
    QString devices;
    int com = 1;
    bool quiet = false;
    qint64 sendText = 0;
    qint64 sendBinary = 0;
    qint64 rate = 0; // bytes per second, 0: as fast as the tty takes them
    QString report;
};

bool readCount(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 minimum,
    qint64* value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    *value = parser.value(option).toLongLong(&ok);
    if (ok && *value >= minimum)
        return true;
    fail(QStringLiteral("--%1 needs a whole number of at least %2")
             .arg(option.names().constFirst())
             .arg(minimum));
    return false;
}

bool parseOptions(const QCoreApplication& application, Options* options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated serial device on a pseudo-terminal: it echoes what it receives and sends a "
        "heartbeat line every second in the system code page. Prints \"ready <slave path>\" "
        "once the link is in place and \"sent <bytes>\" when a bulk send has been handed to the "
        "tty. Stops on SIGINT, SIGTERM or when a piped stdin closes."));
    parser.addHelpOption();
    const QCommandLineOption devices(QStringLiteral("devices"),
        QStringLiteral("Folder to put the link comN in (created if needed)."),
        QStringLiteral("DIR"));
    const QCommandLineOption com(QStringLiteral("com"),
        QStringLiteral("Port number N of the link comN (default 1)."), QStringLiteral("N"));
    const QCommandLineOption quiet(
        QStringLiteral("quiet"), QStringLiteral("No periodic heartbeat line."));
    const QCommandLineOption sendText(QStringLiteral("send-text"),
        QStringLiteral("Send BYTES of text: lines of 80 printable ASCII characters and CR LF."),
        QStringLiteral("BYTES"));
    const QCommandLineOption sendBinary(QStringLiteral("send-binary"),
        QStringLiteral("Send BYTES of pseudo-random binary data (fixed seed)."),
        QStringLiteral("BYTES"));
    const QCommandLineOption rate(QStringLiteral("rate"),
        QStringLiteral("Pace the bulk send at BYTES_PER_SEC."), QStringLiteral("BYTES_PER_SEC"));
    const QCommandLineOption report(QStringLiteral("report"),
        QStringLiteral("On exit, write \"<bytes received> <FNV-1a 64 in hex>\" to FILE."),
        QStringLiteral("FILE"));
    parser.addOptions({ devices, com, quiet, sendText, sendBinary, rate, report });
    parser.process(application);

    if (!parser.positionalArguments().isEmpty()) {
        fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
        return false;
    }
    if (!parser.isSet(devices) || parser.value(devices).isEmpty()) {
        fail(QStringLiteral("--devices DIR is required"));
        return false;
    }
    options->devices = parser.value(devices);
    options->quiet = parser.isSet(quiet);
    options->report = parser.value(report);
    qint64 number = 1;
    if (!readCount(parser, com, 1, &number) || !readCount(parser, sendText, 0, &options->sendText)
        || !readCount(parser, sendBinary, 0, &options->sendBinary)
        || !readCount(parser, rate, 1, &options->rate))
        return false;
    if (number > 255) {
        fail(QStringLiteral("--com takes 1 to 255"));
        return false;
    }
    options->com = int(number);
    if (parser.isSet(sendText) && parser.isSet(sendBinary)) {
        fail(QStringLiteral("--send-text and --send-binary exclude each other"));
        return false;
    }
    return true;
}

// The bulk data, produced on demand.
class Bulk {
public:
    Bulk(qint64 total, bool binary)
        : m_total(total)
        , m_binary(binary)
    {
    }
    bool active() const { return m_produced < m_total; }
    qint64 total() const { return m_total; }
    qint64 produced() const { return m_produced; }
    void appendTo(QByteArray* out, qint64 count)
    {
        count = std::min(count, m_total - m_produced);
        const qsizetype at = out->size();
        out->resize(at + count);
        char* data = out->data() + at;
        if (m_binary) {
            m_stream.fill(data, std::size_t(count));
        } else {
            for (qint64 i = 0; i < count; ++i)
                data[i] = SimStreams::textByte(std::uint64_t(m_produced + i));
        }
        m_produced += count;
    }

private:
    qint64 m_total;
    bool m_binary;
    qint64 m_produced = 0;
    SimStreams::BinaryStream m_stream;
};

class Device {
public:
    explicit Device(const Options& options)
        : m_options(options)
        , m_bulk(options.sendBinary > 0 ? options.sendBinary : options.sendText,
              options.sendBinary > 0)
    {
    }
    ~Device();
    bool start();
    void run();
    void finish();

private:
    bool programListening() const;
    bool readFromProgram();
    bool writeToProgram();
    int nextTimeout(qint64 now, bool listening) const;

    Options m_options;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_link;
    bool m_watchStdin = false;

    Bulk m_bulk;
    qint64 m_bulkClock = 0; // when the paced bulk send would have started at its rate
    bool m_bulkReported = false;
    bool m_wasListening = false;
    qint64 m_nextBeat = 0;
    int m_beats = 0;
    QByteArray m_out;
    qsizetype m_outDone = 0;

    qint64 m_received = 0;
    SimStreams::Fnv1a64 m_hash;
};

Device::~Device()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool Device::start()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        fail(QStringLiteral("cannot open a pseudo-terminal: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    termios raw {};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(m_slave, TCSANOW, &raw);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    if (!QDir().mkpath(m_options.devices)) {
        fail(QStringLiteral("cannot create %1").arg(m_options.devices));
        return false;
    }
    // A fresh link renamed over the old one: a reader never sees the name missing.
    m_link = QDir(m_options.devices).filePath(QStringLiteral("com%1").arg(m_options.com));
    const QByteArray link = QFile::encodeName(m_link);
    const QByteArray staging = link + ".new." + QByteArray::number(qint64(::getpid()));
    ::unlink(staging.constData());
    if (::symlink(name, staging.constData()) != 0
        || ::rename(staging.constData(), link.constData()) != 0) {
        fail(QStringLiteral("cannot link %1: %2")
                 .arg(m_link, QString::fromLocal8Bit(std::strerror(errno))));
        ::unlink(staging.constData());
        m_link.clear();
        return false;
    }

    struct stat input { };
    // Only a pipe or socket: a terminal would stop a background job that reads it, and
    // /dev/null is closed from the start.
    m_watchStdin = ::fstat(STDIN_FILENO, &input) == 0
        && (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode));

    std::printf("ready %s\n", name);
    std::fflush(stdout);
    return true;
}

bool Device::programListening() const
{
#ifdef TIOCGEXCL
    int exclusive = 0;
    if (::ioctl(m_slave, TIOCGEXCL, &exclusive) == 0)
        return exclusive != 0;
#endif
    return true;
}

bool Device::readFromProgram()
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_received += n;
            m_hash.add(buffer, std::size_t(n));
            m_out.append(buffer, n); // echo
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool Device::writeToProgram()
{
    while (m_outDone < m_out.size()) {
        const ssize_t n
            = ::write(m_master, m_out.constData() + m_outDone, m_out.size() - m_outDone);
        if (n > 0) {
            m_outDone += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return false;
    }
    if (m_outDone == m_out.size()) {
        m_out.clear();
        m_outDone = 0;
    } else if (m_outDone > 4 * refillBelow) {
        m_out.remove(0, m_outDone);
        m_outDone = 0;
    }
    return true;
}

int Device::nextTimeout(qint64 now, bool listening) const
{
    if (!listening)
        return idlePollMs;
    qint64 timeout = -1;
    auto sooner = [&](qint64 ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
    if (!m_options.quiet && !m_bulk.active())
        sooner(std::max<qint64>(0, m_nextBeat - now));
    if (m_bulk.active() && m_options.rate > 0) {
        const qint64 due = m_bulkClock + (m_bulk.produced() + 1) * 1000 / m_options.rate;
        sooner(std::max<qint64>(1, due - now));
    }
    sooner(1000);
    return int(timeout);
}

void Device::run()
{
    const QString beat = heartbeatText();
    bool stopping = false;
    while (!stopping) {
        const qint64 now = nowMs();
        const bool listening = programListening();
        if (listening && !m_wasListening) {
            m_nextBeat = now + 1000;
            if (m_options.rate > 0)
                m_bulkClock = now - m_bulk.produced() * 1000 / m_options.rate;
        }
        m_wasListening = listening;

        if (!readFromProgram()) {
            fail(QStringLiteral("the pseudo-terminal failed"));
            return;
        }
        if (listening && !m_options.quiet && !m_bulk.active() && now >= m_nextBeat) {
            const QByteArray line = CodePage::encode(beat.arg(++m_beats));
            m_out += line;
            m_nextBeat = std::max(m_nextBeat + 1000, now + 1);
        }
        if (listening && m_bulk.active() && m_out.size() - m_outDone < refillBelow) {
            qint64 allowed = refillBelow;
            if (m_options.rate > 0)
                allowed = std::min(
                    allowed, (now - m_bulkClock) * m_options.rate / 1000 - m_bulk.produced());
            if (allowed > 0)
                m_bulk.appendTo(&m_out, allowed);
        }
        if (!writeToProgram()) {
            fail(QStringLiteral("the pseudo-terminal failed"));
            return;
        }
        if (m_bulk.total() > 0 && !m_bulk.active() && !m_bulkReported && m_out.isEmpty()) {
            m_bulkReported = true;
            std::printf("sent %lld\n", static_cast<long long>(m_bulk.total()));
            std::fflush(stdout);
        }

        pollfd fds[3] = {};
        nfds_t count = 0;
        fds[count++] = { signalPipe[0], POLLIN, 0 };
        fds[count++] = { m_master, short(POLLIN | (m_out.isEmpty() ? 0 : POLLOUT)), 0 };
        if (m_watchStdin)
            fds[count++] = { STDIN_FILENO, POLLIN, 0 };
        if (::poll(fds, count, nextTimeout(nowMs(), listening)) < 0 && errno != EINTR) {
            fail(QStringLiteral("poll failed"));
            return;
        }
        if (fds[0].revents)
            stopping = true;
        if (m_watchStdin && fds[2].revents) {
            char discard[4096];
            const ssize_t n = ::read(STDIN_FILENO, discard, sizeof discard);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                stopping = true;
        }
    }
}

void Device::finish()
{
    if (!m_link.isEmpty()) {
        // Only our own link: another device may have taken the name since.
        const QByteArray link = QFile::encodeName(m_link);
        char target[4096] = {};
        const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
        if (length > 0 && QString::fromLocal8Bit(target, length) == m_slavePath)
            ::unlink(link.constData());
    }
    if (!m_options.report.isEmpty()) {
        QFile report(m_options.report);
        if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            fail(QStringLiteral("cannot write %1").arg(m_options.report));
            return;
        }
        char line[64];
        const int length = std::snprintf(line, sizeof line, "%lld %016llx\n",
            static_cast<long long>(m_received), static_cast<unsigned long long>(m_hash.value()));
        report.write(line, length);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("portlark-simdevice"));
    Options options;
    if (!parseOptions(application, &options))
        return 2;

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    struct sigaction action { };
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Device device(options);
    if (!device.start()) {
        device.finish();
        return 1;
    }
    device.run();
    device.finish();
    return 0;
}
