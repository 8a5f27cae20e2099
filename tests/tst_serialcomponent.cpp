// The real serial component against a pseudo-terminal: the test plays the device on the master
// side, COM1 is a link to the slave in a private devices folder.
#include "port/codepage.h"
#include "port/comnames.h"
#include "port/qtserialcomponent.h"
#include "support/pty.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {

// Descriptors of this process open on the given device.
int descriptorsOn(dev_t device)
{
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System);
    for (const QString& entry : entries) {
        struct stat info { };
        if (::stat(QFile::encodeName(QStringLiteral("/proc/self/fd/") + entry).constData(), &info)
                == 0
            && S_ISCHR(info.st_mode) && info.st_rdev == device)
            ++count;
    }
    return count;
}

} // namespace

class SerialComponentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void refusedOpen_data();
    void refusedOpen();
    void settingsReachTheTty_data();
    void settingsReachTheTty();
    void textInput_data();
    void textInput();
    void rawBytesBothWays();
    void sendEventOncePerDrain_data();
    void sendEventOncePerDrain();
    void largeOutput_data();
    void largeOutput();
    void staleInputDropped_data();
    void staleInputDropped();
    void deviceLoss_data();
    void deviceLoss();

private:
    void linkCom(int port, const QString& target);
    bool openDefault(const QString& settings = QStringLiteral("9600,N,8,1"));

    QTemporaryDir m_config;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QtSerialComponent> m_serial;
    QList<int> m_events;
};

void SerialComponentTest::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    CodePage::setSystemOverride("GBK");
}

void SerialComponentTest::init()
{
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isOpen());
    linkCom(1, m_pty->slavePath());
    m_serial = std::make_unique<QtSerialComponent>();
    m_events.clear();
    connect(m_serial.get(), &SerialComponent::onComm, this,
        [this] { m_events.append(m_serial->commEvent()); });
}

void SerialComponentTest::cleanup()
{
    m_serial.reset();
    m_pty.reset();
}

void SerialComponentTest::linkCom(int port, const QString& target)
{
    const QString folder = ComNames::devicesFolder();
    QVERIFY(QDir().mkpath(folder));
    const QString link = folder + QStringLiteral("/com") + QString::number(port);
    QFile::remove(link);
    QVERIFY(QFile::link(target, link));
}

bool SerialComponentTest::openDefault(const QString& settings)
{
    m_serial->setCommPort(1);
    m_serial->setSettings(settings);
    m_serial->setPortOpen(true);
    return m_serial->portOpen();
}

void SerialComponentTest::refusedOpen_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");

    QTest::newRow("port 0") << 0 << QStringLiteral("9600,N,8,1");
    QTest::newRow("no link and no such port") << 250 << QStringLiteral("9600,N,8,1");
    QTest::newRow("link to a vanished device") << 7 << QStringLiteral("9600,N,8,1");
    QTest::newRow("link to a file that is no tty") << 8 << QStringLiteral("9600,N,8,1");
    QTest::newRow("parity X") << 1 << QStringLiteral("9600,X,8,1");
    QTest::newRow("data bits 9") << 1 << QStringLiteral("9600,N,9,1");
    QTest::newRow("stop bits 3") << 1 << QStringLiteral("9600,N,8,3");
    QTest::newRow("1.5 stop bits with 8 data bits") << 1 << QStringLiteral("9600,N,8,1.5");
    QTest::newRow("baud 0") << 1 << QStringLiteral("0,N,8,1");
    QTest::newRow("baud abc") << 1 << QStringLiteral("abc,N,8,1");
    QTest::newRow("fractional baud") << 1 << QStringLiteral("9600.5,N,8,1");
    QTest::newRow("baud beyond 32 bits") << 1 << QStringLiteral("4294967296,N,8,1");
    QTest::newRow("three fields") << 1 << QStringLiteral("9600,N,8");
}

