// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/receiveview.h"

#include "view/findbar.h"
#include "view/receiveaccessible.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>

ReceiveView::ReceiveView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_painter(m_text, viewport())
    , m_pacer(this, m_text, m_painter)
    , m_input(this, m_text, m_painter, m_pacer)
    , m_find(new FindBar(this))
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateMetrics(true);
    m_pacer.rowsChanged();
    connect(&m_pacer, &FramePacer::frame, this, &ReceiveView::onFrame);
    ReceiveViewAccessible::install();
}

ReceiveView::~ReceiveView() = default;

// ---- text

void ReceiveView::appendText(QStringView text)
{
    m_text.append(text);
    afterAppend();
}

void ReceiveView::appendAscii(QByteArrayView ascii)
{
    m_text.appendLatin1(ascii);
    afterAppend();
}

QString ReceiveView::text() const { return m_text.text(); }

qint64 ReceiveView::length() const { return m_text.length(); }

void ReceiveView::setText(const QString& text)
{
    const QString removed = readerBeforeEdit(0, m_text.length());
    m_text.clear();
    m_text.append(text);
    m_cursor = m_anchor = 0;
    m_upstream = false;
    m_input.forgetColumn();
    m_pacer.reset();
    m_find->textReplaced();
    readerAfterEdit(0, removed, text);
}

void ReceiveView::clear() { setText(QString()); }

QString ReceiveView::rowText(qint64 row) const
{
    if (row < 0 || row >= m_text.rowCount())
        return {};
    return m_text.mid(m_text.rowStart(row), m_text.rowEnd(row) - m_text.rowStart(row));
}

QString ReceiveView::selectedText() const
{
    return m_text.mid(selectionStart(), selectionEnd() - selectionStart());
}

void ReceiveView::setCursorPosition(qint64 pos) { setSelection(pos, pos); }

void ReceiveView::setSelection(qint64 anchor, qint64 caret)
{
    const auto stop = [this](qint64 pos) {
        pos = std::clamp<qint64>(pos, 0, m_text.length());
        return m_text.isCaretStop(pos) ? pos : m_text.previousStop(pos);
    };
    m_anchor = stop(anchor);
    moveCursor(stop(caret), true);
}

void ReceiveView::selectAll() { setSelection(0, m_text.length()); }

void ReceiveView::copy() { m_input.copy(); }

void ReceiveView::cut()
{
    if (!hasSelection())
        return;
    copy();
    deleteSelection();
}

void ReceiveView::paste() { m_input.paste(); }

QMenu* ReceiveView::createContextMenu() { return m_input.createContextMenu(); }

void ReceiveView::deleteSelection()
{
    if (!hasSelection())
        return;
    removeRange(selectionStart(), selectionEnd());
    afterEdit();
}

void ReceiveView::removeRange(qint64 from, qint64 to)
{
    const QString removed = readerBeforeEdit(from, to);
    m_text.remove(from, to - from);
    m_find->textReplaced();
    m_cursor = m_anchor = from;
    // Removing what stood between a CR and an LF joins them into one break.
    if (!m_text.isCaretStop(m_cursor))
        m_cursor = m_anchor = m_text.previousStop(m_cursor);
    readerAfterEdit(from, removed, QString());
}

void ReceiveView::insertText(const QString& text)
{
    if (hasSelection())
        removeRange(selectionStart(), selectionEnd());
    if (!text.isEmpty()) {
        const qint64 at = m_cursor;
        readerBeforeEdit(at, at);
        m_text.insert(at, text);
        m_find->textReplaced();
        m_cursor += text.size();
        if (!m_text.isCaretStop(m_cursor))
            m_cursor = m_text.nextStop(m_cursor);
        m_anchor = m_cursor;
        readerAfterEdit(at, QString(), text);
    }
    afterEdit();
}

void ReceiveView::setHexDisplay(bool hex)
{
    m_hexDisplay = hex;
    m_find->patternChanged();
}

void ReceiveView::afterAppend()
{
    // A selection or a caret away from the end is on screen in rows that the next frame keeps.
    if (hasSelection() || m_upstream || !m_input.preedit().isEmpty()
        || m_pacer.keepsRowOf(m_cursor))
        m_pacer.repaintAll();
    m_cursor = m_anchor = m_text.length();
    m_upstream = false;
    m_input.forgetColumn();
    m_caretOn = true;
    m_caretMoved = true;
    m_pacer.appended();
}

