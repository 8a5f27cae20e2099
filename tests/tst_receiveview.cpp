// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/receiveview.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <random>

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace Qt::StringLiterals;

class ReceiveViewTest : public QObject {
    Q_OBJECT
    std::unique_ptr<ReceiveView> m_view;
    QFont m_font;
    qreal m_advance = 0;

    static QStringList rowsOf(const ReceiveView& view)
    {
        QStringList rows;
        for (qint64 row = 0; row < view.rowCount(); ++row)
            rows << view.rowText(row);
        return rows;
    }
    // A view whose rows hold exactly `columns` characters of the fixed-pitch test font.
    std::unique_ptr<ReceiveView> makeView(int columns) const
    {
        auto view = std::make_unique<ReceiveView>();
        view->setFont(m_font);
        view->show();
        const int frame = view->width() - int(view->wrapWidth());
        view->resize(frame + int(std::lround((columns + 0.5) * m_advance)),
            10 * QFontMetrics(m_font).lineSpacing());
        return view;
    }
    // The rows a text gets when it arrives whole in a fresh view.
    QStringList freshRows(const QString& text, int columns = 10) const
    {
        const auto fresh = makeView(columns);
        fresh->appendText(text);
        return rowsOf(*fresh);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_font = QFont(u"DejaVu Sans Mono"_s);
        m_font.setStyleHint(QFont::Monospace);
        m_font.setPixelSize(14);
        const QFontMetricsF metrics(m_font);
        m_advance = metrics.horizontalAdvance(u'x');
        if (metrics.horizontalAdvance(u"W i"_s) != 3 * m_advance)
            QSKIP("no fixed-pitch font on this system");
    }

    void init()
    {
        m_view = makeView(10);
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup()
    {
        m_view.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // Ten columns; however the text is cut into appends, the rows are the same.
    void rowsAsATextBoxShowsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rows"); // joined by '|'
        const auto row = [](const char* name, const char* text, const char* rows) {
            QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(rows);
        };
        row("breaks after the last blank", "hello world again", "hello |world |again");
        row("a long run moves down, then breaks", "ab cdefghijklmnop", "ab |cdefghijkl|mnop");
        row("blanks hang at the end of a row", "abcdefghij    klm", "abcdefghij    |klm");
        row("lone CR and lone LF each break", "ab\rcd\nef", "ab\r|cd\n|ef");
        row("LF CR and CR CR LF are two breaks each", "a\n\rb\r\r\nc", "a\n|\r|b\r|\r\n|c");
        row("a CR at the end waits on a row of its own", "ab\r", "ab\r|");
    }

    void rowsAsATextBoxShowsThem()
    {
        QFETCH(QString, text);
        QFETCH(QString, rows);
        // Pieces of 3 split "ab\r\n" between CR and LF.
        for (const qsizetype piece : { text.size(), qsizetype(1), qsizetype(3) }) {
            m_view->clear();
            for (qsizetype from = 0; from < text.size(); from += piece)
                m_view->appendText(QStringView(text).mid(from, piece));
            QCOMPARE(rowsOf(*m_view), rows.split(u'|'));
            QCOMPARE(m_view->text(), text);
        }
    }

    // Data is shown as it came: a NUL first, then control bytes, do not end the display.
    void keepsEveryCharacterLiterally()
    {
        const QString text = QString::fromLatin1("\0\x01\x1b[0m\x7fz", 8);
        m_view->appendText(text);
        QCOMPARE(m_view->text(), text);
        QCOMPARE(m_view->rowCount(), 1);
        m_view->setCursorPosition(0); // the caret at the end would count as ink
        // Ink from the last character's cell on: nothing after a control byte was cut off.
        const QImage image = m_view->viewport()->grab().toImage();
        const int x = int((text.size() - 1) * m_advance);
        const QImage tail = image.copy(x, 0, image.width() - x, QFontMetrics(m_font).lineSpacing());
        QImage blank(tail.size(), tail.format());
        blank.fill(m_view->palette().color(QPalette::Base));
        QVERIFY(tail != blank);
    }

    void caretAndScrollFollowAppends_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("appended");
        const QString lines = u"line of text\r\n"_s.repeated(200);
        QTest::newRow("after many lines") << lines << u"last"_s;
        QTest::newRow("one unbroken hex line grows") << u"4F "_s.repeated(2000) << u"0A "_s;
    }

