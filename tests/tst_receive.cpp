#include "app/mainwindow.h"
#include "port/codepage.h"
#include "receive/receiveview.h"
#include "support/fakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Chunks = QList<QByteArray>;

namespace {

constexpr int resetCounters = -1; // an auto-clear step that presses the counter reset
constexpr int text = SerialComponent::InputText;
constexpr int binary = SerialComponent::InputBinary;
const QString zhong(QChar(0x4E2D)); // D6 D0 in GBK

} // namespace

class ReceiveTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void receiveDisplay_data();
    void receiveDisplay();
    void countRewrittenWhenNothingWaits_data();
    void countRewrittenWhenNothingWaits();
    void stoppedDisplay_data();
    void stoppedDisplay();
    void autoClear_data();
    void autoClear();
    void otherEventsChangeNothing_data();
    void otherEventsChangeNothing();
    void deviceLostShowsTheClosedState();
    void clearingTheDisplayKeepsTheCounts();
    void counterReset_data();
    void counterReset();
    void sentCount_data();
    void sentCount();

private:
    template <typename T> T* control(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    ReceiveView* view() const { return control<ReceiveView>("TxtReceive"); }
    QString display() const { return view()->text(); }
    QString rxText() const { return control<QLineEdit>("TxtRXCount")->text(); }
    QString txText() const { return control<QLineEdit>("TxtTXCount")->text(); }
    QString stopCaption() const { return control<QPushButton>("CmdStopdisp")->text(); }
    void click(const char* name) const
    {
        auto* button = control<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    void tick(const char* name, bool ticked) const
    {
        if (control<QCheckBox>(name)->isChecked() != ticked)
            click(name);
        QCOMPARE(control<QCheckBox>(name)->isChecked(), ticked);
    }
    void deliver(const QByteArray& bytes, bool raise = true)
    {
        fakes->serial.deliver(bytes, raise);
    }

    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;
};

void ReceiveTest::init()
{
    fakes = std::make_unique<FakePlatform>();
    window = std::make_unique<MainWindow>(fakes->platform());
    window->setEndProgram([] {});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(fakes->serial.portOpen());
}

void ReceiveTest::cleanup()
{
    window.reset();
    fakes.reset();
    CodePage::setSystemOverride(QByteArray());
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void ReceiveTest::receiveDisplay_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<int>("inputMode"); // as the last send left it
    QTest::addColumn<Chunks>("chunks"); // one receive event each
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint64>("count");

    const QByteArray page;
    QTest::newRow("AB CR LF breaks the line and counts 4")
        << page << false << text << Chunks { "AB\r\n" } << QStringLiteral("AB\r\n") << 4LL;
    QTest::newRow("one GBK character shows as one and counts 2")
        << QByteArray("GBK") << false << text << Chunks { "\xD6\xD0" } << zhong << 2LL;
    QTest::newRow("events append with nothing between them")
        << page << false << text << Chunks { "ab", "c" } << QStringLiteral("abc") << 3LL;
    QTest::newRow("markup and entities show literally")
        << page << false << text << Chunks { "<b>x</b>&amp;" } << QStringLiteral("<b>x</b>&amp;")
        << 13LL;
    QTest::newRow("NUL and control bytes are kept")
        << page << false << text << Chunks { QByteArray("a\0b\x1B", 4), "c" }
        << QString::fromLatin1("a\0b\x1B"
                               "c",
               5)
        << 5LL;
    QTest::newRow("lone CR and lone LF are kept as received")
        << page << false << text << Chunks { "1\r2\n3" } << QStringLiteral("1\r2\n3") << 5LL;
    QTest::newRow("an incomplete GBK lead byte is still a byte received")
        << QByteArray("GBK") << false << text << Chunks { "AB\x81" } << QStringLiteral("AB") << 3LL;
    QTest::newRow("invalid bytes count as received, not as re-encoded")
        << QByteArray("UTF-8") << false << text << Chunks { "\xFF\xFE" }
        << QString(2, QChar::ReplacementCharacter) << 2LL;
    QTest::newRow("text display after a hex send left binary mode")
        << QByteArray("GBK") << false << binary << Chunks { "A\xD6\xD0" }
        << QStringLiteral("A") + zhong << 3LL;
    QTest::newRow("hex 00 0F 10 FF")
        << page << true << binary << Chunks { QByteArray::fromHex("000F10FF") }
        << QStringLiteral("00 0F 10 FF ") << 4LL;
    QTest::newRow("hex 41 then 42 continue one run with no break")
        << page << true << binary << Chunks { "A", "B" } << QStringLiteral("41 42 ") << 2LL;
    QTest::newRow("hex display after a text send left text mode")
        << QByteArray("GBK") << true << text << Chunks { "A\xD6\xD0" }
        << QStringLiteral("41 D6 D0 ") << 3LL;
    QTest::newRow("hex shows and counts a large chunk whole")
        << page << true << binary << Chunks { QByteArray(5000, 'Z') }
        << QStringLiteral("5A ").repeated(5000) << 5000LL;
}

void ReceiveTest::receiveDisplay()
{
    QFETCH(QByteArray, codePage);
    QFETCH(bool, hex);
    QFETCH(int, inputMode);
    QFETCH(Chunks, chunks);
    QFETCH(QString, shown);
    QFETCH(qint64, count);

    CodePage::setSystemOverride(codePage);
    tick("ChkHexReceive", hex);
    fakes->serial.setInputMode(inputMode);
    for (const QByteArray& chunk : chunks)
        deliver(chunk);
    QCOMPARE(display(), shown);
    QCOMPARE(view()->cursorPosition(), view()->length());
    QCOMPARE(window->receivedCount(), count);
    QCOMPARE(rxText(), QStringLiteral("RX:%1").arg(count));
    QCOMPARE(txText(), QStringLiteral("TX发:0"));
}

void ReceiveTest::countRewrittenWhenNothingWaits_data()
{
    QTest::addColumn<bool>("hex");
    QTest::newRow("hex event") << true;
    QTest::newRow("text event") << false;
}

void ReceiveTest::countRewrittenWhenNothingWaits()
{
    QFETCH(bool, hex);
    deliver("xyz");
    auto* box = control<QLineEdit>("TxtRXCount");
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("typed"));
    QCOMPARE(box->text(), QStringLiteral("RX:3typed"));

    tick("ChkHexReceive", hex);
    deliver(QByteArray());
    QCOMPARE(display(), QStringLiteral("xyz"));
    QCOMPARE(box->text(), QStringLiteral("RX:3"));
}

