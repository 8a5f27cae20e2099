// The port's open/closed life as the user sees it: status line, switch caption, lamp and the
// message boxes, driven through the window against a fake serial component.
#include "app/mainwindow.h"
#include "port/portsettings.h"
#include "support/fakes.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString openText = u"串口：COM1 打开，9600,N,8,1"_s;
const QString closedText = u"串口状态：COM Port 关闭"_s;
const QString messageA = u"没有发现此串口或被占用"_s;

QString open(const QString& status) { return status + u" | 关闭串口 | red"_s; }
QString closed(const QString& status) { return status + u" | 打开串口 | dark"_s; }

} // namespace

class PortStateTest : public QObject {
    Q_OBJECT
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_statusAtMessages;
    int m_ends = 0;

    template <typename T> T* find(const QString& n) const { return m_window->findChild<T*>(n); }
    QString status() const { return find<QLineEdit>(u"TxtStatus"_s)->text(); }
    // What the user sees; the red lamp lies above the dark one, so it wins when both show.
    QString indicators() const
    {
        if (!m_window->isVisible())
            return m_ends == 1 ? u"ended"_s : u"unloaded"_s;
        const bool dark = find<QLabel>(u"ImgSwitchOff"_s)->isVisible();
        const QString lamp = find<QLabel>(u"ImgSwitchOn"_s)->isVisible() ? u"red"_s
            : dark                                                       ? u"dark"_s
                                                                         : u"none"_s;
        return status() + u" | "_s + find<QPushButton>(u"CmdSwitch"_s)->text() + u" | "_s + lamp;
    }
    // Setup: a fault the start-up meets ("absent", "silent"), "cancel" to answer boxes with
    // Cancel, "closed" to switch the port off once the window is up. The steps then run with the
    // start-up's calls and boxes forgotten; gives the status line shown before them.
    QString play(const QString& setup, const QStringList& steps = {})
    {
        m_fakes = std::make_unique<FakePlatform>();
        run(setup.section(u' ', 0, 0));
        if (setup.contains(u"cancel"))
            m_fakes->dialogs.answer = Dialogs::Answer::Cancel;
        m_fakes->dialogs.onMessage = [this](const FakeDialogs::Message&) {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto* line = window->findChild<QLineEdit*>(u"TxtStatus"_s))
                    m_statusAtMessages << line->text();
            }
        };
        m_window = std::make_unique<MainWindow>(m_fakes->platform());
        m_window->setEndProgram([this] { ++m_ends; });
        m_window->show();
        if (setup == u"closed")
            run(u"switch"_s);
        if (steps.isEmpty())
            return QString();
        m_fakes->serial.calls.clear();
        m_fakes->dialogs.messages.clear();
        m_statusAtMessages.clear();
        const QString before = status();
        for (const QString& step : steps)
            run(step);
        return before;
    }
    // "switch", "pick BOX ITEM", "type BOX TEXT", "caption TEXT" (the switch caption goes stale),
    // "quit", "wait", "frame" (closed by it), "lose" (the device goes away); any other word sets
    // the fault of the next opens: "absent", "silent" (opens without error but stays closed) or
    // none.
    void run(const QString& step)
    {
        const QString verb = step.section(u' ', 0, 0);
        const QString text = step.section(u' ', 2);
        if (verb == u"switch") {
            QTest::mouseClick(find<QPushButton>(u"CmdSwitch"_s), Qt::LeftButton);
        } else if (verb == u"pick") {
            auto* box = find<QComboBox>(step.section(u' ', 1, 1));
            box->setCurrentIndex(box->findText(text));
            Q_EMIT box->activated(box->currentIndex());
        } else if (verb == u"type") {
            QLineEdit* edit = find<QComboBox>(step.section(u' ', 1, 1))->lineEdit();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, text);
        } else if (verb == u"caption") {
            find<QPushButton>(u"CmdSwitch"_s)->setText(step.section(u' ', 1));
        } else if (verb == u"quit") {
            QTest::mouseClick(find<QPushButton>(u"CmdQuit"_s), Qt::LeftButton);
        } else if (verb == u"wait") { // quit inside a nested event loop, as during the save notice
            QEventLoop wait;
            connect(m_window.get(), &MainWindow::programEnding, &wait, &QEventLoop::quit);
            QTimer::singleShot(0, this, [this] { run(u"quit"_s); });
            QTimer::singleShot(10000, &wait, [&wait] { wait.exit(1); }); // a hang fails, not stalls
            QCOMPARE(wait.exec(), 0);
        } else if (verb == u"frame") {
            QVERIFY(m_window->close());
        } else if (verb == u"lose") {
            m_fakes->serial.loseDevice();
        } else {
            m_fakes->serial.absentPorts = verb == u"absent" ? QList<int> { 1 } : QList<int> {};
            m_fakes->serial.openSilentlyFails = verb == u"silent";
        }
    }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_fakes.reset();
        m_ends = 0;
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void transitions_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message"); // what the one box says; empty: no box
        // Asked of the component by the steps ("false" closes, "true" opens, "none"); empty: any.
        QTest::addColumn<QString>("calls");
        const auto row
            = [](const char* name, const char* setup, const char* steps, const QString& expected,
                  const QString& message = {}, const char* calls = "") {
                  QTest::newRow(name) << QString::fromUtf8(setup)
                                      << QString::fromUtf8(steps).split(u"; "_s, Qt::SkipEmptyParts)
                                      << expected << message << QString::fromUtf8(calls);
              };
        const QString messageB = u"没有成功，请重试【检查端口是否被占用，或者端口号正确】"_s;
        const QString applied = u"串口状态：COM1 OPEND，19200,N,8,1"_s;
        const QString shortClosed = u"串口状态：COM关闭"_s;
        const char* pick = "pick CboBaudrate 19200";
        row("start-up, COM1 present", "", "", open(openText));
        row("start-up, COM1 absent, Cancel", "absent cancel", "", closed(closedText), messageA);
        // As built the switch and lamp say "open"; they must not stay so over a closed port.
        row("start-up, opens but stays closed", "silent", "", closed(closedText));
        row("closed, switch opens", "closed", "switch", open(openText));
        row("closed, switch, stays closed", "closed", "silent; switch", closed(shortClosed));
        row("closed, switch, absent", "closed", "absent; switch", closed(shortClosed), messageB);
        row("open, switch closes whatever the caption", "", "caption 打开串口; switch",
            closed(closedText));
        row("open, pick reopens", "", pick, open(applied));
        row("closed, pick opens", "closed", pick, open(applied));
        row("open, pick, absent", "", "absent; pick CboDatabit 7", closed(closedText), messageB);
        row("open, pick, stays closed", "", "silent; pick CboDatabit 7", closed(closedText));
        row("open, device lost", "", "lose", closed(closedText));
        // A text that cannot be converted must not cost the user a working connection.
        row("open, bad data bits, pick warns, port kept", "",
            "type CboDatabit abc; pick CboStopbit 2", open(openText), u"“abc”"_s, "none");
        row("closed, bad port number, switch is silent", "closed", "type CboCom COM-1; switch",
            closed(closedText), {}, "none");
        // Closed first only if open, then given the converted arguments.
        row("COM12 picked", "", "pick CboCom COM12", open(u"串口状态：COM12 OPEND，9600,N,8,1"_s),
            {}, "false COM12 9600,N,8,1 true");
        row("shown value picked again", "", "pick CboBaudrate 9600",
            open(u"串口状态：COM1 OPEND，9600,N,8,1"_s), {}, "false COM1 9600,N,8,1 true");
        row("typed baud applies at a pick", "", "type CboBaudrate 115200; pick CboParitybit ENEV",
            open(u"串口状态：COM1 OPEND，115200,E,8,1"_s), {}, "false COM1 115200,E,8,1 true");
        row("closed, typed data bits rounded", "closed", "type CboDatabit 7.5; pick CboStopbit 1.5",
            open(u"串口状态：COM1 OPEND，9600,N,7.5,1.5"_s), {}, "COM1 9600,N,8,1.5 true");
        row("switch opens what was typed", "closed", "type CboCom COM12; switch",
            open(u"串口：COM12 打开，9600,N,8,1"_s), {}, "COM12 9600,N,8,1 true");
        row("quit, port open", "", "quit", u"ended"_s, {}, "false");
        row("quit, port closed and left alone", "closed", "quit", u"ended"_s, {}, "none");
        row("quit while another handler waits", "", "wait", u"ended"_s, {}, "false");
        row("frame closed, port open", "", "frame", u"unloaded"_s, {}, "false");
    }

    void transitions()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        QFETCH(QString, calls);
        const QString before = play(setup, steps);

        const FakeSerial& serial = m_fakes->serial;
        QCOMPARE(indicators(), expected);
        QCOMPARE(serial.portOpen(), expected.endsWith(u"red"));
        QString asked = serial.calls.join(u' ');
        asked.remove(u"PortOpen="_s).remove(u"Settings="_s).replace(u"CommPort="_s, u"COM"_s);
        if (!calls.isEmpty())
            QCOMPARE(asked.isEmpty() ? u"none"_s : asked, calls);
        // Set at start-up, even when the opening fails; every later opening relies on them.
        QCOMPARE(QList<int>({ serial.inBufferSize, serial.outBufferSize, serial.sThreshold,
                     serial.rThreshold }),
            QList<int>({ 1024, 4096, 1, 1 }));
        QComboBox* com = find<QComboBox>(u"CboCom"_s);
        QCOMPARE(com->lineEdit()->toolTip(), portDeviceText(com->currentText()));
        QCOMPARE(m_fakes->dialogs.messages.size(), message.isEmpty() ? 0 : 1);
        if (message.isEmpty())
            return;
        const FakeDialogs::Message& box = m_fakes->dialogs.messages.first();
        QVERIFY2(box.text.contains(message), qPrintable(box.text));
        QCOMPARE(box.title, u"串口调试助手"_s);
        QCOMPARE(box.icon, Dialogs::Icon::Warning);
        QCOMPARE(
            box.buttons, message == messageA ? Dialogs::Buttons::OkCancel : Dialogs::Buttons::Ok);
        // The box is modal: it shows before anything else changes on the screen.
        QCOMPARE(m_statusAtMessages, QStringList { before });
    }
};

QTEST_MAIN(PortStateTest)
#include "tst_portstate.moc"
