// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewinput.h"

#include "view/framepacer.h"
#include "view/receiveview.h"
#include "view/viewpainter.h"
#include "view/viewtext.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <functional>
#include <utility>

namespace {

// Characters either side of the caret that an input method is shown.
constexpr qint64 surroundingChars = 512;

} // namespace

ViewInput::ViewInput(
    ReceiveView* view, const ViewText& text, const ViewPainter& painter, FramePacer& pacer)
    : m_view(view)
    , m_text(text)
    , m_painter(painter)
    , m_pacer(pacer)
{
}

// ---- keys

void ViewInput::moveVertically(qint64 rows, bool select)
{
    const qint64 row = m_text.caretRow(m_view->m_cursor, m_view->m_upstream);
    if (m_desiredX < 0)
        m_desiredX = m_painter.xInRow(row, m_view->m_cursor);
    const qint64 target = std::clamp<qint64>(row + rows, 0, m_text.rowCount() - 1);
    const qreal keep = m_desiredX;
    const ViewPainter::Hit hit = m_painter.hitInRow(target, keep);
    m_view->moveCursor(hit.pos, select, hit.upstream);
    m_desiredX = keep;
}

bool ViewInput::handleKey(QKeyEvent* event, bool apply)
{
    using Key = QKeySequence::StandardKey;
    const auto is = [event](Key key) { return event->matches(key); };
    if (apply)
        m_pacer.syncScrollBar();
    ReceiveView& view = *m_view;
    QScrollBar* bar = view.verticalScrollBar();
    const qint64 page = bar->pageStep();
    const qint64 row = m_text.caretRow(view.m_cursor, view.m_upstream);

    struct Move {
        Key move;
        Key select;
        std::function<void(bool)> go;
    };
    const Move moves[] = {
        { Key::MoveToNextChar, Key::SelectNextChar,
            [&](bool select) {
                view.moveCursor(!select && view.hasSelection() ? view.selectionEnd()
                                                               : m_text.nextStop(view.m_cursor),
                    select);
            } },
        { Key::MoveToPreviousChar, Key::SelectPreviousChar,
            [&](bool select) {
                view.moveCursor(!select && view.hasSelection() ? view.selectionStart()
                                                               : m_text.previousStop(view.m_cursor),
                    select);
            } },
        { Key::MoveToNextWord, Key::SelectNextWord,
            [&](bool select) { view.moveCursor(m_text.nextWordStart(view.m_cursor), select); } },
        { Key::MoveToPreviousWord, Key::SelectPreviousWord,
            [&](bool select) {
                view.moveCursor(m_text.previousWordStart(view.m_cursor), select);
            } },
        { Key::MoveToNextLine, Key::SelectNextLine,
            [&](bool select) { moveVertically(1, select); } },
        { Key::MoveToPreviousLine, Key::SelectPreviousLine,
            [&](bool select) { moveVertically(-1, select); } },
        { Key::MoveToNextPage, Key::SelectNextPage,
            [&](bool select) {
                bar->setValue(int(std::min<qint64>(m_pacer.top() + page, INT_MAX)));
                moveVertically(page, select);
            } },
        { Key::MoveToPreviousPage, Key::SelectPreviousPage,
            [&](bool select) {
                bar->setValue(int(std::max<qint64>(m_pacer.top() - page, 0)));
                moveVertically(-page, select);
            } },
        { Key::MoveToStartOfLine, Key::SelectStartOfLine,
            [&](bool select) { view.moveCursor(m_text.rowStart(row), select); } },
        { Key::MoveToEndOfLine, Key::SelectEndOfLine,
            [&](bool select) {
                const qint64 end = m_text.rowContentEnd(row);
                view.moveCursor(
                    end, select, end == m_text.rowEnd(row) && row + 1 < m_text.rowCount());
            } },
        { Key::MoveToStartOfDocument, Key::SelectStartOfDocument,
            [&](bool select) { view.moveCursor(0, select); } },
        { Key::MoveToEndOfDocument, Key::SelectEndOfDocument,
            [&](bool select) { view.moveCursor(m_text.length(), select); } },
    };
    for (const Move& move : moves) {
        const bool select = is(move.select);
        if (select || is(move.move)) {
            if (apply) {
                const qreal desired = m_desiredX;
                m_desiredX = -1;
                if (move.move == Key::MoveToNextLine || move.move == Key::MoveToPreviousLine
                    || move.move == Key::MoveToNextPage || move.move == Key::MoveToPreviousPage)
                    m_desiredX = desired;
                move.go(select);
                if (select)
                    offerSelection();
            }
            return true;
        }
    }

    const auto removeOr = [&](qint64 from, qint64 to) {
        if (view.hasSelection())
            view.deleteSelection();
        else if (from != to) {
            view.removeRange(std::min(from, to), std::max(from, to));
            view.afterEdit();
        }
    };
    const qint64 cursor = view.m_cursor;
    const std::pair<Key, std::function<void()>> edits[] = {
        { Key::SelectAll, [&] { view.selectAll(); } },
        { Key::Copy, [&] { view.copy(); } },
        { Key::Cut, [&] { view.cut(); } },
        { Key::Paste, [&] { view.paste(); } },
        { Key::Delete, [&] { removeOr(cursor, m_text.nextStop(cursor)); } },
        { Key::DeleteEndOfWord, [&] { removeOr(cursor, m_text.nextWordStart(cursor)); } },
        { Key::DeleteStartOfWord, [&] { removeOr(m_text.previousWordStart(cursor), cursor); } },
    };
    for (const auto& [key, go] : edits) {
        if (is(key)) {
            if (apply)
                go();
            return true;
        }
    }
    if (event->key() == Qt::Key_Backspace
        && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        if (apply)
            removeOr(m_text.previousStop(cursor), cursor);
    } else if (is(Key::InsertParagraphSeparator) || is(Key::InsertLineSeparator)) {
        // A text box breaks a typed line with CR LF.
        if (apply)
            view.insertText(QStringLiteral("\r\n"));
    } else {
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && !ViewPainter::isControl(typed.at(0).unicode())
            && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (!printable)
            return false;
        if (apply)
            view.insertText(typed);
    }
    return true;
}

