#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "app/qtplatform.h"
#include "port/codepage.h"
#include "support/fakes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString portClosed = QStringLiteral("串口没有打开，请打开串口");
const QString emptyData = QStringLiteral("发送数据不能为空");
const QString emptyFile = QStringLiteral("发送的文件为空");

QByteArray gbk(const QString& text) { return CodePage::encode(text); }

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size();
}

} // namespace

class SendTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void hexSend_data();
    void hexSend();
    void textSend_data();
    void textSend();
    void typedLinesGoOutWithCrLf();
    void refusals_data();
    void refusals();

    void autoPeriod_data();
    void autoPeriod();
    void autoSendWithPortClosedUnticksFirst();
    void autoSendRepeats_data();
    void autoSendRepeats();
    void autoSendFollowsHexSwitch();
    void autoSendStopsOnEmptyBox();
    void autoSendSkipsTicksWhilePortClosed();
    void periodChangeNeedsRetick();

    void fileSend_data();
    void fileSend();
    void failedChoiceKeepsContent_data();
    void failedChoiceKeepsContent();
    void fileIsReadWhenChosen();
    void fileDialogShowsTextFilter();

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
    void setBox(const QString& text) { control<QPlainTextEdit>("TxtSend")->setPlainText(text); }
    QString shownTx() { return control<QLineEdit>("TxtTXCount")->text(); }
    IntervalTimer* autoTimer() { return control<IntervalTimer>("TmrAutoSend"); }
    void startAutoSend(const QString& period);
    QString writeFile(const QString& name, const QByteArray& bytes);
    void chooseFile(const QString& path);

    std::unique_ptr<FakePlatform> fakes;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QTemporaryDir> files;
};

void SendTest::initTestCase() { CodePage::setSystemOverride("GBK"); }

void SendTest::init()
{
    fakes = std::make_unique<FakePlatform>();
    window = std::make_unique<MainWindow>(fakes->platform());
    window->setEndProgram([] {});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    if (!fakes->serial.portOpen())
        fakes->serial.setPortOpen(true);
    fakes->serial.writes.clear();
    fakes->dialogs.messages.clear();
    files = std::make_unique<QTemporaryDir>();
}

void SendTest::cleanup()
{
    window.reset();
    fakes.reset();
    files.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void SendTest::startAutoSend(const QString& period)
{
    control<QLineEdit>("TxtAutoSendTime")->setText(period);
    click("ChkAutoSend");
    QVERIFY(control<QCheckBox>("ChkAutoSend")->isChecked());
}

QString SendTest::writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = files->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

void SendTest::chooseFile(const QString& path)
{
    fakes->dialogs.nextFile = path;
    click("CmdSelectFile");
}

void SendTest::hexSend_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("pairs with blanks") << QStringLiteral("01 02 03") << QByteArray("\x01\x02\x03");
    QTest::newRow("lower-case run") << QStringLiteral("0102ff") << QByteArray("\x01\x02\xff");
    QTest::newRow("blanks inside pairs") << QStringLiteral("a b c d") << QByteArray("\xab\xcd");
    QTest::newRow("odd digit dropped") << QStringLiteral("1 2 3") << QByteArray("\x12");
    QTest::newRow("comma stops") << QStringLiteral("12,34") << QByteArray("\x12");
    QTest::newRow("line break stops") << QStringLiteral("12\n34") << QByteArray("\x12");
    QTest::newRow("0x prefix stops at x") << QStringLiteral("0x12") << QByteArray();
    QTest::newRow("letter past F stops") << QStringLiteral("123G45") << QByteArray("\x12");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QByteArray();
    QTest::newRow("start-up text") << QStringLiteral("在此处输入要发送的数据") << QByteArray();
    QTest::newRow("paste of 40000 digits")
        << QStringLiteral("A5").repeated(20000) << QByteArray(20000, '\xa5');
}

void SendTest::hexSend()
{
    QFETCH(QString, box);
    QFETCH(QByteArray, bytes);
    setBox(box);
    click("ChkHexSend");
    click("CmdSend");
    QCOMPARE(fakes->serial.written(), bytes);
    QCOMPARE(fakes->serial.writes.size(), 1);
    QCOMPARE(fakes->serial.writes[0].inputMode, int(SerialComponent::InputBinary));
    QCOMPARE(shownTx(), QStringLiteral("TX:%1").arg(bytes.size()));
    // The send event that follows adds nothing more.
    fakes->serial.raise(SerialComponent::EventSend);
    QCOMPARE(window->sentCount(), bytes.size());
    QVERIFY(fakes->dialogs.messages.isEmpty());
}

