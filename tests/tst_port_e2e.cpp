// Opening, re-opening and closing through the window with the real serial component: COM1 is a
// link to a pseudo-terminal, the test holds the device side and reads the line settings from it.
#include "app/mainwindow.h"
#include "port/qtserialcomponent.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {

const QString closedText = QStringLiteral("串口状态：COM Port 关闭");
const QString messageA = QStringLiteral("没有发现此串口或被占用");
const QString messageB = QStringLiteral("没有成功，请重试【检查端口是否被占用，或者端口号正确】");

// Descriptors of this process open on the tty at path.
int descriptorsOn(const QString& path)
{
    struct stat target { };
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return -1;
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System);
    for (const QString& entry : entries) {
        struct stat info { };
        const QByteArray fd = QFile::encodeName(QStringLiteral("/proc/self/fd/") + entry);
        if (::stat(fd.constData(), &info) == 0 && S_ISCHR(info.st_mode)
            && info.st_rdev == target.st_rdev)
            ++count;
    }
    return count;
}

struct Line {
    qint64 baud;
    bool oddSense; // PARODD; a pseudo-terminal clears PARENB and forces 8 data bits itself
    bool twoStopBits;
};

} // namespace

Q_DECLARE_METATYPE(Line)

class PortEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opening_data();
    void opening();
    void closingAndReopening_data();
    void closingAndReopening();

private:
    void linkCom1(const QString& target);
    void startWindow();
    QString indicators() const;
    void pick(const QString& box, const QString& item);
    void clickSwitch();

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QtSerialComponent> m_serial;
    std::unique_ptr<FakePlatform> m_fakes; // dialogs, browser and clock; the port is real
    std::unique_ptr<MainWindow> m_window;
};

void PortEndToEndTest::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    QVERIFY(QDir(m_config->path()).mkpath(QStringLiteral("portlark/devices")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isOpen());
}