void ReceiveTest::stoppedDisplay_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("shownWhileStopped");
    QTest::addColumn<QString>("shownAfterResume");

    QTest::newRow("text received while stopped is dropped for good")
        << false << QString() << QStringLiteral("y");
    QTest::newRow("hex goes on while stopped")
        << true << QStringLiteral("78 ") << QStringLiteral("78 79 ");
}

void ReceiveTest::stoppedDisplay()
{
    QFETCH(bool, hex);
    QFETCH(QString, shownWhileStopped);
    QFETCH(QString, shownAfterResume);

    tick("ChkHexReceive", hex);
    QCOMPARE(stopCaption(), QStringLiteral("停止显示"));
    click("CmdStopdisp");
    QCOMPARE(stopCaption(), QStringLiteral("继续显示"));
    deliver("x");
    QCOMPARE(display(), shownWhileStopped);
    QCOMPARE(rxText(), QStringLiteral("RX:1"));

    click("CmdStopdisp");
    QCOMPARE(stopCaption(), QStringLiteral("停止显示"));
    deliver("y");
    QCOMPARE(display(), shownAfterResume);
    QCOMPARE(rxText(), QStringLiteral("RX:2"));
}

void ReceiveTest::autoClear_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("autoClear");
    QTest::addColumn<QList<int>>("steps"); // bytes received per event, or resetCounters
    QTest::addColumn<QList<int>>("bytesShown"); // bytes on display after each step

    QTest::newRow("the event reaching 65535 empties the display")
        << false << true << QList<int> { 65534, 1 } << QList<int> { 65534, 0 };
    QTest::newRow("a further 65535 bytes before the next clear")
        << false << true << QList<int> { 65535, 10, 65524, 1 } << QList<int> { 0, 10, 65534, 0 };
    QTest::newRow("one big chunk past the mark, then data stays")
        << false << true << QList<int> { 70000, 5 } << QList<int> { 0, 5 };
    QTest::newRow("hex display clears on the byte count")
        << true << true << QList<int> { 65534, 1, 3 } << QList<int> { 65534, 0, 3 };
    QTest::newRow("resetting the counters restores the first mark")
        << false << true << QList<int> { 65535, resetCounters, 65534, 1 }
        << QList<int> { 0, 0, 65534, 0 };
    QTest::newRow("unticked never clears")
        << false << false << QList<int> { 65535, 65535 } << QList<int> { 65535, 131070 };
}