void SendTest::textSend_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("hexReceive");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("blanks trimmed and not counted")
        << QStringLiteral("  AB  ") << false << QByteArray("AB");
    QTest::newRow("tabs at the ends stay")
        << QStringLiteral("\tA\t") << false << QByteArray("\tA\t");
    QTest::newRow("lines joined by CR LF")
        << QStringLiteral("one\ntwo\n") << false << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("start-up text in GBK") << QStringLiteral("在此处输入要发送的数据") << false
                                          << gbk(QStringLiteral("在此处输入要发送的数据"));
    QTest::newRow("only blanks send nothing") << QStringLiteral("    ") << false << QByteArray();
    QTest::newRow("hex display sets binary input")
        << QStringLiteral("AB") << true << QByteArray("AB");
}

void SendTest::textSend()
{
    QFETCH(QString, box);
    QFETCH(bool, hexReceive);
    QFETCH(QByteArray, bytes);
    setBox(box);
    if (hexReceive)
        click("ChkHexReceive");
    click("CmdSend");
    QCOMPARE(fakes->serial.written(), bytes);
    QCOMPARE(fakes->serial.writes.size(), 1);
    QVERIFY(fakes->serial.writes[0].wasText);
    QCOMPARE(fakes->serial.writes[0].inputMode,
        int(hexReceive ? SerialComponent::InputBinary : SerialComponent::InputText));
    QCOMPARE(window->sentCount(), 0);
    fakes->serial.raise(SerialComponent::EventSend);
    QCOMPARE(window->sentCount(), bytes.size());
    QCOMPARE(shownTx(), QStringLiteral("TX:%1").arg(bytes.size()));
    // Each write is counted once, however many events follow.
    fakes->serial.raise(SerialComponent::EventSend);
    QCOMPARE(window->sentCount(), bytes.size());
}

void SendTest::typedLinesGoOutWithCrLf()
{
    auto* box = control<QPlainTextEdit>("TxtSend");
    box->clear();
    QTest::keyClicks(box, QStringLiteral("AB"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("CD"));
    click("CmdSend");
    QCOMPARE(fakes->serial.written(), QByteArray("AB\r\nCD"));
}

void SendTest::refusals_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    QTest::addColumn<Dialogs::Icon>("icon");

    QTest::newRow("send, port closed") << QByteArray("CmdSend") << false << QStringLiteral("A")
                                       << portClosed << Dialogs::Icon::Warning;
    QTest::newRow("send, port closed and box empty")
        << QByteArray("CmdSend") << false << QString() << portClosed << Dialogs::Icon::Warning;
    QTest::newRow("send, box empty")
        << QByteArray("CmdSend") << true << QString() << emptyData << Dialogs::Icon::Error;
    QTest::newRow("file send, port closed")
        << QByteArray("CmdSendFile") << false << QStringLiteral("A") << portClosed
        << Dialogs::Icon::Warning;
    QTest::newRow("file send, nothing chosen")
        << QByteArray("CmdSendFile") << true << QStringLiteral("A") << emptyFile
        << Dialogs::Icon::Error;
}

void SendTest::refusals()
{
    QFETCH(QByteArray, button);
    QFETCH(bool, portOpen);
    QFETCH(QString, box);
    QFETCH(QString, message);
    QFETCH(Dialogs::Icon, icon);
    if (!portOpen)
        fakes->serial.setPortOpen(false);
    setBox(box);
    click(button.constData());
    QCOMPARE(fakes->dialogs.messages.size(), 1);
    const FakeDialogs::Message& shown = fakes->dialogs.messages.first();
    QCOMPARE(shown.text, message);
    QCOMPARE(shown.title, QStringLiteral("串口调试助手"));
    QCOMPARE(shown.icon, icon);
    QCOMPARE(shown.buttons, Dialogs::Buttons::Ok);
    QVERIFY(fakes->serial.writes.isEmpty());
    QCOMPARE(window->sentCount(), 0);
}

void SendTest::autoPeriod_data()
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
    // Refused periods leave the timer as the last untick left it: stopped, the old period kept.
    QTest::newRow("negative") << QStringLiteral("-5") << qint64(10) << false;
    QTest::newRow("past 32 bits") << QStringLiteral("99999999999") << qint64(10) << false;
}

void SendTest::autoPeriod()
{
    QFETCH(QString, text);
    QFETCH(qint64, period);
    QFETCH(bool, ticking);
    startAutoSend(QStringLiteral("10"));
    click("ChkAutoSend");
    fakes->serial.writes.clear();
    startAutoSend(text);
    QCOMPARE(autoTimer()->interval(), period);
    QCOMPARE(autoTimer()->isTicking(), ticking);
    QVERIFY(fakes->dialogs.messages.isEmpty());
    QVERIFY(fakes->serial.writes.isEmpty());
}

