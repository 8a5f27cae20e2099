#include "app/mainwindow.h"
#include "receive/receiveview.h"
#include "receive/saverecord.h"
#include "support/fakes.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

class SaveTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;

    template <typename T = QPushButton> T* find(const char* name) const
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { QTest::mouseClick(find(name), Qt::LeftButton); }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        for (const char* folder : { "/COMDATA", "/Scripts" })
            QVERIFY(QDir().mkpath(m_home.path() + QLatin1String(folder)));
    }

    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_fakes->clock.time = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 7));
        m_window = std::make_unique<MainWindow>(m_fakes->platform());
        m_window->setEndProgram([] {});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        find<ReceiveView>("TxtReceive")->setText(u"line 1\r\nline 2"_s);
    }

    void cleanup()
    {
        m_window.reset();
        QFile::remove(m_home.path() + u"/COMDATA/1.txt"_s);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void saveAndNotice_data()
    {
        QTest::addColumn<QString>("folderText");
        // A button clicked while the notice shows; after ":" the folder the dialog then gives.
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("folderAfter");
        const QString folder = u"C:\\COMDATA"_s;
        QTest::newRow("missing folder") << u"C:\\NO"_s << QString() << u"C:\\NO"_s;
        QTest::newRow("save again does nothing") << folder << u"CmdSaveDisp"_s << folder;
        QTest::newRow("a chosen folder comes back") << folder << u"CmdAmend:/x/y/"_s << u"/x/y/"_s;
        QTest::newRow("a cancelled choice changes nothing") << folder << u"CmdAmend:"_s << folder;
        QTest::newRow("quit ends the wait") << folder << u"CmdQuit"_s << u"OK,1.txt Save"_s;
    }

    void saveAndNotice()
    {
        QFETCH(QString, folderText);
        QFETCH(QString, meanwhile);
        QFETCH(QString, folderAfter);
        const bool written = folderText != u"C:\\NO";
        const QByteArray record = SaveRecord::record(m_fakes->clock.time, u"line 1\r\nline 2"_s);
        m_fakes->clock.noticeMs = meanwhile == u"CmdQuit" ? 10 * 60 * 1000 : 50;
        find<QLineEdit>("TxtSavePath")->setText(folderText);
        bool noticeShown = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            noticeShown = true;
            QCOMPARE(find<QLineEdit>("TxtSavePath")->text(), u"OK,1.txt Save"_s);
            QVERIFY(!find("CmdSaveDisp")->isEnabled());
            m_fakes->clock.time = m_fakes->clock.time.addSecs(1); // a second save would differ
            m_fakes->dialogs.nextFolder = meanwhile.section(u':', 1);
            if (!meanwhile.isEmpty())
                click(meanwhile.section(u':', 0, 0).toLatin1().constData());
        });
        click("CmdSaveDisp");
        QCOMPARE(noticeShown, written);
        QFile file(m_home.path() + u"/COMDATA/1.txt"_s);
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
            written ? record : QByteArray());
        QCOMPARE(find<QLineEdit>("TxtSavePath")->text(), folderAfter);
        QCOMPARE(m_window->hasEnded(), meanwhile == u"CmdQuit");
        QCOMPARE(find("CmdSaveDisp")->isEnabled(), !m_window->hasEnded());
        QVERIFY(m_fakes->dialogs.messages.isEmpty());
        const bool chose = meanwhile.startsWith(u"CmdAmend");
        QCOMPARE(m_fakes->dialogs.lastFolderTitle, chose ? u"选择目录:"_s : QString());
        QCOMPARE(
            m_fakes->dialogs.lastFolderStart, chose ? m_home.path() + u"/Scripts"_s : QString());
    }
};

QTEST_MAIN(SaveTest)
#include "tst_save.moc"