void ReceiveTest::autoClear()
{
    QFETCH(bool, hex);
    QFETCH(bool, autoClear);
    QFETCH(QList<int>, steps);
    QFETCH(QList<int>, bytesShown);

    tick("ChkHexReceive", hex);
    tick("ChkAutoClear", autoClear);
    qint64 count = 0;
    for (int i = 0; i < steps.size(); ++i) {
        if (steps[i] == resetCounters) {
            click("CmdClearCounter");
            count = 0;
        } else {
            deliver(QByteArray(steps[i], 'a'));
            count += steps[i];
        }
        QCOMPARE(view()->length(), qint64(bytesShown[i]) * (hex ? 3 : 1));
        QCOMPARE(window->receivedCount(), count);
    }
}

void ReceiveTest::otherEventsChangeNothing_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("no event") << 0;
    QTest::newRow("a line change") << 3;
    QTest::newRow("an error code") << 1010;
}

void ReceiveTest::otherEventsChangeNothing()
{
    QFETCH(int, code);
    deliver("ab");
    deliver("cd", false); // waiting, not yet read
    fakes->serial.raise(code);
    QCOMPARE(display(), QStringLiteral("ab"));
    QCOMPARE(rxText(), QStringLiteral("RX:2"));
    QCOMPARE(txText(), QStringLiteral("TX发:0"));
    QCOMPARE(fakes->serial.inBufferCount(), 2);
    QVERIFY(fakes->serial.portOpen());
    QVERIFY(fakes->serial.writes.isEmpty());
    QVERIFY(fakes->dialogs.messages.isEmpty());
}

void ReceiveTest::deviceLostShowsTheClosedState()
{
    deliver("kept");
    fakes->serial.loseDevice();
    QCOMPARE(control<QPushButton>("CmdSwitch")->text(), QStringLiteral("打开串口"));
    QCOMPARE(control<QLineEdit>("TxtStatus")->text(), QStringLiteral("串口状态：COM Port 关闭"));
    QVERIFY(fakes->dialogs.messages.isEmpty());
    QCOMPARE(display(), QStringLiteral("kept"));
    QCOMPARE(rxText(), QStringLiteral("RX:4"));
}

void ReceiveTest::clearingTheDisplayKeepsTheCounts()
{
    deliver("ab");
    click("CmdStopdisp");
    click("CmdClearReceive");
    QCOMPARE(display(), QString());
    QCOMPARE(rxText(), QStringLiteral("RX:2"));
    QCOMPARE(txText(), QStringLiteral("TX发:0"));
    QCOMPARE(stopCaption(), QStringLiteral("继续显示"));
}

void ReceiveTest::counterReset_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("rxBeforeReset");
    QTest::newRow("right after start") << QByteArray() << QStringLiteral("RX收:0");
    QTest::newRow("after the first byte") << QByteArray("Z") << QStringLiteral("RX:1");
}

