// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>

#include <utility>

class ReceiveView;

// What a screen reader sees of the receive display: editable multi-line text, read from the
// view's own text store, never copying more than was asked for. Lines are the rows as displayed;
// sentences and paragraphs are the lines between line breaks. The name comes from the label that
// names the view as its buddy. The Value is left empty: readers ask for the parts they read, and
// the whole may be megabytes. Scrolling to a substring moves the caret to its start.
class ReceiveViewAccessible : public QAccessibleWidget,
                              public QAccessibleTextInterface,
                              public QAccessibleEditableTextInterface {
public:
    explicit ReceiveViewAccessible(ReceiveView* view);
    // Has Qt make one of these for each receive view it is asked about; later calls do nothing.
    static void install();

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    using QAccessibleWidget::text;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
        int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
        int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
        int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    using Span = std::pair<qint64, qint64>;

    ReceiveView* view() const;
    qint64 position(int offset) const;
    Span spanAt(qint64 pos, QAccessible::TextBoundaryType boundaryType) const;
    QString textOf(Span span, int* startOffset, int* endOffset) const;
};
