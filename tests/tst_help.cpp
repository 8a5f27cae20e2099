#include "app/helpwindow.h"
#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "support/fakes.h"

#include <QLabel>
#include <QtTest>

using namespace Qt::StringLiterals;

class HelpTest : public QObject {
    Q_OBJECT
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;

    template <class T = QWidget> T* find(QString n) const { return m_window->findChild<T*>(n); }

private Q_SLOTS:
    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_fakes->clock.time = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 7));
        m_window = std::make_unique<MainWindow>(m_fakes->platform());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); // the About window goes too
    }

    void clockShowsCaptionsThenLocaleTime()
    {
        QCOMPARE(find<QLabel>(u"LblNowTime"_s)->text(), u"当前时间"_s);
        QCOMPARE(find<QLabel>(u"LblNewDate"_s)->text(), u"显示日前"_s);
        Q_EMIT find<IntervalTimer>(u"TmrNowTime"_s)->timeout();
        QCOMPARE(find<QLabel>(u"LblNowTime"_s)->text(), u"09:05:07"_s); // in the C locale
    }

    void aboutWindowIsSingleAndRebuilt()
    {
        QTest::mouseClick(find(u"CmdHelp"_s), Qt::LeftButton);
        const qsizetype windows = QApplication::topLevelWidgets().size();
        QPointer<HelpWindow> about = m_window->helpWindow();
        QVERIFY(about && !about->parentWidget());
        QCOMPARE(about->size(), QSize(304, 154));
        QCOMPARE(about->focusWidget()->objectName(), u"CmdAssurance"_s);
        QTest::mouseClick(find(u"CmdHelp"_s), Qt::LeftButton);
        QCOMPARE(m_window->helpWindow(), about.data());
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);

        QTest::mouseClick(about->focusWidget(), Qt::LeftButton);
        QTRY_VERIFY(!about);
        QTest::mouseClick(find(u"CmdHelp"_s), Qt::LeftButton);
        about = m_window->helpWindow();
        QStringList texts { about->windowTitle() };
        for (const QObject* control : about->children())
            texts << control->property("text").toString();
        QCOMPARE(texts.join(u'|'),
            u"www.velmora.example|Velmora—串口调试助手V2.1|联系：support@velmora.example|确  定"_s);
    }

    void linkFollowsThePointerAndOpensTheAddress()
    {
        QLabel* link = find<QLabel>(u"LblWeb"_s);
        const auto colour = [link] { return link->palette().color(QPalette::WindowText).name(); };
        QCOMPARE(colour(), u"#0000ff"_s); // as start-up leaves it
        QVERIFY(link->font().underline());
        // Qt drops a move to where the pointer already is: start from a neutral control.
        QTest::mouseMove(find(u"CmdSend"_s));
        QTest::mouseMove(link);
        QTRY_COMPARE(colour(), u"#39788a"_s);
        QCOMPARE(link->cursor().shape(), Qt::BitmapCursor);
        // Only the bare window turns it blue again, not the button just below it.
        QTest::mouseMove(find(u"CmdHelp"_s));
        QCOMPARE(colour(), u"#39788a"_s);
        QTest::mouseMove(m_window.get(), QPoint(520, 415));
        QTRY_COMPARE(colour(), u"#0000ff"_s);

        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(m_fakes->urlOpener.opened, QList { QUrl(u"https://www.velmora.example/"_s) });
        QVERIFY(m_fakes->dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