void SerialComponentTest::refusedOpen()
{
    QFETCH(int, port);
    QFETCH(QString, settings);
    linkCom(7, QDir(m_config.path()).filePath(QStringLiteral("gone")));
    QFile plain(QDir(m_config.path()).filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    linkCom(8, plain.fileName());

    m_serial->setCommPort(port);
    m_serial->setSettings(settings);
    QVERIFY_THROWS_EXCEPTION(SerialError, m_serial->setPortOpen(true));
    QVERIFY(!m_serial->portOpen());
    QVERIFY_THROWS_EXCEPTION(SerialError, m_serial->output(QByteArray("x")));

    // A refusal leaves nothing behind that would stop a good open; once open, the port and its
    // settings are locked.
    QVERIFY(openDefault());
    QCOMPARE(m_serial->devicePath(), QFileInfo(m_pty->slavePath()).canonicalFilePath());
    QVERIFY_THROWS_EXCEPTION(SerialError, m_serial->setCommPort(2));
    QVERIFY_THROWS_EXCEPTION(SerialError, m_serial->setSettings(QStringLiteral("300,N,8,1")));
    QVERIFY_THROWS_EXCEPTION(SerialError, m_serial->setPortOpen(true));
    QVERIFY(m_serial->portOpen());
}

void SerialComponentTest::settingsReachTheTty_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<qint64>("baud");
    QTest::addColumn<uint>("characterSize");
    QTest::addColumn<uint>("parityFlags");
    QTest::addColumn<bool>("twoStopBits");

    // Named by the settings string; 1.5 stop bits with 5-bit words are two stop bits to termios.
    auto row = [](const char* settings, qint64 baud, tcflag_t size, tcflag_t parity, bool two) {
        QTest::newRow(settings) << QString::fromLatin1(settings) << baud << uint(size)
                                << uint(parity) << two;
    };
    row("9600,N,8,1", 9600, CS8, 0, false);
    row("19200,O,7,2", 19200, CS7, PARENB | PARODD, true);
    row("300,S,8,1", 300, CS8, PARENB | CMSPAR, false);
    row("1200,M,8,2", 1200, CS8, PARENB | CMSPAR | PARODD, true);
    row("4800,N,5,1.5", 4800, CS5, 0, true);
    row("2400,e,6,1", 2400, CS6, PARENB, false);
    row("250000,N,8,1", 250000, CS8, 0, false);
}

void SerialComponentTest::settingsReachTheTty()
{
    QFETCH(QString, settings);
    QFETCH(qint64, baud);
    QFETCH(uint, characterSize);
    QFETCH(uint, parityFlags);
    QFETCH(bool, twoStopBits);

    QVERIFY(openDefault(settings));
    const termios attributes = m_pty->attributes();
    QCOMPARE(m_pty->baudRate(), baud);
    // A pseudo-terminal's driver reports every word as 8 bits and parity as disabled, whatever
    // was set; it keeps the parity sense bits, the stop bits and the speed.
    if ((attributes.c_cflag & CSIZE) != CS8 || (attributes.c_cflag & PARENB))
        QCOMPARE(uint(attributes.c_cflag & CSIZE), characterSize);
    QCOMPARE(uint(attributes.c_cflag & (PARODD | CMSPAR)), parityFlags & ~uint(PARENB));
    QCOMPARE(bool(attributes.c_cflag & CSTOPB), twoStopBits);
    QCOMPARE(uint(attributes.c_iflag & (IXON | IXOFF)), 0u);
    QCOMPARE(uint(attributes.c_cflag & CRTSCTS), 0u);
}

void SerialComponentTest::textInput_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("textAfterEach");

    QTest::newRow("ASCII with CR LF")
        << QList<QByteArray> { "AB\r\n" } << QStringList { QStringLiteral("AB\r\n") };
    const QByteArray trailAndB = QByteArray("\xD0") + 'B';
    QTest::newRow("GBK character split across two writes") << QList<QByteArray> { "A\xD6",
        trailAndB } << QStringList { QStringLiteral("A"), QStringLiteral("A中B") };
    QTest::newRow("lead byte alone, then the rest of two characters") << QList<QByteArray> { "\xD6",
        "\xD0\xCE\xC4" } << QStringList { QString(), QStringLiteral("中文") };
}

