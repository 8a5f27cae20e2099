#pragma once

#include "receive/viewtext.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QByteArrayView>
#include <QFont>
#include <QString>
#include <QStringView>

class QAction;
class QMenu;

// The receive display: a plain, editable, multi-line text box with a vertical scroll bar, built
// for data that keeps arriving. Appending costs time in proportion to what is appended and
// painting in proportion to what is visible, however long the text and its longest line. Rows
// wrap at blanks, and inside a run longer than the row; there is no horizontal scrolling.
// Appends are shown at most once a frame, by moving what is on screen up and painting only the
// rows that changed. Where the platform has a selection clipboard (X11), selecting with the mouse
// or the keyboard sets it and a middle click pastes it. Left out: undo and redo, right-to-left.
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
    void copy();
    void cut();
    void paste();
    void deleteSelection();
    // Replaces the selection with text, as typing does.
    void insertText(const QString& text);

    // The edit menu the right button opens; the caller owns it.
    QMenu* createContextMenu();
    // Shown after the edit items and a separator; hidden ones are left out. Not owned.
    void setExtraActions(const QList<QAction*>& actions) { m_extraActions = actions; }

    // Rows as displayed: their count, and the characters of one, line break included.
    qint64 rowCount() const { return m_text.rowCount(); }
    QString rowText(qint64 row) const;
    // Width available to the characters of a row.
    qreal wrapWidth() const;
    // Memory held by the text and its rows.
    qint64 memoryUsed() const { return m_text.memoryUsed(); }
    // Shortest time between two frames; while something new comes every frame, three times that.
    void setFrameInterval(int ms) { m_frameMs = ms; }
    // Asks for frame() now, or at the next frame if one was shown less than a frame ago. What
    // changes on frame() is painted together with the appends, in one pass.
    void requestFrame();

    // For screen readers (receive/receiveaccessible.h): the text store, the box a character is
    // drawn in and the position nearest a point, both in viewport coordinates.
    const ViewText& content() const { return m_text; }
    QRect characterRect(qint64 pos) const;
    qint64 positionAt(const QPoint& point) const { return hitAt(point).pos; }

Q_SIGNALS:
    void frame();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
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
    struct Hit {
        qint64 pos = 0;
        bool upstream = false; // shown at the end of the row before, where a wrapped row begins
    };

    void updateMetrics(bool force);
    void updateScrollBar();
    void afterAppend();
    void nextFrame();
    void showAppended();
    void syncScrollBar(bool lazy = false);
    QRect thumbRect(int maximum, int value, int page) const;
    void repaintAll();
    void offerSelection();
    int pageRows() const;
    qint64 lastFirstRow() const;
    void afterEdit();
    void moveCursor(qint64 pos, bool select, bool upstream = false);
    void ensureCaretVisible();
    void restartBlink();
    bool handleKey(QKeyEvent* event, bool apply);
    void moveVertically(qint64 rows, bool select);
    void removeRange(qint64 from, qint64 to);

    // What screen readers are told, only while one listens (receive/receiveaccessible.cpp). Appends
    // are told once a frame; an edit tells the appends before it first, so positions stay right.
    void readerAppended();
    QString readerBeforeEdit(qint64 from, qint64 to); // returns the text to be removed
    void readerAfterEdit(qint64 from, const QString& removed, const QString& inserted);
    void readerCaretMoved(bool selectionChanged);

    qint64 firstVisibleRow() const;
    qint64 visualRow(qint64 pos, bool upstream) const;
    qreal xInRow(qint64 row, qint64 pos) const;
    Hit hitInRow(qint64 row, qreal x) const;
    Hit hitAt(const QPoint& point) const;
    QRect caretRect() const;
    void dragTo(const QPoint& point);

    ViewText m_text;
    QFont m_drawFont;
    QFont m_metricsFont;
    qreal m_metricsWidth = -1;
    int m_lineHeight = 1;
    int m_ascent = 0;

    qint64 m_cursor = 0;
    qint64 m_anchor = 0;
    bool m_upstream = false;
    qreal m_desiredX = -1; // x kept while moving up and down

    QBasicTimer m_blink;
    bool m_caretOn = true;
    bool m_caretMoved = false; // an input method has yet to hear where the caret went
    QBasicTimer m_frame;
    int m_frameMs;
    int m_frameInterval = 0;
    bool m_framePending = false;
    bool m_streaming = false; // the last frame came straight after the one before
    bool m_appended = false; // appends wait for the next frame
    bool m_followEnd = false; // appended since the view was last moved to the end
    qint64 m_top = 0; // the first row on screen
    bool m_barStale = false; // the scroll bar lags m_top while its thumb would not move
    // What the next frame may keep: rows above the last one that the last frame showed are on
    // screen as they are, unless anything but appends has changed since.
    qint64 m_shownLastRow = 0;
    qint64 m_shownEnd = 0;
    bool m_keepShown = false;
    bool m_paintedSinceFrame = true;
    bool m_appending = false;
    QBasicTimer m_autoScroll;
    bool m_dragging = false;
    QPoint m_dragPoint;
    QString m_preedit;
    QList<QAction*> m_extraActions;
    qint64 m_told = 0; // screen readers know the text up to here
};
