#include "receive/receiveview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

namespace {

QStringList rowsOf(const ReceiveView& view)
{
    QStringList rows;
    for (qint64 row = 0; row < view.rowCount(); ++row)
        rows << view.rowText(row);
    return rows;
}

// Appends in pieces of the given size (0: all at once), as bursts from a port would arrive.
void appendInPieces(ReceiveView& view, const QString& text, qsizetype piece)
{
    if (piece <= 0)
        piece = std::max<qsizetype>(text.size(), 1);
    for (qsizetype from = 0; from < text.size(); from += piece)
        view.appendText(QStringView(text).mid(from, piece));
}

QString randomText(std::mt19937& random, const QString& alphabet, qsizetype length)
{
    std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
    QString text;
    for (qsizetype k = 0; k < length; ++k)
        text += alphabet.at(pick(random));
    return text;
}

} // namespace

class ReceiveViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReceiveView> m_view;
    QFont m_font;
    qreal m_advance = 0;

    // A view whose rows hold exactly `columns` characters of the fixed-pitch test font.
    std::unique_ptr<ReceiveView> makeView(int columns, int rows = 10) const
    {
        auto view = std::make_unique<ReceiveView>();
        view->setFont(m_font);
        view->show();
        const int frame = view->width() - int(view->wrapWidth());
        const int wanted = int(std::lround(columns * m_advance + m_advance / 2));
        view->resize(frame + wanted,
            view->height() - view->viewport()->height()
                + rows * QFontMetrics(m_font).lineSpacing());
        return view;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_font = QFont(QStringLiteral("DejaVu Sans Mono"));
        m_font.setStyleHint(QFont::Monospace);
        m_font.setPixelSize(14);
        const QFontMetricsF metrics(m_font);
        m_advance = metrics.horizontalAdvance(QLatin1Char('x'));
        for (const char c : { 'i', 'W', ' ', '0' }) {
            if (metrics.horizontalAdvance(QLatin1Char(c)) != m_advance)
                QSKIP("no fixed-pitch font on this system");
        }
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

    void wrapsLikeATextBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("rows");
        const auto s = [](const char* text) { return QString::fromUtf8(text); };
        QTest::newRow("short line stays whole") << s("abc") << QStringList { s("abc") };
        QTest::newRow("exactly a row") << s("abcdefghij") << QStringList { s("abcdefghij") };
        QTest::newRow("breaks after the last blank")
            << s("hello world again") << QStringList { s("hello "), s("world "), s("again") };
        QTest::newRow("run longer than a row breaks inside it")
            << s("abcdefghijklmnopqrstuvwxy")
            << QStringList { s("abcdefghij"), s("klmnopqrst"), s("uvwxy") };
        QTest::newRow("long run after a short word moves down, then breaks")
            << s("ab cdefghijklmnop") << QStringList { s("ab "), s("cdefghijkl"), s("mnop") };
        QTest::newRow("blanks hang at the end of a row")
            << s("abcdefghij    klm") << QStringList { s("abcdefghij    "), s("klm") };
        QTest::newRow("hex pairs wrap between pairs")
            << s("41 42 43 44 45 46 ") << QStringList { s("41 42 43 "), s("44 45 46 ") };
        QTest::newRow("blank at the last column keeps the word")
            << s("abcdefghi jk") << QStringList { s("abcdefghi "), s("jk") };
        QTest::newRow("line breaks end rows before the width does")
            << s("ab\r\ncdefghijklmn\nop")
            << QStringList { s("ab\r\n"), s("cdefghijkl"), s("mn\n"), s("op") };
        QTest::newRow("tab is a blank")
            << s("abcdefgh\tijk") << QStringList { s("abcdefgh\t"), s("ijk") };
    }

    void wrapsLikeATextBox()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, rows);
        for (const qsizetype piece : { 0, 1, 3, 7 }) {
            m_view->clear();
            appendInPieces(*m_view, text, piece);
            QCOMPARE(rowsOf(*m_view), rows);
            QCOMPARE(m_view->text(), text);
        }
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QStringList>("rows");
        const auto s = [](const char* text) { return QString::fromLatin1(text); };
        QTest::newRow("CR LF in one piece")
            << QStringList { s("ab\r\ncd") } << QStringList { s("ab\r\n"), s("cd") };
        QTest::newRow("CR LF split across two appends")
            << QStringList { s("ab\r"), s("\ncd") } << QStringList { s("ab\r\n"), s("cd") };
        QTest::newRow("lone CR breaks")
            << QStringList { s("ab\rcd") } << QStringList { s("ab\r"), s("cd") };
        QTest::newRow("lone LF breaks")
            << QStringList { s("ab\ncd") } << QStringList { s("ab\n"), s("cd") };
        QTest::newRow("CR at the end waits on a row of its own")
            << QStringList { s("ab\r") } << QStringList { s("ab\r"), QString() };
        QTest::newRow("LF CR is two breaks")
            << QStringList { s("a\n"), s("\rb") } << QStringList { s("a\n"), s("\r"), s("b") };
        QTest::newRow("CR CR LF is two breaks") << QStringList { s("a\r"), s("\r"), s("\nb") }
                                                << QStringList { s("a\r"), s("\r\n"), s("b") };
        QTest::newRow("blank lines") << QStringList { s("\r\n\r\n"),
            s("\n\n") } << QStringList { s("\r\n"), s("\r\n"), s("\n"), s("\n"), QString() };
    }

    void lineBreaks()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QStringList, rows);
        for (const QString& piece : pieces)
            m_view->appendText(piece);
        QCOMPARE(rowsOf(*m_view), rows);
        QCOMPARE(m_view->text(), pieces.join(QString()));
    }

    // Data is shown as it came: markup stays text and control bytes do not end the display.
    void keepsEveryCharacterLiterally_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("markup") << QStringLiteral("<b>x</b>");
        QTest::newRow("entity") << QStringLiteral("&amp;&lt;");
        QTest::newRow("NUL in the middle") << QString::fromLatin1("ab\0cdef", 7);
        QTest::newRow("NUL first") << QString::fromLatin1("\0abcdef", 7);
        QTest::newRow("other controls") << QString::fromLatin1("\x01\x1b[0m\x7f"
                                                               "z");
    }

    void keepsEveryCharacterLiterally()
    {
        QFETCH(QString, text);
        m_view->appendText(text);
        QCOMPARE(m_view->text(), text);
        QCOMPARE(m_view->length(), qint64(text.size()));
        QCOMPARE(m_view->rowCount(), 1);
        m_view->setCursorPosition(0); // the caret at the end would count as ink

        // Ink reaches the last character's cell: nothing after a control byte was cut off.
        const QImage image = m_view->viewport()->grab().toImage();
        const int lastCell = int((text.size() - 1) * m_advance);
        int rightmostInk = -1;
        const QColor base = m_view->palette().color(QPalette::Base);
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < QFontMetrics(m_font).lineSpacing(); ++y) {
                if (image.pixelColor(x, y) != base)
                    rightmostInk = x;
            }
        }
        QVERIFY2(rightmostInk >= lastCell, qPrintable(QString::number(rightmostInk)));
    }

    void chinesePaints()
    {
        const auto render = [&](const QString& text) {
            m_view->setText(text);
            return m_view->viewport()->grab().toImage();
        };
        // Missing glyphs would all show the same empty box.
        QVERIFY(render(QStringLiteral("中")) != render(QStringLiteral("文")));
        QVERIFY(render(QStringLiteral("中")) != render(QString()));
    }

    void caretAndScrollFollowAppends_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("appended");
        const QString lines = QStringLiteral("line of text\r\n").repeated(200);
        const QString hex = QStringLiteral("4F ").repeated(2000);
        QTest::newRow("many lines") << lines << QStringLiteral("last");
        QTest::newRow("one unbroken hex line grows") << hex << QStringLiteral("0A ");
        QTest::newRow("into an empty box") << QString() << lines;
        QTest::newRow("after the user scrolled up and selected") << lines << QStringLiteral("x");
    }

    void caretAndScrollFollowAppends()
    {
        QFETCH(QString, before);
        QFETCH(QString, appended);
        m_view->appendText(before);
        QScrollBar* bar = m_view->verticalScrollBar();
        bar->setValue(0);
        m_view->setSelection(0, 5);
        m_view->appendText(appended);
        QCOMPARE(m_view->cursorPosition(), m_view->length());
        QVERIFY(!m_view->hasSelection());
        // The scroll bar follows within a frame, to show the last row as the last one in view.
        QTRY_COMPARE(qint64(bar->value() + bar->pageStep()),
            std::max<qint64>(m_view->rowCount(), bar->pageStep()));
        QCOMPARE(bar->value(), bar->maximum());
    }

    void editsInTheMiddle_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("keys"); // letters typed; '<' backspace, '>' delete, '|' enter
        QTest::addColumn<QString>("expected");
        const auto s = [](const char* text) { return QString::fromLatin1(text); };
        QTest::newRow("letters") << s("abcdef") << 3 << s("XY") << s("abcXYdef");
        QTest::newRow("enter breaks with CR LF") << s("abcdef") << 3 << s("|") << s("abc\r\ndef");
        QTest::newRow("backspace takes a whole CR LF") << s("ab\r\ncd") << 4 << s("<") << s("abcd");
        QTest::newRow("delete takes a whole CR LF") << s("ab\r\ncd") << 2 << s(">") << s("abcd");
        QTest::newRow("backspace at the start does nothing") << s("ab") << 0 << s("<") << s("ab");
        QTest::newRow("a word pushes the rows after it")
            << s("41 42 43 44 45 46 47 48 49 ") << 3 << s("ZZZZ ")
            << s("41 ZZZZ 42 43 44 45 46 47 48 49 ");
        QTest::newRow("blank splits a long run")
            << s("abcdefghijklmnopqrstuvwxyz") << 4 << s(" ") << s("abcd efghijklmnopqrstuvwxyz");
        QTest::newRow("removing a blank joins a run")
            << s("abcd efghijklmn") << 5 << s("<") << s("abcdefghijklmn");
        QTest::newRow("removing between CR and LF joins them")
            << s("a\rx\nb") << 3 << s("<") << s("a\r\nb");
    }

    void editsInTheMiddle()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        m_view->appendText(text);
        m_view->setCursorPosition(caret);
        for (const QChar key : keys) {
            if (key == QLatin1Char('<'))
                QTest::keyClick(m_view.get(), Qt::Key_Backspace);
            else if (key == QLatin1Char('>'))
                QTest::keyClick(m_view.get(), Qt::Key_Delete);
            else if (key == QLatin1Char('|'))
                QTest::keyClick(m_view.get(), Qt::Key_Return);
            else
                QTest::keyClicks(m_view.get(), QString(key));
        }
        QCOMPARE(m_view->text(), expected);
        // The rows are those the same text gets when it arrives whole.
        const auto fresh = makeView(10);
        fresh->appendText(expected);
        QCOMPARE(rowsOf(*m_view), rowsOf(*fresh));
    }

    // However the text arrived and was edited, its rows are those it gets when laid out afresh.
    void layoutMatchesFreshLayout_data()
    {
        QTest::addColumn<QString>("alphabet");
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("edits");
        QTest::newRow("hex stream in odd pieces") << QStringLiteral("0123456789ABCDEF ") << 1 << 0;
        QTest::newRow("text with every kind of break")
            << QStringLiteral("abc  \r\n\r\nxy") << 2 << 0;
        QTest::newRow("wide characters and pairs")
            << QStringLiteral("ab 中文，。（😀\r\n") << 3 << 0;
        QTest::newRow("edits in hex") << QStringLiteral("0123456789ABCDEF ") << 4 << 40;
        QTest::newRow("edits in one unbroken run") << QStringLiteral("abcdefgh") << 5 << 40;
        QTest::newRow("edits among breaks") << QStringLiteral("ab \r\n\r\n") << 6 << 60;
        QTest::newRow("edits among wide characters") << QStringLiteral("a 中文\t😀\r") << 7 << 60;
    }

    void layoutMatchesFreshLayout()
    {
        QFETCH(QString, alphabet);
        QFETCH(int, seed);
        QFETCH(int, edits);
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> pieceSize(1, 40);
        QString expected;
        for (int k = 0; k < 100; ++k) {
            const QString piece = randomText(random, alphabet, pieceSize(random));
            m_view->appendText(piece);
            expected += piece;
        }
        for (int k = 0; k < edits; ++k) {
            std::uniform_int_distribution<qint64> place(0, m_view->length());
            const qint64 a = place(random);
            const qint64 b = place(random);
            if (k % 2 == 0) {
                m_view->setCursorPosition(a);
                m_view->insertText(randomText(random, alphabet, pieceSize(random) % 12 + 1));
            } else {
                m_view->setSelection(a, b);
                m_view->deleteSelection();
            }
            const auto fresh = makeView(10);
            fresh->appendText(m_view->text());
            QCOMPARE(rowsOf(*m_view), rowsOf(*fresh));
        }
        if (edits == 0) {
            QCOMPARE(m_view->text(), expected);
            const auto fresh = makeView(10);
            fresh->appendText(expected);
            QCOMPARE(rowsOf(*m_view), rowsOf(*fresh));
        }
        QCOMPARE(rowsOf(*m_view).join(QString()), m_view->text());
    }

    void selectsAcrossALargeText_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to"); // -1: the end
        QTest::newRow("select all from the edit menu") << QStringLiteral("menu") << 0LL << -1LL;
        QTest::newRow("ctrl+shift+end from the start") << QStringLiteral("keys") << 0LL << -1LL;
        QTest::newRow("shift+down over three rows") << QStringLiteral("down") << 0LL << 3 * 11LL;
        QTest::newRow("mouse drag over two rows") << QStringLiteral("drag") << 2LL << 2 * 11LL + 4;
        QTest::newRow("double click picks a word") << QStringLiteral("word") << 11LL << 21LL;
    }

    void selectsAcrossALargeText()
    {
        QFETCH(QString, how);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        // Rows of exactly ten characters and a line break each.
        const QString text = QStringLiteral("0123456789\n").repeated(100000);
        m_view->appendText(text);
        m_view->verticalScrollBar()->setValue(0);
        if (how == QLatin1String("menu")) {
            std::unique_ptr<QMenu> menu(m_view->createContextMenu());
            menu->findChild<QAction*>(QStringLiteral("selectAll"))->trigger();
        } else if (how == QLatin1String("keys")) {
            QTest::keyClick(m_view.get(), Qt::Key_Home, Qt::ControlModifier);
            QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        } else if (how == QLatin1String("down")) {
            QTest::keyClick(m_view.get(), Qt::Key_Home, Qt::ControlModifier);
            for (int k = 0; k < 3; ++k)
                QTest::keyClick(m_view.get(), Qt::Key_Down, Qt::ShiftModifier);
        } else {
            const int line = QFontMetrics(m_font).lineSpacing();
            const auto at = [&](int column, int row) {
                return QPoint(2 + int(column * m_advance + 1), row * line + line / 2);
            };
            if (how == QLatin1String("drag")) {
                QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, at(2, 0));
                QMouseEvent move(QEvent::MouseMove, at(4, 2),
                    m_view->viewport()->mapToGlobal(at(4, 2)), Qt::NoButton, Qt::LeftButton,
                    Qt::NoModifier);
                QApplication::sendEvent(m_view->viewport(), &move);
                QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, at(4, 2));
            } else {
                QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at(3, 1));
            }
        }
        if (to < 0)
            to = text.size();
        QCOMPARE(m_view->selectionStart(), from);
        QCOMPARE(m_view->selectionEnd(), to);
        QCOMPARE(m_view->selectedText(), text.mid(from, to - from));

        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("probe"));
        if (clipboard->text() != QLatin1String("probe"))
            QSKIP("no clipboard on this platform");
        std::unique_ptr<QMenu> menu(m_view->createContextMenu());
        menu->findChild<QAction*>(QStringLiteral("copy"))->trigger();
        QCOMPARE(clipboard->text(), text.mid(from, to - from));
        // Cut and paste it back where it was: the text is whole again.
        m_view->cut();
        QCOMPARE(m_view->length(), text.size() - (to - from));
        m_view->paste();
        QCOMPARE(m_view->text(), text);
    }

    void caretMoves_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        const QString rows = QStringLiteral("hello world again"); // "hello " "world " "again"
        const int none = Qt::NoModifier;
        QTest::newRow("down keeps the column") << rows << 2 << int(Qt::Key_Down) << none << 8;
        QTest::newRow("up keeps the column") << rows << 14 << int(Qt::Key_Up) << none << 8;
        QTest::newRow("down on the last row stays")
            << rows << 14 << int(Qt::Key_Down) << none << 14;
        QTest::newRow("end of a wrapped row") << rows << 1 << int(Qt::Key_End) << none << 6;
        QTest::newRow("home of a wrapped row") << rows << 9 << int(Qt::Key_Home) << none << 6;
        QTest::newRow("end stops before the line break")
            << QStringLiteral("ab\r\ncd") << 0 << int(Qt::Key_End) << none << 2;
        QTest::newRow("ctrl+right to the next word")
            << rows << 0 << int(Qt::Key_Right) << int(Qt::ControlModifier) << 6;
        QTest::newRow("ctrl+left to the word start")
            << rows << 8 << int(Qt::Key_Left) << int(Qt::ControlModifier) << 6;
        QTest::newRow("right steps over CR LF whole")
            << QStringLiteral("ab\r\ncd") << 2 << int(Qt::Key_Right) << none << 4;
        QTest::newRow("left steps over a surrogate pair whole")
            << QStringLiteral("a😀b") << 3 << int(Qt::Key_Left) << none << 1;
        QTest::newRow("ctrl+end") << rows << 0 << int(Qt::Key_End) << int(Qt::ControlModifier)
                                  << 17;
    }

    void caretMoves()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        m_view->appendText(text);
        m_view->setCursorPosition(caret);
        QTest::keyClick(m_view.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(m_view->cursorPosition(), expected);
        QVERIFY(!m_view->hasSelection());
        // With shift the same move selects from where the caret was.
        m_view->setCursorPosition(caret);
        QTest::keyClick(
            m_view.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers) | Qt::ShiftModifier);
        QCOMPARE(m_view->selectionStart(), std::min(caret, expected));
        QCOMPARE(m_view->selectionEnd(), std::max(caret, expected));
    }

    // Rows of characters the fixed-pitch font does not have: they still fit and join up.
    void wideCharactersWrap_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("chinese sentence")
            << QStringLiteral("中文显示测试，这是一段很长的中文文本，用来检查自动换行是否正确。")
                   .repeated(3);
        QTest::newRow("chinese among ascii words")
            << QStringLiteral("RX 数据 abc（括号）def 结束。").repeated(4);
        QTest::newRow("emoji") << QStringLiteral("😀😁😂🤣😃😄😅😆").repeated(4);
    }

    void wideCharactersWrap()
    {
        QFETCH(QString, text);
        appendInPieces(*m_view, text, 5);
        const QStringList rows = rowsOf(*m_view);
        QCOMPARE(rows.join(QString()), text);
        QVERIFY(rows.size() > 1);
        const QFontMetricsF metrics(m_font);
        for (QString row : rows) {
            while (row.endsWith(QLatin1Char(' '))) // blanks hang past the edge
                row.chop(1);
            QVERIFY2(!row.startsWith(QStringLiteral("，")) && !row.startsWith(QStringLiteral("。"))
                    && !row.startsWith(QStringLiteral("）")) && !row.endsWith(QStringLiteral("（")),
                qPrintable(row));
            qreal width = 0;
            for (qsizetype k = 0; k < row.size(); ++k) {
                const qsizetype n = row.at(k).isHighSurrogate() ? 2 : 1;
                width += metrics.horizontalAdvance(row.mid(k, n));
                k += n - 1;
            }
            QVERIFY2(width <= m_view->wrapWidth() + 0.5 || row.size() <= 2, qPrintable(row));
        }
    }

    void relayoutOnResize_data()
    {
        QTest::addColumn<int>("columns");
        QTest::newRow("wider") << 23;
        QTest::newRow("narrower") << 4;
    }

    void relayoutOnResize()
    {
        QFETCH(int, columns);
        const QString text = QStringLiteral("41 42 43 \r\nhello world again ").repeated(50);
        m_view->appendText(text);
        const auto resized = makeView(columns);
        m_view->resize(resized->size());
        const auto fresh = makeView(columns);
        fresh->appendText(text);
        QCOMPARE(rowsOf(*m_view), rowsOf(*fresh));
        QScrollBar* bar = m_view->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        QCOMPARE(qint64(bar->maximum() + bar->pageStep()), m_view->rowCount());
    }

    void inputMethod_data()
    {
        QTest::addColumn<QString>("preedit");
        QTest::addColumn<QString>("commit");
        QTest::addColumn<int>("replaceFrom"); // relative to the caret
        QTest::addColumn<int>("replaceLength");
        QTest::addColumn<QString>("expected");
        QTest::newRow("composing leaves the text alone")
            << QStringLiteral("zhong") << QString() << 0 << 0 << QStringLiteral("ab|cd");
        QTest::newRow("commit goes in at the caret")
            << QString() << QStringLiteral("中文") << 0 << 0 << QStringLiteral("ab中文|cd");
        QTest::newRow("commit replaces what is before the caret")
            << QString() << QStringLiteral("中") << -1 << 1 << QStringLiteral("a中|cd");
    }

    void inputMethod()
    {
        QFETCH(QString, preedit);
        QFETCH(QString, commit);
        QFETCH(int, replaceFrom);
        QFETCH(int, replaceLength);
        QFETCH(QString, expected);
        m_view->appendText(QStringLiteral("abcd"));
        m_view->setCursorPosition(2);
        QInputMethodEvent event(preedit, {});
        event.setCommitString(commit, replaceFrom, replaceLength);
        QApplication::sendEvent(m_view.get(), &event);
        const qsizetype caret = expected.indexOf(QLatin1Char('|'));
        QCOMPARE(m_view->text(), QString(expected).remove(caret, 1));
        QCOMPARE(m_view->cursorPosition(), caret);
        QCOMPARE(m_view->inputMethodQuery(Qt::ImSurroundingText).toString(),
            QString(expected).remove(caret, 1));
        QCOMPARE(m_view->inputMethodQuery(Qt::ImCursorPosition).toInt(), caret);
    }

    void clearFreesAndResets_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("clear") << QStringLiteral("clear");
        QTest::newRow("empty text") << QStringLiteral("setText");
    }

    void clearFreesAndResets()
    {
        QFETCH(QString, how);
        m_view = makeView(100);
        const QByteArray hex = QByteArray("A5 ").repeated(1 << 20);
        for (int k = 0; k < hex.size(); k += 4096)
            m_view->appendAscii(QByteArrayView(hex).sliced(k, std::min(4096, int(hex.size()) - k)));
        QVERIFY(m_view->memoryUsed() >= hex.size());
        // ASCII stays at about a byte a character, rows included.
        QVERIFY2(m_view->memoryUsed() < hex.size() * 3 / 2,
            qPrintable(QString::number(m_view->memoryUsed())));
        if (how == QLatin1String("clear"))
            m_view->clear();
        else
            m_view->setText(QString());
        QVERIFY2(m_view->memoryUsed() < 1024, qPrintable(QString::number(m_view->memoryUsed())));
        QCOMPARE(m_view->length(), 0);
        QCOMPARE(m_view->text(), QString());
        QCOMPARE(m_view->rowCount(), 1);
        QCOMPARE(m_view->cursorPosition(), 0);
        QCOMPARE(m_view->verticalScrollBar()->maximum(), 0);
        m_view->appendText(QStringLiteral("after"));
        QCOMPARE(m_view->text(), QStringLiteral("after"));
    }
};

QTEST_MAIN(ReceiveViewTest)
#include "tst_receiveview.moc"