void SerialComponentTest::textInput()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, textAfterEach);

    QString text;
    qint64 consumed = 0;
    connect(m_serial.get(), &SerialComponent::onComm, this, [&] {
        if (m_serial->commEvent() != SerialComponent::EventReceive)
            return;
        qint64 count = 0;
        text += m_serial->inputText(&count);
        consumed += count;
    });
    QVERIFY(openDefault());
    m_serial->setInputMode(SerialComponent::InputText);

    qint64 written = 0;
    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY(m_pty->write(pieces.at(i)));
        written += pieces.at(i).size();
        QTRY_COMPARE(consumed, written);
        QCOMPARE(text, textAfterEach.at(i));
    }
    QVERIFY(!m_events.isEmpty());
    QCOMPARE(m_events.count(SerialComponent::EventReceive), m_events.size());
}

void SerialComponentTest::rawBytesBothWays()
{
    // Nothing in between treats a byte as a control character: not CR, LF, XON, XOFF or 0xFF.
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));

    QByteArray received;
    connect(m_serial.get(), &SerialComponent::onComm, this, [&] {
        if (m_serial->commEvent() == SerialComponent::EventReceive)
            received += m_serial->input().toByteArray();
    });
    QVERIFY(openDefault());
    m_serial->setInputMode(SerialComponent::InputBinary);

    QVERIFY(m_pty->write(bytes));
    QTRY_COMPARE(received.size(), bytes.size());
    QCOMPARE(received, bytes);

    m_serial->output(bytes);
    QCOMPARE(m_pty->readPumping(bytes.size()), bytes);
}

void SerialComponentTest::sendEventOncePerDrain_data()
{
    QTest::addColumn<QVariantList>("writes");
    QTest::addColumn<QByteArray>("onTheLine");

    QTest::newRow("one write") << QVariantList { QByteArray("hello") } << QByteArray("hello");
    QTest::newRow("two writes queued together")
        << QVariantList { QByteArray("ab"), QByteArray("cd") } << QByteArray("abcd");
    QTest::newRow("text goes out in the system code page")
        << QVariantList { QStringLiteral("中文 ok") } << QByteArray("\xD6\xD0\xCE\xC4 ok");
}

void SerialComponentTest::sendEventOncePerDrain()
{
    QFETCH(QVariantList, writes);
    QFETCH(QByteArray, onTheLine);

    QVERIFY(openDefault());
    for (const QVariant& write : writes) {
        if (write.typeId() == QMetaType::QString)
            m_serial->output(write.toString());
        else
            m_serial->output(write.toByteArray());
    }
    // Queued writes return at once; the event comes from the event loop.
    QVERIFY(m_events.isEmpty());
    QCOMPARE(m_pty->readPumping(onTheLine.size()), onTheLine);
    QTRY_COMPARE(m_events, QList<int> { SerialComponent::EventSend });

    // A later write gets its own event, and no late one from the first batch comes before it.
    m_serial->output(QByteArray("z"));
    QCOMPARE(m_pty->readPumping(1), QByteArray("z"));
    QTRY_COMPARE(m_events, (QList<int> { SerialComponent::EventSend, SerialComponent::EventSend }));
}

void SerialComponentTest::largeOutput_data()
{
    QTest::addColumn<QVariant>("data");

    QByteArray binary(8 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 131 + i / 251) & 0xFF);
    QTest::newRow("8 MiB of bytes") << QVariant(binary);

    // GBK text with characters outside the code page, one of them straddling the edge of a
    // piece.
    QString text = QString(16383, QLatin1Char('x')) + QStringLiteral("😀Ā");
    while (text.size() < 300000)
        text += QStringLiteral("设备数据 line %1 中文😀\r\n").arg(text.size());
    QTest::newRow("text over many pieces") << QVariant(text);
}

void SerialComponentTest::largeOutput()
{
    QFETCH(QVariant, data);

    QList<qint64> outstandingAtSendEvent;
    connect(m_serial.get(), &SerialComponent::onComm, this, [&] {
        if (m_serial->commEvent() == SerialComponent::EventSend)
            outstandingAtSendEvent.append(m_serial->outBufferCount());
    });
    QVERIFY(openDefault());
    QByteArray expected;
    if (data.typeId() == QMetaType::QString) {
        const QString text = data.toString();
        expected = CodePage::encode(text);
        m_serial->output(text);
    } else {
        const QByteArray bytes = data.toByteArray();
        expected = bytes;
        m_serial->output(bytes);
        // Queued by reference: the caller's array is shared, not copied.
        QVERIFY(!bytes.isDetached());
    }
    QVERIFY(m_serial->outBufferCount() > 0);
    const QByteArray received = m_pty->readPumping(expected.size(), 60000);
    QCOMPARE(received.size(), expected.size());
    QVERIFY(received == expected);
    QTRY_COMPARE(m_events, QList<int> { SerialComponent::EventSend });
    QCOMPARE(outstandingAtSendEvent, QList<qint64> { 0 });
}