void ReceiveView::afterEdit()
{
    m_upstream = false;
    m_input.forgetColumn();
    m_pacer.syncScrollBar();
    m_pacer.rowsChanged();
    ensureCaretVisible();
    restartBlink();
    m_pacer.repaintAll();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

// Screen readers hear of appends once a frame, before whoever else listens (the count box).
void ReceiveView::onFrame()
{
    if (QAccessible::isActive())
        readerAppended();
    else
        m_told = m_text.length();
    Q_EMIT frame();
}

// ---- caret

void ReceiveView::moveCursor(qint64 pos, bool select, bool upstream)
{
    const bool hadSelection = hasSelection();
    m_cursor = std::clamp<qint64>(pos, 0, m_text.length());
    if (!select)
        m_anchor = m_cursor;
    Q_ASSERT(m_text.isCaretStop(m_cursor) && m_text.isCaretStop(m_anchor));
    m_upstream = upstream;
    ensureCaretVisible();
    restartBlink();
    m_pacer.repaintAll();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
    if (QAccessible::isActive())
        readerCaretMoved(select || hadSelection);
}

void ReceiveView::ensureCaretVisible() { m_pacer.showRow(m_text.caretRow(m_cursor, m_upstream)); }

void ReceiveView::restartBlink()
{
    m_caretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
}

// ---- layout and painting

void ReceiveView::updateMetrics(bool force)
{
    if (const std::optional<TextMetrics> metrics = m_painter.updateMetrics(font(), force))
        m_text.setMetrics(*metrics);
}

void ReceiveView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_pacer.relayoutInPlace([this] { updateMetrics(false); });
    placeFindBar();
}

void ReceiveView::openFindBar() { m_find->open(); }

void ReceiveView::showFindBar(bool shown)
{
    setViewportMargins(0, 0, 0, shown ? m_find->sizeHint().height() : 0);
    m_find->setVisible(shown);
    placeFindBar();
    m_pacer.relayoutInPlace([this] { updateMetrics(false); });
    ensureCaretVisible();
}

void ReceiveView::placeFindBar()
{
    const QRect rows = viewport()->geometry();
    m_find->setGeometry(rows.left(), rows.bottom() + 1, rows.width(), m_find->sizeHint().height());
}

void ReceiveView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_pacer.syncScrollBar();
        updateMetrics(true);
        m_pacer.rowsChanged();
        ensureCaretVisible();
        m_pacer.repaintAll();
        // The bar takes the box's text size too, and with it a new height.
        if (m_find->isVisible())
            showFindBar(true);
    }
}

void ReceiveView::scrollContentsBy(int, int) { m_pacer.scrolled(); }

void ReceiveView::paintEvent(QPaintEvent* event)
{
    m_pacer.painted();
    QPainter painter(viewport());
    ViewPainter::Scene scene { m_pacer.top(), selectionStart(), selectionEnd(), m_cursor,
        m_upstream, hasFocus() && m_caretOn, m_input.preedit(), {} };
    // Only the rows in view are searched, so this costs the same however long the text.
    const SearchPattern& pattern = m_find->pattern();
    if (m_find->isVisible() && !pattern.isEmpty()) {
        const qint64 last = std::min(scene.top + m_pacer.pageRows(), m_text.rowCount() - 1);
        scene.found = pattern.matches(
            m_text, m_text.rowStart(scene.top) - pattern.length() + 1, m_text.rowEnd(last));
    }
    m_painter.paint(painter, event->region(), palette(), scene);
    // Told once a frame rather than once an append: data may arrive thousands of times a second.
    if (m_caretMoved && hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
    m_caretMoved = false;
}

// ---- events, handed to the pieces

bool ReceiveView::event(QEvent* event)
{
    // Keys this box takes must reach it even where the window has a shortcut on them.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_find->viewKey(key, false) || m_input.handleKey(key, false)) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ReceiveView::keyPressEvent(QKeyEvent* event)
{
    if (m_find->viewKey(event, true) || m_input.handleKey(event, true))
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void ReceiveView::mousePressEvent(QMouseEvent* event) { m_input.mousePress(event); }

void ReceiveView::mouseMoveEvent(QMouseEvent* event) { m_input.mouseMove(event); }

void ReceiveView::mouseReleaseEvent(QMouseEvent* event) { m_input.mouseRelease(event); }

void ReceiveView::mouseDoubleClickEvent(QMouseEvent* event) { m_input.mouseDoubleClick(event); }

void ReceiveView::contextMenuEvent(QContextMenuEvent* event) { m_input.contextMenu(event); }

void ReceiveView::inputMethodEvent(QInputMethodEvent* event) { m_input.inputMethod(event); }

QVariant ReceiveView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (const std::optional<QVariant> answer = m_input.inputMethodQuery(query))
        return *answer;
    return QAbstractScrollArea::inputMethodQuery(query);
}

void ReceiveView::wheelEvent(QWheelEvent* event)
{
    m_pacer.syncScrollBar();
    QAbstractScrollArea::wheelEvent(event);
}

void ReceiveView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    m_pacer.repaintAll();
}

void ReceiveView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    m_caretOn = false;
    m_pacer.repaintAll();
}

void ReceiveView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretOn = !m_caretOn;
        viewport()->update(caretRect());
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}
