// Sends from the real window through the real serial component over a pseudo-terminal; the test
// reads the device side.
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "port/qtserialbackend.h"
#include "support/fakes.h"
#include "support/pty.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

enum Way { Typed, Hex, File };

// A fresh window with the real component, and what the device has received from it.
struct Rig {
    FakePlatform fakes;
    QtSerialComponent serial;
    std::unique_ptr<MainWindow> window;
    QByteArray received;
};

class SendEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // A Chinese desktop, before anything asks for the code page.
        qputenv("LC_ALL", "zh_CN.UTF-8");
        QCOMPARE(CodePage::system(), QByteArray("GBK"));
        // COM1 is the slave side of the pseudo-terminal.
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("portlark/devices")));
        QVERIFY(
            QFile::link(pty.slavePath(), config.filePath(QStringLiteral("portlark/devices/com1"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }
    void init()
    {
        pty.readAvailable(); // whatever a failed test left
        rig = std::make_unique<Rig>();
        Platform platform = rig->fakes.platform();
        platform.serial = &rig->serial;
        rig->window = std::make_unique<MainWindow>(platform);
        QVERIFY(rig->serial.portOpen());
    }
    void cleanup() { rig.reset(); }

    void sends_data()
    {
        QTest::addColumn<QString>("box"); // null: as start-up filled it
        QTest::addColumn<Way>("way");
        QTest::addColumn<QByteArray>("bytes"); // for a file, its content too
        QTest::newRow("start-up text in GBK")
            << QString() << Typed
            << QByteArray::fromHex("d4dab4cbb4a6cae4c8ebd2aab7a2cbcdb5c4cafdbedd");
        QTest::newRow("lines joined by CR LF, nothing after")
            << QStringLiteral("one\ntwo\nthree") << Typed << QByteArray("one\r\ntwo\r\nthree");
        QTest::newRow("blanks trimmed") << QStringLiteral("  AB  ") << Typed << QByteArray("AB");
        QTest::newRow("hex pairs") << QStringLiteral("01 02 ff") << Hex << QByteArray("\1\2\xff");
        QTest::newRow("GBK text file")
            << QString() << File << QByteArray("\xb4\xae\xbf\xda\xb5\xf7\xca\xd4\r\n\xd6\xd0");
        QTest::newRow("file of bytes that are not GBK")
            << QString() << File << QByteArray("\x80\xff\x00\xa1\x81\x30\xfe", 7);
    }
    void sends()
    {
        QFETCH(QString, box);
        QFETCH(Way, way);
        QFETCH(QByteArray, bytes);
        if (!box.isNull())
            control<QPlainTextEdit>("TxtSend")->setPlainText(box);
        if (way == Hex)
            click("ChkHexSend");
        if (way == File) {
            QFile chosen(config.filePath(QStringLiteral("file.txt")));
            QVERIFY(chosen.open(QIODevice::WriteOnly) && chosen.write(bytes) == bytes.size());
            QVERIFY(chosen.flush());
            rig->fakes.dialogs.nextFile = chosen.fileName();
            click("CmdSelectFile");
        }
        click(way == File ? "CmdSendFile" : "CmdSend");
        QTRY_COMPARE(drain(), bytes);
        QTRY_COMPARE(rig->window->sentCount(), bytes.size());
        QCOMPARE(drain(), bytes);
    }

    void autoSendRepeats()
    {
        const QByteArray pattern = QByteArray("0123456789").repeated(10);
        control<QPlainTextEdit>("TxtSend")->setPlainText(QString::fromLatin1(pattern));
        control<QLineEdit>("TxtAutoSendTime")->setText(QStringLiteral("20"));
        click("ChkAutoSend");
        QTRY_VERIFY(drain().size() >= 5 * pattern.size());
        click("ChkAutoSend");
        QTRY_COMPARE(drain().size(), rig->window->sentCount());
        QCOMPARE(rig->received, pattern.repeated(rig->received.size() / pattern.size()));
    }

private:
    template <typename T = QAbstractButton> T* control(const char* name)
    {
        return rig->window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    QByteArray drain() { return rig->received += pty.readAvailable(); }

    PtyPair pty;
    QTemporaryDir config;
    std::unique_ptr<Rig> rig;
};

QTEST_MAIN(SendEndToEndTest)
#include "tst_send_e2e.moc"
