// The port's open/closed life as the user sees it: status line, switch caption, lamp and the
// message boxes, driven through the window against a fake serial component.
#include "app/mainwindow.h"
#include "support/fakes.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

enum class Fault { None, Absent, Busy, OpensButStaysClosed };
enum class Action {
    None,
    Switch,
    SwitchStaleCaption, // the caption says the opposite of the port's state
    Pick,
    LoseDevice,
    LoseDeviceThenSwitch,
};
enum class Ending { QuitButton, QuitWhileWaiting, Frame };

const QString openText = QStringLiteral("串口：COM1 打开，9600,N,8,1");
const QString closedText = QStringLiteral("串口状态：COM Port 关闭");
const QString messageA = QStringLiteral("没有发现此串口或被占用");
const QString messageB = QStringLiteral("没有成功，请重试【检查端口是否被占用，或者端口号正确】");

// Status line, switch caption and lamp, as one comparable value.
QString shown(const QString& status, bool open)
{
    return status
        + (open ? QStringLiteral(" | 关闭串口 | red") : QStringLiteral(" | 打开串口 | dark"));
}

void applyFault(FakeSerial& serial, Fault fault)
{
    serial.absentPorts = fault == Fault::Absent ? QList<int> { 1 } : QList<int> {};
    serial.refuseAll = fault == Fault::Busy;
    serial.openSilentlyFails = fault == Fault::OpensButStaysClosed;
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(Dialogs::Answer)

class PortStateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void transitions_data();
    void transitions();
    void startUpPreparesControlsAndComponent_data();
    void startUpPreparesControlsAndComponent();
    void picks_data();
    void picks();
    void invalidSelection_data();
    void invalidSelection();
    void ending_data();
    void ending();
    void portTooltip_data();
    void portTooltip();

private:
    void start(bool open, Fault fault = Fault::None, Dialogs::Answer answer = Dialogs::Answer::Ok);
    QComboBox* combo(const QString& name) const { return m_window->findChild<QComboBox*>(name); }
    QPushButton* switchButton() const;
    QString status() const;
    QString indicators() const;
    void pick(const QString& box, const QString& item);
    void type(const QString& box, const QString& text);

    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;
    int m_ends = 0;
    QStringList m_statusAtMessages;
    QTemporaryDir m_config;
    QString m_linkedDevice;
};

void PortStateTest::initTestCase()
{
    // Port names resolve through a devices folder of our own, never the user's.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QVERIFY(QDir(m_config.path()).mkpath(QStringLiteral("portlark/devices")));
    m_linkedDevice = m_config.filePath(QStringLiteral("device3"));
    QFile device(m_linkedDevice);
    QVERIFY(device.open(QIODevice::WriteOnly));
    QVERIFY(
        QFile::link(m_linkedDevice, m_config.filePath(QStringLiteral("portlark/devices/com3"))));
}

