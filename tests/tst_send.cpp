#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "support/fakes.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

static const QString portClosed = QStringLiteral("串口没有打开，请打开串口");
static const QString emptyData = QStringLiteral("发送数据不能为空");

class SendTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        fakes = std::make_unique<FakePlatform>();
        window = std::make_unique<MainWindow>(fakes->platform());
        window->show();
    }
    void cleanup()
    {
        window.reset();
        fakes.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void hexSend_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("pairs with blanks") << QStringLiteral("01 02 03") << QByteArray("\1\2\3");
        QTest::newRow("lower-case run") << QStringLiteral("0102ff") << QByteArray("\1\2\xff");
        QTest::newRow("blanks inside pairs") << QStringLiteral("a b c d") << QByteArray("\xab\xcd");
        QTest::newRow("odd digit dropped") << QStringLiteral("1 2 3") << QByteArray("\x12");
        QTest::newRow("comma stops") << QStringLiteral("12,34") << QByteArray("\x12");
        QTest::newRow("line break stops") << QStringLiteral("12\n34") << QByteArray("\x12");
        QTest::newRow("0x prefix stops at x") << QStringLiteral("0x12") << QByteArray();
        QTest::newRow("letter past F stops") << QStringLiteral("123G45") << QByteArray("\x12");
        QTest::newRow("only blanks") << QStringLiteral("   ") << QByteArray();
        QTest::newRow("start-up text") << QStringLiteral("在此处输入要发送的数据") << QByteArray();
    }
    void hexSend()
    {
        QFETCH(QString, box);
        QFETCH(QByteArray, bytes);
        setBox(box);
        click("ChkHexSend");
        qsizetype writesWhenCounted = -1;
        connect(control<QLineEdit>("TxtTXCount"), &QLineEdit::textChanged, this,
            [&] { writesWhenCounted = serial().writes.size(); });
        click("CmdSend");
        QCOMPARE(writesWhenCounted, 0); // counted first, so a refused write keeps its count
        QCOMPARE(serial().written(), bytes);
        serial().raise(SerialComponent::EventSend);
        QCOMPARE(shownTx(), QStringLiteral("TX:%1").arg(bytes.size()));
    }

    // Counted on the send event that follows, by the bytes written.
    void textSendCountedOnSendEvent()
    {
        setBox(QStringLiteral("  AB  "));
        click("CmdSend");
        click("CmdSend");
        QCOMPARE(serial().written(), QByteArray("ABAB"));
        QCOMPARE(shownTx(), QStringLiteral("TX发:0"));
        serial().raise(SerialComponent::EventSend);
        serial().raise(SerialComponent::EventSend); // nothing written since: nothing more
        QCOMPARE(shownTx(), QStringLiteral("TX:4"));
    }

    // Every box of the send path; those of automatic sending come once it has stopped.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("clicks");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QString>("message");
        const QByteArray send("CmdClearSend CmdSend"), file("CmdSendFile");
        const QByteArray autoSend("ChkAutoSend"), autoSendEmpty("CmdClearSend ChkAutoSend");
        QTest::newRow("send, port closed, box empty") << send << false << portClosed;
        QTest::newRow("send, box empty") << send << true << emptyData;
        QTest::newRow("file, port closed") << file << false << portClosed;
        QTest::newRow("file, nothing chosen") << file << true << QStringLiteral("发送的文件为空");
        QTest::newRow("auto, port closed") << autoSend << false << portClosed;
        QTest::newRow("auto, box empty") << autoSendEmpty << true << emptyData;
    }
    void refusals()
    {
        QFETCH(QByteArray, clicks);
        QFETCH(bool, portOpen);
        QFETCH(QString, message);
        if (!portOpen)
            serial().setPortOpen(false);
        bool stoppedAtMessage = false;
        fakes->dialogs.onMessage = [&](const FakeDialogs::Message&) {
            stoppedAtMessage = !autoTimer()->isTicking() && !autoBox()->isChecked();
        };
        setPeriod(QStringLiteral("10"));
        for (const QByteArray& name : clicks.split(' '))
            click(name.constData());
        QTRY_COMPARE(fakes->dialogs.messages.size(), 1);
        QCOMPARE(fakes->dialogs.messages[0].text, message);
        QCOMPARE(fakes->dialogs.messages[0].icon,
            portOpen ? Dialogs::Icon::Error : Dialogs::Icon::Warning);
        QVERIFY(stoppedAtMessage);
        QVERIFY(serial().writes.isEmpty());
    }

    void autoPeriod_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("period");
        QTest::addColumn<bool>("ticking");
        QTest::newRow("plain") << QStringLiteral("1000") << qint64(1000) << true;
        QTest::newRow("unit after the number") << QStringLiteral("500ms") << qint64(500) << true;
        QTest::newRow("blank inside") << QStringLiteral("1 000") << qint64(1000) << true;
        QTest::newRow("half to even, down") << QStringLiteral("2.5") << qint64(2) << true;
        QTest::newRow("half to even, up") << QStringLiteral("3.5") << qint64(4) << true;
        QTest::newRow("no number") << QStringLiteral("abc") << qint64(0) << false;
        QTest::newRow("nothing") << QString() << qint64(0) << false;
        // Refused: the timer stays as unticking left it, stopped with the old period.
        QTest::newRow("negative") << QStringLiteral("-5") << qint64(10) << false;
        QTest::newRow("past 32 bits") << QStringLiteral("99999999999") << qint64(10) << false;
    }
    void autoPeriod()
    {
        QFETCH(QString, text);
        QFETCH(qint64, period);
        QFETCH(bool, ticking);
        setPeriod(QStringLiteral("10"));
        click("ChkAutoSend");
        setPeriod(text);
        QCOMPARE(autoTimer()->interval(), 10); // read only when the box is ticked again
        click("ChkAutoSend");
        click("ChkAutoSend");
        QCOMPARE(autoTimer()->interval(), period);
        QCOMPARE(autoTimer()->isTicking(), ticking);
        QVERIFY(serial().writes.isEmpty()); // the first send waits one period
    }

    void autoSendReadsEachTick()
    {
        setBox(QStringLiteral("41"));
        setPeriod(QStringLiteral("10"));
        click("ChkAutoSend");
        click("ChkHexSend");
        QTRY_VERIFY(!serial().writes.isEmpty());
        QCOMPARE(serial().writes[0].bytes, QByteArray("A"));
        // Closing the port leaves the ticks going, but they neither send nor count.
        serial().setPortOpen(false);
        const qsizetype sends = serial().writes.size();
        QSignalSpy ticks(autoTimer(), &IntervalTimer::timeout);
        QTRY_VERIFY(ticks.size() >= 3);
        QCOMPARE(serial().writes.size(), sends);
        QCOMPARE(window->sentCount(), sends);
    }

    // Read when chosen and sent as text, hex send ticked or not, and counted on the send event;
    // a later choice that cannot be read keeps the content.
    void fileSend_data()
    {
        QTest::addColumn<QByteArray>("content"); // of first.txt, chosen first, then changed
        QTest::addColumn<QString>("next"); // chosen next; empty: the dialog is cancelled
        QTest::addColumn<QByteArray>("sent"); // empty: the empty-file box instead
        const QByteArray first("first");
        QTest::newRow("byte for byte, only 0x20 trimmed at the ends") << QByteArray(
            "  0102\x80\xff\r\n\0\t  ", 14) << QString() << QByteArray("0102\x80\xff\r\n\0\t", 10);
        QTest::newRow("unreadable") << first << files.filePath(QStringLiteral("none.txt")) << first;
        QTest::newRow("empty") << first << writeFile("empty.txt", {}) << QByteArray();
        QTest::newRow("read again") << first << writeFile("first.txt", "new") << QByteArray("new");
    }
    void fileSend()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, next);
        QFETCH(QByteArray, sent);
        const QString first = writeFile("first.txt", content);
        fakes->dialogs.nextFile = first;
        click("CmdSelectFile");
        writeFile("first.txt", QByteArray("new"));
        fakes->dialogs.nextFile = next;
        click("CmdSelectFile");
        QCOMPARE(control<QLineEdit>("TxtSendPath")->text(), next.isEmpty() ? first : next);
        QCOMPARE(fakes->dialogs.lastFilter, QStringLiteral("文本文件（*.txt）(*.txt)"));
        click("ChkHexSend");
        click("CmdSendFile");
        QCOMPARE(serial().written(), sent);
        QCOMPARE(fakes->dialogs.messages.size(), sent.isEmpty() ? 1 : 0);
        serial().raise(SerialComponent::EventSend);
        QCOMPARE(window->sentCount(), sent.size());
    }

private:
    template <typename T = QAbstractButton> T* control(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    FakeSerial& serial() { return fakes->serial; }
    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void setBox(const QString& text) { control<QPlainTextEdit>("TxtSend")->setPlainText(text); }
    void setPeriod(const QString& text) { control<QLineEdit>("TxtAutoSendTime")->setText(text); }
    QString shownTx() { return control<QLineEdit>("TxtTXCount")->text(); }
    QCheckBox* autoBox() { return control<QCheckBox>("ChkAutoSend"); }
    IntervalTimer* autoTimer() { return control<IntervalTimer>("TmrAutoSend"); }
    QString writeFile(const char* name, const QByteArray& bytes)
    {
        QFile file(files.filePath(QString::fromLatin1(name)));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        return written ? file.fileName() : QString();
    }

    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;
    QTemporaryDir files;
};

QTEST_MAIN(SendTest)
#include "tst_send.moc"
