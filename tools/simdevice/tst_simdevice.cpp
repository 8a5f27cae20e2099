// The simulated device as a script uses it: started as a process, reached as COMn through the
// real serial component, stopped by a signal or by closing its stdin.
#include "port/codepage.h"
#include "port/comnames.h"
#include "port/qtserialcomponent.h"
#include "tools/simdevice/streams.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QString program() { return QString::fromUtf8(SIMDEVICE_PROGRAM); }

enum class Stop { Terminate, CloseStdin };

} // namespace

Q_DECLARE_METATYPE(Stop)

class SimDeviceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void bulkSend_data();
    void bulkSend();
    void talksLikeADevice();
    void stops_data();
    void stops();

private:
    QString startDevice(const QStringList& extra, int com = 1);
    bool openPort(int com = 1);
    QString link(int com) const
    {
        return ComNames::devicesFolder() + QStringLiteral("/com") + QString::number(com);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_device;
    QByteArray m_stdout;
    std::unique_ptr<QtSerialComponent> m_serial;
    QByteArray m_received;
};

void SimDeviceTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    CodePage::setSystemOverride("GBK");
    QVERIFY2(QFile::exists(program()), qPrintable(program()));
}

void SimDeviceTest::init()
{
    m_stdout.clear();
    m_received.clear();
    m_serial = std::make_unique<QtSerialComponent>();
    m_serial->setInputMode(SerialComponent::InputBinary);
    connect(m_serial.get(), &SerialComponent::onComm, this, [this] {
        if (m_serial->commEvent() == SerialComponent::EventReceive)
            m_received += m_serial->inputBytes();
    });
}

void SimDeviceTest::cleanup()
{
    m_serial.reset();
    if (m_device && m_device->state() != QProcess::NotRunning) {
        m_device->terminate();
        m_device->waitForFinished();
    }
    m_device.reset();
}

QString SimDeviceTest::startDevice(const QStringList& extra, int com)
{
    m_device = std::make_unique<QProcess>();
    connect(m_device.get(), &QProcess::readyReadStandardOutput, this,
        [this] { m_stdout += m_device->readAllStandardOutput(); });
    QStringList arguments { QStringLiteral("--devices"), ComNames::devicesFolder(),
        QStringLiteral("--com"), QString::number(com) };
    m_device->start(program(), arguments + extra);
    if (!m_device->waitForStarted())
        return {};
    if (!QTest::qWaitFor([this] { return m_stdout.contains('\n'); }, 10000))
        return {};
    const QByteArray line = m_stdout.left(m_stdout.indexOf('\n'));
    if (!line.startsWith("ready "))
        return {};
    return QFile::decodeName(line.mid(6));
}

bool SimDeviceTest::openPort(int com)
{
    m_serial->setCommPort(com);
    m_serial->setSettings(QStringLiteral("115200,N,8,1"));
    m_serial->setPortOpen(true);
    return m_serial->portOpen();
}

void SimDeviceTest::bulkSend_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected");

    QByteArray text(1000000, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = SimStreams::textByte(quint64(i));
    QByteArray binary(700001, Qt::Uninitialized);
    SimStreams::BinaryStream stream;
    stream.fill(binary.data(), std::size_t(binary.size()));

    auto options = [](const char* joined) { return QString::fromLatin1(joined).split(u' '); };
    QTest::newRow("text as fast as the tty takes it")
        << options("--quiet --send-text 1000000") << text;
    QTest::newRow("binary as fast as the tty takes it")
        << options("--quiet --send-binary 700001") << binary;
    QTest::newRow("paced text") << options("--quiet --send-text 30000 --rate 100000")
                                << text.left(30000);
}

void SimDeviceTest::bulkSend()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);

    QVERIFY(!startDevice(options).isEmpty());
    QVERIFY(openPort());
    QTRY_VERIFY_WITH_TIMEOUT(m_received.size() >= expected.size(), 60000);
    QVERIFY(m_received.left(expected.size()) == expected);
    QTRY_VERIFY(m_stdout.contains("\nsent " + QByteArray::number(expected.size()) + '\n'));
}

void SimDeviceTest::talksLikeADevice()
{
    const QString reportPath = m_dir.filePath(QStringLiteral("report.txt"));
    QVERIFY(!startDevice({ QStringLiteral("--report"), reportPath }).isEmpty());
    QVERIFY(openPort());
    m_serial->output(QByteArray("hello"));
    // The echo, then a heartbeat line in GBK every second.
    const QByteArray expected = "hello" + CodePage::encode(QStringLiteral("设备心跳 #1\r\n"))
        + CodePage::encode(QStringLiteral("设备心跳 #2\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(m_received.size() >= expected.size(), 10000);
    QCOMPARE(m_received, expected);

    m_device->terminate();
    QVERIFY(m_device->waitForFinished());
    QFile report(reportPath);
    QVERIFY(report.open(QIODevice::ReadOnly));
    QCOMPARE(report.readAll(), QByteArray("5 a430d84680aabd0b\n")); // FNV-1a 64 of "hello"
}

void SimDeviceTest::stops_data()
{
    QTest::addColumn<Stop>("stop");

    QTest::newRow("SIGTERM") << Stop::Terminate;
    QTest::newRow("stdin closed") << Stop::CloseStdin;
}

void SimDeviceTest::stops()
{
    QFETCH(Stop, stop);

    // An old link of the same name is replaced, and the device's own link goes when it stops.
    QVERIFY(QDir().mkpath(ComNames::devicesFolder()));
    QFile::remove(link(4));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("old-device")), link(4)));
    const QString slave = startDevice({ QStringLiteral("--quiet") }, 4);
    QVERIFY(!slave.isEmpty());
    QCOMPARE(QFileInfo(link(4)).symLinkTarget(), slave);
    QCOMPARE(ComNames::resolve(4), QFileInfo(slave).canonicalFilePath());

    switch (stop) {
    case Stop::Terminate:
        m_device->terminate();
        break;
    case Stop::CloseStdin:
        m_device->closeWriteChannel();
        break;
    }
    QVERIFY(m_device->waitForFinished());
    QCOMPARE(m_device->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_device->exitCode(), 0);
    QVERIFY(!QFileInfo(link(4)).isSymLink());
}

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_simdevice.moc"