void PortStateTest::cleanup()
{
    m_window.reset();
    m_fakes.reset();
    m_statusAtMessages.clear();
    m_ends = 0;
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

// A fresh window that starts up against `fault`, answering boxes with `answer`; `open` false then
// switches a working port off, the way a user reaches the closed state.
void PortStateTest::start(bool open, Fault fault, Dialogs::Answer answer)
{
    m_fakes = std::make_unique<FakePlatform>();
    applyFault(m_fakes->serial, fault);
    m_fakes->dialogs.answer = answer;
    m_fakes->dialogs.onMessage = [this](const FakeDialogs::Message&) {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (auto* line = window->findChild<QLineEdit*>(QStringLiteral("TxtStatus")))
                m_statusAtMessages << line->text();
        }
    };
    m_window = std::make_unique<MainWindow>(m_fakes->platform());
    m_window->setEndProgram([this] { ++m_ends; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    if (!open && m_fakes->serial.portOpen()) {
        QTest::mouseClick(switchButton(), Qt::LeftButton);
        QCOMPARE(indicators(), shown(closedText, false));
    }
}

QPushButton* PortStateTest::switchButton() const
{
    return m_window->findChild<QPushButton*>(QStringLiteral("CmdSwitch"));
}

QString PortStateTest::status() const
{
    return m_window->findChild<QLineEdit*>(QStringLiteral("TxtStatus"))->text();
}

// What the user sees; the red lamp lies above the dark one, so it wins when both show.
QString PortStateTest::indicators() const
{
    QString lamp = QStringLiteral("none");
    if (m_window->findChild<QLabel*>(QStringLiteral("ImgSwitchOn"))->isVisible())
        lamp = QStringLiteral("red");
    else if (m_window->findChild<QLabel*>(QStringLiteral("ImgSwitchOff"))->isVisible())
        lamp = QStringLiteral("dark");
    return status() + QStringLiteral(" | ") + switchButton()->text() + QStringLiteral(" | ") + lamp;
}

void PortStateTest::pick(const QString& box, const QString& item)
{
    QComboBox* target = combo(box);
    const int index = target->findText(item);
    QVERIFY2(index >= 0, qPrintable(item));
    target->setCurrentIndex(index);
    Q_EMIT target->activated(index);
}

void PortStateTest::type(const QString& box, const QString& text)
{
    QLineEdit* edit = combo(box)->lineEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QCOMPARE(combo(box)->currentText(), text);
}

void PortStateTest::transitions_data()
{
    QTest::addColumn<Fault>("startFault");
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::addColumn<bool>("startOpen");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message"); // empty: no box
    QTest::addColumn<QString>("statusAtMessage"); // a modal box comes before the closed state

    const auto ok = Dialogs::Answer::Ok;
    const QString applied = QStringLiteral("串口状态：COM1 OPEND，19200,N,8,1");
    const QString shortClosed = QStringLiteral("串口状态：COM关闭");

    QTest::newRow("start-up, COM1 present")
        << Fault::None << ok << true << Fault::None << Action::None << shown(openText, true)
        << QString() << QString();
    QTest::newRow("start-up, COM1 absent, OK")
        << Fault::Absent << ok << true << Fault::Absent << Action::None << shown(closedText, false)
        << messageA << QString();
    QTest::newRow("start-up, COM1 absent, Cancel")
        << Fault::Absent << Dialogs::Answer::Cancel << true << Fault::Absent << Action::None
        << shown(closedText, false) << messageA << QString();
    QTest::newRow("start-up, COM1 busy") << Fault::Busy << ok << true << Fault::Busy << Action::None
                                         << shown(closedText, false) << messageA << QString();
    // As built the switch and lamp say "open"; they must not stay so over a closed port.
    QTest::newRow("start-up, open leaves the port closed")
        << Fault::OpensButStaysClosed << ok << true << Fault::OpensButStaysClosed << Action::None
        << shown(closedText, false) << QString() << QString();
    QTest::newRow("closed, switch opens")
        << Fault::None << ok << false << Fault::None << Action::Switch << shown(openText, true)
        << QString() << QString();
    QTest::newRow("closed, switch, open leaves the port closed")
        << Fault::None << ok << false << Fault::OpensButStaysClosed << Action::Switch
        << shown(shortClosed, false) << QString() << QString();
    QTest::newRow("closed, switch, port absent")
        << Fault::None << ok << false << Fault::Absent << Action::Switch
        << shown(shortClosed, false) << messageB << closedText;
    QTest::newRow("closed, switch, port busy")
        << Fault::None << ok << false << Fault::Busy << Action::Switch << shown(shortClosed, false)
        << messageB << closedText;
    QTest::newRow("open, switch closes")
        << Fault::None << ok << true << Fault::None << Action::Switch << shown(closedText, false)
        << QString() << QString();
    QTest::newRow("open, stale caption, switch still closes")
        << Fault::None << ok << true << Fault::None << Action::SwitchStaleCaption
        << shown(closedText, false) << QString() << QString();
    QTest::newRow("closed, stale caption, switch still opens")
        << Fault::None << ok << false << Fault::None << Action::SwitchStaleCaption
        << shown(openText, true) << QString() << QString();
    QTest::newRow("open, pick reopens") << Fault::None << ok << true << Fault::None << Action::Pick
                                        << shown(applied, true) << QString() << QString();
    QTest::newRow("closed, pick opens") << Fault::None << ok << false << Fault::None << Action::Pick
                                        << shown(applied, true) << QString() << QString();
    QTest::newRow("open, pick, port busy")
        << Fault::None << ok << true << Fault::Busy << Action::Pick << shown(closedText, false)
        << messageB << openText;
    QTest::newRow("closed, pick, port absent")
        << Fault::None << ok << false << Fault::Absent << Action::Pick << shown(closedText, false)
        << messageB << closedText;
    QTest::newRow("open, pick, open leaves the port closed")
        << Fault::None << ok << true << Fault::OpensButStaysClosed << Action::Pick
        << shown(closedText, false) << QString() << QString();
    QTest::newRow("open, device lost")
        << Fault::None << ok << true << Fault::None << Action::LoseDevice
        << shown(closedText, false) << QString() << QString();
    QTest::newRow("device lost and back, switch reopens")
        << Fault::None << ok << true << Fault::None << Action::LoseDeviceThenSwitch
        << shown(openText, true) << QString() << QString();
}

void PortStateTest::transitions()
{
    QFETCH(Fault, startFault);
    QFETCH(Dialogs::Answer, answer);
    QFETCH(bool, startOpen);
    QFETCH(Fault, fault);
    QFETCH(Action, action);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    QFETCH(QString, statusAtMessage);

    start(startOpen, startFault, answer);
    if (action != Action::None) {
        m_fakes->dialogs.messages.clear();
        m_statusAtMessages.clear();
    }
    applyFault(m_fakes->serial, fault);

    switch (action) {
    case Action::None:
        break;
    case Action::SwitchStaleCaption:
        switchButton()->setText(
            startOpen ? QStringLiteral("打开串口") : QStringLiteral("关闭串口"));
        Q_FALLTHROUGH();
    case Action::Switch:
        QTest::mouseClick(switchButton(), Qt::LeftButton);
        break;
    case Action::Pick:
        pick(QStringLiteral("CboBaudrate"), QStringLiteral("19200"));
        break;
    case Action::LoseDevice:
        m_fakes->serial.loseDevice();
        break;
    case Action::LoseDeviceThenSwitch:
        m_fakes->serial.loseDevice();
        QCOMPARE(status(), closedText);
        QTest::mouseClick(switchButton(), Qt::LeftButton);
        break;
    }

    QCOMPARE(indicators(), expected);
    QCOMPARE(m_fakes->serial.portOpen(), expected.endsWith(QLatin1String("red")));
    QStringList texts;
    for (const FakeDialogs::Message& box : std::as_const(m_fakes->dialogs.messages)) {
        texts << box.text;
        QCOMPARE(box.title, QStringLiteral("串口调试助手"));
        QCOMPARE(box.icon, Dialogs::Icon::Warning);
        QCOMPARE(
            box.buttons, box.text == messageA ? Dialogs::Buttons::OkCancel : Dialogs::Buttons::Ok);
    }
    QCOMPARE(texts, message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(
        m_statusAtMessages, message.isEmpty() ? QStringList() : QStringList { statusAtMessage });
}

void PortStateTest::startUpPreparesControlsAndComponent_data()
{
    QTest::addColumn<bool>("leftOpen");
    QTest::addColumn<QStringList>("calls");

    const QStringList open = { QStringLiteral("CommPort=1"), QStringLiteral("Settings=9600,N,8,1"),
        QStringLiteral("PortOpen=true") };
    QTest::newRow("component closed") << false << open;
    QTest::newRow("component left open is closed first")
        << true << QStringList { QStringLiteral("PortOpen=false") } + open;
}

void PortStateTest::startUpPreparesControlsAndComponent()
{
    QFETCH(bool, leftOpen);
    QFETCH(QStringList, calls);

    m_fakes = std::make_unique<FakePlatform>();
    FakeSerial& serial = m_fakes->serial;
    if (leftOpen) {
        serial.setCommPort(4);
        serial.setPortOpen(true);
        serial.calls.clear();
    }
    m_window = std::make_unique<MainWindow>(m_fakes->platform());

    QCOMPARE(serial.calls, calls);
    QCOMPARE(QList<int>({ serial.inBufferSize, serial.outBufferSize, serial.sThreshold,
                 serial.rThreshold }),
        QList<int>({ 1024, 4096, 1, 1 }));
    QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("TxtSend"))->toPlainText(),
        QStringLiteral("在此处输入要发送的数据"));
    const QLabel* web = m_window->findChild<QLabel*>(QStringLiteral("LblWeb"));
    QVERIFY(web->font().underline());
    QCOMPARE(web->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

void PortStateTest::picks_data()
{
    QTest::addColumn<bool>("startOpen");
    QTest::addColumn<QStringList>("typed"); // box, text
    QTest::addColumn<QStringList>("picked"); // box, item; empty: the switch opens instead
    QTest::addColumn<int>("commPort");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("expectedStatus");

    const QString com = QStringLiteral("CboCom");
    const QString baud = QStringLiteral("CboBaudrate");
    const QString start = QStringLiteral("9600,N,8,1");
    const auto pair = [](const QString& box, const char* text) {
        return QStringList { box, QString::fromUtf8(text) };
    };

    QTest::newRow("COM12 picked") << true << QStringList() << pair(com, "COM12") << 12 << start
                                  << QStringLiteral("串口状态：COM12 OPEND，9600,N,8,1");
    QTest::newRow("COM1 picked over a typed COM12")
        << true << pair(com, "COM12") << pair(com, "COM1") << 1 << start
        << QStringLiteral("串口状态：COM1 OPEND，9600,N,8,1");
    QTest::newRow("value already shown picked again")
        << true << QStringList() << pair(baud, "9600") << 1 << start
        << QStringLiteral("串口状态：COM1 OPEND，9600,N,8,1");
    QTest::newRow("even parity entry shows E")
        << true << QStringList() << pair(QStringLiteral("CboParitybit"), "ENEV") << 1
        << QStringLiteral("9600,E,8,1") << QStringLiteral("串口状态：COM1 OPEND，9600,E,8,1");
    QTest::newRow("1.5 stop bits")
        << true << QStringList() << pair(QStringLiteral("CboStopbit"), "1.5") << 1
        << QStringLiteral("9600,N,8,1.5") << QStringLiteral("串口状态：COM1 OPEND，9600,N,8,1.5");
    QTest::newRow("7 data bits while closed")
        << false << QStringList() << pair(QStringLiteral("CboDatabit"), "7") << 1
        << QStringLiteral("9600,N,7,1") << QStringLiteral("串口状态：COM1 OPEND，9600,N,7,1");
    QTest::newRow("typed baud applies at a pick in another box")
        << true << pair(baud, "115200") << pair(QStringLiteral("CboParitybit"), "ODD") << 1
        << QStringLiteral("115200,O,8,1") << QStringLiteral("串口状态：COM1 OPEND，115200,O,8,1");
    QTest::newRow("typed data bits rounded, shown as typed")
        << true << pair(QStringLiteral("CboDatabit"), "7.5")
        << pair(QStringLiteral("CboStopbit"), "2") << 1 << QStringLiteral("9600,N,8,2")
        << QStringLiteral("串口状态：COM1 OPEND，9600,N,7.5,2");
    QTest::newRow("typed port with a blank")
        << true << pair(com, "COM 3") << pair(baud, "4800") << 3 << QStringLiteral("4800,N,8,1")
        << QStringLiteral("串口状态：COM 3 OPEND，4800,N,8,1");
    QTest::newRow("switch opens a typed COM12")
        << false << pair(com, "COM12") << QStringList() << 12 << start
        << QStringLiteral("串口：COM12 打开，9600,N,8,1");
    QTest::newRow("switch opens with a typed baud")
        << false << pair(baud, "57600") << QStringList() << 1 << QStringLiteral("57600,N,8,1")
        << QStringLiteral("串口：COM1 打开，57600,N,8,1");
}

void PortStateTest::picks()
{
    QFETCH(bool, startOpen);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, picked);
    QFETCH(int, commPort);
    QFETCH(QString, settings);
    QFETCH(QString, expectedStatus);

    start(startOpen);
    const QString statusBefore = status();
    m_fakes->serial.calls.clear();
    if (!typed.isEmpty()) {
        type(typed.at(0), typed.at(1));
        QCOMPARE(m_fakes->serial.calls, QStringList()); // typing fires nothing
        QCOMPARE(status(), statusBefore);
    }
    if (picked.isEmpty())
        QTest::mouseClick(switchButton(), Qt::LeftButton);
    else
        pick(picked.at(0), picked.at(1));

    // Closed before CommPort and Settings are written, closed only if it was open.
    QStringList calls = { QStringLiteral("CommPort=%1").arg(commPort),
        QStringLiteral("Settings=") + settings, QStringLiteral("PortOpen=true") };
    if (startOpen)
        calls.prepend(QStringLiteral("PortOpen=false"));
    QCOMPARE(m_fakes->serial.calls, calls);
    QCOMPARE(indicators(), shown(expectedStatus, true));
    QCOMPARE(m_fakes->dialogs.messages.size(), 0);
}

void PortStateTest::invalidSelection_data()
{
    QTest::addColumn<bool>("startOpen");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("bySwitch");
    QTest::addColumn<QString>("named"); // what the message must name; empty: no message

    const QString com = QStringLiteral("CboCom");
    const QString data = QStringLiteral("CboDatabit");
    QTest::newRow("open, data bits not numeric, pick")
        << true << data << QStringLiteral("abc") << false << QStringLiteral("“abc”");
    QTest::newRow("open, data bits beyond 16 bits, pick")
        << true << data << QStringLiteral("40000") << false << QStringLiteral("“40000”");
    QTest::newRow("open, negative port number, pick")
        << true << com << QStringLiteral("COM-1") << false << QStringLiteral("“COM-1”");
    QTest::newRow("closed, data bits not numeric, pick")
        << false << data << QStringLiteral("abc") << false << QStringLiteral("“abc”");
    QTest::newRow("closed, data bits not numeric, switch")
        << false << data << QStringLiteral("abc") << true << QString();
    QTest::newRow("closed, negative port number, switch")
        << false << com << QStringLiteral("COM-1") << true << QString();
}

void PortStateTest::invalidSelection()
{
    QFETCH(bool, startOpen);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, bySwitch);
    QFETCH(QString, named);

    start(startOpen);
    const QString before = indicators();
    type(box, typed);
    m_fakes->serial.calls.clear();

    if (bySwitch)
        QTest::mouseClick(switchButton(), Qt::LeftButton);
    else
        pick(QStringLiteral("CboBaudrate"), QStringLiteral("19200"));

    // The port is left exactly as it was: not even closed and reopened.
    QCOMPARE(m_fakes->serial.calls, QStringList());
    QCOMPARE(m_fakes->serial.portOpen(), startOpen);
    QCOMPARE(indicators(), before);
    QCOMPARE(m_fakes->dialogs.messages.size(), named.isEmpty() ? 0 : 1);
    if (!named.isEmpty()) {
        const FakeDialogs::Message& box = m_fakes->dialogs.messages.first();
        QVERIFY2(box.text.contains(named), qPrintable(box.text));
        QCOMPARE(box.title, QStringLiteral("串口调试助手"));
        QCOMPARE(box.icon, Dialogs::Icon::Warning);
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    }
}

void PortStateTest::ending_data()
{
    QTest::addColumn<bool>("startOpen");
    QTest::addColumn<Ending>("how");

    QTest::newRow("quit, port open") << true << Ending::QuitButton;
    QTest::newRow("quit, port closed and left alone") << false << Ending::QuitButton;
    QTest::newRow("quit while another handler waits") << true << Ending::QuitWhileWaiting;
    QTest::newRow("frame closed, port open") << true << Ending::Frame;
    QTest::newRow("frame closed, port closed and left alone") << false << Ending::Frame;
}

void PortStateTest::ending()
{
    QFETCH(bool, startOpen);
    QFETCH(Ending, how);

    start(startOpen);
    m_fakes->serial.calls.clear();
    QSignalSpy announced(m_window.get(), &MainWindow::programEnding);
    QPushButton* quit = m_window->findChild<QPushButton*>(QStringLiteral("CmdQuit"));

    if (how == Ending::QuitWhileWaiting) {
        // Stands in for a handler that lets events run while it waits (the save notice).
        QEventLoop wait;
        connect(m_window.get(), &MainWindow::programEnding, &wait, &QEventLoop::quit);
        QTimer::singleShot(0, quit, [quit] { QTest::mouseClick(quit, Qt::LeftButton); });
        QTimer::singleShot(10000, &wait, [&wait] { wait.exit(1); }); // a hang fails, not stalls
        QCOMPARE(wait.exec(), 0);
    } else if (how == Ending::QuitButton) {
        QTest::mouseClick(quit, Qt::LeftButton);
    } else {
        QVERIFY(m_window->close());
    }

    const bool quitting = how != Ending::Frame;
    QCOMPARE(m_ends, quitting ? 1 : 0);
    QCOMPARE(announced.size(), quitting ? 1 : 0);
    QCOMPARE(m_window->hasEnded(), quitting);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_fakes->serial.calls,
        startOpen ? QStringList { QStringLiteral("PortOpen=false") } : QStringList());
}