// ---- mouse

void ViewInput::mousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const ViewPainter::Hit hit = m_painter.hitAt(event->position().toPoint(), m_pacer.top());
    m_desiredX = -1;
    m_view->moveCursor(hit.pos, event->modifiers() & Qt::ShiftModifier, hit.upstream);
    m_dragging = true;
    m_dragPoint = event->position().toPoint();
}

void ViewInput::dragTo(const QPoint& point)
{
    const int height = m_view->viewport()->height();
    const QPoint inside(point.x(), std::clamp(point.y(), 0, std::max(height - 1, 0)));
    const ViewPainter::Hit hit = m_painter.hitAt(inside, m_pacer.top());
    if (hit.pos != m_view->m_cursor) {
        m_view->m_cursor = hit.pos;
        m_view->m_upstream = hit.upstream;
        m_pacer.repaintAll();
    }
}

void ViewInput::mouseMove(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    m_dragPoint = event->position().toPoint();
    dragTo(m_dragPoint);
    const bool outside = m_dragPoint.y() < 0 || m_dragPoint.y() >= m_view->viewport()->height();
    if (outside && !m_autoScroll.isActive())
        m_autoScroll.start(50, this);
    else if (!outside)
        m_autoScroll.stop();
}

void ViewInput::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_autoScroll.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_pacer.syncScrollBar();
    QScrollBar* bar = m_view->verticalScrollBar();
    bar->setValue(bar->value() + (m_dragPoint.y() < 0 ? -1 : 1));
    dragTo(m_dragPoint);
}

void ViewInput::mouseRelease(QMouseEvent* event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        const QString text = clipboard->text(QClipboard::Selection);
        const ViewPainter::Hit hit = m_painter.hitAt(event->position().toPoint(), m_pacer.top());
        m_desiredX = -1;
        m_view->moveCursor(hit.pos, false, hit.upstream);
        if (!text.isEmpty())
            m_view->insertText(text);
        return;
    }
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        m_autoScroll.stop();
        offerSelection();
    }
}

void ViewInput::mouseDoubleClick(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const ViewPainter::Hit hit = m_painter.hitAt(event->position().toPoint(), m_pacer.top());
    const auto [from, to] = m_text.wordAround(hit.pos);
    m_view->m_anchor = from;
    m_view->moveCursor(to, true);
    m_dragging = false;
    offerSelection();
}

// ---- clipboard and the edit menu

void ViewInput::copy() const
{
    if (m_view->hasSelection())
        QGuiApplication::clipboard()->setText(m_view->selectedText());
}

void ViewInput::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        m_view->insertText(text);
}