void PortEndToEndTest::cleanup()
{
    m_window.reset();
    m_serial.reset();
    m_fakes.reset();
    m_pty.reset();
    m_config.reset();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void PortEndToEndTest::linkCom1(const QString& target)
{
    const QString link = m_config->filePath(QStringLiteral("portlark/devices/com1"));
    QFile::remove(link);
    QVERIFY(QFile::link(target, link));
}

void PortEndToEndTest::startWindow()
{
    m_fakes = std::make_unique<FakePlatform>();
    m_serial = std::make_unique<QtSerialComponent>();
    Platform platform = m_fakes->platform();
    platform.serial = m_serial.get();
    m_window = std::make_unique<MainWindow>(platform);
    m_window->setEndProgram([] {});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// Status line, switch caption and whether the red lamp shows.
QString PortEndToEndTest::indicators() const
{
    const bool red = m_window->findChild<QLabel*>(QStringLiteral("ImgSwitchOn"))->isVisible();
    return m_window->findChild<QLineEdit*>(QStringLiteral("TxtStatus"))->text()
        + QStringLiteral(" | ")
        + m_window->findChild<QPushButton*>(QStringLiteral("CmdSwitch"))->text()
        + (red ? QStringLiteral(" | red") : QStringLiteral(" | dark"));
}

void PortEndToEndTest::pick(const QString& box, const QString& item)
{
    auto* combo = m_window->findChild<QComboBox*>(box);
    const int index = combo->findText(item);
    QVERIFY2(index >= 0, qPrintable(item));
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

void PortEndToEndTest::clickSwitch()
{
    QTest::mouseClick(
        m_window->findChild<QPushButton*>(QStringLiteral("CmdSwitch")), Qt::LeftButton);
}

void PortEndToEndTest::opening_data()
{
    QTest::addColumn<QString>("link"); // what COM1 is: "pty", "none" or "gone"
    QTest::addColumn<QStringList>("picks"); // box, item, box, item ...
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Line>("line");
    QTest::addColumn<QString>("message"); // empty: none, and the port is open

    const QString pty = QStringLiteral("pty");
    const QString closed = closedText + QStringLiteral(" | 打开串口 | dark");
    const Line start { 9600, false, false };

    QTest::newRow("start-up, COM1 linked to a device")
        << pty << QStringList() << QStringLiteral("串口：COM1 打开，9600,N,8,1 | 关闭串口 | red")
        << start << QString();
    QTest::newRow("start-up, nothing linked, no port present")
        << QStringLiteral("none") << QStringList() << closed << start << messageA;
    QTest::newRow("start-up, COM1 linked to a device that is gone")
        << QStringLiteral("gone") << QStringList() << closed << start << messageA;
    QTest::newRow("19200 then odd parity")
        << pty
        << QStringList { QStringLiteral("CboBaudrate"), QStringLiteral("19200"),
               QStringLiteral("CboParitybit"), QStringLiteral("ODD") }
        << QStringLiteral("串口状态：COM1 OPEND，19200,O,8,1 | 关闭串口 | red")
        << Line { 19200, true, false } << QString();
    QTest::newRow("two stop bits")
        << pty << QStringList { QStringLiteral("CboStopbit"), QStringLiteral("2") }
        << QStringLiteral("串口状态：COM1 OPEND，9600,N,8,2 | 关闭串口 | red")
        << Line { 9600, false, true } << QString();
    QTest::newRow("port picked that is not there")
        << pty << QStringList { QStringLiteral("CboCom"), QStringLiteral("COM15") } << closed
        << start << messageB;
    QTest::newRow("1.5 stop bits with 8 data bits refused")
        << pty << QStringList { QStringLiteral("CboStopbit"), QStringLiteral("1.5") } << closed
        << start << messageB;
}

void PortEndToEndTest::opening()
{
    QFETCH(QString, link);
    QFETCH(QStringList, picks);
    QFETCH(QString, expected);
    QFETCH(Line, line);
    QFETCH(QString, message);

    const qsizetype present = QSerialPortInfo::availablePorts().size();
    if (link == QLatin1String("pty"))
        linkCom1(m_pty->slavePath());
    else if (link == QLatin1String("gone"))
        linkCom1(m_config->filePath(QStringLiteral("gone")));
    else if (present > 0)
        QSKIP("this machine has a serial port that COM1 would resolve to");
    if (picks.contains(QStringLiteral("COM15")) && present >= 15)
        QSKIP("this machine has a port that COM15 would resolve to");
    startWindow();
    for (qsizetype i = 0; i + 1 < picks.size(); i += 2)
        pick(picks.at(i), picks.at(i + 1));

    QCOMPARE(indicators(), expected);
    QCOMPARE(m_serial->portOpen(), message.isEmpty());
    QStringList shown;
    for (const FakeDialogs::Message& box : std::as_const(m_fakes->dialogs.messages)) {
        shown << box.text;
        QCOMPARE(
            box.buttons, box.text == messageA ? Dialogs::Buttons::OkCancel : Dialogs::Buttons::Ok);
    }
    QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList { message });
    if (message.isEmpty()) {
        const termios attributes = m_pty->attributes();
        QCOMPARE(m_pty->baudRate(), line.baud);
        QCOMPARE(attributes.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(bool(attributes.c_cflag & PARODD), line.oddSense);
        QCOMPARE(bool(attributes.c_cflag & CSTOPB), line.twoStopBits);
    } else {
        QCOMPARE(descriptorsOn(m_pty->slavePath()), 1); // the pair's own
    }
    if (picks.isEmpty()) {
        const QString device = QFileInfo(m_pty->slavePath()).canonicalFilePath();
        QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("CboCom"))->lineEdit()->toolTip(),
            message.isEmpty() ? QStringLiteral("COM1 → ") + device
                              : QStringLiteral("COM1：没有发现此串口"));
    }
}

void PortEndToEndTest::closingAndReopening_data()
{
    QTest::addColumn<QString>("baudPick"); // picked first; empty: none
    QTest::addColumn<bool>("unplug"); // the device goes away instead of the switch closing
    QTest::addColumn<QString>("reopened");
    QTest::addColumn<qint64>("baud");

    const QString startText = QStringLiteral("串口：COM1 打开，9600,N,8,1");
    QTest::newRow("switch off and on") << QString() << false << startText << qint64(9600);
    QTest::newRow("switch on takes the boxes' settings")
        << QStringLiteral("38400") << false << QStringLiteral("串口：COM1 打开，38400,N,8,1")
        << qint64(38400);
    QTest::newRow("device unplugged, then back") << QString() << true << startText << qint64(9600);
}

void PortEndToEndTest::closingAndReopening()
{
    QFETCH(QString, baudPick);
    QFETCH(bool, unplug);
    QFETCH(QString, reopened);
    QFETCH(qint64, baud);

    linkCom1(m_pty->slavePath());
    startWindow();
    if (!baudPick.isEmpty())
        pick(QStringLiteral("CboBaudrate"), baudPick);
    QVERIFY(m_serial->portOpen());
    // The pair keeps its own descriptor on the device, so the master never reads a hang-up;
    // whether the program let go shows in the descriptors this process holds on it.
    QCOMPARE(descriptorsOn(m_pty->slavePath()), 2);

    const QString closed = closedText + QStringLiteral(" | 打开串口 | dark");
    if (unplug) {
        m_pty->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(indicators(), closed, 1000);
        m_pty = std::make_unique<PtyPair>();
        linkCom1(m_pty->slavePath());
    } else {
        clickSwitch();
        QCOMPARE(indicators(), closed);
        QCOMPARE(descriptorsOn(m_pty->slavePath()), 1);
    }
    QVERIFY(!m_serial->portOpen());

    clickSwitch();
    QCOMPARE(indicators(), reopened + QStringLiteral(" | 关闭串口 | red"));
    QVERIFY(m_serial->portOpen());
    QCOMPARE(descriptorsOn(m_pty->slavePath()), 2);
    QCOMPARE(m_pty->baudRate(), baud);
    QCOMPARE(m_fakes->dialogs.messages.size(), 0);
}

QTEST_MAIN(PortEndToEndTest)
#include "tst_port_e2e.moc"