void PortStateTest::portTooltip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("picked");
    QTest::addColumn<QString>("expected"); // "%linked" stands for the linked device

    QTest::newRow("linked port, typed")
        << QStringLiteral("COM3") << false << QStringLiteral("COM3 → %linked");
    QTest::newRow("linked port, picked")
        << QStringLiteral("COM3") << true << QStringLiteral("COM3 → %linked");
    QTest::newRow("no number is port 0, never present")
        << QStringLiteral("COMx") << false << QStringLiteral("COM0：没有发现此串口");
    QTest::newRow("negative port number") << QStringLiteral(
        "COM-1") << false << QStringLiteral("串口号无效：“COM-1”（端口号应为0到255）");
}

void PortStateTest::portTooltip()
{
    QFETCH(QString, text);
    QFETCH(bool, picked);
    QFETCH(QString, expected);
    expected.replace(QStringLiteral("%linked"), QFileInfo(m_linkedDevice).canonicalFilePath());

    start(true);
    if (picked)
        pick(QStringLiteral("CboCom"), text);
    else
        type(QStringLiteral("CboCom"), text);

    QCOMPARE(combo(QStringLiteral("CboCom"))->lineEdit()->toolTip(), expected);
}

QTEST_MAIN(PortStateTest)
#include "tst_portstate.moc"