// What the user selects becomes the primary selection, as in every X11 text box.
void ViewInput::offerSelection() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_view->hasSelection() && clipboard->supportsSelection())
        clipboard->setText(m_view->selectedText(), QClipboard::Selection);
}

QMenu* ViewInput::createContextMenu()
{
    ReceiveView* view = m_view;
    auto* menu = new QMenu(view);
    const auto add = [&](const char* name, const QString& caption, QKeySequence::StandardKey key,
                         bool enabled, void (ReceiveView::*slot)()) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu->addAction(
            shortcut.isEmpty() ? caption : caption + QLatin1Char('\t') + shortcut);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, view, slot);
    };
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    const bool selected = view->hasSelection();
    add("cut", QStringLiteral("剪切(&T)"), QKeySequence::Cut, selected, &ReceiveView::cut);
    add("copy", QStringLiteral("复制(&C)"), QKeySequence::Copy, selected, &ReceiveView::copy);
    add("paste", QStringLiteral("粘贴(&P)"), QKeySequence::Paste, clipboard && clipboard->hasText(),
        &ReceiveView::paste);
    add("delete", QStringLiteral("删除(&D)"), QKeySequence::Delete, selected,
        &ReceiveView::deleteSelection);
    menu->addSeparator();
    add("selectAll", QStringLiteral("全选(&A)"), QKeySequence::SelectAll,
        view->selectionEnd() - view->selectionStart() < m_text.length(), &ReceiveView::selectAll);
    add("find", QStringLiteral("查找(&F)…"), QKeySequence::Find, true, &ReceiveView::openFindBar);
    if (m_extraItems) {
        menu->setToolTipsVisible(true); // the extra choices explain themselves
        menu->addSeparator();
        m_extraItems(menu);
    }
    return menu;
}

void ViewInput::contextMenu(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---- input methods

void ViewInput::inputMethod(QInputMethodEvent* event)
{
    ReceiveView& view = *m_view;
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        if (view.hasSelection())
            view.removeRange(view.selectionStart(), view.selectionEnd());
        if (event->replacementLength() > 0) {
            const qint64 from
                = std::clamp<qint64>(view.m_cursor + event->replacementStart(), 0, m_text.length());
            view.removeRange(
                from, std::min<qint64>(from + event->replacementLength(), m_text.length()));
        }
        view.insertText(commit);
    }
    m_preedit = event->preeditString();
    m_pacer.repaintAll();
    event->accept();
}

// The text around the caret, up to the line breaks either side and a few hundred characters.
QString ViewInput::surrounding(qint64* start) const
{
    const qint64 cursor = m_view->m_cursor;
    const qint64 from = std::max<qint64>(cursor - surroundingChars, 0);
    const QString before = m_text.mid(from, cursor - from);
    const QString after = m_text.mid(cursor, surroundingChars);
    const qsizetype breakBefore
        = std::max(before.lastIndexOf(QLatin1Char('\n')), before.lastIndexOf(QLatin1Char('\r')));
    qsizetype breakAfter = after.size();
    for (const QChar c : { QLatin1Char('\n'), QLatin1Char('\r') }) {
        const qsizetype at = after.indexOf(c);
        if (at >= 0)
            breakAfter = std::min(breakAfter, at);
    }
    *start = from + breakBefore + 1;
    return before.mid(breakBefore + 1) + after.left(breakAfter);
}

std::optional<QVariant> ViewInput::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const ReceiveView& view = *m_view;
    const qint64 cursor = view.m_cursor;
    qint64 start = 0;
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle:
        return view.caretRect().translated(view.viewport()->pos());
    case Qt::ImFont:
        return view.font();
    case Qt::ImAbsolutePosition:
        return qlonglong(cursor);
    case Qt::ImSurroundingText:
        return surrounding(&start);
    case Qt::ImCursorPosition: {
        surrounding(&start);
        return int(cursor - start);
    }
    case Qt::ImAnchorPosition: {
        const QString text = surrounding(&start);
        return int(std::clamp<qint64>(view.m_anchor - start, 0, text.size()));
    }
    case Qt::ImCurrentSelection:
        return m_text.mid(view.selectionStart(),
            std::min<qint64>(view.selectionEnd() - view.selectionStart(), 2 * surroundingChars));
    case Qt::ImTextBeforeCursor:
        return m_text.mid(std::max<qint64>(cursor - surroundingChars, 0),
            std::min<qint64>(cursor, surroundingChars));
    case Qt::ImTextAfterCursor:
        return m_text.mid(cursor, surroundingChars);
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return std::nullopt;
    }
}
