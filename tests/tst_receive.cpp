#include "app/mainwindow.h"
#include "port/codepage.h"
#include "receive/receiveview.h"
#include "support/fakes.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

class ReceiveTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        fakes = std::make_unique<FakePlatform>();
        window = std::make_unique<MainWindow>(fakes->platform());
        window->show();
        QVERIFY(fakes->serial.portOpen());
    }
    void cleanup()
    {
        window.reset();
        fakes.reset();
        CodePage::setSystemOverride(QByteArray());
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // Events other than a receive: two bytes wait and a text send of 3 bytes is pending.
    void otherEvents_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("counts");
        QTest::newRow("send counts the pending text") << 1 << QStringLiteral("RX收:0 TX:3");
        QTest::newRow("no event") << 0 << QStringLiteral("RX收:0 TX发:0");
        QTest::newRow("line change") << 3 << QStringLiteral("RX收:0 TX发:0");
        QTest::newRow("error") << 1010 << QStringLiteral("RX收:0 TX发:0");
    }
    void otherEvents()
    {
        QFETCH(int, code);
        QFETCH(QString, counts);
        control<QPlainTextEdit>("TxtSend")->setPlainText(QStringLiteral("xyz"));
        click("CmdSend");
        fakes->serial.deliver("AB", false);
        fakes->serial.raise(code);
        QCOMPARE(view()->text(), QString());
        QCOMPARE(shownCounts(), counts);
        QCOMPARE(fakes->serial.inBufferCount(), 2);
        QVERIFY(fakes->serial.portOpen());
        QVERIFY(fakes->dialogs.messages.isEmpty());
    }

    // Each action clicks a button or box (Cmd..., Chk...), types into a box (Txt...), or is
    // bytes that arrive with a receive event of their own.
    void receive_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QByteArrayList>("actions");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("counts");
        const QByteArray hex("ChkHexReceive"), stop("CmdStopdisp"), autoClear("ChkAutoClear");
        const QByteArray reset("CmdClearCounter"), clear("CmdClearReceive");
        const QByteArray a65534(65534, 'a'), a65535(65535, 'a');
        const auto as = [](qsizetype n) { return QString(n, u'a'); };
        const auto rx = [](int n) { return QStringLiteral("RX:%1 TX发:0").arg(n); };
        const QByteArray page;
        QTest::newRow("AB CR LF breaks the line and counts 4")
            << page << QByteArrayList { "AB\r\n" } << QStringLiteral("AB\r\n") << rx(4);
        QTest::newRow("one GBK character shows as one and counts 2")
            << QByteArray("GBK") << QByteArrayList { "\xD6\xD0" } << QString(QChar(0x4E2D))
            << rx(2);
        QTest::newRow("invalid bytes count as received, not as re-encoded")
            << QByteArray("UTF-8") << QByteArrayList { "\xFF\xFE" }
            << QString(2, QChar::ReplacementCharacter) << rx(2);
        QTest::newRow("hex 00 0F 10 FF")
            << page << QByteArrayList { hex, QByteArray::fromHex("000F10FF") }
            << QStringLiteral("00 0F 10 FF ") << rx(4);
        QTest::newRow("hex 41 then 42 continue one run")
            << page << QByteArrayList { hex, "A", "B" } << QStringLiteral("41 42 ") << rx(2);
        QTest::newRow("hex event with nothing waiting rewrites the count")
            << page << QByteArrayList { "x", "TxtRXCount", hex, "" } << QStringLiteral("x")
            << rx(1);
        QTest::newRow("stopped: text counted, never shown")
            << page << QByteArrayList { stop, "x", stop, "y" } << QStringLiteral("y") << rx(2);
        QTest::newRow("stopped: hex goes on")
            << page << QByteArrayList { hex, stop, "x" } << QStringLiteral("78 ") << rx(1);
        QTest::newRow("clearing keeps the counts")
            << page << QByteArrayList { "ab", stop, clear } << QString() << rx(2);
        QTest::newRow("counter reset right after start")
            << page << QByteArrayList { reset } << QString() << QStringLiteral("RX:0 TX:0");
        QTest::newRow("counter reset keeps the display")
            << page << QByteArrayList { "Z", stop, reset } << QStringLiteral("Z")
            << QStringLiteral("RX:0 TX:0");
        QTest::newRow("auto clear: 65534 stay")
            << page << QByteArrayList { autoClear, a65534 } << as(65534) << rx(65534);
        QTest::newRow("auto clear: the 65535th byte empties")
            << page << QByteArrayList { autoClear, a65534, "a" } << QString() << rx(65535);
        QTest::newRow("auto clear: not again before a further 65535")
            << page << QByteArrayList { autoClear, a65535, "a", a65534.chopped(1) } << as(65534)
            << rx(131069);
        QTest::newRow("auto clear: again after a further 65535")
            << page << QByteArrayList { autoClear, a65535, "a", a65534 } << QString() << rx(131070);
        QTest::newRow("auto clear: the counter reset restores the first mark")
            << page << QByteArrayList { autoClear, a65535, reset, a65534 } << as(65534)
            << QStringLiteral("RX:65534 TX:0");
        QTest::newRow("auto clear: hex goes by the count, not the display")
            << page << QByteArrayList { hex, autoClear, QByteArray(30000, 'a') }
            << QStringLiteral("61 ").repeated(30000) << rx(30000);
        QTest::newRow("auto clear unticked never clears")
            << page << QByteArrayList { a65535, a65535 } << as(131070) << rx(131070);
    }
    void receive()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(QByteArrayList, actions);
        QFETCH(QString, shown);
        QFETCH(QString, counts);
        CodePage::setSystemOverride(codePage);
        // As a hex send leaves it: text must be read as text all the same.
        fakes->serial.setInputMode(SerialComponent::InputBinary);
        for (const QByteArray& action : actions) {
            if (action.startsWith("Cmd") || action.startsWith("Chk"))
                click(action.constData());
            else if (action.startsWith("Txt"))
                QTest::keyClicks(control<QLineEdit>(action.constData()), QStringLiteral("!"));
            else
                fakes->serial.deliver(action);
        }
        QCOMPARE(view()->text(), shown);
        QCOMPARE(view()->cursorPosition(), view()->length());
        QCOMPARE(shownCounts(), counts);
        const bool stopped = actions.count("CmdStopdisp") % 2;
        QCOMPARE(control("CmdStopdisp")->text(),
            stopped ? QStringLiteral("继续显示") : QStringLiteral("停止显示"));
    }

private:
    template <typename T = QAbstractButton> T* control(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const { QTest::mouseClick(control(name), Qt::LeftButton); }
    ReceiveView* view() const { return control<ReceiveView>("TxtReceive"); }
    QString shownCounts() const
    {
        return control<QLineEdit>("TxtRXCount")->text() + QLatin1Char(' ')
            + control<QLineEdit>("TxtTXCount")->text();
    }

    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(ReceiveTest)
#include "tst_receive.moc"
