#include "app/mainwindow.h"
#include "receive/receiveview.h"
#include "receive/saverecord.h"
#include "support/fakes.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString notice = QStringLiteral("OK,1.txt Save");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SaveTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_config;
    QTemporaryDir m_other;
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;

    template <typename T> T* find(const char* name) const
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    QLineEdit* folderBox() const { return find<QLineEdit>("TxtSavePath"); }
    QPushButton* saveButton() const { return find<QPushButton>("CmdSaveDisp"); }
    QString defaultFile() const { return m_home.path() + QStringLiteral("/COMDATA/1.txt"); }

    // Runs `during` once the notice is up, from inside the save's own wait.
    void saveWhile(const std::function<void()>& during)
    {
        QTimer::singleShot(0, m_window.get(), during);
        QTest::mouseClick(saveButton(), Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(QDir().mkpath(m_home.path() + QStringLiteral("/COMDATA")));
    }

    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_fakes->clock.time = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 7));
        m_window = std::make_unique<MainWindow>(m_fakes->platform());
        m_window->setEndProgram([] {});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        find<ReceiveView>("TxtReceive")->setText(QStringLiteral("line 1\r\nline 2"));
    }

    void cleanup()
    {
        m_window.reset();
        m_fakes.reset();
        QFile::remove(defaultFile());
        QDir(m_home.path() + QStringLiteral("/Scripts")).removeRecursively();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void savesOrNot_data()
    {
        QTest::addColumn<QString>("folderText");
        QTest::addColumn<bool>("written");
        QTest::newRow("default folder present") << QStringLiteral("C:\\COMDATA") << true;
        QTest::newRow("missing folder") << QStringLiteral("C:\\NOSUCH") << false;
    }

    void savesOrNot()
    {
        QFETCH(QString, folderText);
        QFETCH(bool, written);
        folderBox()->setText(folderText);
        QString seenText;
        bool seenEnabled = true;
        saveWhile([&] {
            seenText = folderBox()->text();
            seenEnabled = saveButton()->isEnabled();
        });
        QCOMPARE(QFileInfo::exists(defaultFile()), written);
        if (written) {
            QCOMPARE(readAll(defaultFile()),
                SaveRecord::record(m_fakes->clock.time, QStringLiteral("line 1\r\nline 2")));
            QCOMPARE(seenText, notice);
            QCOMPARE(seenEnabled, false);
        }
        QCOMPARE(folderBox()->text(), folderText);
        QVERIFY(saveButton()->isEnabled());
        QVERIFY(m_fakes->dialogs.messages.isEmpty());
        QVERIFY(!QFileInfo::exists(m_home.path() + QStringLiteral("/NOSUCH")));
    }

    void duringNotice_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("folderAfter");
        QTest::newRow("nothing") << QString() << QStringLiteral("C:\\COMDATA");
        QTest::newRow("typing into the folder box is undone")
            << QStringLiteral("type") << QStringLiteral("C:\\COMDATA");
        QTest::newRow("a folder chosen meanwhile comes back")
            << QStringLiteral("choose") << QStringLiteral("/chosen/folder");
        QTest::newRow("a cancelled choice changes nothing")
            << QStringLiteral("cancel") << QStringLiteral("C:\\COMDATA");
        QTest::newRow("the disabled button cannot save again")
            << QStringLiteral("save") << QStringLiteral("C:\\COMDATA");
    }

    void duringNotice()
    {
        QFETCH(QString, action);
        QFETCH(QString, folderAfter);
        const QByteArray first
            = SaveRecord::record(m_fakes->clock.time, QStringLiteral("line 1\r\nline 2"));
        m_fakes->clock.noticeMs = 200;
        saveWhile([&] {
            if (action == QLatin1String("type")) {
                QTest::keyClicks(folderBox(), QStringLiteral("typed"));
            } else if (action == QLatin1String("choose") || action == QLatin1String("cancel")) {
                m_fakes->dialogs.nextFolder
                    = action == QLatin1String("choose") ? folderAfter : QString();
                QTest::mouseClick(find<QPushButton>("CmdAmend"), Qt::LeftButton);
            } else if (action == QLatin1String("save")) {
                m_fakes->clock.time = m_fakes->clock.time.addSecs(1);
                QTest::mouseClick(saveButton(), Qt::LeftButton);
            }
        });
        QCOMPARE(folderBox()->text(), folderAfter);
        QVERIFY(saveButton()->isEnabled());
        QCOMPARE(readAll(defaultFile()), first);
    }

    void quitDuringNoticeEndsAtOnce()
    {
        bool ended = false;
        m_window->setEndProgram([&] { ended = true; });
        m_fakes->clock.noticeMs = 10 * 60 * 1000;
        saveWhile([&] { QTest::mouseClick(find<QPushButton>("CmdQuit"), Qt::LeftButton); });
        QVERIFY(ended);
        QVERIFY(m_window->hasEnded());
        // Once the program has ended the save touches nothing more.
        QCOMPARE(folderBox()->text(), notice);
        QVERIFY(!saveButton()->isEnabled());
    }

    void chooseFolder_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("scriptsExists");
        QTest::addColumn<QString>("expectedStart");
        QTest::addColumn<QString>("expectedFolderText");
        const QString home = m_home.path();
        const QString other = m_other.path();
        QTest::newRow("cancel keeps the folder")
            << QString() << false << home << QStringLiteral("C:\\COMDATA");
        QTest::newRow("chosen path shown as given") << other << false << home << other;
        QTest::newRow("starts in the folder C:\\Scripts maps to")
            << QString() << true << home + QStringLiteral("/Scripts")
            << QStringLiteral("C:\\COMDATA");
    }

    void chooseFolder()
    {
        QFETCH(QString, chosen);
        QFETCH(bool, scriptsExists);
        QFETCH(QString, expectedStart);
        QFETCH(QString, expectedFolderText);
        if (scriptsExists)
            QVERIFY(QDir().mkpath(m_home.path() + QStringLiteral("/Scripts")));
        m_fakes->dialogs.nextFolder = chosen;
        QTest::mouseClick(find<QPushButton>("CmdAmend"), Qt::LeftButton);
        QCOMPARE(m_fakes->dialogs.lastFolderTitle, QStringLiteral("选择目录:"));
        QCOMPARE(m_fakes->dialogs.lastFolderStart, expectedStart);
        QCOMPARE(folderBox()->text(), expectedFolderText);

        // The next save goes where the box now points.
        QTest::mouseClick(saveButton(), Qt::LeftButton);
        const QString file = SaveRecord::filePath(expectedFolderText);
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        QVERIFY(QFile::remove(file));
    }
};

QTEST_MAIN(SaveTest)
#include "tst_save.moc"
