#include "app/helpwindow.h"
#include "app/intervaltimer.h"
#include "app/mainwindow.h"
#include "receive/saverecord.h"
#include "support/fakes.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

class HelpTest : public QObject {
    Q_OBJECT
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<MainWindow> m_window;

    template <typename T> T* find(const char* name) const
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    QLabel* link() const { return find<QLabel>("LblWeb"); }
    QList<HelpWindow*> aboutWindows() const
    {
        QList<HelpWindow*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<HelpWindow*>(widget); about && about->isVisible())
                found << about;
        }
        return found;
    }

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
        m_fakes.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void clockShowsCaptionsThenLocaleTime()
    {
        QCOMPARE(find<QLabel>("LblNowTime")->text(), QStringLiteral("当前时间"));
        QCOMPARE(find<QLabel>("LblNewDate")->text(), QStringLiteral("显示日前"));
        Q_EMIT find<IntervalTimer>("TmrNowTime")->timeout();
        // The tests run in the C locale.
        QCOMPARE(find<QLabel>("LblNowTime")->text(), QStringLiteral("09:05:07"));
        QCOMPARE(find<QLabel>("LblNewDate")->text(),
            QLocale::system().toString(QDate(2026, 12, 5), QLocale::ShortFormat));
    }

    void timeOfDayFormat_data()
    {
        QTest::addColumn<QString>("shortFormat");
        QTest::addColumn<QString>("longFormat");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* shortFormat, const char* longFormat,
                             const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(shortFormat) << QString::fromUtf8(longFormat)
                                << QString::fromUtf8(expected);
        };
        row("seconds already there", "HH:mm:ss", "HH:mm:ss t", "HH:mm:ss");
        row("seconds after minutes, before AM/PM", "h:mm AP", "h:mm:ss AP t", "h:mm:ss AP");
        row("day period first", "AP h:mm", "AP h시 m분 s초 t", "AP h:mm:ss");
        row("quoted separator: long form without zone", "HH 'h' mm", "HH 'h' mm 'min' ss 's' t",
            "HH 'h' mm 'min' ss 's'");
        row("zone in brackets dropped", "H:mm:ss (t)", "", "H:mm:ss");
        row("quoted t is not a zone", "HH:mm:ss 'at'", "", "HH:mm:ss 'at'");
    }

    void timeOfDayFormat()
    {
        QFETCH(QString, shortFormat);
        QFETCH(QString, longFormat);
        QFETCH(QString, expected);
        QCOMPARE(ClockText::timeOfDayFormat(shortFormat, longFormat), expected);
    }

    void aboutWindowIsSingleAndRebuilt()
    {
        auto* help = find<QPushButton>("CmdHelp");
        QTest::mouseClick(help, Qt::LeftButton);
        QPointer<HelpWindow> first = m_window->helpWindow();
        QVERIFY(first);
        QCOMPARE(first->parentWidget(), nullptr);
        QCOMPARE(first->objectName(), QStringLiteral("FrmHelp"));
        QCOMPARE(first->windowTitle(), QStringLiteral("www.velmora.example"));
        QCOMPARE(first->size(), QSize(304, 154));
        QCOMPARE(
            first->focusWidget(), first->findChild<QPushButton*>(QStringLiteral("CmdAssurance")));

        QTest::mouseClick(help, Qt::LeftButton);
        QCOMPARE(m_window->helpWindow(), first.data());
        QCOMPARE(aboutWindows().size(), 1);

        auto* ok = first->findChild<QPushButton*>(QStringLiteral("CmdAssurance"));
        QCOMPARE(ok->text(), QStringLiteral("确  定"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_VERIFY(!first);
        QTest::mouseClick(help, Qt::LeftButton);
        QVERIFY(m_window->helpWindow());
        QCOMPARE(aboutWindows().size(), 1);
        QCOMPARE(m_window->helpWindow()->findChild<QLabel*>(QStringLiteral("Label1_0"))->text(),
            QStringLiteral("Velmora\u2014串口调试助手V2.1"));
    }

    void linkLooks_data()
    {
        QTest::addColumn<QStringList>("moves"); // object names; "" is the bare window
        QTest::addColumn<QColor>("colour");
        QTest::newRow("as loaded") << QStringList() << QColor(0x00, 0x00, 0xFF);
        QTest::newRow("over the link")
            << QStringList { QStringLiteral("LblWeb") } << QColor(0x39, 0x78, 0x8A);
        QTest::newRow("link, then bare window")
            << QStringList { QStringLiteral("LblWeb"), QString() } << QColor(0x00, 0x00, 0xFF);
        QTest::newRow("link, then straight onto a button keeps the hover")
            << QStringList { QStringLiteral("LblWeb"), QStringLiteral("CmdHelp") }
            << QColor(0x39, 0x78, 0x8A);
    }

    void linkLooks()
    {
        QFETCH(QStringList, moves);
        QFETCH(QColor, colour);
        const QPoint bare(520, 415);
        QCOMPARE(m_window->childAt(bare), nullptr);
        // Qt drops a move to where the pointer already is: start from a neutral control.
        QTest::mouseMove(find<QWidget>("CmdSend"));
        for (const QString& name : moves) {
            if (name.isEmpty())
                QTest::mouseMove(m_window.get(), bare);
            else
                QTest::mouseMove(m_window->findChild<QWidget*>(name));
        }
        QTRY_COMPARE(link()->palette().color(QPalette::WindowText), colour);
        QVERIFY(link()->font().underline());
        if (moves.contains(QStringLiteral("LblWeb")))
            QCOMPARE(link()->cursor().shape(), Qt::BitmapCursor);
        if (moves.contains(QString()))
            QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    }

    void linkClickOpensAddressSilently()
    {
        QTest::mouseClick(link(), Qt::LeftButton);
        QCOMPARE(m_fakes->urlOpener.opened,
            QList<QUrl> { QUrl(QStringLiteral("https://www.velmora.example/")) });
        QVERIFY(m_fakes->dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