void SendTest::autoSendWithPortClosedUnticksFirst()
{
    fakes->serial.setPortOpen(false);
    auto* box = control<QCheckBox>("ChkAutoSend");
    bool timerOffAtMessage = false;
    bool untickedAtMessage = false;
    fakes->dialogs.onMessage = [&](const FakeDialogs::Message&) {
        timerOffAtMessage = !autoTimer()->isTicking();
        untickedAtMessage = !box->isChecked();
    };
    control<QLineEdit>("TxtAutoSendTime")->setText(QStringLiteral("10"));
    click("ChkAutoSend");
    QCOMPARE(fakes->dialogs.messages.size(), 1);
    QCOMPARE(fakes->dialogs.messages.first().text, portClosed);
    QCOMPARE(fakes->dialogs.messages.first().icon, Dialogs::Icon::Warning);
    QVERIFY(timerOffAtMessage);
    QVERIFY(untickedAtMessage);
    QVERIFY(!box->isChecked());
    QVERIFY(!autoTimer()->isTicking());
}

void SendTest::autoSendRepeats_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("text") << false << QStringLiteral(" AB ") << QByteArray("AB");
    QTest::newRow("hex") << true << QStringLiteral("01 02 ff") << QByteArray("\x01\x02\xff");
}

void SendTest::autoSendRepeats()
{
    QFETCH(bool, hex);
    QFETCH(QString, box);
    QFETCH(QByteArray, bytes);
    setBox(box);
    if (hex)
        click("ChkHexSend");
    startAutoSend(QStringLiteral("10"));
    QVERIFY(fakes->serial.writes.isEmpty()); // the first send waits one period
    QTRY_VERIFY(fakes->serial.writes.size() >= 3);
    click("ChkAutoSend");
    QVERIFY(!autoTimer()->isTicking());
    const qsizetype sends = fakes->serial.writes.size();
    QCOMPARE(fakes->serial.written(), bytes.repeated(sends));
    fakes->serial.raise(SerialComponent::EventSend);
    QCOMPARE(window->sentCount(), bytes.size() * sends);
}

void SendTest::autoSendFollowsHexSwitch()
{
    setBox(QStringLiteral("41"));
    startAutoSend(QStringLiteral("10"));
    QTRY_VERIFY(!fakes->serial.writes.isEmpty());
    click("ChkHexSend");
    fakes->serial.writes.clear();
    QTRY_VERIFY(!fakes->serial.writes.isEmpty());
    QCOMPARE(fakes->serial.writes.last().bytes, QByteArray("A"));
    QVERIFY(!fakes->serial.writes.last().wasText);
}

void SendTest::autoSendStopsOnEmptyBox()
{
    setBox(QStringLiteral("AB"));
    startAutoSend(QStringLiteral("10"));
    QTRY_VERIFY(!fakes->serial.writes.isEmpty());
    bool timerOffAtMessage = false;
    bool untickedAtMessage = false;
    fakes->dialogs.onMessage = [&](const FakeDialogs::Message&) {
        timerOffAtMessage = !autoTimer()->isTicking();
        untickedAtMessage = !control<QCheckBox>("ChkAutoSend")->isChecked();
    };
    click("CmdClearSend");
    QTRY_COMPARE(fakes->dialogs.messages.size(), 1);
    QCOMPARE(fakes->dialogs.messages.first().text, emptyData);
    QCOMPARE(fakes->dialogs.messages.first().icon, Dialogs::Icon::Error);
    QVERIFY(timerOffAtMessage);
    QVERIFY(untickedAtMessage);
}

void SendTest::autoSendSkipsTicksWhilePortClosed()
{
    setBox(QStringLiteral("01 02"));
    click("ChkHexSend");
    startAutoSend(QStringLiteral("10"));
    QTRY_VERIFY(!fakes->serial.writes.isEmpty());
    fakes->serial.setPortOpen(false);
    fakes->serial.writes.clear();
    const qint64 counted = window->sentCount();
    QSignalSpy ticks(autoTimer(), &IntervalTimer::timeout);
    QTRY_VERIFY(ticks.size() >= 3);
    QCOMPARE(window->sentCount(), counted);
    QCOMPARE(shownTx(), QStringLiteral("TX:%1").arg(counted));
    QVERIFY(fakes->dialogs.messages.isEmpty());
    fakes->serial.setPortOpen(true);
    QTRY_VERIFY(!fakes->serial.writes.isEmpty());
    QCOMPARE(fakes->serial.writes.first().bytes, QByteArray("\x01\x02"));
}

