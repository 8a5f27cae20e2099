// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// The serial component: its own rules over a fake device, then the real port against a
// pseudo-terminal, where the test plays the device on the master side and COM1 is a link to the
// slave in a private devices folder.
#include "port/codepage.h"
#include "port/comnames.h"
#include "port/openfailure.h"
#include "port/portsession.h"
#include "port/qtserialbackend.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class SerialComponentTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QtSerialComponent> m_serial;
    QList<int> m_events;

    void linkCom(int port, const QString& target)
    {
        const QString link = ComNames::devicesFolder() + u"/com%1"_s.arg(port);
        QFile::remove(link);
        QVERIFY(QFile::link(target, link));
    }
    // "9600,N,8,1" on a port.
    static PortArguments arguments(int port, const QString& settings)
    {
        const QStringList f = settings.split(u',');
        return { quint8(port), f.value(0), f.value(1), qint16(f.value(2).toShort()), f.value(3) };
    }
    bool openCom1(const QString& settings = u"9600,N,8,1"_s)
    {
        return m_serial->setSettings(arguments(1, settings)) && m_serial->setPortOpen(true)
            && m_serial->portOpen();
    }
    static int openDescriptors() { return int(QDir(u"/proc/self/fd"_s).count()); }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(QDir().mkpath(ComNames::devicesFolder()));
        CodePage::setSystemOverride("GBK");
    }

    void init()
    {
        m_serial.reset(); // before the device it was open on
        m_pty = std::make_unique<PtyPair>();
        linkCom(1, m_pty->slavePath());
        m_serial = std::make_unique<QtSerialComponent>();
        m_events.clear();
        connect(m_serial.get(), &SerialComponent::onComm, this,
            [this](int event) { m_events.append(event); });
    }

    // What reaches the device is decided above it, so the fake cannot accept what the port would
    // refuse; a read as bytes leads with a character half-read as text, counted once; a write that
    // would take the pending output past OutBufferSize is refused unless the queue is empty; only
    // bytes that leave are reported sent.
    void rulesAboveTheDevice()
    {
        FakePlatform fakes;
        SerialComponent& serial = fakes.serial;
        QList<int> events;
        qint64 sent = 0;
        QByteArray received;
        connect(&serial, &SerialComponent::onComm, this, [&](int event, const QByteArray& bytes) {
            events.append(event);
            received = bytes;
        });
        connect(&serial, &SerialComponent::sent, this, [&](qint64 bytes) { sent += bytes; });
        QVERIFY(serial.setSettings(arguments(1, u"9600,N,4,1"_s)));
        QVERIFY(!serial.setPortOpen(true));
        QVERIFY(serial.errorString().contains(u"9600,N,4,1"_s));
        QCOMPARE(fakes.device->calls, QStringList());
        QVERIFY(serial.setSettings(arguments(1, u"9600,n,8,1"_s)) && serial.setPortOpen(true));
        QVERIFY(!serial.setSettings(arguments(2, u"9600,N,8,1"_s)));
        QVERIFY(!serial.setPortOpen(true));

        fakes.device->deliver("A\xD6"_ba);
        QCOMPARE(serial.textOf(received), u"A"_s);
        fakes.device->deliver("x"_ba);
        QCOMPARE(serial.bytesOf(received), "\xD6x"_ba);
        fakes.device->deliver("\xD0"_ba);
        QCOMPARE(serial.textOf(received), QString()); // the held byte went with the bytes
        QCOMPARE(serial.output(u"中 "_s), 3);
        QCOMPARE(serial.output(QString()), 0);
        serial.setOutBufferSize(4);
        QCOMPARE(serial.output("ab"_ba), -1);
        QCOMPARE(serial.output("a"_ba), 1);
        fakes.device->leave(2);
        QCOMPARE(serial.output("bc"_ba), 2);
        fakes.device->drain();
        QCOMPARE(serial.output("12345"_ba), 5);
        QCOMPARE(fakes.device->written, "\xD6\xD0 abc12345"_ba);
        fakes.device->deliver("left"_ba);
        fakes.device->leave(1);
        fakes.device->loseDevice();
        QCOMPARE(sent, 7);
        QCOMPARE(events, (QList<int> { 2, 2, 2, 1, 2, 1001 }));

        // Reads are timed while anyone needs it, whoever stops first.
        serial.needTiming(SerialComponent::ProtocolView, true);
        serial.needTiming(SerialComponent::Plot, true);
        serial.needTiming(SerialComponent::ProtocolView, false);
        QVERIFY(fakes.device->timed);
        serial.needTiming(SerialComponent::Plot, false);
        QVERIFY(!fakes.device->timed);
    }

    void settingsReachTheTty_data()
    {
        QTest::addColumn<uint>("speed");
        QTest::addColumn<uint>("parityFlags");
        QTest::addColumn<bool>("twoStopBits");
        // Named by the settings string; 1.5 stop bits with 5-bit words are two stop bits to
        // termios.
        QTest::newRow("19200,O,7,2") << uint(B19200) << uint(PARODD) << true;
        QTest::newRow("1200,M,8,2") << uint(B1200) << uint(CMSPAR | PARODD) << true;
        QTest::newRow("4800,N,5,1.5") << uint(B4800) << 0u << true;
    }

    // A pseudo-terminal's driver reports every word as 8 bits and parity as disabled, whatever was
    // set; it keeps the parity sense bits, the stop bits and the speed.
    void settingsReachTheTty()
    {
        QFETCH(uint, speed);
        QFETCH(uint, parityFlags);
        QFETCH(bool, twoStopBits);
        QVERIFY(openCom1(QString::fromLatin1(QTest::currentDataTag())));
        const termios tio = m_pty->attributes();
        QCOMPARE(uint(cfgetospeed(&tio)), speed);
        QCOMPARE(uint(tio.c_cflag & (PARODD | CMSPAR)), parityFlags);
        QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStopBits);
        QCOMPARE(uint(tio.c_iflag & (IXON | IXOFF)) | uint(tio.c_cflag & CRTSCTS), 0u);
    }

    void outputDrainsWithOneSendEvent_data()
    {
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QByteArray>("onTheLine");
        QTest::newRow("two queued writes") << QByteArrayList { "ab"_ba, "cd"_ba } << "abcd"_ba;
        const QByteArray large = "0123456789abcdef"_ba.repeated(256 * 1024);
        QTest::newRow("4 MiB of bytes") << QByteArrayList { large } << large;
    }

    void outputDrainsWithOneSendEvent()
    {
        QFETCH(QByteArrayList, writes);
        QFETCH(QByteArray, onTheLine);
        QList<qint64> outstanding; // at each send event
        connect(m_serial.get(), &SerialComponent::onComm, this,
            [&] { outstanding.append(m_serial->outBufferCount()); });
        QVERIFY(openCom1());
        for (const QByteArray& write : writes)
            m_serial->output(write);
        // Writes are queued and return at once; the event comes from the event loop.
        QVERIFY(m_events.isEmpty());
        QVERIFY(m_pty->readPumping(onTheLine.size()) == onTheLine);
        QTRY_COMPARE(m_events, QList<int> { SerialComponent::EventSend });
        QCOMPARE(outstanding, QList<qint64> { 0 });
        // A later write gets its own event, and no late one from the first batch comes before it.
        m_serial->output("z"_ba);
        QCOMPARE(m_pty->readPumping(1), "z"_ba);
        QTRY_COMPARE(m_events.count(SerialComponent::EventSend), 2);
    }

    // While a receive event waits, the driver holds the input; at the line's full speed it must
    // not fill its 4 KiB, or a device without flow control would lose bytes.
    void receiveGatherKeepsTheDriverFromFilling()
    {
        for (const qint32 baud : { 300, 9600, 115200, 921600, 3000000, 12000000 }) {
            const int ms = receiveGatherMs(100, baud);
            QVERIFY2(ms >= 2 && ms <= 50 && qint64(ms) * baud / 10 / 1000 < 4096,
                qPrintable(u"%1 ms at %2 baud"_s.arg(ms).arg(baud)));
        }
        QCOMPARE(receiveGatherMs(4096, 9600), 2); // a line that fills that is read as it comes
    }

    void deviceLoss_data()
    {
        QTest::addColumn<qsizetype>("pendingOutput");
        QTest::newRow("idle port") << qsizetype(0);
        QTest::newRow("large write pending") << qsizetype(2 * 1024 * 1024);
    }

    void deviceLoss()
    {
        QFETCH(qsizetype, pendingOutput);
        const int descriptorsBeforeOpen = openDescriptors();
        QVERIFY(openCom1());
        m_serial->output(QByteArray(pendingOutput, 'p'));
        m_pty->closeMaster();
        QTRY_VERIFY(m_events.contains(SerialComponent::EventDeviceLost));
        QVERIFY(!m_serial->portOpen());
        QCOMPARE(openDescriptors(), descriptorsBeforeOpen - 1); // the master is closed too
        QCOMPARE(m_serial->output("x"_ba), -1);
        // A port still spinning on the dead descriptor would raise more events meanwhile.
        for (int turn = 0; turn < 200; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(m_events, QList<int> { SerialComponent::EventDeviceLost });
    }

    // After a loss the port re-opens by itself only on the device it had: COM1 linked to another
    // stable name is another device; the same name back on a new terminal is the same one.
    void returnOfTheSameDevice()
    {
        const QString byId = m_config.filePath(u"by-id/"_s);
        QVERIFY(QDir().mkpath(byId));
        QVERIFY(QFile::link(m_pty->slavePath(), byId + u"dev-a"_s));
        linkCom(1, byId + u"dev-a"_s);
        PortSession session(*m_serial);
        connect(m_serial.get(), &SerialComponent::onComm, &session.watch(), [&](int event) {
            if (event == SerialComponent::EventDeviceLost)
                session.lost();
        });
        connect(&session.watch(), &DeviceWatch::returned, this, [&] { session.returned(); });
        (void)session.start({ u"COM1"_s, u"9600"_s, u"NONE"_s, u"8"_s, u"1"_s });
        m_pty->closeMaster();
        QVERIFY(QFile::remove(byId + u"dev-a"_s));
        QTRY_VERIFY(session.watch().isWatching());
        const PtyPair other;
        QVERIFY(QFile::link(other.slavePath(), byId + u"dev-b"_s));
        linkCom(1, byId + u"dev-b"_s);
        QVERIFY(!QTest::qWaitFor([&] { return m_serial->portOpen(); }, 2 * DeviceWatch::pollMs));
        QCOMPARE(session.waitingText(), u"等待 COM1 原设备 (%1dev-a) 重新连接"_s.arg(byId));
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(QFile::link(m_pty->slavePath(), byId + u"dev-a"_s));
        linkCom(1, byId + u"dev-a"_s);
        QTRY_VERIFY(m_serial->portOpen());
        m_serial->output("again"_ba);
        QCOMPARE(m_pty->readPumping(5), "again"_ba);
    }

    void openFailureReasons_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QString>("text");
        QTest::newRow("unresolved port")
            << int(QSerialPort::NoError) << false << QStringLiteral("设备不存在");
        QTest::newRow("vanished between lookup and open")
            << int(QSerialPort::PermissionError) << false << QStringLiteral("设备不存在");
        QTest::newRow("accessible file refused: held elsewhere")
            << int(QSerialPort::PermissionError) << true << QStringLiteral("设备正被占用");
        QTest::newRow("settings") << int(QSerialPort::UnsupportedOperationError) << true
                                  << QStringLiteral("设备不支持这些串口参数");
    }
    void openFailureReasons()
    {
        QFETCH(int, error);
        QFETCH(bool, fileExists);
        QFETCH(QString, text);
        QTemporaryFile device;
        QVERIFY(device.open());
        const QString path
            = fileExists ? device.fileName() : device.fileName() + QStringLiteral(".gone");
        const auto reason = OpenFailure::classify(QSerialPort::SerialPortError(error), path);
        QCOMPARE(OpenFailure::text(reason), text);
    }
};

QTEST_GUILESS_MAIN(SerialComponentTest)
#include "tst_serialcomponent.moc"
