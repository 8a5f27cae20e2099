// Hostile input in every box of the window: whatever the user types or pastes ends in the decided
// result or a clear message, never a crash, a hang or lost data.
#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "port/codepage.h"
#include "receive/receiveview.h"
#include "support/fakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDirIterator>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QString title = u"串口调试助手"_s;
const QString closedText = u"串口状态：COM Port 关闭"_s;
const QString longText = u"0123456789"_s.repeated(10000);
const QString nul(1, QChar(0));
const QString lone(1, QChar(0xD800)); // a high surrogate with no low one after it
const QString nulText = u"A"_s + nul + u"B"_s;
const QString loneText = u"A"_s + lone + u"B"_s;

struct Hostile {
    const char* name;
    QString text;
};

const QList<Hostile> hostileTexts = {
    { "empty", QString() },
    { "only blanks", u"   "_s },
    { "100,000 characters", longText },
    { "full-width digits", u"１２"_s },
    { "NUL inside", nulText },
    { "lone surrogate", loneText },
};

enum class Outcome { Opens, Refused, Warned };

QByteArray rowName(const char* a, const char* b, const char* c = "")
{
    return QByteArray(a).append(", ").append(b).append(c);
}

// As a user puts text into a box: short plain ASCII typed, other printable text committed by the
// input method, the rest (long text, NUL, broken UTF-16) pasted.
void enter(QWidget* box, const QString& text)
{
    QTest::keySequence(box, QKeySequence::SelectAll);
    QTest::keyClick(box, Qt::Key_Delete);
    const auto all = [&](auto test) { return std::all_of(text.begin(), text.end(), test); };
    if (text.isEmpty()) {
        return;
    } else if (text.size() > 64 || !all([](QChar c) { return c.isPrint(); })) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keySequence(box, QKeySequence::Paste);
    } else if (all([](QChar c) { return c.unicode() < 0x80; })) {
        QTest::keyClicks(box, text);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(box, &commit);
    }
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class HostileTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_config;
    QTemporaryDir m_work;
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;

    template <typename T = QWidget> T* find(const QString& name) const
    {
        T* widget = m_window->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    void click(const QString& name)
    {
        QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton);
    }
    // Where typing goes: a combo box's own line, any other box itself.
    QWidget* editor(const QString& box) const
    {
        auto* combo = qobject_cast<QComboBox*>(find(box));
        return combo ? combo->lineEdit() : find(box);
    }
    QString shown(const QString& box) const
    {
        QWidget* widget = find(box);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            return combo->currentText();
        if (auto* line = qobject_cast<QLineEdit*>(widget))
            return line->text();
        if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
            return plain->toPlainText();
        return qobject_cast<ReceiveView*>(widget)->text();
    }
    void pick(const QString& box, const QString& item)
    {
        auto* combo = find<QComboBox>(box);
        const int index = combo->findText(item);
        QVERIFY(index >= 0);
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
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
    // The port as the component holds it and as the window shows it, as one comparable text.
    QString portState() const
    {
        const FakeSerial& serial = m_fakes->serial;
        return QStringList { serial.portOpen() ? u"open"_s : u"closed"_s,
            QString::number(serial.commPort()), serial.settings(),
            find<QPushButton>(u"CmdSwitch"_s)->text(),
            find<QLabel>(u"ImgSwitchOn"_s)->isVisible() ? u"red"_s : u"dark"_s,
            shown(u"TxtStatus"_s) }
            .join(u" | ");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid() && m_config.isValid() && m_work.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        // Relative folder texts land here, never in the build folder.
        QVERIFY(QDir::setCurrent(m_work.path()));
        QVERIFY(QDir(m_work.path()).mkdir(u"１２"_s));
        for (const QString& name : { u"plain"_s, u"hello.txt"_s }) {
            QFile file(m_work.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("hello") == 5);
        }
        CodePage::setSystemOverride("GBK");
        QGuiApplication::clipboard()->setText(u"probe"_s);
        if (QGuiApplication::clipboard()->text() != u"probe")
            QSKIP("this platform has no clipboard to paste from");
    }

    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_fakes->serial.absentPorts = { 99 };
        m_fakes->dialogs.nextFolder = m_work.path();
        m_fakes->dialogs.nextFile = m_work.filePath(u"hello.txt"_s);
        m_window = std::make_unique<MainWindow>(m_fakes->platform());
        m_window->setEndProgram([] {});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY(m_fakes->serial.portOpen());
    }

    void cleanup()
    {
        m_window.reset();
        m_fakes.reset();
        for (const QString& path : savedFiles())
            QFile::remove(path);
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void keptAsEntered_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("writer"); // what makes the program write the box, if anything
        QTest::addColumn<QString>("written");
        const QString file = m_work.filePath(u"hello.txt"_s);
        for (const Hostile& h : hostileTexts) {
            const QList<std::tuple<const char*, QString, QString>> boxes = {
                { "TxtReceive", u"data"_s, h.text + u"OK"_s },
                { "TxtRXCount", u"data"_s, u"RX:2"_s },
                { "TxtSend", u"CmdClearSend"_s, QString() },
                { "TxtStatus", u"CmdSwitch"_s, closedText },
                { "TxtTXCount", u"CmdClearCounter"_s, u"TX:0"_s },
                { "TxtSendPath", u"CmdSelectFile"_s, file },
                { "TxtSavePath", u"CmdAmend"_s, m_work.path() },
                { "TxtAutoSendTime", {}, {} },
                { "CboCom", {}, {} },
                { "CboBaudrate", {}, {} },
                { "CboParitybit", {}, {} },
                { "CboDatabit", {}, {} },
                { "CboStopbit", {}, {} },
            };
            for (const auto& [box, writer, written] : boxes)
                QTest::newRow(rowName(box, h.name).constData())
                    << QString::fromLatin1(box) << h.text << writer << written;
        }
    }

    void keptAsEntered()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, writer);
        QFETCH(QString, written);
        enter(editor(box), text);
        QCOMPARE(shown(box).size(), text.size());
        QVERIFY(shown(box) == text);

        // The program's own writes still land over whatever was typed.
        if (writer.isEmpty())
            return;
        if (writer == u"data")
            m_fakes->serial.deliver("OK");
        else
            click(writer);
        QCOMPARE(shown(box).size(), written.size());
        QVERIFY(shown(box) == written);
    }

    void settingBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bySwitch");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("port"); // the port the component was asked for
        QTest::addColumn<QString>("settings");
        const auto add = [](const char* box, const char* name, const QString& text, Outcome outcome,
                             int port = 1, const QString& settings = u"9600,N,8,1"_s) {
            for (const bool bySwitch : { false, true })
                QTest::newRow(rowName(box, name, bySwitch ? ", switch" : ", pick").constData())
                    << QString::fromLatin1(box) << text << bySwitch << outcome << port << settings;
        };
        add("CboCom", "empty", QString(), Outcome::Refused, 0);
        add("CboCom", "only blanks", u"   "_s, Outcome::Refused, 0);
        add("CboCom", "100,000 characters", u"COM"_s + QString(99997, u'x'), Outcome::Refused, 0);
        add("CboCom", "full-width digits", u"COM１２"_s, Outcome::Refused, 0);
        add("CboCom", "NUL after the number", u"COM3"_s + nul, Outcome::Opens, 3);
        add("CboCom", "lone surrogate after the number", u"COM4"_s + lone, Outcome::Opens, 4);
        add("CboCom", "COM999 reads 99, absent", u"COM999"_s, Outcome::Refused, 99);
        add("CboCom", "COM-1 out of range", u"COM-1"_s, Outcome::Warned);
        add("CboDatabit", "1e5 past 16 bits", u"1e5"_s, Outcome::Warned);
        add("CboDatabit", "&HFFFFFFFF past 16 bits", u"&HFFFFFFFF"_s, Outcome::Warned);
        add("CboDatabit", "NUL after the number", u"8"_s + nul, Outcome::Warned);
        add("CboDatabit", "-1 handed to the port", u"-1"_s, Outcome::Opens, 1, u"9600,N,-1,1"_s);
        // Baud and stop bits reach the port as typed, parity by its first character; the
        // component decides what it accepts. (A cut 100,000-character paste: keptAsEntered.)
        for (const Hostile& h : hostileTexts) {
            add("CboDatabit", h.name, h.text, Outcome::Warned);
            add("CboParitybit", h.name, h.text, Outcome::Opens, 1,
                u"9600,"_s + h.text.left(1) + u",8,1"_s);
            if (h.text.size() > 32767)
                continue;
            add("CboBaudrate", h.name, h.text, Outcome::Opens, 1, h.text + u",N,8,1"_s);
            add("CboStopbit", h.name, h.text, Outcome::Opens, 1, u"9600,N,8,"_s + h.text);
        }
    }

    void settingBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(bool, bySwitch);
        QFETCH(Outcome, outcome);
        QFETCH(int, port);
        QFETCH(QString, settings);

        if (bySwitch)
            click(u"CmdSwitch"_s);
        const QString before = portState();
        enter(editor(box), text);
        m_fakes->serial.calls.clear();
        if (bySwitch)
            click(u"CmdSwitch"_s);
        else if (box == u"CboStopbit")
            pick(u"CboParitybit"_s, u"NONE"_s);
        else
            pick(u"CboStopbit"_s, u"1"_s);

        QString expected = before;
        if (outcome == Outcome::Warned) {
            // The port is left exactly as it was, not even closed and reopened.
            QCOMPARE(m_fakes->serial.calls, QStringList());
        } else {
            const bool opens = outcome == Outcome::Opens;
            const QStringList values = { shown(u"CboBaudrate"_s), shown(u"CboParitybit"_s).left(1),
                shown(u"CboDatabit"_s), shown(u"CboStopbit"_s) };
            const QString head = bySwitch ? u"串口：%1 打开，"_s : u"串口状态：%1 OPEND，"_s;
            const QString status = opens ? head.arg(shown(u"CboCom"_s)) + values.join(u',')
                : bySwitch               ? u"串口状态：COM关闭"_s
                                         : closedText;
            expected
                = QStringList { opens ? u"open"_s : u"closed"_s, QString::number(port), settings,
                      opens ? u"关闭串口"_s : u"打开串口"_s, opens ? u"red"_s : u"dark"_s, status }
                      .join(u" | ");
        }
        QCOMPARE(portState(), expected);

        // A refused open says so; a pick names the value it cannot use, while the switch ends
        // silently on it.
        const QList<FakeDialogs::Message>& messages = m_fakes->dialogs.messages;
        const bool told = outcome == Outcome::Refused || (outcome == Outcome::Warned && !bySwitch);
        QCOMPARE(messages.size(), told ? 1 : 0);
        if (!told)
            return;
        QCOMPARE(messages.first().title, title);
        QCOMPARE(messages.first().icon, Dialogs::Icon::Warning);
        if (outcome == Outcome::Refused)
            QCOMPARE(
                messages.first().text, u"没有成功，请重试【检查端口是否被占用，或者端口号正确】"_s);
        else
            QVERIFY(messages.first().text.contains(u"“"_s + shown(box) + u"”"_s));
    }

    void sendBox_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        const QList<QByteArray> asText
            = { {}, {}, longText.toLatin1(), "\xA3\xB1\xA3\xB2", QByteArray("A\0B", 3), "A?B" };
        const QList<QByteArray> asHex
            = { {}, {}, QByteArray::fromHex(longText.toLatin1()), {}, {}, {} };
        for (qsizetype i = 0; i < hostileTexts.size(); ++i) {
            const Hostile& h = hostileTexts[i];
            QTest::newRow(rowName("as text", h.name).constData()) << false << h.text << asText[i];
            QTest::newRow(rowName("as hex", h.name).constData()) << true << h.text << asHex[i];
        }
        QTest::newRow("as hex, NUL ends the digits")
            << true << u"00"_s + nul + u"FF"_s << QByteArray(1, 0);
        QTest::newRow("as hex, lone surrogate ends the digits")
            << true << u"12"_s + lone + u"34"_s << QByteArray("\x12");
    }

    void sendBox()
    {
        QFETCH(bool, hex);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        if (hex)
            click(u"ChkHexSend"_s);
        enter(find(u"TxtSend"_s), text);
        click(u"CmdSend"_s);

        const QList<FakeDialogs::Message>& messages = m_fakes->dialogs.messages;
        QCOMPARE(messages.size(), text.isEmpty() ? 1 : 0);
        if (text.isEmpty()) {
            QCOMPARE(messages.first().text, u"发送数据不能为空"_s);
            QCOMPARE(messages.first().icon, Dialogs::Icon::Error);
        }
        const QByteArray written = m_fakes->serial.written();
        QCOMPARE(written.size(), bytes.size());
        QVERIFY(written == bytes);
        // What went out is what gets counted, once the component reports the send.
        m_fakes->serial.raise(SerialComponent::EventSend);
        QCOMPARE(m_window->sentCount(), bytes.size());
        QCOMPARE(shown(u"TxtTXCount"_s), u"TX:%1"_s.arg(bytes.size()));
    }

    void autoSendPeriod_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("period"); // -1: refused by the timer
        QTest::newRow("&HFFFFFFFF is 4294967295, refused") << u"&HFFFFFFFF"_s << -1ll;
        QTest::newRow("-1 refused") << u"-1"_s << -1ll;
        QTest::newRow("100,000 digits, refused") << longText << -1ll;
        QTest::newRow("full-width digits read as 0") << u"１２"_s << 0ll;
        QTest::newRow("only blanks read as 0") << u"   "_s << 0ll;
        QTest::newRow("empty reads as 0") << QString() << 0ll;
        QTest::newRow("NUL ends the number") << u"5"_s + nul + u"0"_s << 5ll;
        QTest::newRow("lone surrogate ends the number") << u"7"_s + lone << 7ll;
    }

    void autoSendPeriod()
    {
        QFETCH(QString, text);
        QFETCH(qint64, period);
        enter(find(u"TxtAutoSendTime"_s), text);
        click(u"ChkAutoSend"_s);

        QVERIFY(find<QCheckBox>(u"ChkAutoSend"_s)->isChecked());
        QVERIFY(m_fakes->dialogs.messages.isEmpty());
        const auto* timer = find<IntervalTimer>(u"TmrAutoSend"_s);
        QCOMPARE(timer->interval(), std::max<qint64>(period, 0));
        QCOMPARE(timer->isTicking(), period > 0);
        if (period > 0) {
            QTRY_VERIFY(!m_fakes->serial.writes.isEmpty());
        } else {
            QCoreApplication::processEvents();
            QVERIFY(m_fakes->serial.writes.isEmpty());
        }
    }

    void saveFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file"); // empty: nothing may be written anywhere
        QTest::newRow("empty: the root of drive C") << QString() << m_home.filePath(u"1.txt"_s);
        QTest::newRow("only blanks") << u"   "_s << QString();
        QTest::newRow("5,000 characters") << QString(5000, u'd') << QString();
        QTest::newRow("100,000 characters") << longText << QString();
        QTest::newRow("full-width folder name") << u"１２"_s << m_work.filePath(u"１２/1.txt"_s);
        QTest::newRow("NUL inside") << nulText << QString();
        QTest::newRow("lone surrogate") << loneText << QString();
        QTest::newRow("below a regular file") << m_work.filePath(u"plain/x"_s) << QString();
        QTest::newRow("/proc/1, closed even to root") << u"/proc/1"_s << QString();
    }

    void saveFolder()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        auto* box = find<QLineEdit>(u"TxtSavePath"_s);
        enter(box, folder);
        const QString before = box->text();
        QSignalSpy changes(box, &QLineEdit::textChanged);
        click(u"CmdSaveDisp"_s);

        QVERIFY(m_fakes->dialogs.messages.isEmpty());
        QVERIFY(find<QPushButton>(u"CmdSaveDisp"_s)->isEnabled());
        QCOMPARE(box->text(), before);
        QCOMPARE(savedFiles(), file.isEmpty() ? QStringList() : QStringList { file });
        QVERIFY(!QFileInfo::exists(u"/proc/1/1.txt"_s));
        // The notice shows only for a file that was written.
        QCOMPARE(changes.isEmpty(), file.isEmpty());
    }

    void sendPathIsNeverRead_data()
    {
        QTest::addColumn<QString>("text");
        for (const Hostile& hostile : hostileTexts)
            QTest::newRow(hostile.name) << hostile.text;
    }

    void sendPathIsNeverRead()
    {
        QFETCH(QString, text);
        click(u"CmdSelectFile"_s);
        enter(find(u"TxtSendPath"_s), text);
        click(u"CmdSendFile"_s);
        QVERIFY(m_fakes->dialogs.messages.isEmpty());
        QCOMPARE(m_fakes->serial.written(), QByteArray("hello"));
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