void SendTest::periodChangeNeedsRetick()
{
    setBox(QStringLiteral("AB"));
    startAutoSend(QStringLiteral("5000"));
    control<QLineEdit>("TxtAutoSendTime")->setText(QStringLiteral("7000"));
    QCOMPARE(autoTimer()->interval(), 5000);
    click("ChkAutoSend");
    QVERIFY(!autoTimer()->isTicking());
    QCOMPARE(autoTimer()->interval(), 5000);
    click("ChkAutoSend");
    QCOMPARE(autoTimer()->interval(), 7000);
    QVERIFY(autoTimer()->isTicking());
}

void SendTest::fileSend_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("hexSend");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray chinese = gbk(QStringLiteral("串口调试\r\n中文"));
    QTest::newRow("GBK text with Chinese") << chinese << false << chinese;
    const QByteArray notGbk("\x80\xff\x81\x7f\x00\xfe", 6);
    QTest::newRow("bytes that are not GBK") << notGbk << false << notGbk;
    QTest::newRow("blanks at the ends trimmed, inner kept")
        << QByteArray("  A B\r\n  ") << false << QByteArray("A B\r\n");
    QTest::newRow("only blanks send nothing") << QByteArray("   ") << false << QByteArray();
    QTest::newRow("hex digits with hex send ticked")
        << QByteArray("0102") << true << QByteArray("0102");
}

void SendTest::fileSend()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, hexSend);
    QFETCH(QByteArray, bytes);
    const QString path = writeFile(QStringLiteral("data.txt"), content);
    chooseFile(path);
    QCOMPARE(control<QLineEdit>("TxtSendPath")->text(), path);
    if (hexSend)
        click("ChkHexSend");
    click("CmdSendFile");
    QVERIFY(fakes->dialogs.messages.isEmpty());
    QCOMPARE(fakes->serial.written(), bytes);
    QCOMPARE(fakes->serial.writes.size(), 1);
    fakes->serial.raise(SerialComponent::EventSend);
    QCOMPARE(window->sentCount(), bytes.size());
}

void SendTest::failedChoiceKeepsContent_data()
{
    QTest::addColumn<QString>("name"); // in the temporary folder; empty: the dialog is cancelled
    QTest::addColumn<bool>("pathShown");

    QTest::newRow("cancelled") << QString() << false;
    QTest::newRow("missing file") << QStringLiteral("missing.txt") << true;
    QTest::newRow("folder") << QStringLiteral("folder.txt") << true;
    QTest::newRow("empty file") << QStringLiteral("empty.txt") << true;
}

void SendTest::failedChoiceKeepsContent()
{
    QFETCH(QString, name);
    QFETCH(bool, pathShown);
    QVERIFY(QDir(files->path()).mkdir(QStringLiteral("folder.txt")));
    writeFile(QStringLiteral("empty.txt"), QByteArray());
    const QString first = writeFile(QStringLiteral("first.txt"), QByteArray("first"));
    chooseFile(first);
    const int descriptors = openDescriptors();
    const QString path = name.isEmpty() ? QString() : files->filePath(name);
    chooseFile(path);
    QCOMPARE(openDescriptors(), descriptors);
    QCOMPARE(control<QLineEdit>("TxtSendPath")->text(), pathShown ? path : first);
    click("CmdSendFile");
    if (name == QStringLiteral("empty.txt")) {
        QCOMPARE(fakes->dialogs.messages.size(), 1);
        QCOMPARE(fakes->dialogs.messages.first().text, emptyFile);
        QVERIFY(fakes->serial.writes.isEmpty());
    } else {
        QCOMPARE(fakes->serial.written(), QByteArray("first"));
    }
}

void SendTest::fileIsReadWhenChosen()
{
    const QString path = writeFile(QStringLiteral("data.txt"), QByteArray("old"));
    chooseFile(path);
    writeFile(QStringLiteral("data.txt"), QByteArray("new"));
    click("CmdSendFile");
    QCOMPARE(fakes->serial.written(), QByteArray("old"));
    chooseFile(path);
    click("CmdSendFile");
    QCOMPARE(fakes->serial.written(), QByteArray("oldnew"));
    QCOMPARE(fakes->dialogs.lastFilter, QStringLiteral("文本文件（*.txt）(*.txt)"));
}

void SendTest::fileDialogShowsTextFilter()
{
    QtDialogs realDialogs;
    Platform platform = fakes->platform();
    platform.dialogs = &realDialogs;
    window = std::make_unique<MainWindow>(platform);
    window->show();
    QStringList labels;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; types && i < types->count(); ++i)
            labels << types->itemText(i);
        dialog->reject();
    });
    poll.start(10);
    click("CmdSelectFile");
    QCOMPARE(labels, QStringList { QStringLiteral("文本文件（*.txt）") });
    QCOMPARE(control<QLineEdit>("TxtSendPath")->text(), QStringLiteral("还没有选择文件"));
}

QTEST_MAIN(SendTest)
#include "tst_send.moc"
