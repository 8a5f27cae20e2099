// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "view/framepacer.h"
#include "view/viewinput.h"
#include "view/viewpainter.h"
#include "view/viewtext.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

class FindBar;
class QAction;
class QMenu;

// The receive display: a plain, editable, multi-line text box with a vertical scroll bar, built
// for data that keeps arriving. Appending costs time in proportion to what is appended and
// painting in proportion to what is visible, however long the text and its longest line. Rows
// wrap at blanks, and inside a run longer than the row; there is no horizontal scrolling.
// Appends are shown at most once a frame, by moving what is on screen up and painting only the
// rows that changed. Where the platform has a selection clipboard (X11), selecting with the mouse
// or the keyboard sets it and a middle click pastes it. Left out: undo and redo, right-to-left.
//
// The view keeps the caret and the selection and makes every edit; the rest is in its pieces,
// each with one job: the text and its rows (ViewText), how characters look and where they stand
// (ViewPainter), when appends are shown and where the scroll bar stands (FramePacer), and what
// the user does with keys, mouse, input methods, clipboard and edit menu (ViewInput), and the
// find bar that Ctrl+F opens over its bottom (FindBar).
class ReceiveView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReceiveView(QWidget* parent = nullptr);
    ~ReceiveView() override;

    // Appends at the end, puts the caret at the end and scrolls the newest data into view.
    void appendText(QStringView text);
    // The same for text known to be ASCII (hex pairs), kept at one byte a character.
    void appendAscii(QByteArrayView ascii);

    QString text() const;
    // Replaces the text (an empty text gives its memory back); the caret goes to the start.
    void setText(const QString& text);
    void clear();
    qint64 length() const; // in UTF-16 code units, as text().size()
    qint64 cursorPosition() const { return m_cursor; }
    void setCursorPosition(qint64 pos);

    // The selection runs from the anchor to the caret.
    void setSelection(qint64 anchor, qint64 caret);
    bool hasSelection() const { return m_anchor != m_cursor; }
    qint64 selectionStart() const { return std::min(m_anchor, m_cursor); }
    qint64 selectionEnd() const { return std::max(m_anchor, m_cursor); }
    QString selectedText() const;
    void selectAll();
    // Opens the find bar (as Ctrl+F does) and puts the focus in it.
    void openFindBar();
    void copy();
    void cut();
    void paste();
    void deleteSelection();
    // Replaces the selection with text, as typing does.
    void insertText(const QString& text);

    // The edit menu the right button opens; the caller owns it.
    QMenu* createContextMenu();
    // Adds items after the edit items and a separator, each time the menu is made. They are
    // made with the menu and go with it: a reader holds on to what an item was in its menu, so
    // an item that outlived its menu would be silent in the next one.
    void setExtraItems(std::function<void(QMenu*)> addItems)
    {
        m_input.setExtraItems(std::move(addItems));
    }

    // Whether the display shows hexadecimal pairs, which the find bar then reads a needle of
    // hexadecimal digits as.
    void setHexDisplay(bool hex);

    // Rows as displayed: their count, and the characters of one, line break included.
    qint64 rowCount() const { return m_text.rowCount(); }
    QString rowText(qint64 row) const;
    // Width available to the characters of a row.
    qreal wrapWidth() const { return m_painter.wrapWidth(); }
    // Memory held by the text and its rows.
    qint64 memoryUsed() const { return m_text.memoryUsed(); }
    // Shortest time between two frames; while something new comes every frame, three times that.
    void setFrameInterval(int ms) { m_pacer.setInterval(ms); }
    // Asks for frame() now, or at the next frame if one was shown less than a frame ago. What
    // changes on frame() is painted together with the appends, in one pass.
    void requestFrame() { m_pacer.requestFrame(); }

    // For screen readers (view/receiveaccessible.h): the text store, the box a character is
    // drawn in and the position nearest a point, both in viewport coordinates.
    const ViewText& content() const { return m_text; }
    QRect characterRect(qint64 pos) const { return m_painter.characterRect(pos, m_pacer.top()); }
    qint64 positionAt(const QPoint& point) const
    {
        return m_painter.hitAt(point, m_pacer.top()).pos;
    }

Q_SIGNALS:
    void frame();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    // ViewInput moves the caret and edits through the members below, as the view's own handlers.
    friend class ViewInput;
    friend class FindBar;

    void updateMetrics(bool force);
    void afterAppend();
    void afterEdit();
    void onFrame();
    void moveCursor(qint64 pos, bool select, bool upstream = false);
    void removeRange(qint64 from, qint64 to);
    void ensureCaretVisible();
    void restartBlink();
    QRect caretRect() const { return m_painter.caretRect(m_cursor, m_upstream, m_pacer.top()); }

    // What screen readers are told, only while one listens (view/receiveaccessible.cpp). Appends
    // are told once a frame; an edit tells the appends before it first, so positions stay right.
    void readerAppended();
    QString readerBeforeEdit(qint64 from, qint64 to); // returns the text to be removed
    void readerAfterEdit(qint64 from, const QString& removed, const QString& inserted);
    void readerCaretMoved(bool selectionChanged);

    // Shows or hides the find bar, keeping the rows clear of it.
    void showFindBar(bool shown);
    void placeFindBar();

    ViewText m_text;
    ViewPainter m_painter;
    FramePacer m_pacer;
    ViewInput m_input;
    FindBar* m_find;
    bool m_hexDisplay = false;

    qint64 m_cursor = 0;
    qint64 m_anchor = 0;
    bool m_upstream = false; // shown at the end of the row before, where a wrapped row begins
    QBasicTimer m_blink;
    bool m_caretOn = true;
    bool m_caretMoved = false; // an input method has yet to hear where the caret went
    qint64 m_told = 0; // screen readers know the text up to here
};
