// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/receiveview.h"

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

    void typingInTheMiddle_data()
    {
        QTest::addColumn<QString>("text"); // '^' marks the caret
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        QTest::newRow("enter breaks with CR LF") << u"abc^def"_s << u"\r"_s << u"abc\r\ndef"_s;
        QTest::newRow("backspace takes CR LF whole") << u"ab\r\n^cd"_s << u"\b"_s << u"abcd"_s;
        QTest::newRow("CR and LF join") << u"a\rx^\nb"_s << u"\b"_s << u"a\r\nb"_s;
    }

    void typingInTheMiddle()
    {
        QFETCH(QString, text);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        m_view->appendText(QString(text).remove(u'^'));
        m_view->setCursorPosition(text.indexOf(u'^'));
        QTest::keyClicks(m_view.get(), keys);
        QCOMPARE(m_view->text(), expected);
        QCOMPARE(rowsOf(*m_view), freshRows(expected));
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