void ReceiveTest::counterReset()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, rxBeforeReset);

    if (!received.isEmpty())
        deliver(received);
    QCOMPARE(rxText(), rxBeforeReset);
    QCOMPARE(txText(), QStringLiteral("TX发:0"));
    click("CmdStopdisp");
    click("CmdClearCounter");
    QCOMPARE(rxText(), QStringLiteral("RX:0"));
    QCOMPARE(txText(), QStringLiteral("TX:0"));
    QCOMPARE(window->receivedCount(), 0);
    QCOMPARE(display(), QString::fromLatin1(received));
    QCOMPARE(stopCaption(), QStringLiteral("继续显示"));
}

void ReceiveTest::sentCount_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<QString>("sendBox");
    QTest::addColumn<QByteArray>("file"); // non-empty: chosen and sent with the file buttons
    QTest::addColumn<bool>("hexSend");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("txBeforeEvent");
    QTest::addColumn<QString>("txAfterEvent");

    const QString initial = QStringLiteral("TX发:0");
    QTest::newRow("a trimmed text counts only the bytes written")
        << QByteArray() << QStringLiteral("  AB  ") << QByteArray() << false << 1 << initial
        << QStringLiteral("TX:2");
    QTest::newRow("one GBK character counts 2") << QByteArray("GBK") << zhong << QByteArray()
                                                << false << 1 << initial << QStringLiteral("TX:2");
    QTest::newRow("two writes before one send event count both, once")
        << QByteArray() << QStringLiteral("AB") << QByteArray() << false << 2 << initial
        << QStringLiteral("TX:4");
    QTest::newRow("a hex send counts itself before the event, once")
        << QByteArray() << QStringLiteral("01 02 03") << QByteArray() << true << 1
        << QStringLiteral("TX:3") << QStringLiteral("TX:3");
    QTest::newRow("a file sent while hex send is ticked is counted, trimmed")
        << QByteArray() << QString() << QByteArray(" 0102 \r\n ") << true << 1 << initial
        << QStringLiteral("TX:7");
    QTest::newRow("a GBK file counts its bytes")
        << QByteArray("GBK") << QString() << QByteArray("\xD6\xD0\xCE\xC4") << false << 1 << initial
        << QStringLiteral("TX:4");
}

void ReceiveTest::sentCount()
{
    QFETCH(QByteArray, codePage);
    QFETCH(QString, sendBox);
    QFETCH(QByteArray, file);
    QFETCH(bool, hexSend);
    QFETCH(int, clicks);
    QFETCH(QString, txBeforeEvent);
    QFETCH(QString, txAfterEvent);

    CodePage::setSystemOverride(codePage);
    tick("ChkHexSend", hexSend);
    QTemporaryDir folder;
    const char* button = "CmdSend";
    if (file.isEmpty()) {
        control<QPlainTextEdit>("TxtSend")->setPlainText(sendBox);
    } else {
        QFile chosen(folder.filePath(QStringLiteral("data.txt")));
        QVERIFY(chosen.open(QIODevice::WriteOnly) && chosen.write(file) == file.size());
        chosen.close();
        fakes->dialogs.nextFile = chosen.fileName();
        click("CmdSelectFile");
        button = "CmdSendFile";
    }
    for (int i = 0; i < clicks; ++i)
        click(button);
    QCOMPARE(fakes->serial.writes.size(), clicks);
    QVERIFY(fakes->dialogs.messages.isEmpty());
    QCOMPARE(txText(), txBeforeEvent);

    fakes->serial.raise(SerialComponent::EventSend);
    QCOMPARE(txText(), txAfterEvent);
    fakes->serial.raise(SerialComponent::EventSend); // nothing written since: nothing more
    QCOMPARE(txText(), txAfterEvent);
    QCOMPARE(window->sentCount(), fakes->serial.written().size());
}

QTEST_MAIN(ReceiveTest)
#include "tst_receive.moc"
