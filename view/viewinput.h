// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBasicTimer>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class FramePacer;
class QAction;
class QContextMenuEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class ReceiveView;
class ViewPainter;
class ViewText;

// What the user does to the receive display, turned into caret moves and edits: keys (as the
// platform binds its standard keys), the mouse (a drag beyond the top or the bottom scrolls),
// input methods, the clipboard, the primary selection (where the platform has one, selecting
// sets it and a middle click pastes it) and the edit menu. It finds positions through the
// painter, scrolls through the pacer, and moves the caret and edits through the view.
class ViewInput : public QObject {
    Q_OBJECT
public:
    ViewInput(
        ReceiveView* view, const ViewText& text, const ViewPainter& painter, FramePacer& pacer);

    // Carries out (apply) or only recognises a key this box handles.
    bool handleKey(QKeyEvent* event, bool apply);
    void mousePress(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    void mouseRelease(QMouseEvent* event);
    void mouseDoubleClick(QMouseEvent* event);
    void contextMenu(QContextMenuEvent* event);
    void inputMethod(QInputMethodEvent* event);
    // Nothing for the queries the widget's base class answers.
    std::optional<QVariant> inputMethodQuery(Qt::InputMethodQuery query) const;
    // The text an input method is composing, shown at the caret but not yet in the text.
    const QString& preedit() const { return m_preedit; }
    // The caret moved other than up or down: the next move up or down starts from where it is.
    void forgetColumn() { m_desiredX = -1; }

    void copy() const;
    void paste();
    QMenu* createContextMenu();
    void setExtraItems(std::function<void(QMenu*)> addItems) { m_extraItems = std::move(addItems); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void moveVertically(qint64 rows, bool select);
    void dragTo(const QPoint& point);
    void offerSelection() const;
    QString surrounding(qint64* start) const;

    ReceiveView* m_view;
    const ViewText& m_text;
    const ViewPainter& m_painter;
    FramePacer& m_pacer;
    qreal m_desiredX = -1; // x kept while moving up and down
    QBasicTimer m_autoScroll;
    bool m_dragging = false;
    QPoint m_dragPoint;
    QString m_preedit;
    std::function<void(QMenu*)> m_extraItems;
};