    void caretAndScrollFollowAppends()
    {
        QFETCH(QString, before);
        QFETCH(QString, appended);
        m_view->appendText(before);
        QScrollBar* bar = m_view->verticalScrollBar();
        bar->setValue(0); // the user scrolled up and selected
        m_view->setSelection(0, 5);
        m_view->appendText(appended);
        QCOMPARE(m_view->cursorPosition(), m_view->length());
        QVERIFY(!m_view->hasSelection());
        // The scroll bar follows within a frame, to show the last row as the last one in view.
        QTRY_COMPARE(
            bar->value() + bar->pageStep(), std::max<qint64>(m_view->rowCount(), bar->pageStep()));
    }

    // Typed into or deleted from ('^' the caret, '[' and ']' a selection), then more arrives: the
    // rows go on from the edited text, a CR left at the end joining an LF that comes after it.
    void typedThenAppended_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("appended"); // '|' between appends
        QTest::addColumn<QString>("rows");
        const auto row = [](const char* name, const char* text, const char* keys,
                             const char* appended, const char* rows) {
            QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(keys)
                                << QString::fromLatin1(appended) << QString::fromLatin1(rows);
        };
        row("typed into the first row", "a^aaa bbbb cccc dddd", "x", " eeee|ff",
            "axaaa bbbb |cccc dddd |eeeeff");
        row("enter breaks with CR LF", "abc^ def", "\r", " ghi jklmnop",
            "abc\r\n| def ghi |jklmnop");
        row("a selection over rows deleted", "aaaa bbbb cc[cc dddd ee]ee", "\b", "ff gg",
            "aaaa bbbb |cceeff gg");
        row("deleted at the end", "abcdefghij klm^", "\b\b", "xyz", "abcdefghij |kxyz");
        row("a CR left at the end", "x^yz\r", "1", "\nq", "x1yz\r\n|q");
        row("backspace takes CR LF whole", "ab\r\n\r\n^cd\r", "\b", "\n|\r\n",
            "ab\r\n|cd\r\n|\r\n|");
        row("CR and LF join", "a\rx^\nb", "\b", "c", "a\r\n|bc");
    }

    void typedThenAppended()
    {
        QFETCH(QString, text);
        QFETCH(QString, keys);
        QFETCH(QString, appended);
        QFETCH(QString, rows);
        text.replace(u'^', u"[]"_s);
        const qsizetype from = text.indexOf(u'['), to = text.indexOf(u']') - 1;
        m_view->appendText(text.remove(u'[').remove(u']'));
        m_view->setSelection(from, to);
        QTest::keyClicks(m_view.get(), keys);
        for (const QString& piece : appended.split(u'|'))
            m_view->appendText(piece);
        QCOMPARE(rowsOf(*m_view), rows.split(u'|'));
        QCOMPARE(m_view->text(), rows.remove(u'|'));
    }

    // A row that holds only CR LF: Up, Down, Home, End, Left and Right move the caret onto and
    // off it, never between its CR and LF.
    void caretOnABreakOnlyRow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("stops"); // where the caret is after each
        const QString middle = u"ab\r\n\r\ncd"_s; // rows "ab\r\n", "\r\n", "cd"
        QTest::newRow("down onto it and on, up back") << middle << 2 << u"DDUU"_s << u"4 8 4 2"_s;
        QTest::newRow("end and home stay at its start") << middle << 4 << u"EHE"_s << u"4 4 4"_s;
        QTest::newRow("right and left pass it whole") << middle << 4 << u"RLLR"_s << u"6 4 2 4"_s;
        QTest::newRow("the first row, and an empty last row")
            << u"\r\nab\r\n"_s << 0 << u"ERRRRUUDE"_s << u"0 2 3 4 6 2 0 2 4"_s;
    }

    void caretOnABreakOnlyRow()
    {
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(QString, keys);
        QFETCH(QString, stops);
        m_view->appendText(text);
        m_view->setCursorPosition(from);
        const Qt::Key named[]
            = { Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right };
        QStringList at;
        for (const QChar key : std::as_const(keys)) {
            QTest::keyClick(m_view.get(), named[u"UDHELR"_s.indexOf(key)]);
            at << QString::number(m_view->cursorPosition());
        }
        QCOMPARE(at.join(u' '), stops);
    }

    // Lines that each begin with a few characters beyond Latin-1, over several chunks, edited
    // across a chunk's end, then a run of many such characters: every character stays as it was.
    void keepsMarksAmongLatin1()
    {
        QString model;
        for (int k = 0; k < 1500; ++k) {
            const QString line
                = u"[12:00:00.%1] 收← OK\r\n"_s.arg(k % 1000, 3, 10, QLatin1Char('0'));
            m_view->appendText(line);
            model += line;
        }
        m_view->setSelection(16380, 16390);
        m_view->insertText(u"→é"_s);
        model.replace(16380, 10, u"→é"_s);
        m_view->setSelection(100, 20000);
        m_view->deleteSelection();
        model.remove(100, 19900);
        const QString wide = u"中文，"_s.repeated(400);
        m_view->appendText(wide);
        model += wide;
        QCOMPARE(m_view->text(), model);
    }

    // However the text arrived and was edited, its rows are those it gets when laid out afresh,
    // at the width it was laid out at first and at another.
    void layoutMatchesFreshLayout_data()
    {
        QTest::addColumn<QString>("alphabet");
        QTest::addColumn<int>("seed");
        QTest::newRow("hex") << u"0123456789ABCDEF "_s << 1;
        QTest::newRow("every kind of break") << u"ab  \r\n\r\n"_s << 2;
        QTest::newRow("wide characters, tabs and pairs") << u"a 中文，。（\t😀\r"_s << 3;
    }

    void layoutMatchesFreshLayout()
    {
        QFETCH(QString, alphabet);
        QFETCH(int, seed);
        std::mt19937 random(seed);
        const auto text = [&](int longest) {
            QString made;
            for (int k = int(random() % longest); k >= 0; --k)
                made += alphabet.at(qsizetype(random() % alphabet.size()));
            return made;
        };
        for (int k = 0; k < 100; ++k)
            m_view->appendText(text(40));
        QCOMPARE(rowsOf(*m_view), freshRows(m_view->text()));
        for (int k = 0; k < 40; ++k) {
            // Typing replaces the selection, which may be empty.
            m_view->setSelection(qint64(random() % (m_view->length() + 1)),
                qint64(random() % (m_view->length() + 1)));
            k % 2 ? m_view->deleteSelection() : m_view->insertText(text(12));
            QCOMPARE(rowsOf(*m_view), freshRows(m_view->text()));
        }
        m_view->resize(makeView(23)->size());
        QCOMPARE(rowsOf(*m_view), freshRows(m_view->text(), 23));
    }

    void selectsAndCopiesAcrossALargeText_data()
    {
        QTest::addColumn<bool>("drag"); // else select all
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::newRow("select all by Ctrl+A and from the edit menu")
            << false << 0LL << 11 * 100000LL;
        QTest::newRow("mouse drag over two rows") << true << 2LL << 2 * 11LL + 4;
    }

    void selectsAndCopiesAcrossALargeText()
    {
        QFETCH(bool, drag);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        // Rows of exactly ten characters and a line break each.
        const QString text = u"0123456789\n"_s.repeated(100000);
        m_view->appendText(text);
        m_view->verticalScrollBar()->setValue(0);
        const int line = QFontMetrics(m_font).lineSpacing();
        const QPoint start(2 + int(2 * m_advance + 1), line / 2);
        const QPoint end(2 + int(4 * m_advance + 1), 2 * line + line / 2);
        if (drag) {
            QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, start);
            QMouseEvent move(QEvent::MouseMove, end, m_view->viewport()->mapToGlobal(end),
                Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_view->viewport(), &move);
            QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, end);
        } else { // by the keyboard, then from the menu
            QTest::keyClick(m_view.get(), Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(m_view->selectedText().size(), to);
            m_view->setCursorPosition(0);
            const std::unique_ptr<QMenu> menu(m_view->createContextMenu());
            menu->findChild<QAction*>(u"selectAll"_s)->trigger();
        }
        QCOMPARE(std::pair(m_view->selectionStart(), m_view->selectionEnd()), std::pair(from, to));
        QCOMPARE(m_view->selectedText(), text.mid(from, to - from));

        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"probe"_s);
        if (clipboard->text() != u"probe")
            QSKIP("no clipboard on this platform");
        QTest::keySequence(m_view.get(), QKeySequence::Copy);
        QCOMPARE(clipboard->text(), text.mid(from, to - from));
        // Cut and paste it back where it was: the text is whole again.
        m_view->cut();
        QCOMPARE(m_view->length(), text.size() - (to - from));
        m_view->paste();
        QCOMPARE(m_view->text(), text);
    }
    // However appends fall into frames, what is on screen is what painting the whole view shows.
    void framesShowWhatAFullPaintShows_data()
    {
        QTest::addColumn<QString>("alphabet");
        QTest::newRow("lines") << u"abc de\r\n"_s;
        QTest::newRow("hex pairs") << u"0123456789ABCDEF "_s;
    }

    void framesShowWhatAFullPaintShows()
    {
        QFETCH(QString, alphabet);
        // A caret that does not blink between the two pictures
        const auto restore = qScopeGuard(
            [flash = QApplication::cursorFlashTime()] { QApplication::setCursorFlashTime(flash); });
        QApplication::setCursorFlashTime(0);
        m_view->setFrameInterval(0);
        m_view->activateWindow();
        m_view->setFocus();
        const auto onScreen
            = [this] { return m_view->screen()->grabWindow(m_view->winId()).toImage(); };
        std::mt19937 random(5);
        for (int k = 0; k < 400; ++k) {
            // Mostly a few characters, now and then more than a page.
            QString piece;
            for (int n = int(random() % (k % 40 == 39 ? 300 : 12)); n > 0; --n)
                piece += alphabet.at(qsizetype(random() % alphabet.size()));
            m_view->appendText(piece);
            for (int turns = int(random() % 3); turns > 0; --turns)
                QCoreApplication::processEvents();
        }
        for (int turns = 0; turns < 3; ++turns)
            QCoreApplication::processEvents();
        const QImage fresh = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(onScreen().convertToFormat(QImage::Format_RGB32) == fresh);
    }

    // Ctrl+F opens the bar over the bottom rows, which move up clear of it; Enter and F3 find the
    // next match, also with the focus in the view, Shift the one before; Esc gives the focus back.
    void findBarKeys()
    {
        m_view->appendText(u"beta Beta\nBETA "_s.repeated(30));
        m_view->setCursorPosition(0);
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        const QRect rows = m_view->viewport()->geometry();
        QTest::keyClick(m_view.get(), Qt::Key_F, Qt::ControlModifier);
        auto* bar = m_view->findChild<QWidget*>(u"findBar"_s);
        QTRY_VERIFY(bar->isVisible() && bar->findChild<QLineEdit*>()->hasFocus());
        QCOMPARE(bar->geometry().top(), m_view->viewport()->geometry().bottom() + 1);
        QCOMPARE(bar->geometry().bottom(), rows.bottom());
        const auto selected = [this] { return m_view->selectionStart(); };
        QTest::keyClicks(QApplication::focusWidget(), u"beta"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(selected(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
        QTRY_COMPARE(selected(), 5);
        QTest::mouseClick(bar->findChild<QCheckBox*>(), Qt::LeftButton);
        m_view->setFocus();
        QTest::keyClick(m_view.get(), Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(selected(), 0);
        QTest::keyClick(m_view.get(), Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(selected(), 29 * 15); // round to the end, past "Beta" and "BETA"
        QTest::keyClick(m_view.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), u"gamma"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
        QTRY_COMPARE(bar->findChild<QLabel*>()->text(), u"未找到"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(m_view->hasFocus());
        QVERIFY(bar->isHidden());
        QCOMPARE(m_view->viewport()->geometry(), rows);
    }

    // A screen reader hears of arrivals at the next frame, each character once and where it
    // stands; an edit first tells what arrived before it. Kept from the events alone, the
    // reader's text is the view's after every frame, across an edit and a clear too.
    void readerToldEachArrivalOnce()
    {
        static QObject* view;
        static QString heard, arrivals; // the reader's text; what it was told at its end
        view = m_view.get();
        heard.clear();
        arrivals.clear();
        const auto before = QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            int at = 0;
            QString removed, inserted;
            if (const auto* e = dynamic_cast<QAccessibleTextInsertEvent*>(event))
                std::tie(at, inserted) = std::tuple(e->changePosition(), e->textInserted());
            else if (const auto* e = dynamic_cast<QAccessibleTextRemoveEvent*>(event))
                std::tie(at, removed) = std::tuple(e->changePosition(), e->textRemoved());
            else if (const auto* e = dynamic_cast<QAccessibleTextUpdateEvent*>(event))
                std::tie(at, removed, inserted)
                    = std::tuple(e->changePosition(), e->textRemoved(), e->textInserted());
            if (event->object() != view || (removed.isEmpty() && inserted.isEmpty()))
                return;
            if (removed.isEmpty() && at == heard.size())
                arrivals += inserted;
            if (heard.mid(at, removed.size()) != removed) // never told what it removes
                heard += u'?';
            heard.replace(at, removed.size(), inserted);
        });
        QPlatformAccessibility* platform
            = QGuiApplicationPrivate::platformIntegration()->accessibility();
        const bool wasActive = platform->isActive();
        platform->setActive(true);
        const auto restore = qScopeGuard([=] {
            QAccessible::installUpdateHandler(before);
            platform->setActive(wasActive);
        });
        QString appended;
        const auto arrive = [&](const QString& piece, bool frame = true) {
            m_view->appendText(piece);
            appended += piece;
            QSignalSpy frames(m_view.get(), &ReceiveView::frame);
            if (!frame || QTest::currentTestFailed())
                return;
            m_view->requestFrame();
            QTRY_VERIFY(!frames.isEmpty());
            QCOMPARE(heard, m_view->text());
        };
        for (const QString& piece : { u"abc"_s, u"de\r"_s, u"\nfg"_s, u"h"_s, u"ij"_s })
            arrive(piece); // the first at once, then at most a frame later
        arrive(u"XYZ"_s, false);
        m_view->setCursorPosition(2);
        m_view->insertText(u"--"_s);
        arrive(u"tail"_s);
        m_view->setSelection(1, 4);
        m_view->deleteSelection();
        arrive(u"more"_s);
        arrive(u"gone"_s, false);
        m_view->clear();
        arrive(u"41 42 "_s);
        QCOMPARE(arrivals, appended);
    }

    // Where there is a selection clipboard (X11): selecting sets it and a middle click pastes
    // it; the clipboard stays as it was.
    void middleClickPastesTheSelection()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard->supportsSelection())
            QSKIP("no selection clipboard on this platform");
        clipboard->setText(u"clip"_s);
        m_view->appendText(u"alpha beta"_s);
        const int middle = QFontMetrics(m_font).lineSpacing() / 2;
        QTest::mouseDClick(
            m_view->viewport(), Qt::LeftButton, {}, QPoint(2 + int(7.5 * m_advance), middle));
        QTRY_COMPARE(clipboard->text(QClipboard::Selection), u"beta"_s);
        QTest::mouseClick(m_view->viewport(), Qt::MiddleButton, {}, QPoint(2, middle));
        QCOMPARE(m_view->text(), u"betaalpha beta"_s);
        QCOMPARE(clipboard->text(), u"clip"_s);
    }
};

QTEST_MAIN(ReceiveViewTest)
#include "tst_receiveview.moc"
