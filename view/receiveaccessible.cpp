// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/receiveaccessible.h"

#include "view/receiveview.h"

#include <QAccessible>

#include <algorithm>
#include <climits>

namespace {

// Offsets are ints to readers; a text longer than that is read up to INT_MAX.
int toOffset(qint64 pos) { return int(std::min<qint64>(pos, INT_MAX)); }

QAccessibleInterface* create(const QString& key, QObject* object)
{
    auto* view = qobject_cast<ReceiveView*>(object);
    if (view && key == QLatin1String(ReceiveView::staticMetaObject.className()))
        return new ReceiveViewAccessible(view);
    return nullptr;
}

} // namespace

ReceiveViewAccessible::ReceiveViewAccessible(ReceiveView* view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

void ReceiveViewAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(create);
        return true;
    }();
    Q_UNUSED(installed);
}

ReceiveView* ReceiveViewAccessible::view() const { return static_cast<ReceiveView*>(widget()); }

void* ReceiveViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ReceiveViewAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

// ---- selection and caret

void ReceiveViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && view()->hasSelection()) {
        *startOffset = toOffset(view()->selectionStart());
        *endOffset = toOffset(view()->selectionEnd());
    }
}

int ReceiveViewAccessible::selectionCount() const { return view()->hasSelection() ? 1 : 0; }

// The view holds one selection: adding one replaces it.
void ReceiveViewAccessible::addSelection(int startOffset, int endOffset)
{
    view()->setSelection(startOffset, endOffset);
}

void ReceiveViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setCursorPosition(view()->cursorPosition());
}

void ReceiveViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setSelection(startOffset, endOffset);
}

int ReceiveViewAccessible::cursorPosition() const { return toOffset(view()->cursorPosition()); }

void ReceiveViewAccessible::setCursorPosition(int position) { view()->setCursorPosition(position); }

// ---- text

int ReceiveViewAccessible::characterCount() const { return toOffset(view()->content().length()); }

QString ReceiveViewAccessible::text(int startOffset, int endOffset) const
{
    const ViewText& text = view()->content();
    const qint64 from = std::clamp<qint64>(startOffset, 0, text.length());
    const qint64 to
        = endOffset < 0 ? text.length() : std::clamp<qint64>(endOffset, from, text.length());
    return text.mid(from, to - from);
}

// -1 stands for the end of the text and -2 for the caret, as readers use them.
qint64 ReceiveViewAccessible::position(int offset) const
{
    const qint64 length = view()->content().length();
    if (offset == -2)
        return view()->cursorPosition();
    return offset < 0 ? length : std::min<qint64>(offset, length);
}

// The piece of the given kind that holds pos, empty at the end of the text.
ReceiveViewAccessible::Span ReceiveViewAccessible::spanAt(
    qint64 pos, QAccessible::TextBoundaryType boundaryType) const
{
    const ViewText& text = view()->content();
    const qint64 length = text.length();
    const auto character = [&] {
        if (pos >= length)
            return Span(length, length);
        const qint64 from = text.isCaretStop(pos) ? pos : text.previousStop(pos);
        return Span(from, text.nextStop(from));
    };
    switch (boundaryType) {
    case QAccessible::CharBoundary:
        return character();
    case QAccessible::WordBoundary:
        // Runs of word characters and runs of blanks; a line break is a piece of its own.
        if (pos >= length || ViewText::isLineBreak(text.at(pos)))
            return character();
        return text.wordAround(pos);
    case QAccessible::LineBoundary: {
        const qint64 row = text.rowOf(pos);
        return { text.rowStart(row), text.rowEnd(row) };
    }
    case QAccessible::SentenceBoundary:
    case QAccessible::ParagraphBoundary: {
        qint64 first = text.rowOf(pos);
        while (!text.isHardRowStart(first))
            --first;
        qint64 next = text.rowOf(pos) + 1;
        while (next < text.rowCount() && !text.isHardRowStart(next))
            ++next;
        return { text.rowStart(first), next < text.rowCount() ? text.rowStart(next) : length };
    }
    case QAccessible::NoBoundary:
        break;
    }
    return { 0, length };
}

