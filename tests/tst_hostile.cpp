// Hostile input in every box of the window: whatever the user types or pastes, the program's next
// use of the box ends in the decided result or a clear message, never a crash, a hang or lost data.
#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "receive/receiveview.h"
#include "support/fakes.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString longText = u"0123456789"_s.repeated(10000);
const QString nul(1, QChar(0));
const QString lone(1, QChar(0xD800)); // a high surrogate with no low one after it

// Each text with what sending it writes (read back in the code page) and counts, and where saving
// with it as the folder puts 1.txt: an empty folder text means the root of drive C, which is the
// home folder ("~") here.
struct Hostile {
    const char* name;
    QString text;
    QString sent;
    QString saved;
};
const QList<Hostile> hostileTexts = {
    { "empty", QString(), u"sent “” TX:0"_s, u"~/1.txt"_s },
    { "only blanks", u"   "_s, u"sent “” TX:0"_s, QString() },
    { "100,000 characters", longText, u"sent “"_s + longText + u"” TX:100000"_s, QString() },
    { "full-width digits", u"１２"_s, u"sent “１２” TX:4"_s, u"１２/1.txt"_s },
    { "NUL inside", u"A"_s + nul + u"B"_s, u"sent “A"_s + nul + u"B” TX:3"_s, QString() },
    { "lone surrogate", u"A"_s + lone + u"B"_s, u"sent “A?B” TX:3"_s, QString() },
};

} // namespace

class HostileTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_work;
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;

    template <typename T> T* find(const QString& n) const { return m_window->findChild<T*>(n); }
    void click(const QString& n) { QTest::mouseClick(find<QAbstractButton>(n), Qt::LeftButton); }
    // Empties the box as a user would and pastes the text into it, which the box must keep whole.
    void enter(const QString& box, const QString& text)
    {
        auto* combo = find<QComboBox>(box);
        QWidget* editor = combo ? combo->lineEdit() : find<QWidget>(box);
        QTest::keySequence(editor, QKeySequence::SelectAll);
        QTest::keyClick(editor, Qt::Key_Delete);
        QGuiApplication::clipboard()->setText(text);
        if (!text.isEmpty())
            QTest::keySequence(editor, QKeySequence::Paste);
        QCOMPARE(shown(box), text);
    }
    QString shown(const QString& box) const
    {
        const QWidget* widget = find<QWidget>(box);
        if (auto* view = qobject_cast<const ReceiveView*>(widget))
            return view->text();
        if (auto* combo = qobject_cast<const QComboBox*>(widget))
            return combo->currentText();
        return widget->property(widget->inherits("QLineEdit") ? "text" : "plainText").toString();
    }
    // Every 1.txt, or save file left half-done, below the home and working folders.
    QStringList savedFiles() const
    {
        QStringList found;
        for (const QString& root : { m_home.path(), m_work.path() }) {
            QDirIterator it(
                root, { u"1.txt*"_s }, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                found << it.next();
        }
        return found;
    }
    // The port as the component holds it, and whether the window shows it so.
    QString port() const
    {
        const FakeSerial& serial = m_fakes->serial;
        const bool shownOpen = find<QPushButton>(u"CmdSwitch"_s)->text() == u"关闭串口"
            && find<QWidget>(u"ImgSwitchOn"_s)->isVisible();
        return (serial.portOpen() ? u"open "_s : u"closed "_s) + QString::number(serial.commPort())
            + u' ' + serial.settings()
            + (shownOpen == serial.portOpen() ? u""_s : u", not shown"_s);
    }
    // Makes the program read the box as the user would next, and tells what came of it.
    QString use(const QString& box)
    {
        if (box.startsWith(u"Cbo")) {
            auto* other
                = find<QComboBox>(box == u"CboStopbit" ? u"CboParitybit"_s : u"CboStopbit"_s);
            Q_EMIT other->activated(other->currentIndex());
            return port() + (m_fakes->serial.calls.isEmpty() ? u", untouched"_s : u""_s);
        }
        if (box == u"TxtSend" || box == u"TxtSendPath") {
            click(box == u"TxtSend" ? u"CmdSend"_s : u"CmdSendFile"_s);
            m_fakes->serial.raise(SerialComponent::EventSend); // counted once reported sent
            return u"sent “%1” %2"_s.arg(
                CodePage::decode(m_fakes->serial.written()), shown(u"TxtTXCount"_s));
        }
        if (box == u"TxtAutoSendTime") {
            click(u"ChkAutoSend"_s);
            const auto* timer = find<IntervalTimer>(u"TmrAutoSend"_s);
            return u"every %1, %2"_s.arg(timer->interval())
                .arg(timer->isTicking() ? u"ticking"_s : u"stopped"_s);
        }
        if (box == u"TxtSavePath") {
            click(u"CmdSaveDisp"_s);
            return savedFiles()
                .join(u' ')
                .replace(m_home.path(), u"~"_s)
                .remove(m_work.path() + u'/');
        }
        if (box == u"TxtReceive")
            m_fakes->serial.deliver("OK");
        return shown(box);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        // Relative folder texts land here, never in the build folder.
        QVERIFY(QDir::setCurrent(m_work.path()));
        QVERIFY(QDir(m_work.path()).mkdir(u"１２"_s));
        QFile file(m_work.filePath(u"hello.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("hello") == 5);
        CodePage::setSystemOverride("GBK");
        QGuiApplication::clipboard()->setText(u"probe"_s);
        if (QGuiApplication::clipboard()->text() != u"probe")
            QSKIP("this platform has no clipboard to paste from");
    }

    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_fakes->serial.absentPorts = { 99 };
        m_fakes->dialogs.nextFile = m_work.filePath(u"hello.txt"_s);
        m_window = std::make_unique<MainWindow>(m_fakes->platform());
        m_window->show();
        click(u"CmdSelectFile"_s);
        m_fakes->serial.calls.clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_fakes.reset();
        for (const QString& path : savedFiles())
            QFile::remove(path);
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void eachBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message"); // what the one message box says; empty: none
        const auto row = [](const char* box, const char* name, const QString& text,
                             const QString& expected, const QString& message = {}) {
            QTest::newRow((QByteArray(box) + ", " + name).constData())
                << QString::fromLatin1(box) << text << expected << message;
        };
        const QString kept = u"open 1 9600,N,8,1, untouched"_s; // refused before the port
        const QString refused = u"没有成功，请重试【检查端口是否被占用，或者端口号正确】"_s;
        for (const Hostile& h : hostileTexts) {
            for (const char* box : { "TxtRXCount", "TxtTXCount", "TxtStatus" })
                row(box, h.name, h.text, h.text);
            row("TxtReceive", h.name, h.text, h.text + u"OK"_s);
            row("TxtSend", h.name, h.text, h.sent,
                h.text.isEmpty() ? u"发送数据不能为空"_s : u""_s);
            // The path box only shows the choice: the chosen file is what is sent.
            row("TxtSendPath", h.name, h.text, u"sent “hello” TX:5"_s);
            row("TxtAutoSendTime", h.name, h.text, u"every 0, stopped"_s);
            row("TxtSavePath", h.name, h.text, h.saved);
            row("CboDatabit", h.name, h.text, kept, u"“"_s + h.text + u"”"_s);
            row("CboParitybit", h.name, h.text, u"open 1 9600,"_s + h.text.left(1) + u",8,1"_s);
            row("CboBaudrate", h.name, h.text, u"open 1 "_s + h.text + u",N,8,1"_s);
            row("CboStopbit", h.name, h.text, u"open 1 9600,N,8,"_s + h.text);
        }
        row("CboCom", "full-width digits read as port 0", u"COM１２"_s, u"closed 0 9600,N,8,1"_s,
            refused);
        row("CboCom", "100,000 characters", u"COM"_s + QString(99997, u'x'),
            u"closed 0 9600,N,8,1"_s, refused);
        row("CboCom", "NUL ends the number", u"COM3"_s + nul, u"open 3 9600,N,8,1"_s);
        row("CboCom", "COM999 reads 99, absent", u"COM999"_s, u"closed 99 9600,N,8,1"_s, refused);
        row("CboCom", "COM-1 out of range", u"COM-1"_s, kept, u"“COM-1”"_s);
        row("CboDatabit", "1e5 past 16 bits", u"1e5"_s, kept, u"“1e5”"_s);
        row("TxtAutoSendTime", "&HFFFFFFFF past 32 bits", u"&HFFFFFFFF"_s, u"every 0, stopped"_s);
        row("TxtAutoSendTime", "-1 refused", u"-1"_s, u"every 0, stopped"_s);
        row("TxtAutoSendTime", "NUL ends the number", u"5"_s + nul + u"0"_s, u"every 5, ticking"_s);
        row("TxtSavePath", "5,000 characters", QString(5000, u'd'), QString());
        row("TxtSavePath", "/proc/1, closed even to root", u"/proc/1"_s, QString());
    }

    void eachBox()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        enter(box, text);
        QCOMPARE(use(box), expected);
        const QList<FakeDialogs::Message>& messages = m_fakes->dialogs.messages;
        QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
        QVERIFY2(message.isEmpty() || messages.first().text.contains(message),
            qPrintable(messages.value(0).text));
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