void SerialComponentTest::staleInputDropped_data()
{
    QTest::addColumn<bool>("reopen");

    QTest::newRow("InBufferCount 0 while open") << false;
    QTest::newRow("closed and opened again") << true;
}

void SerialComponentTest::staleInputDropped()
{
    QFETCH(bool, reopen);

    QVERIFY(openDefault());
    m_serial->setInputMode(SerialComponent::InputText);
    // The read keeps half a character back; it must not join what comes after the drop.
    QVERIFY(m_pty->write("stale\xD6"));
    QTRY_COMPARE(m_serial->inBufferCount(), qint64(6));
    qint64 consumed = 0;
    QCOMPARE(m_serial->inputText(&consumed), QStringLiteral("stale"));
    QCOMPARE(consumed, qint64(6));
    QVERIFY(m_pty->write("old"));
    QTRY_COMPARE(m_serial->inBufferCount(), qint64(3));

    if (reopen) {
        m_serial->setPortOpen(false);
        m_serial->setPortOpen(true);
    } else {
        m_serial->setInBufferCount(0);
    }
    QCOMPARE(m_serial->inBufferCount(), qint64(0));

    QVERIFY(m_pty->write("\xD0\r\nnew"));
    QTRY_COMPARE(m_serial->inBufferCount(), qint64(6));
    const QString fresh = m_serial->inputText(&consumed);
    QCOMPARE(consumed, qint64(6));
    QVERIFY2(fresh.endsWith(QStringLiteral("new")) && !fresh.contains(QStringLiteral("中")),
        qPrintable(fresh));
}

void SerialComponentTest::deviceLoss_data()
{
    QTest::addColumn<qsizetype>("pendingOutput");

    QTest::newRow("idle port") << qsizetype(0);
    QTest::newRow("large write pending") << qsizetype(2 * 1024 * 1024);
}

void SerialComponentTest::deviceLoss()
{
    QFETCH(qsizetype, pendingOutput);

    QVERIFY(openDefault());
    struct stat device { };
    QCOMPARE(::stat(QFile::encodeName(m_pty->slavePath()).constData(), &device), 0);
    const int heldBeforeOpen = descriptorsOn(device.st_rdev) - 1;
    if (pendingOutput > 0)
        m_serial->output(QByteArray(pendingOutput, 'p'));

    m_pty->closeMaster();
    QTRY_VERIFY(m_events.contains(SerialComponent::EventDeviceLost));
    QVERIFY(!m_serial->portOpen());
    QCOMPARE(descriptorsOn(device.st_rdev), heldBeforeOpen);
    QVERIFY_THROWS_EXCEPTION(SerialError, m_serial->output(QByteArray("x")));

    // Let the event loop turn many times: a port still spinning on a dead descriptor would
    // raise more events in the meantime.
    int turns = 0;
    QTimer turner;
    connect(&turner, &QTimer::timeout, this, [&] { ++turns; });
    turner.start(0);
    QTRY_VERIFY(turns >= 200);
    turner.stop();
    QCOMPARE(m_events.count(SerialComponent::EventDeviceLost), 1);
    QCOMPARE(m_events.count(SerialComponent::EventSend), 0);

    // The device comes back on a new pseudo-terminal.
    m_pty = std::make_unique<PtyPair>();
    linkCom(1, m_pty->slavePath());
    m_serial->setPortOpen(true);
    QVERIFY(m_serial->portOpen());
    m_serial->setInputMode(SerialComponent::InputBinary);
    QVERIFY(m_pty->write("back"));
    QTRY_COMPARE(m_serial->inBufferCount(), qint64(4));
    QCOMPARE(m_serial->inputBytes(), QByteArray("back"));
    m_serial->output(QByteArray("again"));
    QCOMPARE(m_pty->readPumping(5), QByteArray("again"));
}

QTEST_GUILESS_MAIN(SerialComponentTest)
#include "tst_serialcomponent.moc"