QString ReceiveViewAccessible::textOf(Span span, int* startOffset, int* endOffset) const
{
    *startOffset = toOffset(span.first);
    *endOffset = toOffset(span.second);
    return view()->content().mid(span.first, span.second - span.first);
}

QString ReceiveViewAccessible::textAtOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    return textOf(spanAt(position(offset), boundaryType), startOffset, endOffset);
}

QString ReceiveViewAccessible::textBeforeOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    const Span at = spanAt(position(offset), boundaryType);
    return textOf(
        at.first > 0 ? spanAt(at.first - 1, boundaryType) : Span(0, 0), startOffset, endOffset);
}

QString ReceiveViewAccessible::textAfterOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    const qint64 length = view()->content().length();
    const Span at = spanAt(position(offset), boundaryType);
    return textOf(at.second < length ? spanAt(at.second, boundaryType) : Span(length, length),
        startOffset, endOffset);
}

QString ReceiveViewAccessible::attributes(int, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

// ---- geometry, in screen coordinates

QRect ReceiveViewAccessible::characterRect(int offset) const
{
    const QRect box = view()->characterRect(position(offset));
    return QRect(view()->viewport()->mapToGlobal(box.topLeft()), box.size());
}

int ReceiveViewAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint local = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(local))
        return -1;
    return toOffset(view()->positionAt(local));
}

void ReceiveViewAccessible::scrollToSubstring(int startIndex, int)
{
    view()->setCursorPosition(startIndex);
}

// ---- editing, as the user's keys edit

void ReceiveViewAccessible::deleteText(int startOffset, int endOffset)
{
    view()->setSelection(startOffset, endOffset);
    view()->deleteSelection();
}

void ReceiveViewAccessible::insertText(int offset, const QString& text)
{
    view()->setCursorPosition(offset);
    view()->insertText(text);
}

void ReceiveViewAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    view()->setSelection(startOffset, endOffset);
    view()->insertText(text);
}

// ---- what the view tells readers (members of ReceiveView, kept beside the rest of this)

void ReceiveView::readerAppended()
{
    const qint64 length = m_text.length();
    if (m_told < length) {
        QAccessibleTextInsertEvent event(
            this, toOffset(m_told), m_text.mid(m_told, length - m_told));
        QAccessible::updateAccessibility(&event);
    }
    m_told = length;
}

QString ReceiveView::readerBeforeEdit(qint64 from, qint64 to)
{
    if (!QAccessible::isActive())
        return QString();
    readerAppended();
    return m_text.mid(from, to - from);
}

void ReceiveView::readerAfterEdit(qint64 from, const QString& removed, const QString& inserted)
{
    m_told = m_text.length();
    if (!QAccessible::isActive())
        return;
    if (!removed.isEmpty() && !inserted.isEmpty()) {
        QAccessibleTextUpdateEvent event(this, toOffset(from), removed, inserted);
        QAccessible::updateAccessibility(&event);
    } else if (!removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, toOffset(from), removed);
        QAccessible::updateAccessibility(&event);
    } else if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(this, toOffset(from), inserted);
        QAccessible::updateAccessibility(&event);
    }
    QAccessibleTextCursorEvent caret(this, toOffset(m_cursor));
    QAccessible::updateAccessibility(&caret);
}

void ReceiveView::readerCaretMoved(bool selectionChanged)
{
    if (selectionChanged) {
        QAccessibleTextSelectionEvent event(
            this, toOffset(selectionStart()), toOffset(selectionEnd()));
        QAccessible::updateAccessibility(&event);
    }
    QAccessibleTextCursorEvent caret(this, toOffset(m_cursor));
    QAccessible::updateAccessibility(&caret);
}
