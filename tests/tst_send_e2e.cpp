// Sends from the real window through the real serial component over a pseudo-terminal; the test
// reads the device side.
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "port/qtserialcomponent.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

// "在此处输入要发送的数据" as a Chinese system writes it.
const QByteArray startUpTextGbk("\xd4\xda\xb4\xcb\xb4\xa6\xca\xe4\xc8\xeb\xd2\xaa\xb7\xa2\xcb\xcd"
                                "\xb5\xc4\xca\xfd\xbe\xdd");

} // namespace

class SendEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startUpTextArrivesInGbk();
    void sends_data();
    void sends();
    void autoSendRepeats();
    void fileArrivesByteForByte_data();
    void fileArrivesByteForByte();

private:
    template <typename T> T* control(const char* name)
    {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    void click(const char* name)
    {
        QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton);
    }
    void sendText(const QString& text);
    // Everything the device has received so far in this test.
    QByteArray drain();

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<QtSerialComponent> serial;
    std::unique_ptr<MainWindow> window;
    QByteArray received;
};

void SendEndToEndTest::initTestCase() { QCOMPARE(CodePage::system(), QByteArray("GBK")); }

void SendEndToEndTest::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    config = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(config->path()).mkpath(QStringLiteral("portlark/devices")));
    QVERIFY(
        QFile::link(pty->slavePath(), config->filePath(QStringLiteral("portlark/devices/com1"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
    fakes = std::make_unique<FakePlatform>();
    serial = std::make_unique<QtSerialComponent>();
    Platform platform = fakes->platform();
    platform.serial = serial.get();
    window = std::make_unique<MainWindow>(platform);
    window->setEndProgram([] {});
    window->show();
    QVERIFY(serial->portOpen());
    received.clear();
}

void SendEndToEndTest::cleanup()
{
    window.reset();
    serial.reset();
    fakes.reset();
    config.reset();
    pty.reset();
}

void SendEndToEndTest::sendText(const QString& text)
{
    control<QPlainTextEdit>("TxtSend")->setPlainText(text);
    click("CmdSend");
}

QByteArray SendEndToEndTest::drain()
{
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(pty->masterFd(), buffer, sizeof buffer)) > 0)
        received.append(buffer, n);
    return received;
}

void SendEndToEndTest::startUpTextArrivesInGbk()
{
    click("CmdSend");
    QTRY_COMPARE(drain(), startUpTextGbk);
    QTRY_COMPARE(window->sentCount(), startUpTextGbk.size());
}

void SendEndToEndTest::sends_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("lines joined by CR LF, nothing after")
        << QStringLiteral("one\ntwo\nthree") << false << QByteArray("one\r\ntwo\r\nthree");
    QTest::newRow("blanks trimmed") << QStringLiteral("  AB  ") << false << QByteArray("AB");
    QTest::newRow("hex pairs") << QStringLiteral("01 02 ff") << true << QByteArray("\x01\x02\xff");
}

void SendEndToEndTest::sends()
{
    QFETCH(QString, box);
    QFETCH(bool, hex);
    QFETCH(QByteArray, bytes);
    if (hex)
        click("ChkHexSend");
    sendText(box);
    QTRY_COMPARE(drain(), bytes);
    QTRY_COMPARE(window->sentCount(), bytes.size());
    QCOMPARE(control<QLineEdit>("TxtTXCount")->text(), QStringLiteral("TX:%1").arg(bytes.size()));
    // A marker sent next must follow at once: nothing was added after the send.
    if (hex)
        click("ChkHexSend");
    sendText(QStringLiteral("Z"));
    QTRY_COMPARE(drain(), bytes + "Z");
}

void SendEndToEndTest::autoSendRepeats()
{
    QByteArray pattern;
    for (int i = 0; i < 100; ++i)
        pattern.append(static_cast<char>('!' + i % 90));
    control<QPlainTextEdit>("TxtSend")->setPlainText(QString::fromLatin1(pattern));
    control<QLineEdit>("TxtAutoSendTime")->setText(QStringLiteral("20"));
    click("ChkAutoSend");
    QTRY_VERIFY(drain().size() >= 5 * pattern.size());
    click("ChkAutoSend");
    sendText(QStringLiteral("Z"));
    QTRY_VERIFY(drain().endsWith('Z'));
    const QByteArray repeats = received.chopped(1);
    QCOMPARE(repeats.size() % pattern.size(), 0);
    QCOMPARE(repeats, pattern.repeated(repeats.size() / pattern.size()));
    QTRY_COMPARE(window->sentCount(), received.size());
}

void SendEndToEndTest::fileArrivesByteForByte_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("GBK text with Chinese")
        << QByteArray("\xb4\xae\xbf\xda\xb5\xf7\xca\xd4\xd6\xfa\xca\xd6\xa3\xac\xc4\xe3\xba\xc3"
                      "\r\n\xb5\xda\xb6\xfe\xd0\xd0");
    QTest::newRow("bytes that are not GBK") << QByteArray("\x80\xff\x00\xa1\x81\x30\xfe", 7);
    QByteArray everyByte;
    for (int i = 1; i < 256; ++i)
        everyByte.append(static_cast<char>(i == ' ' ? 0 : i));
    QTest::newRow("every byte value") << everyByte;
}

void SendEndToEndTest::fileArrivesByteForByte()
{
    QFETCH(QByteArray, content);
    const QString path = config->filePath(QStringLiteral("file.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    file.close();
    fakes->dialogs.nextFile = path;
    click("CmdSelectFile");
    click("CmdSendFile");
    QTRY_COMPARE(drain(), content);
    QTRY_COMPARE(window->sentCount(), content.size());
}

int main(int argc, char* argv[])
{
    // A Chinese desktop, before anything asks for the code page.
    qputenv("LC_ALL", "zh_CN.UTF-8");
    QApplication application(argc, argv);
    SendEndToEndTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_send_e2e.moc"
